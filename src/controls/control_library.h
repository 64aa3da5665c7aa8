// The control and dialog constructor globals.
#ifndef VY_CONTROLS_CONTROL_LIBRARY_H
#define VY_CONTROLS_CONTROL_LIBRARY_H

struct lua_State;

// Sets the constructor globals; runs after the action library's own.
void control_action_register(lua_State* L);

void window_ctrl_register(lua_State* L);
void dialog_register(lua_State* L);

#endif
