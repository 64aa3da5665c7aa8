#include "controls/statusbar_ctrl_action.h"

#include <windows.h>
#include <commctrl.h>

#include "core/trace.h"

namespace {
constexpr size_t max_parts = 255;
}

bool statusbar_ctrl_action::create_window(const wchar_t*, const wchar_t* text, DWORD style, DWORD, int, int, int, int,
                                          HWND parent_window) {
    window = CreateStatusWindowW(static_cast<LONG>(style), text, parent_window, control_id);
    if (!window) {
        TRACE_ERROR("statusbar_ctrl_action::create_window", "CreateStatusWindow", GetLastError());
        return false;
    }
    return true;
}

void statusbar_ctrl_action::set_parts(const std::vector<int>& widths) {
    if (!window) return;
    std::vector<int> edges;
    int sum = 0;
    for (size_t i = 0; i < widths.size() && i < max_parts; ++i) edges.push_back(sum += widths[i]);
    SendMessageW(window, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void statusbar_ctrl_action::set_part(int index, int width) {
    if (!window) return;
    int edges[256];
    const int n = static_cast<int>(SendMessageW(window, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(edges)));
    std::vector<int> widths;
    for (int i = 0; i < n; ++i) widths.push_back(i == 0 ? edges[0] : edges[i] - edges[i - 1]);
    if (index >= 0 && index < n) {
        widths[static_cast<size_t>(index)] = width;
    } else if (widths.size() < max_parts) {
        widths.push_back(width);
    } else {
        return;
    }
    set_parts(widths);
}

void statusbar_ctrl_action::set_text(int index, const char* text, bool border) {
    if (!window) return;
    const std::wstring w = control_widen(text);
    SendMessageW(window, SB_SETTEXTW, static_cast<WPARAM>(index) | (border ? 0 : SBT_NOBORDERS),
                 reinterpret_cast<LPARAM>(w.c_str()));
}
