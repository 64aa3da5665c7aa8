// Search-path entries from the ini files: the numbered entries of PATH and
// the six named sections (SCRIPT ... PATCH), stored in the system manager.
#ifndef VY_ENGINE_PATH_SETTINGS_H
#define VY_ENGINE_PATH_SETTINGS_H

#include "engine/startup_settings.h"

struct path_defaults {
    const wchar_t* path;
    const char* extensions;
    const char* patch;
};

// The section names and their defaults, in path-id order.
extern const wchar_t* const named_path_sections[named_path_count];
extern const path_defaults named_path_defaults[named_path_count];

// Reads one entry ("PATH%d" keys for n >= 1, "PATH" keys otherwise). False
// (logged) for a bad entry; must_exist tells whether the path must exist.
bool parse_path(const wchar_t* ini, const wchar_t* section, int n, const path_defaults* defaults,
                named_path_entry& entry, bool& must_exist);
// Appends a numbered search path; false when it is invalid and must exist.
bool system_add_path(const named_path_entry& entry, bool must_exist);
// Stores a named search path (index 0-5, or -1 to -6).
bool system_set_path(int index, const named_path_entry& entry, bool must_exist);

// Start-up: every numbered entry, then the named sections; a refused entry
// throws the entry's exception.
void read_search_paths(startup_settings& s);

#endif
