// Paths made absolute against the base directory, and attribute queries.
// None of these log; they answer by their result.
#ifndef VY_CORE_PATHS_H
#define VY_CORE_PATHS_H

#include <cstdint>

#include "core/strings.h"

// Attribute word of a path that does not exist.
constexpr uint32_t path_missing = 0x80000000u;

// The base directory's characters (trailing backslash), "" if unavailable.
const wchar_t* base_directory();

// A path holding a drive ("x:...") or a UNC path ("\\server\...") is taken
// unchanged; anything else is appended to the base directory. A null path
// gives an empty result. The first character is upper-cased (drive letter).
void make_absolute_path(wstring& out, const wchar_t* path);

// Win32 attributes with FILE_ATTRIBUTE_NORMAL cleared; path_missing when
// the path does not exist.
uint32_t file_attributes(const wchar_t* path);
bool path_exists(const wchar_t* path);
bool is_directory(const wchar_t* path);

#endif
