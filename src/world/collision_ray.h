// Rays: a segment cast through the collision world, matched against bodies
// as a sensor is, each hit with its point and the surface normal.
#ifndef VY_WORLD_COLLISION_RAY_H
#define VY_WORLD_COLLISION_RAY_H

#include "world/collision_manager.h"

struct st_ray {
    st_body_attr attr;
    int32_t layer;
    st_edge segment;
};

using intersect_callback = collision_callback<st_ray, st_intersect2d_info>;

// Reads the ray table on the top of the stack; errors are logged under
// "load ray".
bool load_ray(lua_State* L, st_ray& ray);
bool ray_shape_test(const st_shape* shape, const float position[2], const st_edge& segment,
                    st_intersect2d_info& info);
bool ray_test(collision_manager* manager, const collision_params& params, st_ray& ray,
              intersect_callback& callback);

// actors.intersect(ray table): one table per hit.
int actors_intersect(lua_State* L);

#endif
