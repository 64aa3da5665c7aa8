#include "world/table_readers.h"

#include <algorithm>

int32_t read_ways(lua_State* L, int table, const char* key, int32_t default_ways, const char* message) {
    table = script_abs_index(L, table);
    lua_getfield(L, table, key ? key : "ways");
    int32_t ways = default_ways;
    if (!lua_isnil(L, -1) && !lua_get_int(L, -1, ways)) throw message;
    lua_pop(L, 1);
    if (ways < 1) ways = int32_t(lua_objlen(L, table));
    if (ways != 1 && ways != 2 && ways != 4 && ways != 8) throw message;
    return ways;
}

bool read_field_string(lua_State* L, int table, const char* name, string& out, bool optional,
                       const char* message) {
    lua_getfield(L, script_abs_index(L, table), name);
    if (lua_get_string(L, -1, out)) {
        lua_pop(L, 1);
        return true;
    }
    if (optional && lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    throw message;
}

bool load_shape(lua_State* L, int index, const shape_frame& frame, st_shape*& out, shape_list& owned) {
    lua_pushvalue(L, index);
    out = load_shape(L, frame.origin, frame.rect, nullptr, false, &owned);
    lua_pop(L, 1);
    return out != nullptr;
}

bool load_way_shapes(lua_State* L, int description, const shape_frame& frame, int32_t default_ways,
                     st_shape* const* references, int32_t reference_count, st_shape* out[8],
                     shape_list& owned) {
    description = script_abs_index(L, description);
    lua_rawgeti(L, description, 1);
    const bool list = lua_istable(L, -1);
    lua_pop(L, 1);
    const int32_t ways = read_ways(L, description, nullptr, default_ways, "invalid shapes.ways");
    int32_t sets = 1;
    if (list) {
        sets = read_ways(L, description, "sets", std::min(ways, default_ways), "invalid shapes.sets");
        if (sets > ways) throw "invalid shapes.sets";
    }
    const float step = -float(360 / (ways / sets));
    for (int32_t s = 0; s < sets; ++s) {
        if (list) {
            lua_rawgeti(L, description, s + 1);
        } else {
            lua_pushvalue(L, description);
        }
        st_shape* shape = nullptr;
        if (references && lua_type(L, -1) == LUA_TNUMBER) {
            const int32_t k = script_truncate_int(lua_tonumber(L, -1));
            if (k < 0 || k >= reference_count) throw "invalid shapes[way]";
            shape = references[k];
        } else if (!lua_istable(L, -1) || !load_shape(L, -1, frame, shape, owned)) {
            throw "invalid shapes[way]";
        }
        lua_pop(L, 1);
        // Every 8 / ways ways a copy turned one step further; the ways in
        // between take the shape of the way before them.
        const int32_t first = s * 8 / sets, end = (s + 1) * 8 / sets, every = 8 / ways;
        st_shape* current = shape;
        for (int32_t w = first; w < end; ++w) {
            if (w > first && (w - first) % every == 0) {
                current = shape_rotate_copy(shape, step * float((w - first) / every));
                if (!current) throw "invalid shapes[way]";
                owned.push_back(current);
            }
            out[w] = current;
        }
    }
    return true;
}
