#include "core/cursor.h"

cursor_state& cursor() {
    static cursor_state state;
    return state;
}

namespace {

// The counts are driven from the last answer of ShowCursor, so hiding twice
// doesn't leave the cursor needing two shows.
void show_until_visible() {
    cursor_state& c = cursor();
    while (c.display_count < 0) c.display_count = ShowCursor(TRUE);
}

void hide_until_hidden() {
    cursor_state& c = cursor();
    while (c.display_count >= 0) c.display_count = ShowCursor(FALSE);
}

}  // namespace

void cursor_show() {
    cursor().visible_wanted = true;
    show_until_visible();
}

void cursor_hide() {
    cursor().visible_wanted = false;
    hide_until_hidden();
}

bool cursor_clip(const RECT* rect, bool on) {
    cursor_state& c = cursor();
    if (!c.window) return false;
    c.clip_wanted = on;
    if (!on) return ClipCursor(nullptr) != 0;
    if (rect) {
        c.clip = *rect;
    } else if (!GetClientRect(c.window, &c.clip)) {
        return false;
    }
    return cursor_apply_clip();
}

bool cursor_apply_clip() {
    cursor_state& c = cursor();
    if (!c.clip_wanted) return true;
    if (!c.window) return false;
    POINT origin = {0, 0};
    if (!ClientToScreen(c.window, &origin)) return false;
    RECT screen = c.clip;
    OffsetRect(&screen, origin.x, origin.y);
    return ClipCursor(&screen) != 0;
}

bool cursor_apply_focus() {
    cursor_state& c = cursor();
    if (!c.active) {
        // Hand the cursor back while someone else has the focus; what the
        // game wants is kept for the next activation.
        show_until_visible();
        if (!c.window) return false;
        bool released = ReleaseCapture() != 0;
        bool unclipped = ClipCursor(nullptr) != 0;
        return released && unclipped;
    }
    bool ok = true;
    if (!c.visible_wanted) hide_until_hidden();
    if (c.capture_wanted) {
        if (c.window) {
            SetCapture(c.window);
        } else {
            ReleaseCapture();
            c.capture_wanted = false;
        }
    }
    if (c.clip_wanted && !cursor_apply_clip()) ok = false;
    return ok;
}
