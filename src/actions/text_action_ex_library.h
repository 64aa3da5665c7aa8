// The Lua face of extended text actions: new_text_ex and its methods.
#ifndef VY_ACTIONS_TEXT_ACTION_EX_LIBRARY_H
#define VY_ACTIONS_TEXT_ACTION_EX_LIBRARY_H

struct lua_State;

void text_action_ex_register(lua_State* L);

#endif
