// system.environ and system.env_*: named Lua states apart from the engine.
#include "core/script.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
system_manager& manager() { return *system_manager::instance(); }

// The environment argument: a name, or a table whose field name holds one;
// anything else reads as the empty name, which never names an environment.
string env_name(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TSTRING) return string(lua_tostring(L, index));
    if (lua_type(L, index) != LUA_TTABLE) return string();
    lua_getfield(L, index, "name");
    string name = lua_type(L, -1) == LUA_TSTRING ? string(lua_tostring(L, -1)) : string();
    lua_pop(L, 1);
    return name;
}

// Reports an unknown environment under origin; true when it exists.
bool env_exists(const string& name, const char* origin) {
    if (manager().find_env(name)) return true;
    system_manager::trace(1, origin, "invalid environ name");
    return false;
}

int invalid_arguments(lua_State* L, const char* origin, bool nil_result) {
    system_manager::trace(1, origin, "invalid arguments");
    if (nil_result)
        lua_pushnil(L);
    else
        lua_pushboolean(L, 0);
    return 1;
}

// Copies position index of env's stack onto L; nil outside the stack.
void push_env_slot(lua_State* env, int index, lua_State* L) {
    int top = lua_gettop(env);
    if (index < 0) index = top + 1 + index;
    if (index < 1 || index > top) {
        lua_pushnil(L);
        return;
    }
    int before = lua_gettop(L);
    script(env).copy_value(L, index);
    if (lua_gettop(L) == before) lua_pushnil(L);
}
}  // namespace

int system_env_open(lua_State* L) {
    lua_pushboolean(L, manager().env_open(env_name(L, 1)) ? 1 : 0);
    return 1;
}

int system_environ(lua_State* L) {
    string name = env_name(L, 1);
    if (!manager().env_open(name)) {
        lua_pushnil(L);
        return 1;
    }
    static const luaL_Reg methods[] = {
        {"close", system_env_close}, {"exec", system_env_exec}, {"exec_file", system_env_exec_file},
        {"get", system_env_get},     {"set", system_env_set},   {nullptr, nullptr},
    };
    lua_createtable(L, 0, 6);
    lua_pushstring(L, name.c_str());
    lua_setfield(L, -2, "name");
    for (const luaL_Reg* m = methods; m->name; ++m) {
        lua_pushcfunction(L, m->func);
        lua_setfield(L, -2, m->name);
    }
    return 1;
}

int system_env_close(lua_State* L) {
    string name = env_name(L, 1);
    if (env_exists(name, "system.env_close")) manager().env_close(name);
    return 0;
}

// (env, value) pushes the value onto the environment's stack; (env, name,
// value) stores it as a global there.
int system_env_set(lua_State* L) {
    const char* origin = "system.env_set";
    int argc = lua_gettop(L);
    if (argc != 2 && !(argc == 3 && lua_type(L, 2) == LUA_TSTRING))
        return invalid_arguments(L, origin, false);
    string name = env_name(L, 1);
    bool ok = env_exists(name, origin) &&
              manager().env_set(name, argc == 3 ? lua_tostring(L, 2) : nullptr, L, argc);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// (env, position) copies a slot of the environment's stack; (env, name)
// copies a global of the environment.
int system_env_get(lua_State* L) {
    const char* origin = "system.env_get";
    int kind = lua_type(L, 2);
    if (lua_gettop(L) < 2 || (kind != LUA_TNUMBER && kind != LUA_TSTRING))
        return invalid_arguments(L, origin, true);
    string name = env_name(L, 1);
    if (!env_exists(name, origin)) {
        lua_pushnil(L);
        return 1;
    }
    if (kind == LUA_TNUMBER) {
        push_env_slot(manager().find_env(name), system_arg_int(L, 2), L);
    } else if (!manager().env_get(name, lua_tostring(L, 2), L)) {
        lua_pushnil(L);
    }
    return 1;
}

int system_env_exec_file(lua_State* L) {
    const char* origin = "system.env_exec_file";
    if (lua_type(L, 2) != LUA_TSTRING) return invalid_arguments(L, origin, false);
    string name = env_name(L, 1);
    bool ok = env_exists(name, origin) && manager().env_exec_file(name, lua_tostring(L, 2));
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// Source text, or a userdata whose bytes are a chunk (source or bytecode).
int system_env_exec(lua_State* L) {
    const char* origin = "system.env_exec";
    int kind = lua_type(L, 2);
    if (kind != LUA_TSTRING && kind != LUA_TUSERDATA && kind != LUA_TLIGHTUSERDATA)
        return invalid_arguments(L, origin, false);
    string name = env_name(L, 1);
    bool ok = false;
    if (env_exists(name, origin)) {
        if (kind == LUA_TSTRING)
            ok = manager().env_exec(name, lua_tostring(L, 2));
        else
            ok = manager().env_exec(name, lua_touserdata(L, 2), lua_objlen(L, 2));
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}
