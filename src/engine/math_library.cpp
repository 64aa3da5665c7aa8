// The engine's functions in Lua's math and string tables.
#include "engine/math_library.h"

#include <new>
#include <string>

#include "core/lua_readers.h"
#include "core/random.h"
#include "core/random_manager.h"
#include "engine/math_additions.h"
#include "graphics/trigon.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
uint32_t arg_uint(lua_State* L, int index) { return lua_to_uint(L, index); }

int push_uint(lua_State* L, uint32_t v) {
    lua_pushnumber(L, static_cast<lua_Number>(v));
    return 1;
}

// math.round(x [, threshold = 0.5])
int math_round(lua_State* L) {
    double threshold = lua_gettop(L) < 2 ? 0.5 : (lua_isnumber(L, 2) ? lua_tonumber(L, 2) : 0.0);
    lua_pushnumber(L, round_threshold(lua_tonumber(L, 1), threshold));
    return 1;
}

// math.sincos(deg, ...): sine and cosine of each.
int math_sincos(lua_State* L) {
    int n = lua_gettop(L);
    luaL_checkstack(L, 2 * n, "too many angles");
    const fast_trigon& t = fast_trigon::instance();
    for (int i = 1; i <= n; ++i) {
        int32_t k = trigon_table_index(lua_tonumber(L, i));
        lua_pushnumber(L, t.sin_table[k]);
        lua_pushnumber(L, t.cos_table[k]);
    }
    return 2 * n;
}

int math_bitand(lua_State* L) { return push_uint(L, arg_uint(L, 1) & arg_uint(L, 2)); }
int math_bitor(lua_State* L) { return push_uint(L, arg_uint(L, 1) | arg_uint(L, 2)); }
int math_bitxor(lua_State* L) { return push_uint(L, arg_uint(L, 1) ^ arg_uint(L, 2)); }
int math_bitnot(lua_State* L) { return push_uint(L, ~arg_uint(L, 1)); }

// math.bittest(a, m1, ...): a AND m, or false when that is 0, per mask.
int math_bittest(lua_State* L) {
    int n = lua_gettop(L);
    uint32_t a = arg_uint(L, 1);
    luaL_checkstack(L, n, "too many masks");
    for (int i = 2; i <= n; ++i) {
        uint32_t v = a & arg_uint(L, i);
        if (v) lua_pushnumber(L, v);
        else lua_pushboolean(L, 0);
    }
    return n > 1 ? n - 1 : 0;
}

// math.bitset(n) | (a, bit) | (a, bit, on)
int math_bitset(lua_State* L) {
    switch (lua_gettop(L)) {
    case 1: {
        uint32_t n = arg_uint(L, 1);
        push_uint(L, n >> 5);
        return push_uint(L, n & 31) + 1;
    }
    case 2:
        lua_pushboolean(L, (arg_uint(L, 1) >> (arg_uint(L, 2) & 31)) & 1);
        return 1;
    case 3: {
        uint32_t mask = 1u << (arg_uint(L, 2) & 31);
        uint32_t a = arg_uint(L, 1);
        return push_uint(L, lua_toboolean(L, 3) ? a | mask : a & ~mask);
    }
    default:
        lua_pushnil(L);
        return 1;
    }
}

// Named for the direction of the bits' digits on paper: lshift moves them
// toward the low end.
int math_lshift(lua_State* L) { return push_uint(L, arg_uint(L, 1) >> (arg_uint(L, 2) & 31)); }
int math_rshift(lua_State* L) { return push_uint(L, arg_uint(L, 1) << (arg_uint(L, 2) & 31)); }

// A copy of the array at index 1 with every bit, or one bit, changed.
int push_changed_array(lua_State* L, bool every, uint32_t bit, bool on) {
    size_t size = 0;
    const char* bytes = lua_tolstring(L, 1, &size);
    std::string copy(bytes, size);
    if (every) copy.assign(size, on ? '\xFF' : '\0');
    else bit_array_set(&copy[0], size, bit, on);
    lua_pushlstring(L, copy.data(), copy.size());
    return 1;
}

