// `call_action`: one action (a name, a Lua function, or {action, parameter})
// bound to its owner and run on demand.
#ifndef VY_ACTIONS_CALL_ACTION_H
#define VY_ACTIONS_CALL_ACTION_H

#include "world/action_slot.h"
#include "world/extend_action.h"

class call_action : public extend_action {
public:
    ~call_action() override;

    // Parses the value on top of the stack (popped) into the definition
    // and binds it; false on either failure (logged by the parser).
    bool parse(lua_State* L);
    bool bind_slot(actor_object* owner);
    // Runs the bound entry once with event id 0; 0 without an entry.
    int32_t call();

    action_definition definition = {};
    action_slot slot = {};
};

#endif
