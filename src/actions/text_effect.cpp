#include "actions/text_effect.h"

#include <cmath>
#include <new>

#include "core/lua_readers.h"
#include "core/random.h"
#include "core/system_log.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"

namespace {
// Readers that throw their message; a nil key keeps the value unless it is
// required.
bool number_at(lua_State* L, int t, const char* key, int n, double& out, bool required,
               const char* missing, const char* invalid) {
    if (key) {
        lua_getfield(L, t, key);
    } else {
        lua_rawgeti(L, t, n);
    }
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        if (required) throw missing;
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

void float_key(lua_State* L, int t, const char* key, float& out, const char* invalid) {
    double v;
    if (number_at(L, t, key, 0, v, false, invalid, invalid)) out = float(v);
}
void uint_key(lua_State* L, int t, const char* key, uint32_t& out, const char* invalid) {
    double v;
    if (number_at(L, t, key, 0, v, false, invalid, invalid)) out = script_truncate_uint(v);
}

// A required table of floats at key, element by element.
void float_table(lua_State* L, int t, const char* key, float* out, int count, const char* missing,
                 const char* const* invalid) {
    lua_getfield(L, t, key);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        throw missing;
    }
    const int inner = lua_gettop(L);
    for (int i = 0; i < count; ++i) {
        double v;
        number_at(L, inner, nullptr, i + 1, v, true, invalid[i], invalid[i]);
        out[i] = float(v);
    }
    lua_pop(L, 1);
}

template <class Read>
bool parse_logged(lua_State* L, const char* label, Read read) {
    const int top = lua_gettop(L);
    try {
        read();
        return true;
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, label, "%s", message);
        return false;
    }
}

// A uniform float in [a, b) from the engine's generator.
float random_in(float a, float b) {
    const double unit = double(global_random_next()) * (1.0 / 4294967296.0);
    return float(a + unit * (double(b) - double(a)));
}

// Moves value toward target by at most speed; true once it is there.
bool approach(float& value, float target, float speed) {
    const float d = target - value;
    const float s = std::fabs(speed);
    if (std::fabs(d) <= s) {
        value = target;
        return true;
    }
    value += d > 0 ? s : -s;
    return false;
}

// The never-reached time: a fade without fade-out holds its glyphs.
const int64_t never = 0xFFFFFFFFll;
}  // namespace

uint32_t text_effect_fade::mask() const {
    return ((format & 0x1) ? 0u : 0x1u) | ((format & 0x2) ? 0u : 0x8u);
}

bool text_effect_fade::parse(lua_State* L, int t) {
    return parse_logged(L, "text_effect_fade.parse", [&] {
        uint_key(L, t, "format", format, "invalid format");
        float_key(L, t, "feed", feed, "invalid feed");
        uint_key(L, t, "fadein", fadein, "invalid fadein");
        uint_key(L, t, "fadeout", fadeout, "invalid fadeout");
        float_key(L, t, "wait", wait, "invalid wait");
        float_key(L, t, "alpha", alpha, "invalid alpha");
        // Without fade-in or fade-out the fade leaves phases 3 or 11 alone.
        if (fadein == 0) format |= 0x1;
        if (fadeout == 0) format |= 0x2;
    });
}

void text_effect_fade::schedule(glyph_record_list& glyphs, size_t first, size_t end) {
    plan.clear();
    const uint32_t f = format;
    size_t shown = 0;
    for (size_t i = first; i < end && i < glyphs.size(); ++i) shown += glyphs[i].state != 0;
    double t_in = (f & 0x1) ? 0.0 : 1048576.0;
    // No fade-out: the glyphs fade out never, not at once.
    const bool no_out = (f & 0x2) != 0;
    double t_out = 13631488.0;
    const int64_t w = int64_t(std::ceil((f & 0x10) ? double(shown) * wait : double(wait)));
    const int64_t wait_frames = int64_t(std::ceil(double(wait)));
    for (size_t i = first; i < end && i < glyphs.size(); ++i) {
        if (!glyphs[i].state) continue;
        if (!(f & 0x1) && !(f & 0x4)) t_in += feed;
        record r;
        r.glyph = i;
        r.start = int64_t(t_in);
        r.in_end = r.start + fadein;
        const int64_t out_base = no_out ? never : int64_t(t_out);
        if ((f & 0x20) && (f & 0x8)) {
            r.out_start = r.in_end + w;
        } else if (f & 0x20) {
            r.out_start = r.in_end + wait_frames;
        } else if (f & 0x8) {
            r.out_start = out_base + w;
        } else {
            r.out_start = out_base;
        }
        r.end = r.out_start + fadeout;
        r.target = glyphs[i].alpha;
        if (!(f & 0x2) && !(f & 0x8)) t_out += feed;
        plan.push_back(r);
    }
}

