// The `sounds` script library.
#ifndef VY_SOUND_SOUNDS_LIBRARY_H
#define VY_SOUND_SOUNDS_LIBRARY_H

struct lua_State;

// Registers the table "sounds" (left on the stack).
void register_sounds_library(lua_State* L);

#endif
