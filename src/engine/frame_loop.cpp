#include "engine/frame_loop.h"

#include <windows.h>

#include "core/frame_timer.h"
#include "core/trace.h"
#include "engine/main_window.h"
#include "engine/system_manager.h"
#include "engine/frame_services.h"

namespace {
frame_loop_options options = {60, true, false};
uint32_t frame_rate = 0;
uint32_t draw_rate = 0;
double draw_step = 0.0;
double draw_accumulator = 0.0;
}  // namespace

frame_timer& engine_frame_timer() {
    static frame_timer timer;
    return timer;
}

void set_frame_loop_options(const frame_loop_options& o) { options = o; }
uint32_t current_frame_rate() { return frame_rate; }
uint32_t current_draw_rate() { return draw_rate; }

void set_frame_rate(uint32_t fps, uint32_t draw_fps) {
    if (fps == 0) fps = options.configured_fps;
    if (draw_fps > fps) draw_fps = 0;
    frame_rate = fps;
    draw_rate = draw_fps;
    draw_step = draw_fps ? static_cast<double>(fps) / static_cast<double>(draw_fps) : 1.0;
    draw_accumulator = 0.0;
    if (fps > 0) engine_frame_timer().set_fps(fps);
}

bool should_render_frame(int32_t r) {
    if (r == 0) return false;
    draw_accumulator += 1.0;
    if (draw_accumulator < draw_step) return false;
    draw_accumulator -= draw_step;
    return !(options.frame_skip && r == -1);
}

int32_t run_frame_loop() {
    int32_t exit_code = 0;
    bool render_failed = false;
    system_manager* sm = &engine_system_manager_object();
    frame_timer& timer = engine_frame_timer();
    MSG msg;
    for (;;) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int32_t>(msg.wParam);
            if (!dialog_message_consumed(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            continue;
        }
        int32_t r = timer.wait();
        if (exit_code != 0 || r == 0) continue;
        sm->carry_out_restart();
        frame_begin();
        if (main_window_active()) frame_check_system_keys();
        int32_t rc = sm->onframe(options.draw_fps);
        if (rc != 0) {
            TRACE_ERROR("WinMain", "system_manager::onframe", rc);
            exit_code = rc > 0 ? 0 : -rc;
            request_exit(exit_code, true);
        }
        if (should_render_frame(r)) {
            frame_count_render();
            if (!frame_render()) {
                if (!render_failed) TRACE_ERROR("WinMain", "graphic::render", -1);
                render_failed = true;
            } else {
                render_failed = false;
            }
        }
        frame_sound_update();
        sm->after_frame();
        frame_end();
    }
}
