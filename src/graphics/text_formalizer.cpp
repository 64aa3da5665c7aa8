// Laying styled CP932 text out into glyph records: pens, tabs, spaces,
// wrapping, line records, and the alignment of lines and of the block.
#include <cmath>

#include "graphics/font.h"
#include "graphics/text.h"

namespace {

bool is_lead_byte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int32_t glyph_height(const graphic_font& font, float scale) {
    return int32_t(std::ceil(float(font.cell_height() - 2) * scale));
}

}  // namespace

uint32_t text_next_char(const char*& p) {
    const uint8_t b = uint8_t(*p);
    if (!b) return 0;
    if (is_lead_byte(b)) {
        const uint8_t trail = uint8_t(p[1]);
        if (!trail) {  // cut off: the lead byte alone is no character
            ++p;
            return 0;
        }
        p += 2;
        return uint32_t(b) << 8 | trail;
    }
    ++p;
    return b;
}

int32_t graphic_text_formalizer::tab_width() const {
    const int32_t w = (format_flags & text_tab_width_set) ? int32_t(format_flags & text_tab_width_mask) : 8;
    return w > 0 ? w : 8;  // a zero width would divide by zero
}

void graphic_text_formalizer::append(uint32_t code, uint32_t state) {
    glyph_record r;
    r.code = code;
    r.state = state;
    r.x = float(pen_x_);
    r.y = 0.0f;
    r.font = style.font.ref();
    r.angle = style.angle;
    r.scale = style.scale;
    r.alpha = style.alpha;
    r.face_color = style.face_color;
    r.edge_color = (format_flags & text_edge) ? style.edge_color : 0;
    r.value = style.value;
    output->push_back(r);
}

void graphic_text_formalizer::close_line() {
    if (line_closed_) return;
    if (line_record_ >= 0) {
        glyph_record& line = (*output)[size_t(line_record_)];
        line.x = float(pen_x_);
        line.y = float(pen_y_ + line_height_);
    }
    if (pen_x_ > widest_) widest_ = pen_x_;
    pen_y_ += line_height_;
    line_closed_ = true;
}

void graphic_text_formalizer::line_break(int32_t height) {
    close_line();
    append(glyph_code_line, glyph_state_line);
    line_record_ = int32_t(output->size()) - 1;
    line_closed_ = false;
    pen_x_ = 0;
    line_height_ = height;
    column_ = 0;
}

void graphic_text_formalizer::add_text(const char* text) {
    graphic_font* font = style.font.font();
    if (!output || !font || !text) return;
    const int32_t h = glyph_height(*font, style.scale) + line_spacing;
    const int32_t space = int32_t(font->space_advance()) + letter_spacing;
    const int32_t wide = int32_t(font->wide_space_advance()) + letter_spacing;
    const int32_t width = rect.right - rect.left;
    const bool wrap = (format_flags & text_wrap) != 0;
    if (column_ < 0) {
        pen_x_ = pen_y_ = widest_ = 0;
        line_closed_ = true;
        line_record_ = -1;
        pending_break_ = false;
        line_break(h);
    } else if (column_ == 0 || h > line_height_) {
        line_height_ = h;
    }
    for (const char* p = text;;) {
        const uint32_t c = text_next_char(p);
        if (!c) break;
        if (c == '\n') {
            pending_break_ = false;  // a wrapped line ends here anyway
            line_break(h);
            continue;
        }
        if (pending_break_) {
            pending_break_ = false;
            line_break(h);
        }
        if (c == '\t') {
            const int32_t tab = tab_width();
            const int32_t n = (format_flags & text_tab_fixed) ? tab : tab - column_ % tab;
            pen_x_ += n * space;
            column_ += n;
        } else if (c == ' ') {
            pen_x_ += space;
            column_ += 1;
        } else if (c == 0x8140) {
            pen_x_ += wide;
            column_ += 2;
            wide_space();
        } else {
            graphic_glyph glyph;
            if (!font->get_char(c, glyph)) continue;  // no glyph: placed as nothing
            const int32_t w = int32_t(std::ceil(float(glyph.advance) * style.scale));
            if (wrap && column_ > 0 && pen_x_ + w > width) line_break(h);
            if (column_ > 0) pen_x_ += letter_spacing;
            append(c, glyph_state_drawn);
            placed(output->back());
            pen_x_ += w;
            column_ += c > 0xFF ? 2 : 1;
            continue;
        }
        if (wrap && pen_x_ > width) {
            pen_x_ = width;
            pending_break_ = true;
        }
    }
}

// Halves that round towards minus infinity, so negative differences split
// as evenly as positive ones.
static int32_t half_down(int32_t v) { return v >> 1; }

void graphic_text_formalizer::finish(RECT* box_out) {
    if (!output) return;
    if (column_ > 0) {
        close_line();
        column_ = 0;
        // What is added later starts a line of its own.
        pending_break_ = true;
    }
    const int32_t total = pen_y_;
    RECT box = rect;
    if (format_flags & text_fit) {
        const int32_t d = (rect.right - rect.left) - widest_;
        if (d != 0) {
            if (format_flags & text_fit_center_x) {
                box.left += half_down(d);
                box.right -= half_down(d + 1);
            } else if (format_flags & text_fit_keep_right) {
                box.left = box.right - widest_;
            } else {
                box.right = box.left + widest_;
            }
        }
        const int32_t e = (rect.bottom - rect.top) - total;
        if (e != 0) {
            if (format_flags & text_fit_center_y) {
                box.top += half_down(e);
                box.bottom -= half_down(e + 1);
            } else if (format_flags & text_fit_keep_bottom) {
                box.top = box.bottom - total;
            } else {
                box.bottom = box.top + total;
            }
        }
    }
    if (box_out) *box_out = box;
    int32_t base;
    if (format_flags & text_block_bottom)
        base = box.bottom - total;
    else if (format_flags & text_block_middle)
        base = box.top + half_down((box.bottom - box.top) - total);
    else
        base = box.top;

    float line_offset = float(box.left), line_y = float(base);
    const size_t first = first_unpositioned_ < 0 ? 0 : size_t(first_unpositioned_);
    for (size_t i = first; i < output->size(); ++i) {
        glyph_record& r = (*output)[i];
        if (r.code == glyph_code_line && r.state == glyph_state_line) {
            const int32_t line_width = int32_t(r.x);
            if (format_flags & text_align_right)
                line_offset = float(int32_t(box.right - line_width));
            else if (format_flags & text_align_center)
                line_offset = float(int32_t(float((box.right - box.left) - line_width) * 0.5f +
                                            float(box.left)));
            else
                line_offset = float(box.left);
            line_y = r.y + float(base);
        } else if (r.code == glyph_code_style) {
            r.x += line_offset;
            r.y += line_y;
        } else {
            graphic_font* f = r.font.font();
            r.x += line_offset;
            r.y = line_y - float(f ? glyph_height(*f, r.scale) : 0) + r.y;
        }
    }
    pen_x_ = 0;
    first_unpositioned_ = int32_t(output->size());
}

void graphic_text_formalizer::format(const char* text, RECT* box) {
    if (output) output->clear();
    pen_x_ = pen_y_ = widest_ = line_height_ = 0;
    column_ = -1;
    line_record_ = -1;
    first_unpositioned_ = -1;
    pending_break_ = false;
    line_closed_ = true;
    if (IsRectEmpty(&rect)) format_flags &= ~text_wrap;
    add_text(text);
    finish(box);
}
