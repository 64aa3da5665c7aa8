// What the parsers of sprite and actor tables share: the "ways" reader,
// the per-way shape reader, and small readers the core family lacks. Each
// throws its message (const char*) as the core readers do.
#ifndef VY_WORLD_TABLE_READERS_H
#define VY_WORLD_TABLE_READERS_H

#include <cstdint>

#include "core/lua_readers.h"

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
// shape sets), rotated copies filling the ways between. Collision shapes
// come with the collision world; until then a valid description gives no
// shape (null), and a bad one throws as it always will.
bool load_way_shapes(lua_State* L, int description, const shape_frame& frame, int32_t default_ways,
                     void* const* references, int32_t reference_count, void* out[8]);
// A single shape description; null until collision shapes exist. False
// for a description that is not a table.
bool load_shape(lua_State* L, int index, const shape_frame& frame, void*& out);

#endif
