// The paint table handed to a script window's paint handler: the device
// context of the current WM_PAINT in field `dc` and the shared drawing
// functions over it, called with method syntax. A missing colour is black.
#include "controls/control_paint.h"

#include "lua.h"
#include "world/gdi_drawing.h"

namespace {
// The table lives in the registry of the state that made it, so a new Lua
// state never finds a reference into an old one.
const char* const registry_key = "vy.control_paint_table";
}  // namespace

void control_paint_table_push(lua_State* L, HDC dc) {
    lua_getfield(L, LUA_REGISTRYINDEX, registry_key);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        gdi_drawing_register(L, 0, false);
        lua_pushvalue(L, -1);
        lua_setfield(L, LUA_REGISTRYINDEX, registry_key);
    }
    lua_pushlightuserdata(L, dc);
    lua_setfield(L, -2, "dc");
}
