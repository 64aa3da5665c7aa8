#include "controls/standard_controls.h"

#include "core/system_log.h"
#include "world/sprite_class.h"

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

button_ctrl_action::~button_ctrl_action() {
    if (window) SendMessageW(window, BM_SETIMAGE, IMAGE_BITMAP, 0);
    if (bitmap) DeleteObject(bitmap);
}

void button_ctrl_action::set_image(const char* name) {
    wstring path;
    string entry;
    if (!sprite_image_resolve(name, path, entry)) {
        system_log_trace(1, "button_ctrl.new", "invalid image path");
        return;
    }
    // The picture is loaded by the system from a plain file.
    if (!entry.empty()) {
        system_log_trace(1, "button_ctrl.new", "archive path is invalid as image path");
        return;
    }
    if (bitmap) {
        SendMessageW(window, BM_SETIMAGE, IMAGE_BITMAP, 0);
        DeleteObject(bitmap);
    }
    bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (bitmap) SendMessageW(window, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

bool edit_ctrl_action::caret(int32_t& column, int32_t& line) const {
    if (!window || GetFocus() != window) {
        system_log_trace(6, "edit_ctrl:caret", "not caret owner");
        return false;
    }
    POINT at;
    if (!GetCaretPos(&at)) {
        system_log_trace(6, "edit_ctrl:caret", "fail to get caret pos, code=%d", static_cast<int>(GetLastError()));
        return false;
    }
    system_log_trace(6, "edit_ctrl:caret", "GetCaretPos = (%d, %d)", static_cast<int>(at.x), static_cast<int>(at.y));
    const LRESULT found = SendMessageW(window, EM_CHARFROMPOS, 0, MAKELPARAM(at.x, at.y));
    const int32_t index = LOWORD(found);
    line = HIWORD(found);
    system_log_trace(6, "edit_ctrl:caret", "EM_CHARFROMPOS = (%d, %d)", index, line);
    column = index;
    if (line > 0) column -= static_cast<int32_t>(SendMessageW(window, EM_LINEINDEX, line, 0));
    return true;
}

void edit_ctrl_action::set_caret(int32_t column, int32_t line) {
    if (!window) return;
    const LRESULT start = line > 0 ? SendMessageW(window, EM_LINEINDEX, line, 0) : 0;
    const LPARAM at = static_cast<LPARAM>(start + column);
    SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(at), at);
}
