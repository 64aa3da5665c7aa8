// The Lua face of text draw actions: new_textdraw and its methods.
#ifndef VY_ACTIONS_TEXT_DRAW_ACTION_LIBRARY_H
#define VY_ACTIONS_TEXT_DRAW_ACTION_LIBRARY_H

struct lua_State;

void text_draw_action_register(lua_State* L);

#endif
