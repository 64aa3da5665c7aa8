// Where script menu items go: after a marker item in the main window's
// menu bar, or into a bar of the script's own shown in its place.
#ifndef VY_ENGINE_SCRIPT_MENU_H
#define VY_ENGINE_SCRIPT_MENU_H

#include <windows.h>

#include <cstdint>

struct main_menu_info {
    HMENU bar;          // the main window's menu bar
    HMENU script_menu;  // the bar itself, or the script's own bar
    uint8_t use_bar;
    int32_t position;   // the marker's index in the bar; -1 with an own bar
    uint8_t ready;      // the position is known

    static bool initialize(main_menu_info& info, bool use_bar);
    // A script index (0: the first script item, negative: the last one for
    // an existing item, the end for a new one) to a position in the script
    // menu. False when there is no script item to name.
    static bool get_pos(main_menu_info& info, int32_t& index, bool existing);
};

main_menu_info& script_menu_info();

// Whether the item at a position of the menu is the marker.
bool is_script_menu_marker(HMENU menu, UINT position);

#endif
