// Animated text: layout with per-character times, the reveal states, and
// drawing with the font's edges.
#include <cmath>

#include "graphics/font.h"
#include "graphics/font_object2.h"
#include "graphics/graphic.h"
#include "graphics/text.h"

namespace {

const float far_hide_time = 5242880.0f;

D3DCOLOR with_alpha(D3DCOLOR rgb, float alpha) {
    uint32_t a = alpha >= 255.0f ? 255u : alpha <= 0.0f ? 0u : uint32_t(alpha + 0.5f);
    return (rgb & 0x00FFFFFFu) | a << 24;
}

// The shown colour's RGB with an alpha part of the way from hidden to shown.
D3DCOLOR blend_alpha(D3DCOLOR shown, D3DCOLOR hidden, float f) {
    const float a = float(hidden >> 24) + (float(shown >> 24) - float(hidden >> 24)) * f;
    return with_alpha(shown, a);
}

float delay_after(uint32_t code) {
    if (code == 0x8141 || code == 0x8143) return 3.0f;
    if (code == 0x8142 || code == 0x8144) return 5.0f;
    return 1.0f;
}

// The formalizer's layout with the appear and hide times of each glyph.
class timed_formalizer : public graphic_text_formalizer {
public:
    explicit timed_formalizer(graphic_font_object2& o) : object_(o) {
        total_ = float(reveal_shown_mark);
    }

    struct times {
        float appear, shown, hide, gone;
    };
    std::vector<times> timing;
    float total() const {
        return (object_.text_flags & reveal_hold_per_glyph) ? total_
                                                            : float(reveal_shown_mark) + object_.hold;
    }

protected:
    void placed(glyph_record& r) override {
        const uint32_t flags = object_.text_flags;
        times t;
        t.appear = (flags & reveal_all_at_once) ? 0.0f : next_appear_;
        next_appear_ += object_.delay * delay_after(r.code);
        t.shown = t.appear + object_.fade_in;
        if (object_.mode() == 1) {
            t.hide = t.shown + object_.hold;
        } else if (flags & reveal_hide_at_once) {
            t.hide = far_hide_time;
        } else {
            t.hide = next_hide_;
            next_hide_ += object_.delay;
        }
        t.gone = t.hide + object_.fade_out;
        total_ += object_.hold;
        r.value = uint32_t(timing.size());
        timing.push_back(t);
    }
    void wide_space() override {
        if (!(object_.text_flags & reveal_all_at_once)) next_appear_ += object_.delay;
        if (!(object_.text_flags & reveal_hide_at_once)) next_hide_ += object_.delay;
        total_ += object_.hold;
    }

private:
    graphic_font_object2& object_;
    float next_appear_ = 0.0f;
    float next_hide_ = far_hide_time;
    float total_;
};

}  // namespace

bool graphic_text_formalizer::layout(graphic_font_object2& object, const char* text) {
    object.glyphs.clear();
    if (!object.font.is_valid()) {
        object.state = reveal_idle;
        object.counter = reveal_end_mark;
        return false;
    }
    timed_formalizer f(object);
    glyph_record_list laid;
    f.output = &laid;
    f.format_flags = object.text_flags & 0xFFFFu;
    f.rect = object.rect;
    f.style.font = object.font;
    f.format(text ? text : "", nullptr);

    const D3DCOLOR face = object.animated ? object.hidden_face : object.shown_face;
    const D3DCOLOR edge = object.animated ? object.hidden_edge : object.shown_edge;
    object.glyphs.reserve(laid.size());
    for (const glyph_record& r : laid) {
        animated_glyph g{};
        g.x = r.x;
        g.y = r.y;
        g.scale = r.scale;
        g.angle = r.angle;
        if (r.code == glyph_code_line && r.state == glyph_state_line) {
            g.code = glyph_code_line;
            g.line = 1;
        } else {
            const auto& t = f.timing[r.value];
            g.code = r.code;
            g.appear = t.appear;
            g.shown = t.shown;
            g.hide = t.hide;
            g.gone = t.gone;
            g.face_color = face;
            g.edge_color = edge;
        }
        object.glyphs.push_back(g);
    }
    object.total_time = f.total();
    if (object.animated) {
        object.state = reveal_revealing;
        object.counter = 0;
    } else {
        object.state = reveal_shown;
        object.counter = reveal_shown_mark;
    }
    return true;
}

void graphic_font_object2::set_alpha(float shown, float hidden) {
    shown_face = with_alpha(shown_face, shown * 255.0f);
    shown_edge = with_alpha(shown_edge, shown * 255.0f);
    hidden_face = with_alpha(shown_face, hidden * 255.0f);
    hidden_edge = with_alpha(shown_edge, hidden * 255.0f);
}

