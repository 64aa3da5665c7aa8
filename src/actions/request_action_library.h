// Sets the global new_request.
#ifndef VY_ACTIONS_REQUEST_ACTION_LIBRARY_H
#define VY_ACTIONS_REQUEST_ACTION_LIBRARY_H

struct lua_State;

void request_action_register(lua_State* L);

#endif
