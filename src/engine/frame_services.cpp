#include "engine/frame_services.h"

#include "controls/control_hooks.h"
#include "core/statistics.h"
#include "engine/system_manager.h"
#include "engine/main_window.h"
#include "engine/memory_statistics.h"
#include "graphics/graphic.h"
#include "input/input.h"
#include "input/input_manager.h"
#include "sound/sound.h"

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

bool dialog_message_consumed(MSG& msg) {
    HWND active = active_script_window();
    return active && IsDialogMessageW(active, &msg);
}

void frame_begin() {
    if (frame_stats) frame_stats->begin_frame();
    if (input_manager* inputs = input_manager::instance()) inputs->update();
}

// Code 13 of the first input restarts the scripts when let go. Code 12
// switches the screen mode once the main window can toggle it.
void frame_check_system_keys() {
    if (input::code_state(input_at(0), 13) < 0) system_manager::instance()->request_restart();
    if (input::code_state(input_at(0), 12) < 0) toggle_screen_mode();
}

bool frame_render() {
    graphic* g = graphic::instance();
    if (!g || !g->device()) return true;
    system_manager* sm = system_manager::instance();
    if (sm) sm->prepare_render();
    bool result = g->render();
    if (sm) sm->finish_render();
    return result;
}

void frame_sound_update() {
    if (sound* s = sound::instance()) s->update_throttled();
}

void frame_end() {
    if (frame_stats) frame_stats->end_frame();
    memory_sample_frame();
}
