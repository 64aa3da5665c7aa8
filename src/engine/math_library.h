// Registration of the engine's additions to the standard Lua tables and of
// the `images` library.
#ifndef VY_ENGINE_MATH_LIBRARY_H
#define VY_ENGINE_MATH_LIBRARY_H

struct lua_State;

// math.round, sincos, the bit functions, bitarray and the three global
// generators, then math.randgen.
void register_math_additions(lua_State* L);
// string.firstof.
void register_string_additions(lua_State* L);
// images.lock, unlock, size and drawable.
void register_images_library(lua_State* L);

#endif
