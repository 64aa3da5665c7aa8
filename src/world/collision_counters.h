// The collision world's work counters. They point at the statistics
// counters once the actor manager has made them, at spare words before.
#ifndef VY_WORLD_COLLISION_COUNTERS_H
#define VY_WORLD_COLLISION_COUNTERS_H

#include <cstdint>

enum collision_counter_id : uint32_t {
    count_body_test,
    count_body_collide,
    count_sensor_test,
    count_sensor_collide,
    count_effect_test,
    count_effect_collide,
    count_box_box,
    count_polygon_polygon,
    count_polygon_polygon_collide,
    count_circle_circle,
    count_polygon_circle,
    count_polygon_circle_collide,
    collision_counter_count,
};

extern uint32_t* collision_counters[collision_counter_count];

inline void collision_count(collision_counter_id id) { ++*collision_counters[id]; }

// Makes the twelve statistics counters (once per statistics object).
void collision_counters_init();
// Back to the spare words (the statistics object is going).
void collision_counters_detach();

#endif
