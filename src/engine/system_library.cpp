#include "engine/system_library.h"

#include <cmath>
#include <vector>

#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "world/actor_manager.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
int32_t to_int(lua_State* L, int index) {
    return static_cast<int32_t>(std::trunc(lua_tonumber(L, index)));
}

// system.callback(id, function) registers; system.callback(id, ...) calls.
int system_callback(lua_State* L) {
    int id = to_int(L, 1);
    system_manager* sm = system_manager::instance();
    if (lua_isfunction(L, 2)) {
        lua_settop(L, 2);
        if (id < 0 || id >= system_manager::callback_count || !sm->set_callback(id)) {
            system_manager::trace(1, "system.callback", "fail to register: %d", id);
            lua_pushboolean(L, 0);
            return 1;
        }
        lua_pushboolean(L, 1);
        return 1;
    }
    int count = lua_gettop(L) - 1;
    if (count < 0) count = 0;
    // The values travel on the main state's stack, where the callback runs.
    lua_State* main = sm->lua();
    int base = lua_gettop(main);
    std::vector<callback_value> values(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        callback_value& v = values[static_cast<size_t>(i)];
        int at = i + 2;
        switch (lua_type(L, at)) {
        case LUA_TBOOLEAN: v.kind = callback_value::kind_bool; v.boolean = lua_toboolean(L, at) ? 1 : 0; break;
        case LUA_TNUMBER: v.kind = callback_value::kind_number; v.number = lua_tonumber(L, at); break;
        case LUA_TSTRING: v.kind = callback_value::kind_string; v.pointer = lua_tostring(L, at); break;
        case LUA_TLIGHTUSERDATA: v.kind = callback_value::kind_pointer; v.pointer = lua_touserdata(L, at); break;
        case LUA_TNIL:
        case LUA_TNONE: v.kind = callback_value::kind_nil; break;
        default:
            lua_pushvalue(L, at);
            if (L != main) lua_xmove(L, main, 1);
            v.kind = lua_istable(main, -1) ? callback_value::kind_table : callback_value::kind_other;
            v.index = lua_gettop(main);
            break;
        }
    }
    int32_t result = 0;
    bool ok = sm->call_callback(id, count, values.data(), result);
    if (L != main) lua_settop(main, base);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.exit(code [, force]): a non-zero code always forces the close.
int system_exit(lua_State* L) {
    int32_t code = to_int(L, 1);
    bool force = lua_toboolean(L, 2) || code != 0;
    request_exit(code, force);
    return 0;
}

int system_frame(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(system_manager::instance()->frame()));
    return 1;
}

int system_last_exit_code(lua_State* L) {
    startup_settings* s = current_settings();
    lua_pushnumber(L, s ? s->last_exit_code : 0);
    return 1;
}

// system.trace() reads the level, (level) sets it, (level, message) writes.
int system_trace(lua_State* L) {
    system_log_file& log = engine_system_log();
    if (lua_gettop(L) == 0) {
        lua_pushnumber(L, log.level());
        return 1;
    }
    if (lua_type(L, 1) != LUA_TNUMBER) {
        system_manager::trace(1, "system.trace", "invalid trace level");
        return 0;
    }
    int32_t level = to_int(L, 1);
    if (lua_gettop(L) == 1) {
        log.set_level(level);
        return 0;
    }
    if (level < 0 || level >= system_log_level_count) {
        system_manager::trace(1, "system.trace", "invalid trace level");
        return 0;
    }
    const char* message = lua_tostring(L, 2);
    system_manager::trace(level, "trace", "%s", message ? message : "");
    return 0;
}

// system.fork(function or script name [, actor, end event]).
int system_fork(lua_State* L) {
    system_manager* sm = system_manager::instance();
    actor_object* owner = lua_gettop(L) >= 2 ? to_actor(L, 2) : nullptr;
    int32_t event = lua_gettop(L) >= 3 ? to_int(L, 3) : 0;
    bool ok = false;
    if (lua_type(L, 1) == LUA_TSTRING) {
        ok = sm->create_thread(owner, event, L, lua_tostring(L, 1));
    } else if (lua_isfunction(L, 1)) {
        lua_pushvalue(L, 1);
        ok = sm->create_thread(owner, event, L, nullptr);
    } else {
        system_manager::trace(1, "system.fork", "invalid arg");
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

const luaL_Reg system_functions[] = {
    {"fork", system_fork},
    {"callback", system_callback},
    {"exit", system_exit},
    {"trace", system_trace},
    {"frame", system_frame},
    {"last_exit_code", system_last_exit_code},
    {nullptr, nullptr},
};
}  // namespace

void register_system_library(lua_State* L) { luaL_register(L, "system", system_functions); }
