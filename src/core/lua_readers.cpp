// Predicates, converters, getters and the element readers of script tables.
#include "core/lua_readers.h"

#include <cmath>

#include "lauxlib.h"

namespace {

// -2^63 <= value < 2^63: the range a 64-bit conversion is defined for.
bool fits_int64(double value) { return value >= -9223372036854775808.0 && value < 9223372036854775808.0; }

// The low 32 bits of a whole number, the way the x86 integer conversions
// have always handed them to the engine.
uint32_t low_bits(double whole) {
    if (!fits_int64(whole)) return 0;  // also NaN
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(whole)));
}

// Pushes t[n] or t.name, then converts it by the common rule.
template <class T, class Convert>
bool read_element(lua_State* state, T& out, bool optional, const char* message, Convert convert) {
    T value;
    if (convert(state, -1, value)) {
        lua_pop(state, 1);
        out = value;
        return true;
    }
    if (optional && lua_isnil(state, -1)) {
        lua_pop(state, 1);
        return false;
    }
    if (message) throw message;
    lua_pop(state, 1);
    return false;
}

void push_field(lua_State* state, int table, const char* name) {
    lua_getfield(state, script_abs_index(state, table), name);
}

bool read_table(lua_State* state, bool optional, const char* message) {
    if (lua_istable(state, -1)) return true;
    if (optional && lua_isnil(state, -1)) {
        lua_pop(state, 1);
        return false;
    }
    if (message) throw message;
    lua_pop(state, 1);
    return false;
}

bool get_long(lua_State* state, int index, long& out) {
    int32_t value;
    if (!lua_get_int(state, index, value)) return false;
    out = value;
    return true;
}

}  // namespace

bool lua_is_none_or_nil(lua_State* state, int index) { return lua_type(state, index) <= LUA_TNIL; }
bool lua_is_number(lua_State* state, int index) { return lua_type(state, index) == LUA_TNUMBER; }
bool lua_is_string(lua_State* state, int index) { return lua_type(state, index) == LUA_TSTRING; }
bool lua_is_table(lua_State* state, int index) { return lua_type(state, index) == LUA_TTABLE; }

const char* lua_get_cstring(lua_State* state, int index) {
    int type = lua_type(state, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) return nullptr;
    return lua_tostring(state, index);
}

int32_t script_round_int(double value) {
    double whole = std::floor(value);
    double rest = value - whole;  // exact
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return static_cast<int32_t>(low_bits(whole));
}

int32_t script_truncate_int(double value) { return static_cast<int32_t>(low_bits(std::trunc(value))); }
uint32_t script_truncate_uint(double value) { return low_bits(std::trunc(value)); }

uint32_t lua_to_uint(lua_State* state, int index) { return script_truncate_uint(lua_tonumber(state, index)); }
bool lua_to_bool(lua_State* state, int index) { return lua_toboolean(state, index) != 0; }

void* lua_to_pointer(lua_State* state, int index) {
    int type = lua_type(state, index);
    if (type != LUA_TLIGHTUSERDATA && type != LUA_TUSERDATA) return nullptr;
    return lua_touserdata(state, index);
}

int script_abs_index(lua_State* state, int index) {
    if (index == 0) return lua_gettop(state);
    // Pseudo-indices (registry, environment, globals, upvalues) are not
    // positions on the stack.
    if (index > 0 || index <= LUA_REGISTRYINDEX) return index;
    return lua_gettop(state) + index + 1;
}

void script_remove(lua_State* state, int index) { lua_remove(state, index); }

void script_ref_push(lua_State* state, int ref) {
    if (ref > 0)
        lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
    else
        lua_pushnil(state);
}

bool lua_get_int(lua_State* state, int index, int32_t& out) {
    if (!lua_isnumber(state, index)) return false;
    out = script_round_int(lua_tonumber(state, index));
    return true;
}

