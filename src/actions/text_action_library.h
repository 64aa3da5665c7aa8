// The Lua face of text actions: new_text with its methods, and the five
// named native actions that keep a text action in an actor's extend value.
#ifndef VY_ACTIONS_TEXT_ACTION_LIBRARY_H
#define VY_ACTIONS_TEXT_ACTION_LIBRARY_H

struct lua_State;
class action_manager;

// The native text actions, then the global new_text; the AND of the five
// registrations.
bool text_action_register(action_manager* manager, lua_State* L);

#endif
