// The two directories the process caches on first use: the base directory
// (the working directory at that moment) and the temporary directory. Both
// end with a backslash.
#ifndef VY_CORE_DIRECTORIES_H
#define VY_CORE_DIRECTORIES_H

#include <cstdint>

#include "core/strings.h"

// Caches whichever of the two is still missing. Answers 0, or the Windows
// error code of the first that failed (ERROR_BAD_LENGTH for a path too long
// to build on); a failed one stays missing so the next call tries again.
uint32_t cache_directories();

// The cached directories, cached first when missing; empty when that fails.
const wstring& cached_base_directory();
const wstring& cached_temp_directory();

// The base directory under the name the engine shell uses.
inline const wstring& get_current_directory() { return cached_base_directory(); }

// Takes the base directory again from the working directory (start-up
// moved into another game folder). 0 or the Windows error code.
uint32_t recache_base_directory();

// SetCurrentDirectoryW; meant for start-up, before anything is cached.
bool set_current_directory(const wchar_t* path);

#endif
