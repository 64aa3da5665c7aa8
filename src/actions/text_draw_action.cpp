#include "actions/text_draw_action.h"

#include <cmath>
#include <new>

#include "actions/action_view.h"
#include "actions/text_action_ex.h"
#include "core/lua_readers.h"
#include "graphics/font.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/sprite_manager.h"

namespace {
// t[key], else t[n], as a number; false when both are nil; throws the
// message for another type.
bool number_at(lua_State* L, int t, const char* key, int n, double& out, const char* invalid) {
    lua_getfield(L, t, key);
    if (lua_isnil(L, -1) && n > 0) {
        lua_pop(L, 1);
        lua_rawgeti(L, t, n);
    }
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    if (!lua_isnumber(L, -1)) {
        lua_pop(L, 1);
        throw invalid;
    }
    out = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return true;
}

// Pushes t[key]: nil (popped, false), a table (kept, true), else throws.
bool sub_table(lua_State* L, int t, const char* key, const char* invalid) {
    lua_getfield(L, t, key);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    if (!lua_istable(L, -1)) throw invalid;
    return true;
}

bool number_key(lua_State* L, int t, const char* key, double& out, const char* invalid) {
    return number_at(L, t, key, 0, out, invalid);
}

void read_rect(lua_State* L, int rt, text_draw_style& s) {
    static const char* const names[4] = {"left", "top", "right", "bottom"};
    static const char* const missing[4] = {"no rect.left", "no rect.top", "no rect.right", "no rect.bottom"};
    double v;
    for (int i = 0; i < 4; ++i) {
        if (!number_at(L, rt, names[i], i + 1, v, missing[i])) throw missing[i];
        s.rect[i] = script_truncate_int(v);
    }
    lua_getfield(L, rt, "attribute");
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_rawgeti(L, rt, 5);
    }
    if (!lua_isnil(L, -1) && !lua_isboolean(L, -1)) throw "invalid rect.attribute";
    s.rect_as_is = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    s.given |= draw_style_rect;
}
}  // namespace

