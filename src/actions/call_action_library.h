// Sets the global new_action.
#ifndef VY_ACTIONS_CALL_ACTION_LIBRARY_H
#define VY_ACTIONS_CALL_ACTION_LIBRARY_H

struct lua_State;

void call_action_register(lua_State* L);

#endif
