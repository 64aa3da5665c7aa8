// An actor class: the shared description that actors are made from.
#ifndef VY_WORLD_ACTOR_CLASS_H
#define VY_WORLD_ACTOR_CLASS_H

#include <cstdint>
#include <vector>

#include "core/strings.h"
#include "world/action_slot.h"
#include "world/collision_body.h"

enum : uint32_t {
    class_named = 0x80000000,
    class_disabled = 0x40000000,
    class_anonymous = 0x20000000,
    class_sprite_locked = 0x10000000,
    class_sprite_loading = 0x8000000,
    class_system_events = 0x800000,
    class_lock_on_demand = 0x400000,
    class_frame_list = 0x200000,
    class_start_key = 0x100000,
    class_no_body_move = 0x40000,
    class_late_list = 0x20000,
    class_table_is_init = 0x10000,
    class_layer_mask = 0xF00,
    class_level_mask = 0xFF,
};

class st_sprite_class;

class st_actor_class {
public:
    explicit st_actor_class(uint32_t flags);
    virtual ~st_actor_class();

    // Releases the sprite-class lock, the definitions and the extend value
    // (Lua state may be null at shut-down, when references need no release).
    void release(lua_State* L);
    // Takes the sprite class; locked at once unless the class locks on
    // demand. A lock held for the old one is given back.
    void set_sprite_class(st_sprite_class* cls);
    void unlock_sprite_class();

    string name;
    uint32_t flags;
    st_sprite_class* sprite_class = nullptr;
    float sprite_offset[3] = {};
    float speed[3][2] = {};  // normal, minimum, maximum (x, y)
    float rect[4] = {};      // left, top, right, bottom
    // The numbered shapes of the table's "shape" list; every shape the
    // class made (those, body and sensor shapes, rotated copies) is in
    // owned_shapes and goes back to the pool with the class.
    std::vector<st_shape*> shapes;
    shape_list owned_shapes;
    uint32_t body_index = 0;  // 1-based shape set of the sprite frame, 0: fixed
    st_shape* body_shape = nullptr;
    bool has_body = false;
    uint32_t sensor_index = 0;
    st_shape* sensor_shapes[8] = {};
    bool has_sensor = false;
    st_body_attr body_attr = {};
    st_body_attr sensor_attr = {};
    // Sound classes arrive with their subsystem; the list keeps the places.
    std::vector<void*> sounds;
    int32_t start_event = 0;
    int32_t dead_event = 0;
    action_definition actions[slot_count] = {};
    script_value extend = {0, 0};
    int32_t use_count = 0;
};

#endif