void text_draw_parse(lua_State* L, int index, text_draw_style& s) {
    const int t = script_abs_index(L, index);
    if (!lua_istable(L, t)) throw "invalid parameter";
    const int top = lua_gettop(L);
    double v;
    lua_getfield(L, t, "font");
    if (!lua_isnil(L, -1)) {
        try {
            s.font = text_font_of(L, lua_gettop(L));
        } catch (const char*) {
            // The font table's own messages stand; any other value is no font.
            if (lua_istable(L, top + 1)) throw;
            throw "invalid font";
        }
        s.given |= draw_style_font;
    }
    lua_settop(L, top);
    if (sub_table(L, t, "rect", "invalid rect")) read_rect(L, lua_gettop(L), s);
    lua_settop(L, top);
    if (sub_table(L, t, "space", "invalid space")) {
        const int st = lua_gettop(L);
        if (number_at(L, st, "chars", 1, v, "invalid space.chars")) s.chars = script_truncate_int(v), s.given |= draw_style_chars;
        if (number_at(L, st, "lines", 2, v, "invalid space.lines")) s.lines = script_truncate_int(v), s.given |= draw_style_lines;
    }
    lua_settop(L, top);
    if (sub_table(L, t, "position", "invalid position")) {
        const int pt = lua_gettop(L);
        double x = 0, y = 0;
        if (!number_at(L, pt, "x", 1, x, "invalid position.x")) throw "invalid position.x";
        if (!number_at(L, pt, "y", 2, y, "invalid position.y")) throw "invalid position.y";
        s.x = float(x), s.y = float(y);
        s.given |= draw_style_position;
    }
    lua_settop(L, top);
    if (number_key(L, t, "rotate", v, "invalid rotate")) s.rotate = float(v) * 0.017453292f, s.given |= draw_style_rotate;
    if (number_key(L, t, "scale", v, "invalid scale")) s.scale_x = s.scale_y = float(v), s.given |= draw_style_scale;
    if (number_key(L, t, "alpha", v, "invalid alpha")) s.alpha = float(v), s.given |= draw_style_alpha;
    lua_getfield(L, t, "color");
    if (lua_type(L, -1) == LUA_TNUMBER) {
        s.face = script_truncate_uint(lua_tonumber(L, -1));
        s.given |= draw_style_char_color;
    } else if (lua_istable(L, -1)) {
        const int ct = lua_gettop(L);
        if (number_at(L, ct, "char", 1, v, "invalid color.char")) s.face = script_truncate_uint(v), s.given |= draw_style_char_color;
        if (number_at(L, ct, "edge", 2, v, "invalid color.edge")) s.edge = script_truncate_uint(v), s.given |= draw_style_edge_color;
        if (number_at(L, ct, "shadow", 3, v, "invalid color.shadow")) s.shadow = script_truncate_uint(v), s.given |= draw_style_shadow_color;
    } else if (!lua_isnil(L, -1)) {
        throw "invalid color";
    }
    lua_settop(L, top);
    if (sub_table(L, t, "fade", "invalid fade")) {
        const int ft = lua_gettop(L);
        if (number_at(L, ft, "fadein", 1, v, "invalid fade.fadein")) s.fade_in = script_truncate_int(v), s.given |= draw_style_fade_in;
        if (number_at(L, ft, "fadeout", 2, v, "invalid fade.fadeout")) s.fade_out = script_truncate_int(v), s.given |= draw_style_fade_out;
        if (number_at(L, ft, "done", 3, v, "invalid fade.done")) s.done = script_truncate_int(v), s.given |= draw_style_done;
        if (number_at(L, ft, "min_alpha", 4, v, "invalid fade.min_alpha")) s.min_alpha = float(v), s.given |= draw_style_min_alpha;
        if (number_at(L, ft, "max_alpha", 5, v, "invalid fade.max_alpha")) s.max_alpha = float(v), s.given |= draw_style_max_alpha;
    }
    lua_settop(L, top);
}

void text_draw_style::apply_to(text_draw_style& b) const {
    const uint32_t g = given;
    if (g & draw_style_font) b.font = font;
    if (g & draw_style_rect) {
        for (int i = 0; i < 4; ++i) b.rect[i] = rect[i];
        b.rect_as_is = rect_as_is;
    }
    if (g & draw_style_position) b.x = x, b.y = y;
    if (g & draw_style_chars) b.chars = chars;
    if (g & draw_style_lines) b.lines = lines;
    if (g & draw_style_rotate) b.rotate = rotate;
    if (g & draw_style_scale) b.scale_x = scale_x, b.scale_y = scale_y;
    if (g & draw_style_alpha) b.alpha = alpha;
    if (g & draw_style_char_color) b.face = face;
    if (g & draw_style_edge_color) b.edge = edge;
    if (g & draw_style_shadow_color) b.shadow = shadow;
    if (g & draw_style_fade_in) b.fade_in = fade_in;
    if (g & draw_style_fade_out) b.fade_out = fade_out;
    if (g & draw_style_done) b.done = done;
    if (g & draw_style_min_alpha) b.min_alpha = min_alpha;
    if (g & draw_style_max_alpha) b.max_alpha = max_alpha;
    b.given |= g;
}

bool text_draw_action::text_render::render() {
    actor_object* owner = action ? action->owner : nullptr;
    if (owner && (owner->flags & actor_hidden_by_script)) return true;
    return graphic_text_renderer::render();
}

text_draw_action::~text_draw_action() {
    if (renderer) {
        renderer->owner()->detach_render_object(renderer);
        delete renderer;
    }
    glyphs.clear();
}

