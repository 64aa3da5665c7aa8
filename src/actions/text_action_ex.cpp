#include "actions/text_action_ex.h"

#include <new>

#include "actions/action_library.h"
#include "actions/action_view.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "graphics/font_manager.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/sprite_manager.h"

namespace {
const char* const parse_label = "text_action_ex.parse";
const char* const add_set_label = "text_action_ex.add_set";

// t[key] (or t[n] without a key) as a number; false when nil; throws the
// message for another type.
bool number_of(lua_State* L, int t, const char* key, int n, double& out, const char* invalid) {
    if (key) {
        lua_getfield(L, t, key);
    } else {
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

// Pushes t[key]; answers its type.
int field(lua_State* L, int t, const char* key) {
    lua_getfield(L, t, key);
    return lua_type(L, -1);
}

font_handle font_from_table(lua_State* L, int t) {
    double v;
    int32_t size = 0, weight = 400, cache = 0;
    uint32_t flags = 0;
    if (!number_of(L, t, "size", 0, v, "no font.size")) throw "no font.size";
    size = script_truncate_int(v);
    if (number_of(L, t, "weight", 0, v, "invalid font.weight")) weight = script_truncate_int(v);
    wstring face;
    if (graphic_font_manager* fonts = graphic_font_manager::instance()) face = fonts->default_face();
    if (field(L, t, "face") != LUA_TNIL) {
        if (lua_type(L, -1) != LUA_TSTRING || !string_to_wstring(lua_tostring(L, -1), face)) {
            lua_pop(L, 1);
            throw "invalid font.face";
        }
    }
    lua_pop(L, 1);
    if (number_of(L, t, "cache", 0, v, "invalid font.cache")) cache = script_truncate_int(v);
    if (number_of(L, t, "flags", 0, v, "invalid font.flags")) flags = script_truncate_uint(v);
    graphic_font_manager* fonts = graphic_font_manager::instance();
    font_handle h;
    if (fonts) h = fonts->get_font_handle(face.c_str() ? face.c_str() : L"", size, weight, flags,
                                         uint32_t(cache));
    if (!h.is_valid()) throw "fail to create font";
    return h;
}

}  // namespace

font_handle text_font_of(lua_State* L, int index) {
    switch (lua_type(L, index)) {
        case LUA_TLIGHTUSERDATA:
        case LUA_TUSERDATA: {
            // A font that the manager does not know gives no font.
            auto* font = static_cast<graphic_font*>(lua_touserdata(L, index));
            graphic_font_manager* fonts = graphic_font_manager::instance();
            font_handle h;
            if (fonts) h = fonts->find_handle(font);
            if (!h.is_valid()) throw "invalid font";
            return h;
        }
        case LUA_TTABLE:
            return font_from_table(L, script_abs_index(L, index));
        default:
            throw "invalid font";
    }
}

namespace {
void read_style(lua_State* L, int t, text_style_ex& s, const text_style_ex& initial) {
    double v;
    switch (field(L, t, "font")) {
        case LUA_TNIL:
            break;
        case LUA_TBOOLEAN:
            s.font = initial.font;
            break;
        default:
            s.font = text_font_of(L, lua_gettop(L));
            break;
    }
    lua_pop(L, 1);

    switch (field(L, t, "rect")) {
        case LUA_TNIL:
            break;
        case LUA_TBOOLEAN:
            s.rect = initial.rect;
            break;
        case LUA_TTABLE: {
            static const char* const missing[4] = {"no rect.left", "no rect.top", "no rect.right",
                                                   "no rect.bottom"};
            const int rt = lua_gettop(L);
            int32_t b[4];
            for (int i = 0; i < 4; ++i) {
                if (!number_of(L, rt, nullptr, i + 1, v, missing[i])) throw missing[i];
                b[i] = script_truncate_int(v);
            }
            s.rect = RECT{b[0], b[1], b[2], b[3]};
            break;
        }
        default:
            lua_pop(L, 1);
            throw "invalid rect";
    }
    lua_pop(L, 1);

    struct number_key {
        const char* key;
        const char* invalid;
    } numbers[] = {{"format", "invalid format"}, {"rotate", "invalid rotate"},
                   {"scale", "invalid scale"}, {"alpha", "invalid alpha"}};
    for (const auto& k : numbers) {
        const bool restore = field(L, t, k.key) == LUA_TBOOLEAN;
        lua_pop(L, 1);
        const std::string key = k.key;
        if (restore) {
            if (key == "format") s.format = initial.format;
            if (key == "rotate") s.rotate = initial.rotate;
            if (key == "scale") s.scale = initial.scale;
            if (key == "alpha") s.alpha = initial.alpha;
            continue;
        }
        if (!number_of(L, t, k.key, 0, v, k.invalid)) continue;
        if (key == "format") s.format = uint32_t(script_round_int(v));
        if (key == "rotate") s.rotate = float(v) * 0.017453292f;
        if (key == "scale") s.scale = float(v);
        if (key == "alpha") s.alpha = float(v);
    }

    switch (field(L, t, "color")) {
        case LUA_TNIL:
            break;
        case LUA_TBOOLEAN:
            s.face = initial.face;
            s.edge = initial.edge;
            break;
        case LUA_TTABLE: {
            const int ct = lua_gettop(L);
            if (number_of(L, ct, nullptr, 1, v, "invalid color.char")) s.face = script_truncate_uint(v);
            if (number_of(L, ct, nullptr, 2, v, "invalid color.edge")) s.edge = script_truncate_uint(v);
            break;
        }
        default:
            lua_pop(L, 1);
            throw "invalid color";
    }
    lua_pop(L, 1);

    switch (field(L, t, "space")) {
        case LUA_TNIL:
            break;
        case LUA_TBOOLEAN:
            s.chars = initial.chars;
            s.lines = initial.lines;
            break;
        case LUA_TTABLE: {
            const int st = lua_gettop(L);
            if (number_of(L, st, nullptr, 1, v, "invalid space.chars")) s.chars = script_truncate_int(v);
            if (number_of(L, st, nullptr, 2, v, "invalid space.lines")) s.lines = script_truncate_int(v);
            break;
        }
        default:
            lua_pop(L, 1);
            throw "invalid space";
    }
    lua_pop(L, 1);
}

// The bits of the other set's phase row (start bits; done << 12, end << 20).
uint32_t phase_row(int32_t phase) {
    switch (phase) {
        case 3: return 0x10;
        case 4: return 0x20;
        case 6: return 0x40;
        case 8: return 0x80;
        case 9:
        case 10: return 0x100;
        default: return 0;
    }
}

uint32_t effect_bit(int32_t phase) {
    static const uint32_t bits[14] = {0, 0, 0, 0x1, 0x2, 0x2, 0x4, 0x4, 0x8, 0, 0, 0, 0, 0};
    return phase >= 0 && phase < 14 ? bits[phase] : 0;
}
}  // namespace

text_set::~text_set() { actor_ref_release(notify); }

text_action_ex::~text_action_ex() {
    if (renderer) {
        renderer->owner()->detach_render_object(renderer);
        delete renderer;
    }
    sets.clear();
    glyphs.clear();
}

bool text_action_ex::create_renderer() {
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
    layout.output = &glyphs;
    return true;
}

bool text_action_ex::parse(lua_State* L, int t, bool creating) {
    const int top = lua_gettop(L);
    try {
        if (!lua_istable(L, t)) throw "invalid parameter";
        text_style_ex s = style;
        read_style(L, t, s, created);
        if (creating && !s.font.is_valid()) throw "no font";
        style = s;
        if (creating) created = s;
        apply_style();
        if (field(L, t, "text") != LUA_TNIL) {
            if (lua_type(L, -1) != LUA_TSTRING) throw "invalid text";
            lay_out(lua_tostring(L, -1), nullptr);
        }
        lua_settop(L, top);
        return true;
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, parse_label, "%s", message);
        return false;
    }
}

void text_action_ex::apply_style() {
    layout.format_flags = style.format;
    layout.rect = style.rect;
    layout.style.font = style.font;
    layout.style.angle = style.rotate;
    layout.style.scale = style.scale;
    layout.style.alpha = style.alpha;
    layout.style.face_color = style.face;
    layout.style.edge_color = style.edge;
    layout.letter_spacing = style.chars;
    layout.line_spacing = style.lines;
}

void text_action_ex::keep_style_font() {
    if (!style.font.is_valid()) return;
    for (const font_handle& h : glyph_fonts)
        if (h.font() == style.font.font()) return;
    glyph_fonts.push_back(style.font);
}

void text_action_ex::lay_out(const char* text, RECT* extent) {
    keep_style_font();
    RECT box;
    layout.format(text, &box);
    if (extent) *extent = box;
}

void text_action_ex::add_text(const char* text) {
    keep_style_font();
    layout.add_text(text);
}

void text_action_ex::end_text(RECT& extent) {
    layout.finish(&extent);
    for (auto& s : sets) {
        if (s->end == SIZE_MAX) s->end = glyphs.size();
        for (auto& e : s->effects) e->schedule(glyphs, s->first, s->end);
    }
}

void text_action_ex::purge() {
    // A fresh cursor: the old one would point into the erased records.
    glyphs.clear();
    layout = graphic_text_formalizer();
    layout.output = &glyphs;
    apply_style();
    glyph_fonts.clear();
}

void text_action_ex::clear() {
    ++sets_epoch;
    sets.clear();
    style = created;
    apply_style();
    purge();
}

bool text_action_ex::owns(const text_set* set) const {
    for (const auto& s : sets)
        if (s.get() == set) return true;
    return false;
}

text_set* text_action_ex::add_set(lua_State* L, int t) {
    const int top = lua_gettop(L);
    try {
        auto set = std::unique_ptr<text_set>(new (std::nothrow) text_set);
        if (!set) throw "no memory";
        double v;
        if (number_of(L, t, "state", 0, v, "invalid state")) set->initial_state = script_truncate_uint(v);
        switch (field(L, t, "set")) {
            case LUA_TNIL:
                break;
            case LUA_TLIGHTUSERDATA: {
                // Only a set of this text: another pointer would be read as one.
                auto* other = static_cast<text_set*>(lua_touserdata(L, -1));
                if (!owns(other)) throw "invalid other set";
                set->other = other;
                break;
            }
            default:
                throw "invalid other set";
        }
        lua_pop(L, 1);
        if (number_of(L, t, "format", 0, v, "invalid format")) set->format = script_truncate_uint(v);
        set->format &= ~0xFu;
        if (field(L, t, "wait") != LUA_TNIL) {
            if (!lua_istable(L, -1)) throw "invalid wait";
            const int wt = lua_gettop(L);
            for (int i = 0; i < 3; ++i)
                if (number_of(L, wt, nullptr, i + 1, v, "invalid wait")) set->wait[i] = script_truncate_uint(v);
        }
        lua_pop(L, 1);
        if (!set->other) set->format &= ~(set_start_bits | set_done_bits | set_end_bits);
        if (field(L, t, "effect") != LUA_TNIL) {
            if (!lua_istable(L, -1)) throw "invalid effect parameter";
            const int list = lua_gettop(L);
            for (int i = 1;; ++i) {
                lua_rawgeti(L, list, i);
                if (lua_isnil(L, -1)) {
                    lua_pop(L, 1);
                    break;
                }
                if (!lua_istable(L, -1)) throw "invalid effect parameter";
                const int et = lua_gettop(L);
                if (!number_of(L, et, "type", 0, v, "no effect type")) throw "no effect type";
                text_effect* e = text_effect_create(set->format, L, et, script_truncate_int(v));
                if (!e) throw "invalid effect parameter";
                set->format |= e->mask();
                set->effects.emplace_back(e);
                lua_pop(L, 1);
            }
        }
        lua_settop(L, top);
        set->first = glyphs.size();
        actor_ref_assign(set->notify, owner);
        sets.push_back(std::move(set));
        return sets.back().get();
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, add_set_label, "%s", message);
        return nullptr;
    }
}

