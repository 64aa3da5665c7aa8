// The Lua face of render-layer actions: new_render_layer and its methods.
#ifndef VY_ACTIONS_RENDER_LAYER_ACTION_LIBRARY_H
#define VY_ACTIONS_RENDER_LAYER_ACTION_LIBRARY_H

struct lua_State;

void render_layer_action_register(lua_State* L);

#endif
