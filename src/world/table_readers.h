// What the parsers of sprite and actor tables share: the "ways" reader,
// the per-way shape reader, and small readers the core family lacks. Each
// throws its message (const char*) as the core readers do.
#ifndef VY_WORLD_TABLE_READERS_H
#define VY_WORLD_TABLE_READERS_H

#include <cstdint>

#include "core/lua_readers.h"
#include "world/collision_shape.h"

// A way count: nil gives the default, below 1 means the table's length;
// anything but 1, 2, 4 or 8 throws the message. The key is "ways" unless
// another is given.
int32_t read_ways(lua_State* L, int table, const char* key, int32_t default_ways, const char* message);

// t.name as a string (numbers accepted); false quietly for nil when
// optional, else throws.
bool read_field_string(lua_State* L, int table, const char* name, string& out, bool optional,
                       const char* message);

// Where shapes are cut from: the pivot and the frame rectangle.
struct shape_frame {
    float origin[2];
    int32_t rect[4];
};

// One collision shape per way from a description (one shape, or a list of
// shape sets), rotated copies filling the ways between. Every shape made
// goes to the owner's list; a number names one of the reference shapes.
bool load_way_shapes(lua_State* L, int description, const shape_frame& frame, int32_t default_ways,
                     st_shape* const* references, int32_t reference_count, st_shape* out[8],
                     shape_list& owned);
// A single shape description at the index, appended to the owner's list.
// False (logged under "load shape") when it is not a valid shape.
bool load_shape(lua_State* L, int index, const shape_frame& frame, st_shape*& out, shape_list& owned);

#endif
