#include "controls/standard_controls.h"

namespace {
LRESULT CALLBACK group_box_subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* group = dynamic_cast<group_ctrl_action*>(control_of_window(window));
    const bool forwarded = message == WM_COMMAND || (message >= WM_KEYDOWN && message <= WM_CHAR) ||
                           (message >= WM_MOUSEMOVE && message <= WM_MOUSEHWHEEL);
    if (forwarded) {
        if (HWND parent_window = GetParent(window)) return SendMessageW(parent_window, message, wparam, lparam);
    }
    if (group && group->previous) return CallWindowProcW(group->previous, window, message, wparam, lparam);
    return DefWindowProcW(window, message, wparam, lparam);
}
}  // namespace

bool group_ctrl_action::subclass() {
    if (!window) return false;
    previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(group_box_subclass_proc)));
    return previous != nullptr;
}

void edit_ctrl_action::set_client_rect(float left, float top, float right, float bottom) {
    if (!window) return;
    const int l = static_cast<int>(left), t = static_cast<int>(top);
    SetWindowPos(window, nullptr, l, t, static_cast<int>(right) - l, static_cast<int>(bottom) - t,
                 SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

DWORD static_style(uint32_t type) { return type == 1 ? SS_CENTER : type == 2 ? SS_RIGHT : SS_LEFT; }

DWORD button_style(uint32_t type) {
    static const DWORD kinds[5] = {0xF00, 0xF01, 0xD09, 0xD03, 0xD06};
    DWORD style = (type & 0xF) < 5 ? kinds[type & 0xF] : 0;
    if (type & 0xF0F0) style = (style & ~0xF0F0u) | (type & 0xF0F0);
    if (type & 0xF00) style = (style & ~0xF00u) | (type & 0xF00);
    return style | WS_TABSTOP;
}

DWORD edit_style(uint32_t type) {
    DWORD style = (type & 0x1) ? 0x201044 : ES_AUTOHSCROLL;
    if (type & 0x2) style |= ES_PASSWORD;
    if (type & 0x4) style |= ES_NUMBER | ES_RIGHT;
    if (type & 0x8) style |= ES_READONLY;
    return style | WS_TABSTOP;
}

WPARAM button_check_of_state(int32_t state) {
    return state == 1 ? BST_INDETERMINATE : state == 2 ? BST_CHECKED : BST_UNCHECKED;
}

int32_t button_state_of_check(LRESULT check) {
    return check == BST_INDETERMINATE ? 1 : check == BST_CHECKED ? 2 : 0;
}