bool text_effect_fade::step(glyph_record_list& glyphs, int32_t p, int32_t counter) {
    const int64_t t = counter;
    bool busy = false;
    for (const record& r : plan) {
        if (r.glyph >= glyphs.size()) continue;
        glyph_record& g = glyphs[r.glyph];
        if (!g.state) continue;
        if (t < r.start) {
            g.state = 1;
            g.alpha = 0.0f;
            busy |= p < 4;
        } else if (t < r.in_end) {
            g.state = 3;
            g.alpha = alpha + float(t - r.start) * (r.target - alpha) / float(r.in_end - r.start);
            busy |= p < 4;
        } else if (t < r.out_start) {
            g.state = p < 8 ? 4 : 8;
            g.alpha = r.target;
            busy |= p > 5;
        } else if (t >= r.end) {
            g.state = p < 12 ? 11 : 12;
            g.alpha = alpha;
        } else {
            g.state = 11;
            g.alpha = alpha + float(r.end - t) * (r.target - alpha) / float(r.end - r.out_start);
            busy |= p > 5;
        }
    }
    return busy;
}

bool text_effect_shake::parse(lua_State* L, int t) {
    // The shake reports under the fade's label, as it always has.
    static const char* const speed_messages[2] = {"invalid speed.x", "invalid speed.y"};
    static const char* const bound_messages[4] = {"invalid bound.left", "invalid bound.top",
                                                  "invalid bound.right", "invalid bound.bottom"};
    return parse_logged(L, "text_effect_fade.parse", [&] {
        uint_key(L, t, "format", format, "invalid format");
        float_table(L, t, "speed", speed, 2, "no speed", speed_messages);
        float_table(L, t, "bound", bound, 4, "no bound", bound_messages);
    });
}

// Axis 0 bounds are left/right (random with 0x4, right with 0x2); axis 1
// top/bottom (random with 0x40000, bottom with 0x20000).
float text_effect_shake::next_target(int axis, float current) const {
    const float low = bound[axis], high = bound[axis + 2];
    const uint32_t random_bit = axis ? 0x40000u : 0x4u;
    if (format & random_bit) return random_in(low, high);
    return current == low ? high : low;
}

void text_effect_shake::schedule(glyph_record_list& glyphs, size_t first, size_t end) {
    plan.clear();
    for (size_t i = first; i < end && i < glyphs.size(); ++i) {
        if (!glyphs[i].state) continue;
        record r;
        r.glyph = i;
        r.home[0] = glyphs[i].x;
        r.home[1] = glyphs[i].y;
        r.target[0] = (format & 0x4) ? random_in(bound[0], bound[2])
                                     : (format & 0x2) ? bound[2] : bound[0];
        r.target[1] = (format & 0x40000) ? random_in(bound[1], bound[3])
                                         : (format & 0x20000) ? bound[3] : bound[1];
        plan.push_back(r);
    }
}

