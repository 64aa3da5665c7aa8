#include "core/script_value.h"

#include "core/lua_readers.h"
#include "core/script.h"

#include "lauxlib.h"

namespace {

// Threads of one Lua universe share the registry; lua_xmove is only valid
// between those.
bool same_universe(lua_State* a, lua_State* b) {
    lua_pushvalue(a, LUA_REGISTRYINDEX);
    lua_pushvalue(b, LUA_REGISTRYINDEX);
    bool same = lua_topointer(a, -1) == lua_topointer(b, -1);
    lua_pop(a, 1);
    lua_pop(b, 1);
    return same;
}

void push_stack_value(int index, lua_State* dest, lua_State* source) {
    if (!source || source == dest) {
        lua_pushvalue(dest, index);
        return;
    }
    if (same_universe(source, dest)) {
        lua_pushvalue(source, index);
        lua_xmove(source, dest, 1);
        return;
    }
    script(source).copy_value(dest, index);
}

}  // namespace

void script_value_push(const script_value& value, lua_State* dest, lua_State* source) {
    switch (value.kind) {
    case script_value_pointer:
    case script_value_object:
        lua_pushlightuserdata(dest, reinterpret_cast<void*>(value.data));
        return;
    case script_value_stack:
        push_stack_value(static_cast<int>(value.data), dest, source);
        return;
    case script_value_integer:
        lua_pushnumber(dest, static_cast<int32_t>(value.data));
        return;
    case script_value_reference:
        script_ref_push(dest, static_cast<int>(value.data));
        return;
    default:
        return;
    }
}

void script_value_release(script_value& value, lua_State* state) {
    if (value.kind == script_value_object) {
        delete reinterpret_cast<script_value_object_base*>(value.data);
    } else if (value.kind == script_value_reference) {
        int ref = static_cast<int>(value.data);
        if (ref > 0 && state) luaL_unref(state, LUA_REGISTRYINDEX, ref);
    }
    value.kind = script_value_none;
    value.data = 0;
}

uint32_t script_value_from_stack(lua_State* state, script_typed_value& value) {
    const uint32_t accepted = value.kinds;
    const int type = lua_type(state, -1);
    const bool numeric = lua_isnumber(state, -1) != 0;
    auto accept = [&](uint32_t kind) { return (accepted & kind) != 0; };

    if (accept(script_typed_nil) && type == LUA_TNIL) {
        value.kinds = script_typed_nil;
    } else if (accept(script_typed_number) && numeric) {
        value.kinds = script_typed_number;
        value.data.number = lua_tonumber(state, -1);
    } else if (accept(script_typed_truncated) && numeric) {
        value.kinds = script_typed_truncated;
        value.data.integer = script_truncate_int(lua_tonumber(state, -1));
    } else if (accept(script_typed_rounded) && numeric) {
        value.kinds = script_typed_rounded;
        value.data.integer = script_round_int(lua_tonumber(state, -1));
    } else if (accept(script_typed_boolean) && type == LUA_TBOOLEAN) {
        value.kinds = script_typed_boolean;
        value.data.number = lua_toboolean(state, -1) ? 1.0 : 0.0;
    } else if (accept(script_typed_string) && (type == LUA_TSTRING || type == LUA_TNUMBER)) {
        value.kinds = script_typed_string;
        value.data.text = lua_tostring(state, -1);
    } else if (accept(script_typed_userdata) && (type == LUA_TUSERDATA || type == LUA_TLIGHTUSERDATA)) {
        value.kinds = script_typed_userdata;
        value.data.pointer = lua_touserdata(state, -1);
    } else if (accept(script_typed_thread) && type == LUA_TTHREAD) {
        value.kinds = script_typed_thread;
        value.data.thread = lua_tothread(state, -1);
    } else if (accept(script_typed_function) && type == LUA_TFUNCTION) {
        value.kinds = script_typed_function;
        value.data.index = lua_gettop(state);
    } else if (accept(script_typed_table) && type == LUA_TTABLE) {
        value.kinds = script_typed_table;
        value.data.index = lua_gettop(state);
    } else {
        return 0;
    }
    return value.kinds;
}
