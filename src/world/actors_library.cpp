// The actors functions that the action framework itself needs: waiting in a
// coroutine and reaching an actor's extend actions.
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/extend_action.h"

namespace {
int actors_wait(lua_State* L) { return lua_yield(L, 0); }

int actors_extend_action(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) {
        system_log_trace(1, "actors.extend_action", "invalid actor");
        return 0;
    }
    action_manager* manager = action_manager::instance();
    const int top = lua_gettop(L);
    int32_t left = actor->extend_count;
    // Binding may run script code; walk with the list's own protection.
    ++manager->walking;
    for (auto it = manager->extend_list().begin();
         it != manager->extend_list().end() && left > 0; ++it) {
        extend_action* action = *it;
        if (!action || action->owner != actor) continue;
        --left;
        lua_checkstack(L, 2);
        action->bind(L);
    }
    --manager->walking;
    manager->drop_holes();
    return lua_gettop(L) - top;
}

const luaL_Reg actors_functions[] = {
    {"wait", actors_wait},
    {"extend_action", actors_extend_action},
    {nullptr, nullptr},
};
}  // namespace

void actors_library_register(lua_State* L) {
    luaL_register(L, "actors", actors_functions);
    lua_pop(L, 1);
}
