// What script windows and controls need of the engine's main window, which
// the engine fills in at start-up (the controls sit below the engine).
#ifndef VY_CONTROLS_CONTROL_HOOKS_H
#define VY_CONTROLS_CONTROL_HOOKS_H

#include <windows.h>

struct lua_State;
class search_path_set;

struct control_hooks {
    HWND (*main_window)() = nullptr;
    bool (*dialog_mode)() = nullptr;
    bool (*enable_control)(bool on) = nullptr;
    // Window placement kept under a key in the save settings file.
    bool (*restore_window_pos)(HWND window, const wchar_t* key) = nullptr;
    bool (*store_window_pos)(HWND window, const wchar_t* key) = nullptr;
    // The LOGFONT of the engine font the script font table at the index
    // describes; false when it names no font.
    bool (*font_from_table)(lua_State* L, int index, LOGFONTW& out) = nullptr;
    // The game's search paths (the file dialog's numbered initial folder).
    search_path_set* (*search_paths)() = nullptr;
};
void set_control_hooks(const control_hooks& hooks);
const control_hooks& controls_hooks();

// The main window, or none.
HWND control_main_window();

// The script window activated last: the frame loop hands it dialog
// messages. Null when none or when it has been destroyed.
HWND active_script_window();
void set_active_script_window(HWND window);

#endif
