// The scenes of a drawing action: defaults, tile animation and alpha.
#include "actions/draw_action.h"

#include <cmath>

void draw_scene::reset() {
    image.clear();
    flags = 0;
    for (int i = 0; i < 4; ++i) rect[i] = current[i] = 0;
    offset[0] = offset[1] = offset[2] = 0.0f;
    layer = scene_no_layer;
    zorder = 0;
    center[0] = center[1] = 0.0f;
    rotate = 0.0f;
    size[0] = size[1] = 1.0f;
    color = 0xFFFFFFFF;
    tiles = 0;
    wait = 0.0f;
    tile_index = 0;
    counter = 0;
    next_switch = 0.0f;
}

void draw_scene::reset_animation() {
    for (int i = 0; i < 4; ++i) current[i] = rect[i];
    tile_index = 0;
    counter = 0;
    next_switch = wait;
}

// The tile shown in a frame is the one chosen before the frame's switch.
void draw_scene::step() {
    if ((flags & scene_paused) || tiles == 0) return;
    const int32_t width = rect[2] - rect[0];
    const int32_t dx = int32_t(tile_index) * width;
    current[0] = rect[0] + dx;
    current[1] = rect[1];
    current[2] = rect[2] + dx;
    current[3] = rect[3];
    ++counter;
    if (float(counter) >= next_switch) {
        if (++tile_index >= tiles) tile_index = 0;
        next_switch += wait;
    }
}

void draw_scene::seek(uint32_t c) {
    if (tiles == 0) return;
    counter = c;
    // A wait below one frame would divide by zero.
    const double w = wait > 0.0f ? double(wait) : 1.0;
    const double k = std::floor(double(c) / w);
    tile_index = uint32_t(std::fmod(k, double(tiles)));
    // Due after the k-th switch, not after the tile's place in a turn:
    // past the first turn that would leave it behind the counter and race
    // through the tiles one a frame.
    next_switch = float((k + 1.0) * w);
}

void draw_scene::set_alpha(double alpha) {
    uint32_t a;
    if (!(alpha > 0.0)) a = 0;
    else if (alpha >= 1.0) a = 255;
    else a = uint32_t(alpha * 255.0);
    color = (color & 0xFFFFFFu) | (a << 24);
}

void draw_scene::set_active(bool on) {
    if (bool(flags & scene_active) == on) return;
    flags = on ? flags | scene_active : flags & ~scene_active;
    reset_animation();
}

uint64_t draw_scene::tile_quads() const {
    const int64_t tw = int64_t(rect[2]) - rect[0], th = int64_t(rect[3]) - rect[1];
    if (tw <= 0 || th <= 0 || !(size[0] > 0.0f) || !(size[1] > 0.0f)) return 0;
    // Sizes come from script numbers: saturate rather than overflow.
    const double columns = std::ceil(double(size[0]) / double(tw)), rows = std::ceil(double(size[1]) / double(th));
    const double quads = columns * rows;
    return quads >= 1e18 ? uint64_t(1e18) : uint64_t(quads);
}
