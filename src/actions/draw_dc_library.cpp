// The drawing action's GDI table: the shared drawing functions over the
// device context in field `dc`; a colour left out is the colour key, so it
// stays transparent.
#include "actions/draw_action_library.h"

#include "graphics/graphic.h"
#include "lua.h"
#include "world/gdi_drawing.h"

void draw_dc_table_push(lua_State* L, void* dc) {
    lua_newtable(L);
    gdi_drawing_register(L, graphic::color_key, true);
    lua_pushlightuserdata(L, dc);
    lua_setfield(L, -2, "dc");
}
