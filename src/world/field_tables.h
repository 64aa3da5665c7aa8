// Cell sets and fields built from Lua definition tables.
#ifndef VY_WORLD_FIELD_TABLES_H
#define VY_WORLD_FIELD_TABLES_H

#include "world/field.h"

struct lua_State;

// Null on a bad definition (the first bad key is logged); a new object is
// entered into the field manager only once fully built.
field_cell_set* cell_set_create(lua_State* L, int index);
field* field_create(lua_State* L, int index);

#endif
