// The narrow phase: overlap tests of two placed shapes, and sweeps of one
// shape moving against another. Every test compares bounds first.
#ifndef VY_WORLD_COLLISION_OVERLAP_H
#define VY_WORLD_COLLISION_OVERLAP_H

#include "world/collision_shape.h"

// A sweep's first touch: time as a fraction of the displacement (1.1:
// none), the outward normal of the surface met, and what the move keeps of
// the contact.
struct st_contact {
    float time = 1.1f;
    st_direction normal = {0, 0, 0};
    uint32_t flags = 0;
    float push[2] = {};
    float correction[2] = {};
};

bool bounds_overlap(const float pos_a[2], const float bounds_a[4], const float pos_b[2], const float bounds_b[4]);
bool shape_overlap(const st_shape* a, const float pos_a[2], const st_shape* b, const float pos_b[2]);
bool point_in_polygon(const st_shape* polygon, const float pos[2], float x, float y);
// Edges already placed (start in world coordinates).
bool segments_cross(const st_edge& a, const st_edge& b);

// A point moving by d against an edge from (sx, sy) with delta (ex, ey);
// the time of touch (contact margin 0.5 units) or false.
bool edge_sweep(float px, float py, float dx, float dy, float sx, float sy, float ex, float ey, float& time);
bool shape_sweep(const st_shape* a, const float pos_a[2], const float d[2], const st_shape* b, const float pos_b[2],
                 st_contact& contact);

#endif
