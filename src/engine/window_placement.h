// Where windows go: centring a window on its parent or on the desktop's
// work area, and window placements kept in the save settings file's WINDOW
// section.
#ifndef VY_ENGINE_WINDOW_PLACEMENT_H
#define VY_ENGINE_WINDOW_PLACEMENT_H

#include <windows.h>

// The key of the main window's own placement.
constexpr const wchar_t* main_window_placement_key = L"main";

// Keeps the size; the centre goes to the centre of the parent's client area
// or, without a parent, of the work area.
void center_window(HWND window);

// The window's placement (null: the main window) as a raw structure under
// WINDOW/key of the file.
bool store_window_pos(HWND window, const wchar_t* key, const wchar_t* file);
// Puts a stored placement back; a window without a thick frame keeps its
// current size.
bool restore_window_pos(HWND window, const wchar_t* key, const wchar_t* file);

#endif
