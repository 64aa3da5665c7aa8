// What actors touch of their sprite: its handle id, its flag word and the
// frame events its animation leaves for the actor. The animated sprite
// object builds on this record.
#ifndef VY_WORLD_SPRITE_OBJECT_H
#define VY_WORLD_SPRITE_OBJECT_H

#include <cstdint>

enum : uint32_t {
    sprite_hidden = 0x80000000,
    sprite_paused = 0x40000000,
    sprite_not_yet_shown = 0x20000000,
};

class sprite_object {
public:
    sprite_object();
    virtual ~sprite_object();

    uint32_t id = 0;
    uint32_t flags = 0;
    // Events left by the animation for the owner; a negative first one
    // asks for the owner's death.
    int32_t frame_events[6] = {};
    float x = 0, y = 0, z = 0;  // world position
    int32_t zorder = 0;
};

#endif
