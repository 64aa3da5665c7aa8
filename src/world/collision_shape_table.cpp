// The positional shape table: {type, ...} read into a pooled shape.
#include <algorithm>

#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lua.h"
#include "world/collision_shape.h"

namespace {
struct shape_source {
    const float* centre;
    const int32_t* frame;
};

// Two optional numbers at [n] and [n + 1]: the second is required once the
// first is there. False when the first is missing.
bool read_pair(lua_State* L, int t, int n, float& a, float& b, const char* first, const char* second) {
    if (!lua_get_index_float(L, t, n, a, true, first)) return false;
    lua_get_index_float(L, t, n + 1, b, false, second);
    return true;
}

void read_box(lua_State* L, int t, const shape_source& src, st_shape* s) {
    float* b = s->bounds;
    if (!read_pair(L, t, 2, b[0], b[1], "invalid left", "no top")) {
        b[0] = float(src.frame[0]) - src.centre[0];
        b[1] = float(src.frame[1]) - src.centre[1];
    }
    if (!read_pair(L, t, 4, b[2], b[3], "invalid right", "no bottom")) {
        b[2] = float(src.frame[2]) - src.centre[0];
        b[3] = float(src.frame[3]) - src.centre[1];
    }
    s->type = shape_box;
}

// t[n] for n = 2, 3, ... until nil; each must be a table. Pushes it.
bool next_point_table(lua_State* L, int t, int n, const char* message) {
    lua_rawgeti(L, t, n);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    if (!lua_istable(L, -1)) throw message;
    return true;
}

void read_polygon(lua_State* L, int t, st_shape* s) {
    s->type = shape_polygon;
    s->edges.reserve(3);
    for (int n = 2; next_point_table(L, t, n, "invalid point"); ++n) {
        const int p = lua_gettop(L);
        float x = 0, y = 0;
        lua_get_index_float(L, p, 1, x, false, "point.x");
        lua_get_index_float(L, p, 2, y, false, "point.y");
        lua_pop(L, 1);
        shape_add_point(s, x, y);
    }
    shape_close(s);
}

void read_circle(lua_State* L, int t, const shape_source& src, st_shape* s) {
    float cx = 0, cy = 0;
    read_pair(L, t, 2, cx, cy, "invalid center.x", "no center.y");
    float r = 0;
    if (!lua_get_index_float(L, t, 4, r, true, "invalid radius")) {
        r = float(std::min(src.frame[2] - src.frame[0], src.frame[3] - src.frame[1]));
    }
    s->type = shape_circle;
    s->circle[0] = cx;
    s->circle[1] = cy;
    s->circle[2] = r;
}

void read_segments(lua_State* L, int t, st_shape* s) {
    s->type = shape_polygon;
    for (int n = 2; next_point_table(L, t, n, "invalid point"); ++n) {
        const int p = lua_gettop(L);
        float v[4] = {};
        lua_get_index_float(L, p, 1, v[0], false, "start_point.x");
        lua_get_index_float(L, p, 2, v[1], false, "start_point.y");
        lua_get_index_float(L, p, 3, v[2], false, "end_point.x");
        lua_get_index_float(L, p, 4, v[3], false, "end_point.y");
        lua_pop(L, 1);
        shape_add_segment(s, v[0], v[1], v[2], v[3]);
    }
}

void read_shape(lua_State* L, int t, const shape_source& src, st_shape* s, bool nested);

void read_joint(lua_State* L, int t, const shape_source& src, st_shape* s, bool nested) {
    if (nested) throw "ShapeJoint is nest";
    s->type = shape_joint;
    st_shape** tail = &s->next;
    for (int n = 2; next_point_table(L, t, n, "invalid sub shape"); ++n) {
        st_shape* sub = shape_alloc();
        if (!sub) throw "fail to load sub shape";
        *tail = sub;  // chained at once, so a failure returns it with the rest
        tail = &sub->next;
        try {
            read_shape(L, lua_gettop(L), src, sub, true);
        } catch (const char* message) {
            // The sub-shape's own reason first, then the joint's.
            system_log_trace(1, "load shape", "%s", message);
            throw "fail to load sub shape";
        }
        lua_pop(L, 1);
    }
}

void read_shape(lua_State* L, int t, const shape_source& src, st_shape* s, bool nested) {
    lua_rawgeti(L, t, 1);
    if (lua_type(L, -1) != LUA_TNUMBER) throw "no shape";
    const double type = lua_tonumber(L, -1);
    lua_pop(L, 1);
    switch (type >= 0 && type <= 4 && type == double(int(type)) ? int(type) : -1) {
    case 0: read_box(L, t, src, s); break;
    case 1: read_polygon(L, t, s); break;
    case 2: read_circle(L, t, src, s); break;
    case 3: read_segments(L, t, s); break;
    case 4: read_joint(L, t, src, s, nested); break;
    default: throw "invalid shape type";
    }
    shape_update_bounds(s);
}
}  // namespace

st_shape* load_shape(lua_State* L, const float centre[2], const int32_t frame_rect[4], st_shape* target,
                     bool nested, shape_list* list) {
    const int top = lua_gettop(L);
    const shape_source src = {centre, frame_rect};
    st_shape* s = target ? target : shape_alloc();
    if (!s) return nullptr;
    try {
        if (!lua_istable(L, top)) throw "no shape";
        read_shape(L, top, src, s, nested);
    } catch (const char* message) {
        system_log_trace(1, "load shape", "%s", message);
        lua_settop(L, top);
        if (target) {
            // The caller's record keeps no partial sub-shapes.
            shape_list_free(target->next);
            shape_reset(target);
        } else {
            shape_list_free(s);
        }
        return nullptr;
    }
    if (!target && list) list->push_back(s);
    return s;
}
