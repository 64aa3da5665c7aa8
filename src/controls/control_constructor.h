// The common frame of the control constructor globals: owner from argument
// 1, the object allocated and bound with the shared methods and its own,
// the class's creation from the table at argument 2, and nil after one
// logged line on any failure.
#ifndef VY_CONTROLS_CONTROL_CONSTRUCTOR_H
#define VY_CONTROLS_CONTROL_CONSTRUCTOR_H

#include <new>

#include "controls/control_action.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_manager.h"

// create(object) reads the keys and makes the window: false after the
// reason was logged elsewhere, or throws a key message.
template <class A, class Create>
int construct_control(lua_State* L, const char* label, const luaL_Reg* methods, Create create) {
    const int base = lua_gettop(L);
    actor_object* owner = to_actor(L, 1);
    if (!owner) {
        system_log_trace(1, label, "invalid actor object");
        lua_pushnil(L);
        return 1;
    }
    A* object = new (std::nothrow) A;
    if (!object) {
        system_log_trace(1, label, "fail to allocate action object");
        lua_pushnil(L);
        return 1;
    }
    extend_action_bind(object, owner, L, extend_action_base_methods);
    luaL_register(L, nullptr, control_base_methods);
    if (methods) luaL_register(L, nullptr, methods);
    const int table = lua_gettop(L);
    const char* failure = nullptr;
    try {
        if (!create(object)) failure = "fail to create control";
    } catch (const char* message) {
        failure = message;
    }
    if (failure) {
        system_log_trace(1, label, "%s", failure);
        lua_settop(L, base);
        extend_action_delete(object);
        lua_pushnil(L);
        return 1;
    }
    lua_settop(L, table);
    return 1;
}

// The control of argument 1 when it is a live object of class A.
template <class A>
A* control_arg(lua_State* L) {
    extend_action* a = extend_action::get_object(L, 1);
    return a ? dynamic_cast<A*>(a) : nullptr;
}

// Reads key name of the table at argument 2 as an unsigned number (a
// numeric string counts); `fallback` when absent, throws `bad` otherwise.
uint32_t control_key_number(lua_State* L, const char* name, uint32_t fallback, const char* bad);

#endif