void text_action_ex::end_set(text_set* set) {
    if (!set && !sets.empty()) set = sets.back().get();
    if (set) set->end = glyphs.size();
}

bool text_action_ex::set_phase(text_set* s, int32_t p) {
    action_hold hold(this);
    const bool next = p == 0;
    if (next) p = s->phase == 13 ? 13 : s->phase + 1;
    if (p == 4 || p == 5 || p == 9) {
        // Phases of the effects: asked for directly they change nothing,
        // but the next phase after 3 or 8 must move on, or the set stalls.
        if (!next) return false;
        p = p == 9 ? 10 : 6;
    }
    int32_t report = 0;
    bool placed = false;
    // The chain: a rule that does not apply hands on to the next.
    if (p == 1 || p == 13) {
        s->phase = p, s->counter = -1, placed = true;
    }
    if (!placed && p == 2) {
        if (s->wait[0] > 0) {
            s->phase = 2, s->counter = 0, placed = true;
        } else {
            p = 3;
        }
    }
    if (!placed && p == 3) {
        report = 0x50000101;
        if (s->format & 0x1) {
            s->phase = 3, s->counter = 0x100000, placed = true;
        } else {
            p = 6;
        }
    }
    if (!placed && p == 6) {
        report = 0x50000102;
        if (!(s->format & set_skip_reveal)) {
            s->phase = 6, s->counter = 0x400000, placed = true;
        } else {
            p = 7;
        }
    }
    if (!placed && p == 7) {
        if (s->wait[1] > 0) {
            s->phase = 7, s->counter = 0x800000, placed = true;
        } else {
            p = 8;
        }
    }
    if (!placed && p == 8) {
        report = 0x50000103;
        if (!(s->format & set_skip_hold)) {
            s->phase = 8, s->counter = 0x900000, placed = true;
        } else {
            p = 10;
        }
    }
    if (!placed && p == 10) {
        if (s->wait[2] > 0) {
            s->phase = 10, s->counter = 0xC00000, placed = true;
        } else {
            p = 11;
        }
    }
    if (!placed && p == 11) {
        report = 0x50000104;
        if (s->format & 0x8) {
            s->phase = 11, s->counter = 0xD00000, placed = true;
        } else {
            p = 12;
        }
    }
    if (!placed && p == 12) {
        s->phase = 12, s->counter = 0xFFFFFF, report = 0x50000105, placed = true;
    }
    if (!placed) {
        // Phases outside the machine (0 or above 13) are taken as they are.
        s->phase = p;
    }
    const size_t end = s->end == SIZE_MAX ? glyphs.size() : s->end;
    uint32_t state = 0;
    const int32_t q = s->phase;
    if (s->format & text_set_fade_driven) {
        if (q < 3) state = 1;
    } else if (q == 1 || q == 2) {
        state = 1;
    } else if (q == 3 || q == 11) {
        state = 3;
    } else if (q == 6 || q == 7) {
        state = 4;
    } else if (q == 8 || q == 10) {
        state = 8;
    } else if (q == 12 || q == 13) {
        state = 12;
    }
    if (state)
        for (size_t i = s->first; i < end && i < glyphs.size(); ++i)
            if (glyphs[i].state) glyphs[i].state = state;
    if ((s->format & set_report) && s->notify && report)
        actor_throw_event(s->notify, report, nullptr, script_value::pointer(s));
    return true;
}

