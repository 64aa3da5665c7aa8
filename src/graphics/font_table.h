// Fonts described by scripts as a table {size, weight, face, cache, flags}:
// the engine's fonts, the text of script controls and the text actions all
// read the same form.
#ifndef VY_GRAPHICS_FONT_TABLE_H
#define VY_GRAPHICS_FONT_TABLE_H

#include <cstdint>

#include "graphics/font_manager.h"

struct lua_State;

// One counted use of the font the table at index names, asked of the
// manager with extra_flags OR-ed into the table's flags. Throws its message
// (const char*) for a missing size, a key of the wrong type, or a font that
// can't be made.
font_handle create_font_from_table(lua_State* L, int table, graphic_font_manager& fonts, uint32_t extra_flags);

#endif