bool text_draw_action::create_renderer() {
    graphic* g = graphic::instance();
    int32_t layer = -1;
    const int32_t index = owner && owner->cls ? int32_t((owner->cls->flags & class_layer_mask) >> 8) : 0;
    if (!g || !render_layer_from_index(index, layer)) return false;
    text_render* r = new (std::nothrow) text_render(g, this);
    if (!r) return false;
    if (!g->attach_render_object(r, layer)) {
        delete r;
        return false;
    }
    r->records = &glyphs;
    renderer = r;
    return true;
}

// Insets from the owner's class box when it has a width, unless taken as is.
void text_draw_action::set_box(const int32_t r[4], bool as_is) {
    const float* cr = owner && owner->cls ? owner->cls->rect : nullptr;
    if (!as_is && cr && cr[2] - cr[0] > 0.0f) {
        box[0] = int32_t(cr[0]) + r[0];
        box[1] = int32_t(cr[1]) + r[1];
        box[2] = int32_t(cr[2]) - r[2];
        box[3] = int32_t(cr[3]) - r[3];
    } else {
        for (int i = 0; i < 4; ++i) box[i] = r[i];
    }
}

void text_draw_action::apply(const text_draw_style& s) {
    s.apply_to(style);
    if (s.given & draw_style_rect) set_box(s.rect, s.rect_as_is);
}

void text_draw_action::clear() {
    glyphs.clear();
    glyph_alpha.clear();
    runs.clear();
    fonts.clear();
    cursor[0] = float(box[0]);
    cursor[1] = float(box[1]);
    line_height = 0;
}

void text_draw_action::keep_font(const font_handle& font) {
    for (const font_handle& h : fonts)
        if (h.font() == font.font()) return;
    fonts.push_back(font);
}

void text_draw_action::new_line(const text_draw_style& s) {
    // An empty line still takes the font's height.
    int32_t h = line_height;
    if (h == 0 && s.font.is_valid())
        h = int32_t(std::floor(float(int32_t(s.font.font()->cell_height()) - 2) * s.scale_y));
    cursor[0] = float(box[0]);
    cursor[1] += float(h + s.lines);
    line_height = 0;
}

int32_t text_draw_action::place(uint32_t code, const text_draw_style& s) {
    graphic_font* font = s.font.font();
    if (code == 0x0A) {
        new_line(s);
        return 0;
    }
    if (!font) return 0;
    int32_t advance = 0;
    bool glyph = false;
    graphic_glyph g{};
    if (code == 0x20 || code == 0x09) {
        advance = int32_t(std::floor(float(font->space_advance()) * s.scale_x)) + s.chars;
    } else if (code == 0x8140) {
        advance = int32_t(std::floor(float(font->wide_space_advance()) * s.scale_x)) + s.chars;
    } else {
        if (!font->get_char(code, g)) return 0;
        advance = int32_t(std::floor(float(g.advance) * s.scale_x)) + s.chars;
        glyph = true;
    }
    // A character that does not fit starts a new line, unless it already
    // starts one; a box without a width never wraps.
    if (box[2] > box[0] && cursor[0] > float(box[0]) && cursor[0] + float(advance) > float(box[2]))
        new_line(s);
    if (glyph) {
        const int32_t h = int32_t(std::floor(float(int32_t(font->cell_height()) - 2) * s.scale_y));
        if (h > line_height) line_height = h;
        keep_font(s.font);
        glyph_record r{};
        r.code = code;
        r.state = draw_run_hidden;  // its run gives the state
        r.x = cursor[0];
        r.y = cursor[1];
        r.font = s.font.ref();
        r.angle = s.rotate;
        r.scale = s.scale_x;
        r.alpha = s.alpha;
        r.face_color = s.face;
        r.edge_color = s.edge;
        glyphs.push_back(r);
        glyph_alpha.push_back(s.alpha);
    }
    cursor[0] += float(advance);
    return advance;
}

void text_draw_action::start_run(size_t first, const text_draw_style& s) {
    if (first >= glyphs.size()) return;  // nothing drawn: no run
    runs.push_back(text_draw_run{first, s.min_alpha, s.max_alpha, s.fade_in, s.fade_out, s.done, 0});
    put_run(runs.back(), draw_run_fading_in);
}

