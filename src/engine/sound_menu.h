// The audio menu of the main window: the volume steps, mute, and playing
// on while the window is inactive; and the muting of an inactive window.
#ifndef VY_ENGINE_SOUND_MENU_H
#define VY_ENGINE_SOUND_MENU_H

#include <windows.h>

#include <cstdint>

// After the sound device opened: the menu shows the master volume and the
// play-while-inactive choice; keep_running is the game's own INACTIVE.
void sound_menu_start(HMENU menu, bool play_inactive, bool keep_running);
// Menu commands 40005 and 40201-40212; false for any other id.
bool sound_menu_command(HMENU menu, UINT id);
// WM_ACTIVATE: active windows hear the user's mute choice, inactive ones
// are muted unless they play on.
void sound_menu_activate(bool active);
bool sound_menu_play_inactive();

#endif
