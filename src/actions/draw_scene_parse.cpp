// The scene table of a drawing action, read key by key; the first bad key
// ends the parse with its message, what came before it stays set.
#include <cmath>

#include "actions/draw_action.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "core/trace.h"
#include "lua.h"
#include "world/sprite_class.h"

namespace {
const char* const label = "draw_action.set";

// A number or numeric string at the top of the stack, else the message.
double top_number(lua_State* L, const char* message) {
    if (!lua_isnumber(L, -1)) throw message;
    return lua_tonumber(L, -1);
}

// Field `key` pushed; false (and popped) when it is nil.
bool field(lua_State* L, int table, const char* key) {
    lua_getfield(L, table, key);
    if (!lua_isnil(L, -1)) return true;
    lua_pop(L, 1);
    return false;
}

bool field_number(lua_State* L, int table, const char* key, double& out, const char* message) {
    if (!field(L, table, key)) return false;
    out = top_number(L, message);
    lua_pop(L, 1);
    return true;
}

bool field_int(lua_State* L, int table, const char* key, int32_t& out, const char* message) {
    double v;
    if (!field_number(L, table, key, v, message)) return false;
    out = script_truncate_int(v);
    return true;
}

bool field_bool(lua_State* L, int table, const char* key, bool& out, const char* message) {
    if (!field(L, table, key)) return false;
    if (!lua_isboolean(L, -1)) throw message;
    out = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return true;
}

// Field `key` as a table left on the stack; false when nil.
bool field_table(lua_State* L, int table, const char* key, const char* message) {
    if (!field(L, table, key)) return false;
    if (!lua_istable(L, -1)) throw message;
    return true;
}

// Element n of the table on top; missing: false, or the message when required.
bool element(lua_State* L, int n, double& out, const char* message, bool required) {
    lua_rawgeti(L, -1, n);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        if (required) throw message;
        return false;
    }
    out = top_number(L, message);
    lua_pop(L, 1);
    return true;
}
}  // namespace

void draw_action::parse_state(lua_State* L, int table, draw_scene& s, bool& first) {
    int32_t state = 0;
    if (!field_int(L, table, "state", state, "invalid state")) return;
    st_sprite_class* cls = source_class;
    if (!cls || state < 0 || size_t(state) >= cls->states.size()) throw "invalid state";
    int32_t scene = 0, frame = 0, way = 0;
    field_int(L, table, "scene", scene, "invalid scene");
    int32_t record = cls->states[size_t(state)].start_scene;
    for (int32_t i = 0; i < scene; ++i) {
        if (record < 0 || size_t(record) >= cls->scenes.size()) throw "invalid scene";
        record = cls->scenes[size_t(record)].next;
    }
    if (record < 0 || size_t(record) >= cls->scenes.size()) throw "invalid scene";
    field_int(L, table, "frame", frame, "invalid frame");
    while (frame > 0 && cls->scenes[size_t(record)].start + frame >= cls->scenes[size_t(record)].end) {
        const st_sprite_scene& r = cls->scenes[size_t(record)];
        if (r.next < 0 || size_t(r.next) >= cls->scenes.size()) throw "invalid frame";
        frame -= r.end - r.start;
        record = r.next;
    }
    // Ways outside 0 to 7 have no per-way entry to read.
    if (field_int(L, table, "way", way, "invalid way") && (way < 0 || way >= way_count)) throw "invalid way";
    const int32_t index = cls->scenes[size_t(record)].start + (frame > 0 ? frame : 0);
    if (index < 0 || size_t(index) >= cls->frames.size()) throw "invalid frame";
    const st_sprite_frame& f = cls->frames[size_t(index)];
    s.center[0] = cls->centers[way][0];
    s.center[1] = cls->centers[way][1];
    s.rect[0] = f.x[way];
    s.rect[1] = f.y[way];
    s.rect[2] = s.rect[0] + cls->cx;
    s.rect[3] = s.rect[1] + cls->cy;
    s.rotate = f.rotation[way];
    s.size[0] = f.scale[0];
    s.size[1] = f.scale[1];
    s.color = f.color;
    first = false;
}

