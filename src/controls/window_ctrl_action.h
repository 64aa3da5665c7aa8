// Script windows: pop-ups, tool windows, dialog frames and child windows
// whose messages reach the owning actor as events, chosen per message
// group by the procs word.
#ifndef VY_CONTROLS_WINDOW_CTRL_ACTION_H
#define VY_CONTROLS_WINDOW_CTRL_ACTION_H

#include "controls/control_action.h"

class scrollbar_ctrl_action;

// Option bits of the `type` key (low byte: the window type 1 to 4).
enum : uint32_t {
    window_modal = 0x100,
    window_hscroll = 0x200,
    window_vscroll = 0x400,
    window_sizing = 0x800,
    window_keep_placement = 0x1000,
};

// Message groups of the `procs` key.
enum : uint32_t {
    procs_create = 0x1,
    procs_close = 0x2,
    procs_keys = 0x4,
    procs_mouse = 0x8,
    procs_paint = 0x10,
    procs_command = 0x20,
    procs_scroll = 0x40,
    procs_kill_owner = 0x80000000,
};

class window_ctrl_action : public control_action {
public:
    ~window_ctrl_action() override;

    bool create(lua_State* L, uint32_t options, uint32_t procs, HBRUSH brush, HCURSOR cursor);
    // Raises code at the owner with the value on top of the stack (popped).
    void call(int32_t code);

    static LRESULT CALLBACK wndproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    // Pushes the script tables of the bar objects (nil for none).
    void push_bars(lua_State* L) const;
    void forget_bar(scrollbar_ctrl_action* bar);

    uint32_t options = 0;
    uint32_t procs = 0;
    scrollbar_ctrl_action* hbar = nullptr;
    scrollbar_ctrl_action* vbar = nullptr;

private:
    LRESULT handle(HWND w, UINT message, WPARAM wparam, LPARAM lparam, bool& handled);
    void on_destroy(HWND w);
    bool make_bar(lua_State* L, uint32_t kind, scrollbar_ctrl_action*& out);
    void detach_bars();
    LRESULT on_scroll(HWND w, UINT message, WPARAM wparam, LPARAM lparam, bool& handled);
};

// The brush and cursor named by the `bgcolor` and `cursor` keys; none for
// names not in their tables.
HBRUSH window_brush_named(const char* name);
HCURSOR window_cursor_named(const char* name);
// The number of script window classes registered so far.
int32_t window_class_count();

#endif
