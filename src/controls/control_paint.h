// The paint table of script windows: `dc` and the drawing functions point,
// line, frame, circle, polygon, text and image.
#ifndef VY_CONTROLS_CONTROL_PAINT_H
#define VY_CONTROLS_CONTROL_PAINT_H

#include <windows.h>

struct lua_State;

// Pushes the state's paint table (made on first use) with `dc` set.
void control_paint_table_push(lua_State* L, HDC dc);

#endif
