// The frame loop: window messages and fixed-rate frames on the main thread
// until the quit message, with the draw pacing that scripts set.
#ifndef VY_ENGINE_FRAME_LOOP_H
#define VY_ENGINE_FRAME_LOOP_H

#include <cstdint>

class frame_timer;

// The engine's frame clock (the entry starts it, scripts change its rate).
frame_timer& engine_frame_timer();

// Draw pacing: fps 0 means the configured rate; a draw rate above the
// frame rate draws every frame.
void set_frame_rate(uint32_t fps, uint32_t draw_fps);
uint32_t current_frame_rate();
uint32_t current_draw_rate();
// Whether a frame with this timer result (0, 1 or -1 late) is drawn.
bool should_render_frame(int32_t frame_result);

struct frame_loop_options {
    uint32_t configured_fps;
    bool frame_skip;
    bool draw_fps;
};
void set_frame_loop_options(const frame_loop_options& options);

// Runs until WM_QUIT; answers the quit message's code.
int32_t run_frame_loop();

#endif
