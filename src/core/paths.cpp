// Absolute paths against the base directory, and attribute queries.
#include "core/paths.h"

#include <windows.h>
#include <cwctype>

#include "core/directories.h"

const wchar_t* base_directory() { return cached_base_directory().c_str(); }

namespace {

bool has_drive(const wchar_t* path) { return path[0] != 0 && path[1] == L':'; }

// "\\server\share\..." is already absolute; prefixing it would give a path
// that can never be opened.
bool is_unc(const wchar_t* path) { return path[0] == L'\\' && path[1] == L'\\'; }

}  // namespace

void make_absolute_path(wstring& out, const wchar_t* path) {
    if (!path) {
        out.assign(nullptr);
        return;
    }
    if (has_drive(path) || is_unc(path)) {
        out.assign(path);
    } else {
        out.assign(base_directory());
        out.append_chars(path);
    }
    std::vector<wchar_t>& v = out.chars();
    if (!v.empty()) v[0] = static_cast<wchar_t>(towupper(v[0]));
}

uint32_t file_attributes(const wchar_t* path) {
    if (!path) return path_missing;
    DWORD attrs = GetFileAttributesW(path);
    if (attrs == INVALID_FILE_ATTRIBUTES) return path_missing;
    return attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
}

bool path_exists(const wchar_t* path) { return file_attributes(path) != path_missing; }

bool is_directory(const wchar_t* path) {
    uint32_t attrs = file_attributes(path);
    return attrs != path_missing && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
