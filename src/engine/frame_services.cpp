#include "engine/frame_services.h"

#include "graphics/graphic.h"

// Script windows, inputs, sound and statistics join the loop here as they
// are built; until then a frame only runs the scripts and draws.

bool dialog_message_consumed(MSG&) { return false; }

void frame_begin() {}

void frame_check_system_keys() {}

bool frame_render() {
    graphic* g = graphic::instance();
    return !g || !g->device() || g->render();
}

void frame_sound_update() {}

void frame_end() {}
