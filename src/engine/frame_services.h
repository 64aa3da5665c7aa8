// What the frame loop asks of the devices and counters once a frame. Each
// is the one place where the loop meets that subsystem.
#ifndef VY_ENGINE_FRAME_SERVICES_H
#define VY_ENGINE_FRAME_SERVICES_H

#include <windows.h>

#include <cstdint>

// A message that the active script window's dialog handling takes.
bool dialog_message_consumed(MSG& msg);
// Statistics begin the frame; the inputs are polled.
void frame_begin();
// The restart and screen-mode codes of the first input.
void frame_check_system_keys();
// Draws every render layer and presents; false on a failed frame.
bool frame_render();
// Sound, at most ten times a second.
void frame_sound_update();
// Statistics end the frame.
void frame_end();
// Counts a drawn frame.
void frame_count_render();

class statistics;
// The run's statistics and its "main render counter" (null: none).
void set_frame_statistics(statistics* stats, uint32_t period);

#endif
