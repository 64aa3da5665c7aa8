// Scroll bars: scroll-bar controls, and the objects through which scripts
// reach a script window's own horizontal and vertical bars.
#ifndef VY_CONTROLS_SCROLLBAR_CTRL_ACTION_H
#define VY_CONTROLS_SCROLLBAR_CTRL_ACTION_H

#include "controls/control_action.h"

class window_ctrl_action;

enum : uint32_t {
    scrollbar_window_horizontal = 0x10,
    scrollbar_window_vertical = 0x11,
};

class scrollbar_ctrl_action : public control_action {
public:
    ~scrollbar_ctrl_action() override;
    // SB_HORZ or SB_VERT of a window's own bar, SB_CTL of a control.
    int bar() const;

    uint32_t kind = 0;
    // The script window whose bar this is (its handle is shared, not owned).
    window_ctrl_action* holder = nullptr;
    int table_ref = -2;  // LUA_NOREF
};

DWORD scrollbar_style(uint32_t type);
// Moves the bar as the scroll code asks; the position is clamped when set.
void scrollbar_apply_code(HWND window, int bar, int code);

// WM_HSCROLL / WM_VSCROLL on a window that routes no events of its own (the
// engine's main window): the code moves the scroll-bar control of lParam,
// or the window's own bar when lParam is none.
void scrollbar_route_scroll(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

extern const luaL_Reg scrollbar_methods[];
void scrollbar_register(lua_State* L);

#endif