void text_action_ex::set_all_phases(int32_t p) {
    action_hold hold(this);
    const uint32_t epoch = sets_epoch;
    for (size_t i = 0; i < sets.size(); ++i) {
        set_phase(sets[i].get(), p);
        if (!still(hold, epoch)) return;
    }
}

void text_action_ex::step_set(text_set* s) {
    action_hold hold(this);
    const uint32_t epoch = sets_epoch;
    const uint32_t other_row = s->other ? phase_row(s->other->phase) : 0;
    switch (s->phase) {
        case 1:
            if ((s->format & set_start_bits) && (s->format & other_row)) set_phase(s, 2);
            return;
        case 2: {
            const int32_t before = s->counter++;
            if (before >= int32_t(s->wait[0])) {
                set_phase(s, 3);
                if (!still(hold, epoch)) return;
                actor_object* a = s->notify;
                if ((s->format & set_report) && a && actor_is_alive(a) && a->cls &&
                    !(a->cls->flags & class_disabled) && a->slots[slot_catch].entry) {
                    a->slots[slot_catch].entry(a, nullptr, &a->slots[slot_catch], 3,
                                               script_value::pointer(s));
                }
            }
            return;
        }
        case 13:
            return;
        default:
            break;
    }
    const uint32_t bit = effect_bit(s->phase);
    bool ready = (s->format & bit) != 0;
    for (size_t i = 0; i < s->effects.size(); ++i) {
        text_effect* e = s->effects[i].get();
        const bool busy = e->step(glyphs, s->phase, s->counter);
        if (!still(hold, epoch)) return;  // a notify effect's handler
        if (busy && (e->mask() & bit)) ready = false;
    }
    bool advance = ready;
    switch (s->phase) {
        case 6: advance |= (s->format & (other_row << 12)) != 0; break;
        case 7: advance |= s->counter >= int32_t(s->wait[1] + 0x800000u); break;
        case 8: advance |= (s->format & (other_row << 20)) != 0; break;
        case 10: advance |= s->counter >= int32_t(s->wait[2] + 0xC00000u); break;
        default: break;
    }
    if (advance) {
        set_phase(s, 0);
        if (!still(hold, epoch)) return;
    }
    ++s->counter;
}

void text_action_ex::step() {
    action_hold hold(this);
    const uint32_t epoch = sets_epoch;
    for (size_t i = 0; i < sets.size(); ++i) {
        step_set(sets[i].get());
        if (hold.gone()) return;
        if (sets_epoch != epoch) break;  // cleared by a handler: nothing left to step
    }
    place();
}

void text_action_ex::place() {
    if (!renderer || !owner) return;
    float view[3];
    owner_to_view(owner, 0, view);
    renderer->x = view[0];
    renderer->y = view[1];
}