// math.bitarray(bits) | (array, i) | (array, i, on) | (array, on)
int math_bitarray(lua_State* L) {
    if (lua_type(L, 1) == LUA_TNUMBER) {
        size_t bytes = bit_array_bytes(arg_uint(L, 1));
        std::string zeros;
        try {
            zeros.assign(bytes, '\0');
        } catch (const std::bad_alloc&) {
            return luaL_error(L, "math.bitarray: not enough memory for %d bytes", static_cast<int>(bytes));
        }
        lua_pushlstring(L, zeros.data(), zeros.size());
        return 1;
    }
    if (lua_type(L, 1) != LUA_TSTRING) {
        lua_pushnil(L);
        return 1;
    }
    if (lua_type(L, 2) == LUA_TBOOLEAN) return push_changed_array(L, true, 0, lua_toboolean(L, 2) != 0);
    if (lua_gettop(L) >= 3) return push_changed_array(L, false, arg_uint(L, 2), lua_toboolean(L, 3) != 0);
    size_t size = 0;
    const char* bytes = lua_tolstring(L, 1, &size);
    lua_pushboolean(L, bit_array_test(bytes, size, arg_uint(L, 2)));
    return 1;
}

// The three draw forms by the count of arguments.
int draw(lua_State* L, irandom& g) {
    switch (lua_gettop(L)) {
    case 0: return push_uint(L, g.next());
    case 1: return push_uint(L, random_draw_below(g, arg_uint(L, 1)));
    default: return push_uint(L, random_draw_between(g, arg_uint(L, 1), arg_uint(L, 2)));
    }
}

int reseed(lua_State* L, irandom& g) {
    g.seed(lua_isnumber(L, 1) ? arg_uint(L, 1) : 0);
    return 0;
}

int math_srandom(lua_State* L) { return draw(L, script_xorshift_random()); }
int math_srandomseed(lua_State* L) { return reseed(L, script_xorshift_random()); }
int math_xrandom(lua_State* L) { return draw(L, script_mt_random()); }
int math_xrandomseed(lua_State* L) { return reseed(L, script_mt_random()); }
int math_frandom(lua_State* L) { return draw(L, script_buffered_random()); }
int math_frandomseed(lua_State* L) { return reseed(L, script_buffered_random()); }

const luaL_Reg math_functions[] = {
    {"round", math_round},
    {"sincos", math_sincos},
    {"bitand", math_bitand},
    {"bitor", math_bitor},
    {"bitxor", math_bitxor},
    {"bitnot", math_bitnot},
    {"bittest", math_bittest},
    {"bitset", math_bitset},
    {"lshift", math_lshift},
    {"rshift", math_rshift},
    {"bitarray", math_bitarray},
    {"bitary", math_bitarray},
    {"srandom", math_srandom},
    {"srandomseed", math_srandomseed},
    {"xrandom", math_xrandom},
    {"xrandomseed", math_xrandomseed},
    {"frandom", math_frandom},
    {"frandomseed", math_frandomseed},
    {nullptr, nullptr},
};

// string.firstof(s): the leading number and the text after the first
// character.
int string_firstof(lua_State* L) {
    size_t size = 0;
    const char* text = lua_type(L, 1) == LUA_TSTRING || lua_type(L, 1) == LUA_TNUMBER ? lua_tolstring(L, 1, &size) : "";
    push_uint(L, leading_number(text, size));
    size_t rest = after_first_character(text, size);
    lua_pushlstring(L, text + rest, size - rest);
    return 2;
}
}  // namespace

void register_math_additions(lua_State* L) {
    luaL_register(L, "math", math_functions);
    lua_pop(L, 1);
    randgen_register(L);
}

void register_string_additions(lua_State* L) {
    lua_getglobal(L, "string");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushcfunction(L, string_firstof);
    lua_setfield(L, -2, "firstof");
    lua_pop(L, 1);
}
