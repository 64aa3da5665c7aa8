#include "world/collision_counters.h"

#include "core/statistics.h"

namespace {
uint32_t spare[collision_counter_count];
const statistics* made_for = nullptr;

const char* const names[collision_counter_count] = {
    "collision body test counter",
    "collision body collide counter",
    "collision sensor test counter",
    "collision sensor collide counter",
    "collision effect test counter",
    "collision effect collide counter",
    "collision body box-to-box counter",
    "collision body polygon-to-polygon counter",
    "collision polygon-to-polygon collide counter",
    "collision circle-to-circle test counter",
    "collision polygon-to-circle test counter",
    "collision polygon-to-circle collide counter",
};
}  // namespace

uint32_t* collision_counters[collision_counter_count] = {
    &spare[0], &spare[1], &spare[2], &spare[3], &spare[4],  &spare[5],
    &spare[6], &spare[7], &spare[8], &spare[9], &spare[10], &spare[11],
};

void collision_counters_init() {
    statistics* stats = statistics::instance();
    if (!stats || stats == made_for) return;
    for (uint32_t i = 0; i < collision_counter_count; ++i) {
        statistics::counter* c = statistics_counter_create(*stats, names[i]);
        collision_counters[i] = c ? &c->current : &spare[i];
    }
    made_for = stats;
}

void collision_counters_detach() {
    for (uint32_t i = 0; i < collision_counter_count; ++i) collision_counters[i] = &spare[i];
    made_for = nullptr;
}
