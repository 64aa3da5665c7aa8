// The Lua face of shape actions: new_shape and its methods.
#ifndef VY_ACTIONS_SHAPE_ACTION_LIBRARY_H
#define VY_ACTIONS_SHAPE_ACTION_LIBRARY_H

struct lua_State;

void shape_action_register(lua_State* L);

#endif
