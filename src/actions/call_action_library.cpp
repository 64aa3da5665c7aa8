// The Lua face of call actions: new_action and call.
#include "actions/action_constructor.h"
#include "actions/call_action.h"
#include "actions/call_action_library.h"

namespace {
int call(lua_State* L) {
    if (call_action* action = action_arg<call_action>(L)) action->call();
    return 0;
}

const luaL_Reg methods[] = {
    {"call", call},
    {"release", action_release},
    {nullptr, nullptr},
};

int new_action(lua_State* L) {
    return construct_action<call_action>(L, methods, [L](call_action* action, actor_object* owner) {
        lua_pushvalue(L, 2);
        if (!action->parse(L)) throw action_creation_failure{3};
        if (!action->bind_slot(owner)) throw action_creation_failure{4};
    });
}
}  // namespace

void call_action_register(lua_State* L) { lua_register(L, "new_action", new_action); }
