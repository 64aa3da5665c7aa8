// Registers the `inputs` script library in a Lua state and gives the input
// manager that state.
#ifndef VY_INPUT_INPUTS_LIBRARY_H
#define VY_INPUT_INPUTS_LIBRARY_H

struct lua_State;

void inputs_library_register(lua_State* L);

#endif
