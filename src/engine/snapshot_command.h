// The menu's snapshot: the screen as it is now, saved as an image file.
#ifndef VY_ENGINE_SNAPSHOT_COMMAND_H
#define VY_ENGINE_SNAPSHOT_COMMAND_H

#include "core/strings.h"

// False when nothing was saved (the caller logs the path).
bool save_menu_snapshot(const wstring& path);

#endif
