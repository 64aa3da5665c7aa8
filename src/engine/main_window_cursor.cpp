// The main window's cursor shape, dialog mode for script controls and the
// script menu bar.
#include "core/cursor.h"
#include "core/trace.h"
#include "engine/main_menu.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "graphics/graphic.h"
#include "input/input_manager.h"

namespace {
HCURSOR script_cursor = nullptr;
HCURSOR saved_class_cursor = nullptr;
int32_t cursor_index = -1;
bool dialog_mode = false;

const LPCWSTR system_cursors[16] = {
    IDC_APPSTARTING, IDC_ARROW,  IDC_CROSS,  IDC_HAND,   IDC_HELP,     IDC_IBEAM,  IDC_ICON,    IDC_NO,
    IDC_SIZE,        IDC_SIZEALL, IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW, IDC_WAIT,
};
}  // namespace

HCURSOR main_window_script_cursor() { return script_cursor; }
bool main_window_dialog_mode() { return dialog_mode; }

bool set_cursor(int32_t index) {
    HCURSOR shape = nullptr;
    if (index >= 0 && index < 16) {
        shape = LoadCursorW(nullptr, system_cursors[index]);
        if (!shape) {
            TRACE_ERROR("set_cursor", "LoadCursor", GetLastError());
            return false;
        }
    } else {
        // A restore without a saved class cursor has nothing to restore.
        if (!saved_class_cursor) return true;
        index = -1;
    }
    if (index == cursor_index) return true;
    cursor_index = index;
    if (shape) {
        HCURSOR previous = SetCursor(shape);
        if (!saved_class_cursor) saved_class_cursor = previous;
        script_cursor = shape;
    } else {
        SetCursor(saved_class_cursor);
        script_cursor = nullptr;
    }
    return true;
}

bool set_cursor_pos(int32_t x, int32_t y) {
    HWND window = main_window().window;
    if (!main_window_active() || !window) return false;
    POINT p = {x, y};
    ClientToScreen(window, &p);
    bool moved = SetCursorPos(p.x, p.y) != 0;
    // The inputs' pointer follows at once, not at the next mouse message.
    if (input_manager* inputs = input_manager::instance()) inputs->set_pointer(x, y);
    return moved;
}

bool enable_control(bool on) {
    main_window_record& r = main_window();
    dialog_mode = on;
    if (on)
        r.style |= WS_CLIPCHILDREN;
    else
        r.style &= ~static_cast<uint32_t>(WS_CLIPCHILDREN);
    graphic* g = graphic::instance();
    if (g && g->device()) {
        HRESULT hr = g->device()->SetDialogBoxMode(on);
        if (FAILED(hr)) {
            TRACE_ERROR("enable_control", "SetDialogBoxMode", hr);
            return false;
        }
    }
    startup_settings* s = current_settings();
    if (!(s && s->full_screen) && !resize_main_window(r, 1)) {
        TRACE_ERROR("enable_control", "ChangeWindowStyle", -1);
        return false;
    }
    if (g) g->reset();
    return true;
}

bool set_menu_visible(HMENU menu) {
    main_window_record& r = main_window();
    r.menu = menu;
    startup_settings* s = current_settings();
    if (!(s && s->full_screen)) {
        SetMenu(r.window, menu);
        if (s && s->window_ready) PostMessageW(r.window, WM_COMMAND, MAKEWPARAM(menu_refit, 0), 0);
    }
    return true;
}
