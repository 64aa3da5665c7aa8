// The engine's one top-level window: its class, its placement record and
// its procedure, and the ways a frame step or a script asks it to close.
#ifndef VY_ENGINE_MAIN_WINDOW_H
#define VY_ENGINE_MAIN_WINDOW_H

#include <windows.h>

#include <cstdint>

constexpr const wchar_t* main_window_class_name = L"vy_window_class";
constexpr int main_menu_resource = 101;
constexpr int main_icon_resource = 101;

// Placement flags of main_window_record.
enum : uint32_t {
    placement_restore_style = 0x1,
    placement_restore_ex_style = 0x2,
    placement_keep_position = 0x4,
    placement_client_size = 0x8,
    placement_full_size = 0x10,
    placement_menu = 0x100,
    placement_menu_full_item = 0x200,
    placement_menu_window_item = 0x400,
    placement_check_items = 0x1000,
    placement_grey_current = 0x4000,
    placement_centre = 0x20000,
    placement_start_flags = 0x2471F,
};

struct main_window_record {
    HWND window;
    uint32_t flags;
    uint32_t style;
    uint32_t ex_style;
    int32_t x, y;
    int32_t width, height;
    int32_t full_width, full_height;
    HMENU menu;
    uint32_t full_screen_command;
    uint32_t window_command;
};

main_window_record& main_window();

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Mode 1: a window of the stored client size (centred the first time);
// any other mode: full screen. Shows the window.
bool resize_main_window(main_window_record& record, int mode);

// Stores the code for the quit message and posts WM_CLOSE (wParam 1 when
// forced; an unforced close asks the script first). True when the post
// failed.
bool request_exit(int32_t code, bool forced);
int32_t pending_exit_code();

bool main_window_active();

// Sends the command of the other screen mode to the main window.
bool toggle_screen_mode();
// Dialog mode for script controls: clip children, the device's dialog-box
// mode, and a re-fit of the window.
bool enable_control(bool on);
// 0-15: a system cursor for the client area; anything else restores the
// class cursor.
bool set_cursor(int32_t index);
HCURSOR main_window_script_cursor();
bool main_window_dialog_mode();
// A client position, only while the window is active.
bool set_cursor_pos(int32_t x, int32_t y);
// A script menu replaces the bar (null: none); in a window the bar is shown
// at once and, once started, the device is re-fitted to the new client
// area.
bool set_menu_visible(HMENU menu);

#endif
