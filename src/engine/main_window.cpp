#include "engine/main_window.h"

#include "controls/control_action.h"
#include "controls/control_hooks.h"
#include "controls/scrollbar_ctrl_action.h"
#include "core/cursor.h"
#include "core/trace.h"
#include "engine/main_menu.h"
#include "engine/main_window_commands.h"
#include "engine/message_box.h"
#include "engine/startup_settings.h"
#include "engine/system_manager.h"
#include "engine/window_sound.h"
#include "input/input.h"

namespace {
main_window_record the_record;
int32_t pending_code = 0;
bool window_active = false;
bool mouse_captured = false;

// An unforced close is the script's to refuse: a result of 0 or less keeps
// the window (a callback that fails to run lets it close).
bool close_refused() {
    int32_t result = 0;
    if (!system_manager::instance()) return false;
    if (!system_manager::instance()->call_callback(0, 0, nullptr, result)) return false;
    return result <= 0;
}

void on_activate(WPARAM wparam) {
    bool active = LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam);
    window_active = active;
    if (active) {
        window_sound_set_mute(user_mute_choice());
        // Dialog keys go to the main window again.
        set_active_script_window(nullptr);
    } else {
        startup_settings* s = current_settings();
        bool keep_playing = s && (s->keep_running_inactive || s->play_inactive);
        if (!keep_playing) window_sound_set_mute(true);
    }
    cursor().active = active;
    cursor_apply_focus();
}

LRESULT on_close(HWND window, WPARAM forced) {
    if (forced == 0 && close_refused()) return 0;
    if (pending_code != 0) system_abort(nullptr);
    DestroyWindow(window);
    return 0;
}

void capture_mouse(HWND window, bool on) {
    if (on) {
        SetCapture(window);
    } else if (mouse_captured) {
        ReleaseCapture();
    }
    mouse_captured = on;
}
}  // namespace

main_window_record& main_window() { return the_record; }
int32_t pending_exit_code() { return pending_code; }
bool main_window_active() { return window_active; }

bool request_exit(int32_t code, bool forced) {
    pending_code = code;
    return !PostMessageW(the_record.window, WM_CLOSE, forced ? 1 : 0, 0);
}

bool toggle_screen_mode() {
    startup_settings* s = current_settings();
    bool full = s && s->full_screen;
    SendMessageW(the_record.window, WM_COMMAND, full ? menu_window : menu_full_screen, 0);
    return true;
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    input::on_window_message(window, message, wparam, lparam);
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(pending_code);
        the_record.window = nullptr;
        return 0;
    case WM_MOVE:
        cursor_apply_clip();
        return 0;
    case WM_ACTIVATE:
        on_activate(wparam);
        return 0;
    case WM_CLOSE:
        return on_close(window, wparam);
    case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT && main_window_script_cursor()) {
            SetCursor(main_window_script_cursor());
            return TRUE;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    case WM_NCMOUSEMOVE:
        if (!main_window_dialog_mode()) cursor_show();
        return 0;
    case WM_MOUSEMOVE:
        if (!main_window_dialog_mode()) cursor_hide();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        capture_mouse(window, true);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        capture_mouse(window, false);
        return 0;
    case WM_KEYDOWN:
        return 0;
    case WM_KEYUP:
        if (current_settings() && current_settings()->debug) main_window_debug_key(window, wparam);
        return 0;
    case WM_SYSKEYUP:
        if (wparam == VK_RETURN && current_settings() && current_settings()->alt_enter) toggle_screen_mode();
        return DefWindowProcW(window, message, wparam, lparam);
    case WM_HSCROLL:
    case WM_VSCROLL:
        scrollbar_route_scroll(window, message, wparam, lparam);
        return 0;
    case WM_COMMAND:
        // Script controls (lParam set) raise their notification at their owner.
        if (lparam == 0)
            main_window_command(window, LOWORD(wparam), HIWORD(wparam));
        else if (LOWORD(wparam) >= 10000)
            control_route_command(LOWORD(wparam), HIWORD(wparam));
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

bool resize_main_window(main_window_record& r, int mode) {
    HWND w = r.window;
    RECT rect = {0, 0, 0, 0};
    HWND after = HWND_NOTOPMOST;
    if (mode == 1) {
        if (r.flags & placement_restore_style) SetWindowLongW(w, GWL_STYLE, static_cast<LONG>(r.style));
        else r.style = static_cast<uint32_t>(GetWindowLongW(w, GWL_STYLE));
        if (r.flags & placement_restore_ex_style) SetWindowLongW(w, GWL_EXSTYLE, static_cast<LONG>(r.ex_style));
        else r.ex_style = static_cast<uint32_t>(GetWindowLongW(w, GWL_EXSTYLE));
        if (r.flags & placement_client_size) {
            rect.right = r.width;
            rect.bottom = r.height;
        } else {
            GetClientRect(w, &rect);
        }
        AdjustWindowRectEx(&rect, r.style, (r.flags & placement_menu) && r.menu, r.ex_style);
        int ww = rect.right - rect.left, wh = rect.bottom - rect.top;
        int x = 0, y = 0;
        if (r.flags & placement_centre) {
            RECT work;
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            x = work.left + ((work.right - work.left) - ww) / 2;
            y = work.top + ((work.bottom - work.top) - wh) / 2;
            if (r.flags & placement_keep_position) {
                r.x = x;
                r.y = y;
            }
        } else if (r.flags & placement_keep_position) {
            x = r.x;
            y = r.y;
        }
        if ((r.flags & placement_menu) && r.menu) SetMenu(w, r.menu);
        rect = {x, y, x + ww, y + wh};
    } else {
        if (r.flags & placement_menu) SetMenu(w, nullptr);
        if (r.flags & placement_restore_style) r.style = static_cast<uint32_t>(GetWindowLongW(w, GWL_STYLE));
        if (r.flags & placement_restore_ex_style) r.ex_style = static_cast<uint32_t>(GetWindowLongW(w, GWL_EXSTYLE));
        if (r.flags & placement_keep_position) {
            RECT now;
            GetWindowRect(w, &now);
            r.x = now.left;
            r.y = now.top;
        }
        RECT client;
        GetClientRect(w, &client);
        int fw = (r.flags & placement_full_size) ? r.full_width : client.right;
        int fh = (r.flags & placement_full_size) ? r.full_height : client.bottom;
        SetWindowLongW(w, GWL_STYLE, static_cast<LONG>(WS_POPUP));
        rect = {0, 0, fw, fh};
        after = HWND_TOPMOST;
    }
    if ((r.flags & placement_menu) && r.menu) {
        bool full = mode != 1;
        UINT off = (r.flags & placement_grey_current) ? MF_GRAYED : MF_DISABLED;
        auto set_item = [&](uint32_t bit, uint32_t id, bool current) {
            if (!(r.flags & bit)) return;
            if (r.flags & placement_check_items)
                CheckMenuItem(r.menu, id, MF_BYCOMMAND | (current ? MF_CHECKED : MF_UNCHECKED));
            else
                EnableMenuItem(r.menu, id, MF_BYCOMMAND | (current ? off : MF_ENABLED));
        };
        set_item(placement_menu_full_item, r.full_screen_command, full);
        set_item(placement_menu_window_item, r.window_command, !full);
    }
    SetWindowPos(w, after, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_FRAMECHANGED);
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    return true;
}