void draw_action::parse_keys(lua_State* L, int table, draw_scene& s) {
    bool first = s.flags == 0;
    s.flags |= scene_defined;
    parse_state(L, table, s, first);
    double v;
    if (field_table(L, table, "rect", "no rect")) {
        const char* names[4] = {"no rect.left", "no rect.top", "no rect.right", "no rect.bottom"};
        for (int i = 0; i < 4; ++i) {
            element(L, i + 1, v, names[i], true);
            s.rect[i] = script_truncate_int(v);
        }
        lua_pop(L, 1);
    } else if (first) {
        throw "no rect";
    }
    bool b = false;
    if (field_bool(L, table, "tile", b, "invalid tile")) s.flags = b ? s.flags | scene_tile : s.flags & ~scene_tile;
    const float w = float(s.rect[2] - s.rect[0]), h = float(s.rect[3] - s.rect[1]);
    if (first) {
        // The drawer's pivot is measured from the rect's corner, as the
        // class centres are; measured from the image's it would shift
        // every scene not cut at the origin by the rect's place.
        s.center[0] = w * 0.5f;
        s.center[1] = h * 0.5f;
        s.flags |= scene_active;
        s.reset_animation();
        if (s.flags & scene_tile) {
            s.size[0] = w;
            s.size[1] = h;
        }
    }
    if (field_table(L, table, "offset", "invalid offset")) {
        element(L, 1, v, "no offset.x", true);
        s.offset[0] = float(v);
        element(L, 2, v, "no offset.y", true);
        s.offset[1] = float(v);
        s.offset[2] = element(L, 3, v, "invalid offset.z", false) ? float(v) : 0.0f;
        lua_pop(L, 1);
    }
    field_int(L, table, "layer", s.layer, "invalid layer");
    field_int(L, table, "zorder", s.zorder, "invalid zorder");
    if (field_table(L, table, "center", "invalid center")) {
        element(L, 1, v, "no center.x", true);
        s.center[0] = float(v);
        element(L, 2, v, "no center.y", true);
        s.center[1] = float(v);
        lua_pop(L, 1);
    }
    if (field_number(L, table, "rotate", v, "invalid rotate")) s.rotate = float(v);
    if (field_table(L, table, "size", "invalid size")) {
        const bool tile = (s.flags & scene_tile) != 0;
        // An empty rect has no scale to give: the size stays as it was.
        if (element(L, 1, v, "invalid size.cx", false)) {
            const float cx = float(script_truncate_int(v));
            if (tile) s.size[0] = cx;
            else if (w != 0.0f) s.size[0] = cx / w;
        }
        if (element(L, 2, v, "invalid size.cy", false)) {
            const float cy = float(script_truncate_int(v));
            if (tile) s.size[1] = cy;
            else if (h != 0.0f) s.size[1] = cy / h;
        }
        lua_pop(L, 1);
    }
    if (field(L, table, "color")) {
        s.color = script_truncate_uint(top_number(L, "invalid color"));
        lua_pop(L, 1);
    }
    if (field_number(L, table, "alpha", v, "invalid alpha")) s.set_alpha(v);
    if (field_bool(L, table, "pixelize", b, "invalid pixelize")) {
        s.flags = b ? s.flags | scene_pixelize : s.flags & ~scene_pixelize;
    }
    lua_getfield(L, table, "image");
    if (lua_type(L, -1) == LUA_TSTRING) {
        if (!s.image.load(lua_tostring(L, -1)) || !s.image.get()) throw "invalid image";
    }
    lua_pop(L, 1);
    if (field(L, table, "scene")) {
        if (lua_istable(L, -1)) {
            element(L, 1, v, "no scene.end", true);
            s.tiles = script_truncate_uint(v);
            s.wait = element(L, 2, v, "invalid scene.wait", false) ? float(v) : 8.0f;
        }
        lua_pop(L, 1);
        s.reset_animation();
    }
    if (field_bool(L, table, "visible", b, "invalid visible")) s.set_active(b);
    if ((s.flags & scene_tile) && s.tile_quads() > max_tile_quads) {
        // One rect's worth is what a fresh tiled scene covers.
        s.size[0] = w;
        s.size[1] = h;
        throw "too many tiles";
    }
}

bool draw_action::parse_scene(lua_State* L, int table, size_t n) {
    const int top = lua_gettop(L);
    table = script_abs_index(L, table);
    draw_scene* s = scene_at(n);
    try {
        if (!s) throw "invalid scene index";
        parse_keys(L, table, *s);
        return true;
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, label, "%s", message);
        TRACE_ERROR(label, message, -1);
        return false;
    }
}
