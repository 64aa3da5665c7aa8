// How much memory the run takes: the process's virtual address space and
// the device's texture memory, sampled once a frame and logged at the end.
#ifndef VY_ENGINE_MEMORY_STATISTICS_H
#define VY_ENGINE_MEMORY_STATISTICS_H

#include <cstdint>

struct memory_statistics {
    uint32_t system_total = 0, system_used = 0, system_max = 0;  // megabytes
    double system_mean = 0.0;
    uint32_t graphic_total = 0, graphic_used = 0, graphic_max = 0;
    double graphic_mean = 0.0;
    double samples = 0.0;
};

const memory_statistics& engine_memory_statistics();
// The totals, once the device is open; starts the counts again.
void memory_sample_first();
void memory_sample_frame();
// Six lines under "Memory Statistics".
void memory_statistics_log();

// Bytes as whole megabytes, rounded up.
uint32_t megabytes_up(uint64_t bytes);

#endif
