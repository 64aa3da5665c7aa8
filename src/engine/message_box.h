// Every message the engine shows the user goes through message_box; the
// abnormal end of a run is reported once by system_abort.
#ifndef VY_ENGINE_MESSAGE_BOX_H
#define VY_ENGINE_MESSAGE_BOX_H

#include <windows.h>

// Title null: "VyEngine", plus " - [TITLE]" when a title is set. Owned by
// the main window unless the type is task-modal. Forces the cursor visible.
int message_box(const wchar_t* title, const wchar_t* text, UINT type);

// Runs once per process: the abnormal-end box with the given text, or the
// standard apology naming the game.
void system_abort(const wchar_t* message);

// The main window the boxes belong to (null before it exists).
void set_message_owner(HWND window);
HWND message_owner();

#endif
