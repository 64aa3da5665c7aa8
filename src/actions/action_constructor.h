// The common frame of the constructor globals: owner from argument 1, the
// action allocated, listed and given its Lua object table, the class's own
// creation, and nil with nothing left behind on any failure.
#ifndef VY_ACTIONS_ACTION_CONSTRUCTOR_H
#define VY_ACTIONS_ACTION_CONSTRUCTOR_H

#include <cstring>
#include <new>

#include "lauxlib.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/extend_action.h"

// Thrown by a class's creation step with its failure code (3, 4, ...).
struct action_creation_failure {
    int code;
};

// Builds an action of class A owned by the actor of argument 1; its table
// holds the base methods, then the class's (which end with its release).
// create(action, owner) runs last and may throw action_creation_failure.
// Leaves the table, or nil, as the one result.
template <class A, class Create>
int construct_action(lua_State* L, const luaL_Reg* methods, Create create) {
    const int base = lua_gettop(L);
    A* action = nullptr;
    try {
        actor_object* owner = to_actor(L, 1);
        if (!owner) throw action_creation_failure{1};
        action = new (std::nothrow) A;
        if (!action) throw action_creation_failure{2};
        extend_action_bind(action, owner, L, extend_action_base_methods);
        luaL_register(L, nullptr, methods);
        const int table = lua_gettop(L);
        create(action, owner);
        lua_settop(L, table);
        return 1;
    } catch (const action_creation_failure&) {
        lua_settop(L, base);
        if (action) extend_action_delete(action);
        lua_pushnil(L);
        return 1;
    }
}

// The object of argument 1 when it is a live action of class A; none (with
// the call stack in the log, written by get_object) otherwise.
template <class A>
A* action_arg(lua_State* L) {
    extend_action* action = extend_action::get_object(L, 1);
    return action ? dynamic_cast<A*>(action) : nullptr;
}

// The base release, which every class's table repeats last.
inline int action_release(lua_State* L) {
    for (const luaL_Reg* m = extend_action_base_methods; m->name; ++m) {
        if (std::strcmp(m->name, "release") == 0) return m->func(L);
    }
    return 0;
}

#endif