bool lua_get_uint(lua_State* state, int index, uint32_t& out) {
    if (!lua_isnumber(state, index)) return false;
    out = script_truncate_uint(lua_tonumber(state, index));
    return true;
}

bool lua_get_double(lua_State* state, int index, double& out) {
    if (!lua_isnumber(state, index)) return false;
    out = lua_tonumber(state, index);
    return true;
}

bool lua_get_float(lua_State* state, int index, float& out) {
    if (!lua_isnumber(state, index)) return false;
    out = static_cast<float>(lua_tonumber(state, index));
    return true;
}

bool lua_get_string(lua_State* state, int index, string& out) {
    const char* text = lua_get_cstring(state, index);
    if (!text) return false;
    out = text;
    return true;
}

bool lua_get_bool(lua_State* state, int index, bool& out) {
    if (lua_type(state, index) != LUA_TBOOLEAN) return false;
    out = lua_toboolean(state, index) != 0;
    return true;
}

bool lua_get_pointer(lua_State* state, int index, void*& out) {
    int type = lua_type(state, index);
    if (type != LUA_TLIGHTUSERDATA && type != LUA_TUSERDATA) return false;
    out = lua_touserdata(state, index);
    return true;
}

void lua_get_index(lua_State* state, int table, int n) {
    table = script_abs_index(state, table);
    lua_pushinteger(state, n);
    lua_gettable(state, table);
}

void lua_set_index_number(lua_State* state, int table, int n, double value) {
    table = script_abs_index(state, table);
    lua_pushinteger(state, n);
    lua_pushnumber(state, value);
    lua_settable(state, table);
}

bool lua_get_index_uint(lua_State* state, int table, int n, uint32_t& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, lua_get_uint);
}

bool lua_get_index_int(lua_State* state, int table, int n, int32_t& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, lua_get_int);
}

bool lua_get_index_long(lua_State* state, int table, int n, long& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, get_long);
}

bool lua_get_index_float(lua_State* state, int table, int n, float& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, lua_get_float);
}

bool lua_get_index_double(lua_State* state, int table, int n, double& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, lua_get_double);
}

bool lua_get_index_string(lua_State* state, int table, int n, string& out, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_element(state, out, optional, message, lua_get_string);
}

bool lua_get_field_int(lua_State* state, int table, const char* name, int32_t& out, bool optional,
                       const char* message) {
    push_field(state, table, name);
    return read_element(state, out, optional, message, lua_get_int);
}

bool lua_get_field_uint(lua_State* state, int table, const char* name, uint32_t& out, bool optional,
                        const char* message) {
    push_field(state, table, name);
    return read_element(state, out, optional, message, lua_get_uint);
}

bool lua_get_field_float(lua_State* state, int table, const char* name, float& out, bool optional,
                         const char* message) {
    push_field(state, table, name);
    return read_element(state, out, optional, message, lua_get_float);
}

bool lua_get_field_bool(lua_State* state, int table, const char* name, bool& out, const char* message) {
    push_field(state, table, name);
    if (lua_isnil(state, -1)) {
        lua_pop(state, 1);
        out = false;
        return true;
    }
    return read_element(state, out, false, message, lua_get_bool);
}

bool lua_get_field_table(lua_State* state, int table, const char* name, bool optional, const char* message) {
    push_field(state, table, name);
    return read_table(state, optional, message);
}

bool lua_get_index_table(lua_State* state, int table, int n, bool optional, const char* message) {
    lua_get_index(state, table, n);
    return read_table(state, optional, message);
}

bool lua_get_other_set(lua_State* state, void*& out) {
    if (!lua_istable(state, 2)) return false;
    lua_getfield(state, 2, "set");
    return read_element(state, out, true, "invalid other set", lua_get_pointer);
}

bool lua_get_rect_attribute(lua_State* state, int table, bool& out) {
    lua_get_index(state, table, 5);
    return read_element(state, out, true, "invalid rect.attribute", lua_get_bool);
}
