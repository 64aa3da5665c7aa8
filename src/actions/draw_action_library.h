// The Lua face of drawing actions: new_draw and the scene methods.
#ifndef VY_ACTIONS_DRAW_ACTION_LIBRARY_H
#define VY_ACTIONS_DRAW_ACTION_LIBRARY_H

struct lua_State;

void draw_action_register(lua_State* L);
// Pushes a new GDI drawing table over the device context.
void draw_dc_table_push(lua_State* L, void* dc);

#endif
