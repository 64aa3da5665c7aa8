// system.fork and system.callback: script threads and the callback slots.
#include <vector>

#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "world/actor_manager.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
// Pushes the argument at `at` of L onto the main state: callbacks run there,
// and a caller running in a coroutine has its values on its own stack.
void move_to_main(lua_State* L, int at, lua_State* main) {
    lua_pushvalue(L, at);
    if (L != main) lua_xmove(L, main, 1);
}

callback_value value_of(lua_State* L, int at, lua_State* main) {
    callback_value v = {};
    switch (lua_type(L, at)) {
    case LUA_TBOOLEAN:
        v.kind = callback_value::kind_bool;
        v.boolean = lua_toboolean(L, at) ? 1 : 0;
        break;
    case LUA_TNUMBER:
        v.kind = callback_value::kind_number;
        v.number = lua_tonumber(L, at);
        break;
    case LUA_TSTRING:
        // The text stays alive as the caller's argument for the whole call.
        v.kind = callback_value::kind_string;
        v.pointer = lua_tostring(L, at);
        break;
    case LUA_TLIGHTUSERDATA:
        v.kind = callback_value::kind_pointer;
        v.pointer = lua_touserdata(L, at);
        break;
    case LUA_TNIL:
    case LUA_TNONE:
        v.kind = callback_value::kind_nil;
        break;
    default:
        v.kind = lua_istable(L, at) ? callback_value::kind_table : callback_value::kind_other;
        move_to_main(L, at, main);
        v.index = lua_gettop(main);
        break;
    }
    return v;
}

int register_callback(lua_State* L, system_manager* sm, int32_t id) {
    lua_State* main = sm->lua();
    bool ok = false;
    if (id >= 0 && id < system_manager::callback_count && main) {
        move_to_main(L, 2, main);
        ok = sm->set_callback(id);
    }
    if (!ok) system_manager::trace(1, "system.callback", "fail to register: %d", id);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// Every argument after the id is handed on.
int call_callback(lua_State* L, system_manager* sm, int32_t id) {
    lua_State* main = sm->lua();
    int count = lua_gettop(L) > 1 ? lua_gettop(L) - 1 : 0;
    if (!main) {
        lua_pushboolean(L, 0);
        return 1;
    }
    // Room for the copied values, then the function and each value again.
    if (!lua_checkstack(main, 2 * count + 4)) {
        system_manager::trace(1, "system.callback", "too many values: %d", count);
        lua_pushboolean(L, 0);
        return 1;
    }
    int base = lua_gettop(main);
    std::vector<callback_value> values;
    values.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) values.push_back(value_of(L, i + 2, main));
    int32_t result = 0;
    bool ok = sm->call_callback(id, count, values.data(), result);
    if (L != main) lua_settop(main, base);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}
}  // namespace

// system.callback(id, function) registers; system.callback(id, ...) calls.
int system_callback(lua_State* L) {
    system_manager* sm = system_manager::instance();
    int32_t id = system_arg_int(L, 1);
    if (lua_isfunction(L, 2)) return register_callback(L, sm, id);
    return call_callback(L, sm, id);
}

// system.fork(function or script name [, actor, end event]).
int system_fork(lua_State* L) {
    system_manager* sm = system_manager::instance();
    actor_object* owner = lua_gettop(L) >= 2 ? to_actor(L, 2) : nullptr;
    int32_t event = system_arg_int(L, 3);
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
