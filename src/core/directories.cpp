// The base and temporary directories, cached once for the whole process:
// later changes of the working directory must not move the game's files.
#include "core/directories.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

wstring base_dir;
wstring temp_dir;

// The limits leave room for the names built on these directories
// (GetTempFileNameW needs MAX_PATH - 14 for its folder).
constexpr DWORD base_dir_limit = 247;
constexpr DWORD temp_dir_limit = 227;

uint32_t cache_base() {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = GetCurrentDirectoryW(MAX_PATH, buf);
    if (n == 0) return GetLastError();
    if (n >= base_dir_limit) return ERROR_BAD_LENGTH;
    PathAddBackslashW(buf);
    base_dir.assign(buf);
    return 0;
}

uint32_t cache_temp() {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, buf);
    if (n == 0) return GetLastError();
    if (n >= temp_dir_limit) return ERROR_BAD_LENGTH;
    PathAddBackslashW(buf);
    temp_dir.assign(buf);
    return 0;
}

}  // namespace

uint32_t cache_directories() {
    if (base_dir.empty()) {
        uint32_t err = cache_base();
        if (err) return err;
    }
    if (temp_dir.empty()) {
        uint32_t err = cache_temp();
        if (err) return err;
    }
    return 0;
}

uint32_t recache_base_directory() { return cache_base(); }

const wstring& cached_base_directory() {
    if (base_dir.empty()) cache_directories();
    return base_dir;
}

const wstring& cached_temp_directory() {
    if (temp_dir.empty()) cache_directories();
    return temp_dir;
}

bool set_current_directory(const wchar_t* path) { return SetCurrentDirectoryW(path) != 0; }
