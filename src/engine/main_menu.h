// The main menu's own items: the check marks that mirror the user's screen
// and sound choices, the volume steps and the list of full-screen
// resolutions.
#ifndef VY_ENGINE_MAIN_MENU_H
#define VY_ENGINE_MAIN_MENU_H

#include <windows.h>

#include <cstdint>

enum : UINT {
    menu_full_screen = 1,
    menu_window = 2,
    menu_exit = 3,
    menu_refit = 99,
    menu_snapshot = 40000,
    menu_scaling = 40001,
    menu_about = 40002,
    menu_network = 40003,
    menu_forced_exit = 40004,
    menu_play_inactive = 40005,
    menu_alt_enter = 40006,
    menu_resolution_first = 40101,
    menu_volume_first = 40201,  // 100%
    menu_volume_last = 40211,   // 0%
    menu_mute = 40212,
};

// The master volume of a volume item (40201..40211).
double volume_of_item(UINT id);
// The volume item at or below the volume (a volume between two steps
// gives the lower one).
UINT volume_item_at_or_below(double volume);
// A volume step or the mute item: changes the sound and leaves exactly one
// of the twelve items checked.
void select_volume_item(HMENU menu, UINT id);
// Start-up: the sound is muted and the mute item applied, which unmutes it,
// clears the user's choice and checks the step at or below the volume.
void init_volume_menu(HMENU menu);
// Whether the user muted the sound from the menu (kept while inactive).
bool user_mute_choice();

// Check marks; with toggle the flag flips first.
void check_alt_enter(HMENU menu, bool toggle);
void check_scaling(HMENU menu, bool toggle);
void check_play_inactive(HMENU menu, bool toggle);

// One item per display mode of the device in the resolution sub-menu; the
// one of DISPLAY_WIDTH x DISPLAY_HEIGHT is chosen (else the first).
void build_resolution_menu(HMENU menu);
// Checks that item only, chooses its display mode and takes its size as
// the full-screen size.
void select_resolution(HMENU menu, UINT id);
int32_t chosen_resolution();

// Start-up, once the devices are open: scaling and Alt+Enter checks, the
// resolution list, the volume step and the play-while-inactive check.
void init_main_menu(HMENU menu);
uint32_t resolution_item_count();

#endif
