// An actor's rectangle relative to its position, and the bounds it is kept
// inside: chosen by flag bits from the class's collision shape, the sprite's
// current frame, or the class rectangle.
#ifndef VY_WORLD_ACTOR_RECT_H
#define VY_WORLD_ACTOR_RECT_H

#include <cstdint>

class actor_object;

enum : uint32_t {
    actor_rect_view = 0x2000,    // bounds: the view, the position converted first
    actor_rect_sprite = 0x4000,  // the sprite's current frame
    actor_rect_shape = 0x8000,   // the class's collision shape
};

// left, top, right, bottom; false when the shape flag finds no shape.
bool actor_rect(const actor_object* actor, uint32_t flags, float out[4]);

// What the field view provides to bounds tests; without a field the view
// is the screen and a position is its own view position.
struct actor_bounds_hooks {
    bool (*view_position)(const float world[3], float view[2]) = nullptr;
    bool (*view_size)(float size[2]) = nullptr;
    bool (*layer_size)(int32_t layer, float size[2]) = nullptr;
};
actor_bounds_hooks& actor_bounds();

// False when the rectangle at the position plus the offsets lies inside
// the bounds.
bool actor_out_of_bounds(const actor_object* actor, uint32_t flags, float dx, float dy);

#endif
