#include "controls/scrollbar_ctrl_action.h"

#include "controls/window_ctrl_action.h"
#include "lauxlib.h"
#include "lua.h"

scrollbar_ctrl_action::~scrollbar_ctrl_action() {
    if (holder) holder->forget_bar(this);
    if (table_ref >= 0 && controls_lua()) luaL_unref(controls_lua(), LUA_REGISTRYINDEX, table_ref);
    // A window's bar shares the window's handle: the window object owns it.
    if (kind == scrollbar_window_horizontal || kind == scrollbar_window_vertical) window = nullptr;
}

int scrollbar_ctrl_action::bar() const {
    if (kind & 0x10) return (kind & 0xF) ? SB_VERT : SB_HORZ;
    return SB_CTL;
}

DWORD scrollbar_style(uint32_t type) {
    const uint32_t low = type & 0xF;
    const bool first = (type & 0x100) != 0, second = !first && (type & 0x200);
    switch (low) {
    case 0: return first ? SBS_TOPALIGN : second ? SBS_BOTTOMALIGN : SBS_HORZ;
    case 1: return first ? 3 : second ? 5 : SBS_VERT;
    case 2: return first ? 0x1A : second ? 0x1C : 0x18;
    default: return 0;
    }
}

void scrollbar_apply_code(HWND window, int bar, int code) {
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS};
    if (!GetScrollInfo(window, bar, &si)) return;
    int pos = si.nPos;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(window, bar, &si, TRUE);
}

void scrollbar_route_scroll(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND from = reinterpret_cast<HWND>(lparam);
    if (!from) {
        scrollbar_apply_code(window, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wparam));
        return;
    }
    auto* bar = dynamic_cast<scrollbar_ctrl_action*>(control_of_window(from));
    if (bar && bar->window == from) scrollbar_apply_code(from, bar->bar(), LOWORD(wparam));
}
