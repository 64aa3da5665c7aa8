// Finding and loading the game's script files.
#ifndef VY_ENGINE_SCRIPT_FILES_H
#define VY_ENGINE_SCRIPT_FILES_H

#include <cstdint>
#include <vector>

#include "core/script.h"
#include "core/strings.h"

// Resolves a script name to a full path (and the package holding it, empty
// for a plain file).
// Through a search path, the "script" path (-1) unless told otherwise.
bool find_script(const string& name, wstring& path, string& package, int32_t path_id = -1);

// Loads a chunk onto the state's stack, from a package entry when a
// package is named, else from the file.
bool script_load_path(const wstring& path, lua_State* state, const string& package,
                      script_error_info& info);

// The file of an image named by a script, found through the "graphic"
// search path: a folder's file (entry empty) or a package and its entry.
bool resolve_image_file(const char* name, wstring& path, string& entry);
// The file of a sound, through the "sound" search path; a channel's own
// path number (not 0) stands in for it during the lookup.
bool resolve_sound_file(int32_t path_index, const char* name, wstring& path, string& entry);

#endif
