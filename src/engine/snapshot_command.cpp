#include "engine/snapshot_command.h"

#include "engine/system_manager.h"

bool save_menu_snapshot(const wstring& path) {
    // The screen at its own size, in the format the file name's extension asks.
    system_manager* sm = system_manager::instance();
    return sm && sm->snapshot_to_file(0, 0, path);
}