void graphic_font_object2::set_timing(float d, float in, float h, float out) {
    delay = d;
    fade_in = in;
    hold = h;
    fade_out = out;
    animated = d > 0.0f || in > 0.0f || h > 0.0f || out > 0.0f;
}

void graphic_font_object2::paint(float c, bool& all_shown, bool& all_done) {
    const bool no_fade_out = (text_flags & reveal_no_fade_out) != 0;
    all_shown = all_done = true;
    for (animated_glyph& g : glyphs) {
        if (g.line) continue;
        if (c < g.appear) {
            // Not there yet, also when a restart finds it shown.
            g.face_color = hidden_face;
            g.edge_color = hidden_edge;
            all_shown = all_done = false;
        } else if (c < g.shown) {
            const float f = (c - g.appear) / (g.shown - g.appear);
            g.face_color = blend_alpha(shown_face, hidden_face, f);
            g.edge_color = blend_alpha(shown_edge, hidden_edge, f);
            all_shown = all_done = false;
        } else if (c < g.hide || no_fade_out) {
            g.face_color = shown_face;
            g.edge_color = shown_edge;
            if (c < g.hide) all_done = false;
        } else if (c < g.gone) {
            const float f = (g.gone - c) / (g.gone - g.hide);
            g.face_color = blend_alpha(shown_face, hidden_face, f);
            g.edge_color = blend_alpha(shown_edge, hidden_edge, f);
            all_done = false;
        } else {
            g.face_color = hidden_face;
            g.edge_color = hidden_edge;
        }
    }
}

void graphic_font_object2::update() {
    if (!animated || state == reveal_holding || state == reveal_idle) return;
    if (counter < reveal_end_mark) ++counter;
    if (state == reveal_shown && counter > reveal_shown_mark && float(counter) >= total_time) {
        if (mode() == 3) {
            state = reveal_hiding;
            counter = reveal_hide_mark;
        } else {
            state = reveal_holding;
            counter = 0x4FFFFF;
        }
        return;
    }
    bool all_shown, all_done;
    paint(float(counter), all_shown, all_done);
    if (state == reveal_revealing && all_shown && mode() != 1) {
        state = reveal_shown;
        counter = reveal_shown_mark;
    } else if (state == reveal_hiding && all_done) {
        state = reveal_idle;
        counter = reveal_end_mark;
    }
}

void graphic_font_object2::set_state(int32_t code) {
    bool all_shown, all_done;
    switch (code) {
    case 0:
        state = reveal_revealing;
        counter = -1;
        break;
    case 1:
        // The reveal is over: every glyph shows at once.
        state = reveal_shown;
        counter = 0x3FFFFF;
        paint(float(reveal_shown_mark), all_shown, all_done);
        break;
    case 3:
        state = reveal_holding;
        counter = 0x4FFFFE;
        paint(float(0x4FFFFF), all_shown, all_done);
        break;
    case 4:
        if (!animated) {
            state = reveal_idle;
            counter = reveal_end_mark;
        } else if (text_flags & reveal_no_fade_out) {
            state = reveal_hiding;
            counter = 0x7FFFFFFE;
        } else {
            state = reveal_hiding;
            counter = 0x4FFFFF;
        }
        break;
    case 7:
        if (animated) {
            state = reveal_hiding;
            counter = 0x7FFFFFFE;
        } else {
            state = reveal_idle;
            counter = reveal_end_mark;
        }
        break;
    case 8:
        state = reveal_idle;
        counter = reveal_end_mark;
        break;
    default:
        break;
    }
}

bool graphic_font_object2::render() {
    graphic_font* f = font.font();
    if (hidden() || !f) return true;
    const float ox = std::floor(x + graphic_->draw_offset_x() + 0.5f);
    const float oy = std::floor(y + graphic_->draw_offset_y() + 0.5f);
    const bool edges = (f->key_flags() & font_flag_edge) && (text_flags & 0x4000u);
    static const float offsets[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    bool ok = true;
    if (edges) {
        for (const animated_glyph& g : glyphs) {
            if (g.line || !(g.edge_color >> 24)) continue;
            for (const auto& d : offsets)
                ok &= draw_glyph(*graphic_, *f, g.code, ox + g.x + d[0], oy + g.y + d[1], g.angle,
                                 g.scale, g.edge_color, blend);
        }
    }
    for (const animated_glyph& g : glyphs) {
        if (g.line || !(g.face_color >> 24)) continue;
        ok &= draw_glyph(*graphic_, *f, g.code, ox + g.x, oy + g.y, g.angle, g.scale, g.face_color,
                         blend);
    }
    return ok;
}
