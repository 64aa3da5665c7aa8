// GDI drawing functions for script tables holding a device context in
// field `dc`: point, line, frame, circle, polygon, text, image and fill.
#ifndef VY_WORLD_GDI_DRAWING_H
#define VY_WORLD_GDI_DRAWING_H

#include <cstdint>

struct lua_State;

// Sets the functions into the table on top of the stack. A colour argument
// left out draws missing_colour (0xRRGGBB); fill only when with_fill.
void gdi_drawing_register(lua_State* L, uint32_t missing_colour, bool with_fill);

#endif
