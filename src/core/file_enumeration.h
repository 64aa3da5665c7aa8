// The listing behind system.enum_files: every file of a search path's
// folder tree, or every entry of its package under its prefix.
#ifndef VY_CORE_FILE_ENUMERATION_H
#define VY_CORE_FILE_ENUMERATION_H

#include <vector>

#include "core/search_path.h"
#include "core/strings.h"

// Names are given so that search_path_get with the same record finds them
// again: relative to the record's folder (the sub-folder included) without
// the record's extension, or, for a package, the entry name without the
// record's prefix. A folder record with an extension (or a list) lists only
// files with one of them; without one it lists every file, extension kept.
// False for a disabled record, a package that won't open or a name that
// can't be converted.
bool enumerate_files(const search_path& record, const char* sub_folder, std::vector<string>& out);

#endif
