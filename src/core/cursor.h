// The mouse cursor of the one main window: shown or hidden, captured and
// clipped as the game asks, and handed back to the desktop while the
// window is inactive.
#ifndef VY_CORE_CURSOR_H
#define VY_CORE_CURSOR_H

#include <windows.h>

#include <cstdint>

struct cursor_state {
    HWND window = nullptr;  // set by the main window
    bool active = false;    // the window is active
    bool visible_wanted = true;
    bool capture_wanted = false;
    bool clip_wanted = false;
    RECT clip = {0, 0, 0, 0};  // client coordinates
    int32_t display_count = 0;  // what ShowCursor answered last
};

cursor_state& cursor();

void cursor_show();
void cursor_hide();
// Clips to a client rectangle (null: the whole client area) or, when off,
// frees the cursor. False without a window.
bool cursor_clip(const RECT* rect, bool on);
bool cursor_apply_clip();
// To be called when the main window's activation changes (after `active`
// is updated).
bool cursor_apply_focus();

#endif
