// The system manager's script environments: values copied in and out, and
// code run inside them.
#include "core/script.h"
#include "engine/script_files.h"
#include "engine/system_manager.h"
#include "world/script_link.h"

#include "lua.h"

namespace {
// Copies the value at index of from onto to: exactly one value, nil when
// even that could not be made.
void copy_one(lua_State* from, int index, lua_State* to) {
    int top = lua_gettop(to);
    script(from).copy_value(to, index);
    if (lua_gettop(to) == top && lua_checkstack(to, 1)) lua_pushnil(to);
}

bool run_loaded(lua_State* env, bool loaded, script_error_info& info, const char* origin) {
    if (loaded && script(env).call(0, 0, info)) return true;
    script_report_error_text(info, origin);
    return false;
}
}  // namespace

bool system_manager::env_set(const string& name, const char* global, lua_State* from, int index) {
    lua_State* env = find_env(name);
    if (!env || !lua_checkstack(env, 2)) return false;
    copy_one(from, index, env);
    if (global) lua_setfield(env, LUA_GLOBALSINDEX, global);
    return true;
}

bool system_manager::env_get(const string& name, const char* global, lua_State* to) {
    lua_State* env = find_env(name);
    if (!env || !lua_checkstack(env, 1)) return false;
    lua_getfield(env, LUA_GLOBALSINDEX, global);
    copy_one(env, -1, to);
    lua_pop(env, 1);
    return true;
}

bool system_manager::env_exec_file(const string& name, const char* script_name) {
    lua_State* env = find_env(name);
    if (!env) return false;
    script_error_info info;
    wstring path;
    string package;
    bool loaded = false;
    if (!find_script(script_name, path, package))
        string_printf(info.message, "script not found \"%s\"", script_name);
    else
        loaded = script_load_path(path, env, package, info);
    return run_loaded(env, loaded, info, "system.env_exec_file");
}

bool system_manager::env_exec(const string& name, const char* text) {
    lua_State* env = find_env(name);
    if (!env) return false;
    script_error_info info;
    return run_loaded(env, script(env).load(text, info), info, "system.env_exec");
}

bool system_manager::env_exec(const string& name, const void* bytes, size_t length) {
    lua_State* env = find_env(name);
    if (!env) return false;
    script_error_info info;
    return run_loaded(env, script(env).load_buffer(bytes, length, info), info, "system.env_exec");
}
