// The engine's own two dialogs: the version information and the network
// settings. Both are modal; the network settings change the run's
// startup_settings only on OK.
#ifndef VY_ENGINE_ENGINE_DIALOGS_H
#define VY_ENGINE_ENGINE_DIALOGS_H

#include <windows.h>

#include <cstdint>

#include "core/strings.h"

constexpr int about_dialog_resource = 105;
constexpr int network_dialog_resource = 118;

// The user's NETWORK settings as the dialog edits them.
struct network_settings {
    uint32_t use = 0;
    uint32_t allow = 0;  // 1 none, 2 the engine, 3 the engine and scripts
    bool proxy = false;
    wstring address;
    uint16_t port = 0;
    bool local = false;
    uint32_t update_flags = 0;  // bit 0 check, bit 1 no question, bit 2 no list
};

struct startup_settings;
void copy_network_settings(const startup_settings& from, network_settings& to);
void copy_network_settings(const network_settings& from, startup_settings& to);

// Both answer the id that closed the dialog (-1 when it could not open).
INT_PTR show_about_dialog(HWND owner);
INT_PTR show_network_dialog(HWND owner);

#endif
