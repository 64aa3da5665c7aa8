#include "engine/memory_statistics.h"

#include <windows.h>

#include "core/trace.h"
#include "graphics/graphic.h"

namespace {
memory_statistics stats;

void add_sample(uint32_t value, uint32_t& used, uint32_t& max, double& mean, double n) {
    used = value;
    if (value > max) max = value;
    mean = (n - 1) * mean / n + value / n;
}

// The device's texture memory in use: what it had at start less what it
// has left now.
uint64_t graphic_bytes_used() {
    graphic* g = graphic::instance();
    if (!g || !g->device()) return 0;
    uint64_t total = g->texture_memory();
    uint64_t available = g->device()->GetAvailableTextureMem();
    return total > available ? total - available : 0;
}
}  // namespace

uint32_t megabytes_up(uint64_t bytes) { return static_cast<uint32_t>((bytes + 0xFFFFF) >> 20); }

const memory_statistics& engine_memory_statistics() { return stats; }

void memory_sample_first() {
    stats = memory_statistics();
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        uint64_t physical = status.ullTotalPhys + status.ullTotalPageFile;
        stats.system_total = megabytes_up(physical < status.ullTotalVirtual ? physical : status.ullTotalVirtual);
    }
    graphic* g = graphic::instance();
    if (g) stats.graphic_total = megabytes_up(g->texture_memory());
}

void memory_sample_frame() {
    stats.samples += 1.0;
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status))
        add_sample(megabytes_up(status.ullTotalVirtual - status.ullAvailVirtual), stats.system_used,
                   stats.system_max, stats.system_mean, stats.samples);
    add_sample(megabytes_up(graphic_bytes_used()), stats.graphic_used, stats.graphic_max, stats.graphic_mean,
               stats.samples);
}

void memory_statistics_log() {
    const char* label = "Memory Statistics";
    TRACE_ERROR(label, "system total size", stats.system_total);
    TRACE_ERROR(label, "system avg used", static_cast<int32_t>(stats.system_mean + 0.5));
    TRACE_ERROR(label, "system max used", stats.system_max);
    TRACE_ERROR(label, "graphic total size", stats.graphic_total);
    TRACE_ERROR(label, "graphic avg used", static_cast<int32_t>(stats.graphic_mean + 0.5));
    TRACE_ERROR(label, "graphic max used", stats.graphic_max);
}
