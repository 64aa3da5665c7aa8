#include "engine/snapshot_command.h"

#include "core/trace.h"

bool save_menu_snapshot(const wstring& path) {
    // Snapshots come with the save data; until then the choice is only
    // reported.
    (void)path;
    TRACE_ERROR("IDM_SNAPSHOT", "no snapshot support", -1);
    return false;
}
