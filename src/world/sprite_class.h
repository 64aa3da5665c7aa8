// Sprite classes: the shared, read-only description of an animated image
// (frames cut from one image, scenes, states, a pivot per way), whose
// image is an entry of the graphic's texture cache that classes lock.
#ifndef VY_WORLD_SPRITE_CLASS_H
#define VY_WORLD_SPRITE_CLASS_H

#include <cstdint>
#include <vector>

#include "core/strings.h"
#include "graphics/texture_cache.h"
#include "world/collision_shape.h"
#include "world/script_link.h"

constexpr int32_t way_count = 8;
constexpr int32_t shape_set_count = 4;

// Finds the image file a script names: the file (a package or a plain
// file) and the entry in it (empty for a plain file). The engine plugs in
// its search paths; without one the name is a path of the file system.
using sprite_image_resolver = bool (*)(const char* name, wstring& path, string& entry);
void set_sprite_image_resolver(sprite_image_resolver resolver);
// The same road for other images of the world (cell sets, drawing actions).
bool resolve_world_image(const char* name, wstring& path, string& entry);
bool sprite_image_resolve(const char* name, wstring& path, string& entry);

struct st_sprite_frame {
    int32_t x[way_count];  // top-left pixel of the frame's cell, per way
    int32_t y[way_count];
    float rotation[way_count];  // degrees
    float scale[2];
    uint32_t color;
    st_shape* shapes[shape_set_count][way_count];  // collision shapes, owned by the class
    int32_t events[2];  // 0 when shown, 1 when its time runs out
    script_value extend;
};

struct st_sprite_scene {
    int32_t start;  // first frame
    int32_t end;    // exclusive
    int32_t repeat; // 0 or less: for ever
    float wait;     // act frames each frame stays
    int32_t next;   // negative: the state ends
    int32_t events[2];
};

struct st_sprite_state {
    int32_t start_scene;
    int32_t next_state;
    int32_t class_ref;  // 0 own class, n > 0 state class n - 1
};

class st_sprite_class {
public:
    explicit st_sprite_class(const char* name);
    virtual ~st_sprite_class();

    // Releases the frames' extend values (the state may be null at
    // shut-down, when nothing needs releasing).
    void release_values(lua_State* L);

    string name;
    // The image's entry in the graphic's texture cache, shared by every
    // class of the same file; locking counts uses on it.
    graphic_texture_manager::iterator image;
    int32_t cx = 0, cy = 0;
    float centers[way_count][2] = {};
    std::vector<st_sprite_frame> frames;
    std::vector<st_sprite_state> states;
    std::vector<st_sprite_scene> scenes;
    // Classes that states draw with; ends with one empty entry once made.
    std::vector<st_sprite_class*>* state_classes = nullptr;
    int32_t lock_count = 0;
    // The locks scripts took with sprites.class_lock: only those can be
    // given back by script, so no sprite loses the image it draws.
    int32_t script_locks = 0;
    // Every collision shape the frames name, returned with the class.
    shape_list owned_shapes;

    // The state-class entry of a reference (null for the own class).
    st_sprite_class* state_class(int32_t ref) const;
};

// Load results: positive loaded, 0 pending, negative failed; any failure
// wins (the most negative), then a pending load, then the largest success.
int32_t sprite_load_combine(int32_t current, int32_t next);

namespace sprite_class {
// Finds or makes the texture cache entry of the image the name resolves
// to; the image itself is not loaded. False when there is no such file.
bool load_image(st_sprite_class* cls, const char* name);
// The image's size, read from the file without loading it; false when the
// file is no image.
bool image_size(st_sprite_class* cls, uint32_t& width, uint32_t& height);
bool lock(st_sprite_class* cls, bool background);
int32_t finish_lock(st_sprite_class* cls);
void unlock(st_sprite_class* cls);
}  // namespace sprite_class

// A class named by a script: a light userdata of a live class, a full
// userdata holding a class pointer, or a registered name; else null.
st_sprite_class* to_sprite_class(lua_State* L, int index);

// The reach of a class: the farthest a pixel of one of its frames lies from
// the pivot, at the class's maximum scale, rounded up.
int32_t sprite_class_reach(const st_sprite_class* cls, float scale_x, float scale_y);

#endif