bool text_effect_shake::step(glyph_record_list& glyphs, int32_t p, int32_t) {
    for (record& r : plan) {
        if (r.glyph >= glyphs.size()) continue;
        glyph_record& g = glyphs[r.glyph];
        float* pos[2] = {&g.x, &g.y};
        for (int axis = 0; axis < 2; ++axis) {
            if (p >= 8) {
                approach(*pos[axis], r.home[axis], speed[axis]);
            } else if (g.state > 7) {
                *pos[axis] = r.home[axis];
            } else {
                float offset = *pos[axis] - r.home[axis];
                if (approach(offset, r.target[axis], speed[axis]))
                    r.target[axis] = next_target(axis, r.target[axis]);
                *pos[axis] = r.home[axis] + offset;
            }
        }
    }
    return p < 8 && p != 3;
}

bool text_effect_alpha::parse(lua_State* L, int t) {
    static const char* const range_messages[2] = {"invalid range.x", "invalid range.y"};
    return parse_logged(L, "text_effect_alpha.parse", [&] {
        uint_key(L, t, "format", format, "invalid format");
        double v;
        number_at(L, t, "speed", 0, v, true, "no speed", "no speed");
        speed = float(v);
        float_table(L, t, "range", range, 2, "no range", range_messages);
    });
}

float text_effect_alpha::next_target(float current) const {
    if (format & 0x4) return random_in(range[0], range[1]);
    return current == range[0] ? range[1] : range[0];
}

void text_effect_alpha::schedule(glyph_record_list& glyphs, size_t first, size_t end) {
    plan.clear();
    for (size_t i = first; i < end && i < glyphs.size(); ++i) {
        if (!glyphs[i].state) continue;
        record r;
        r.glyph = i;
        r.home = glyphs[i].alpha;
        r.target = (format & 0x4) ? random_in(range[0], range[1])
                                  : (format & 0x2) ? range[1] : range[0];
        plan.push_back(r);
    }
}

bool text_effect_alpha::step(glyph_record_list& glyphs, int32_t p, int32_t) {
    for (record& r : plan) {
        if (r.glyph >= glyphs.size()) continue;
        glyph_record& g = glyphs[r.glyph];
        if (p >= 8) {
            approach(g.alpha, r.home, speed);
        } else if (g.state > 7) {
            g.alpha = r.home;
        } else if (approach(g.alpha, r.target, speed)) {
            r.target = next_target(r.target);
        }
    }
    return p < 8 && p != 3;
}

text_effect_notify::~text_effect_notify() { actor_ref_release(actor); }

bool text_effect_notify::parse(lua_State* L, int t) {
    return parse_logged(L, "text_effect_notify.parse", [&] {
        double v;
        number_at(L, t, "format", 0, v, true, "no format", "no format");
        format = script_truncate_uint(v);
        lua_getfield(L, t, "actor");
        actor_object* a = lua_isnil(L, -1) ? nullptr : to_actor(L, -1);
        lua_pop(L, 1);
        if (!a) throw "no actor";
        number_at(L, t, "event", 0, v, true, "no event", "no event");
        event = script_truncate_int(v);
        actor_ref_assign(actor, a);
    });
}

bool text_effect_notify::step(glyph_record_list&, int32_t p, int32_t) {
    if (p == last_phase) return false;
    last_phase = p;
    uint32_t bit = 0;
    switch (p) {
        case 3: bit = 0x1; break;
        case 4: bit = 0x2; break;
        case 6: bit = 0x4; break;
        case 8: bit = 0x8; break;
        case 9: bit = 0x10; break;
        default: break;
    }
    if ((format & bit) && actor) actor_throw_event(actor, event, nullptr, script_value{0, 0});
    return false;
}

text_effect* text_effect_create(uint32_t& set_format, lua_State* L, int index, int32_t type) {
    text_effect* e = nullptr;
    switch (type) {
        case 1: e = new (std::nothrow) text_effect_fade; break;
        case 2: e = new (std::nothrow) text_effect_shake; break;
        case 3:
        case 4:
        case 5: e = new (std::nothrow) text_effect_alpha; break;
        case 7: e = new (std::nothrow) text_effect_notify; break;
        default: return nullptr;
    }
    if (!e) return nullptr;
    if (!e->parse(L, script_abs_index(L, index))) {
        delete e;
        return nullptr;
    }
    if (type == 1) set_format |= text_set_fade_driven;
    return e;
}
