// The `system` script library: the game script's view of the engine.
#ifndef VY_ENGINE_SYSTEM_LIBRARY_H
#define VY_ENGINE_SYSTEM_LIBRARY_H

struct lua_State;

// Registers the library as the global `system`, leaving its table on the
// stack.
void register_system_library(lua_State* L);

#endif