void text_draw_action::place_text(const char* text, const text_draw_style& s) {
    if (s.given & draw_style_position) {
        cursor[0] = s.x;
        cursor[1] = s.y;
    }
    const size_t first = glyphs.size();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t code = *p++;
        // CP932 lead bytes take the next byte as their trail.
        if (((code >= 0x81 && code <= 0x9F) || (code >= 0xE0 && code <= 0xFC)) && *p) code = code << 8 | *p++;
        place(code, s);
    }
    start_run(first, s);
}

size_t text_draw_action::run_end(size_t index) const {
    return index + 1 < runs.size() ? runs[index + 1].first : glyphs.size();
}

void text_draw_action::set_run_alpha(const text_draw_run& run, size_t end, float alpha) {
    for (size_t i = run.first; i < end && i < glyphs.size(); ++i) glyphs[i].alpha = glyph_alpha[i] * alpha;
}

void text_draw_action::put_run(text_draw_run& run, uint32_t state) {
    float alpha = run.min_alpha;
    if (state == draw_run_fading_in && run.fade_in <= 0) state = draw_run_shown;
    if (state == draw_run_fading_out && run.fade_out <= 0) state = draw_run_gone;
    if (state == draw_run_shown || state == draw_run_fading_out) alpha = run.max_alpha;
    if (state != draw_run_hidden && state != draw_run_fading_in && state != draw_run_shown &&
        state != draw_run_fading_out)
        state = draw_run_gone;
    run.counter = 0;
    const size_t index = size_t(&run - runs.data());
    const size_t end = run_end(index);
    // Every glyph of the run carries its state, so hidden ones are not drawn.
    for (size_t i = run.first; i < end && i < glyphs.size(); ++i) glyphs[i].state = state;
    set_run_alpha(run, end, alpha);
}

uint32_t text_draw_action::state(int32_t run) const {
    if (runs.empty()) return draw_run_none;
    if (run > 0 && size_t(run) <= runs.size()) return glyphs[runs[size_t(run) - 1].first].state;
    uint32_t lowest = draw_run_none;
    for (const text_draw_run& r : runs) {
        const uint32_t s = glyphs[r.first].state;
        if (s < lowest) lowest = s;
    }
    return lowest;
}

void text_draw_action::set_state(uint32_t state, int32_t run) {
    if (run > 0 && size_t(run) <= runs.size()) {
        put_run(runs[size_t(run) - 1], state);
        return;
    }
    for (text_draw_run& r : runs) put_run(r, state);
}

void text_draw_action::step() {
    for (size_t i = 0; i < runs.size(); ++i) {
        text_draw_run& r = runs[i];
        const uint32_t s = glyphs[r.first].state;
        const int32_t c = ++r.counter;
        const float span = r.max_alpha - r.min_alpha;
        if (s == draw_run_fading_in) {
            if (c < r.fade_in) {
                set_run_alpha(r, run_end(i), r.min_alpha + span * float(c) / float(r.fade_in));
            } else {
                put_run(r, draw_run_shown);
            }
        } else if (s == draw_run_shown) {
            if (r.done != 0 && c >= r.done) put_run(r, draw_run_fading_out);
        } else if (s == draw_run_fading_out) {
            if (c < r.fade_out) {
                set_run_alpha(r, run_end(i), r.max_alpha - span * float(c) / float(r.fade_out));
            } else {
                put_run(r, draw_run_gone);
            }
        }
    }
    place_renderer();
}

void text_draw_action::place_renderer() {
    if (!renderer || !owner) return;
    float view[3];
    owner_to_view(owner, 1, view);
    renderer->x = view[0];
    renderer->y = view[1];
}

void text_draw_action::suspend() {
    if (!renderer) return;
    saved_flags = renderer->flags;
    renderer->set_flag(render_flag_hidden, true);
}

bool text_draw_action::restore() {
    if (renderer) renderer->flags = saved_flags;
    return true;
}
