// The network settings dialog: whether the engine and scripts may connect,
// the update check at start and the proxy. It edits the user's NETWORK
// settings of the run; OK keeps the changes, Cancel drops them.
#ifndef VY_ENGINE_NETWORK_DIALOG_H
#define VY_ENGINE_NETWORK_DIALOG_H

#include <windows.h>

// The dialog's result: 1 OK, 2 Cancel (-1 when it could not be shown).
INT_PTR show_network_dialog(HWND owner);

#endif
