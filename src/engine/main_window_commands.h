// What the main window does with its menu commands and, in debug mode, its
// debug keys.
#ifndef VY_ENGINE_MAIN_WINDOW_COMMANDS_H
#define VY_ENGINE_MAIN_WINDOW_COMMANDS_H

#include <windows.h>

void main_window_command(HWND window, UINT id, UINT code);
void main_window_debug_key(HWND window, WPARAM key);
// The script's main-window command callback with the id.
void notify_script_command(UINT id);

#endif
