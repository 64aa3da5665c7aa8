#include "engine/frame_services.h"

#include "core/statistics.h"
#include "engine/memory_statistics.h"
#include "graphics/graphic.h"

namespace {
statistics* frame_stats = nullptr;
statistics::counter* render_counter = nullptr;
}  // namespace

void set_frame_statistics(statistics* stats, uint32_t period) {
    frame_stats = stats;
    render_counter = nullptr;
    if (!stats) return;
    render_counter = statistics_counter_create(*stats, "main render counter");
    if (render_counter) render_counter->period = period;
}

void frame_count_render() {
    if (render_counter) ++render_counter->current;
}

// Script windows, inputs, sound and statistics join the loop here as they
// are built; until then a frame only runs the scripts and draws.

bool dialog_message_consumed(MSG&) { return false; }

void frame_begin() {
    if (frame_stats) frame_stats->begin_frame();
}

void frame_check_system_keys() {}

bool frame_render() {
    graphic* g = graphic::instance();
    return !g || !g->device() || g->render();
}

void frame_sound_update() {}

void frame_end() {
    if (frame_stats) frame_stats->end_frame();
    memory_sample_frame();
}
