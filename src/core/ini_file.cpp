#include "core/ini_file.h"

#include <windows.h>

#include <vector>

#include "core/paths.h"

void read_profile_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                         wstring& out, const wchar_t* file) {
    std::vector<wchar_t> buffer;
    DWORD size = 256;
    DWORD n;
    while (true) {
        buffer.assign(size, 0);
        n = GetPrivateProfileStringW(section, key, fallback ? fallback : L"", buffer.data(), size, file);
        if (n < size - 1) break;
        size += 256;
    }
    out.assign(buffer.data(), n);
    if (n == 0) out.assign(nullptr);
}

wstring get_profile_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                           const wchar_t* file) {
    wstring out;
    read_profile_string(section, key, fallback, out, file);
    return out;
}

int32_t read_profile_int(const wchar_t* section, const wchar_t* key, int32_t fallback,
                         const wchar_t* file) {
    return static_cast<int32_t>(GetPrivateProfileIntW(section, key, fallback, file));
}

bool read_profile_bool(const wchar_t* section, const wchar_t* key, bool fallback,
                       const wchar_t* file) {
    return static_cast<int32_t>(GetPrivateProfileIntW(section, key, fallback ? 1 : 0, file)) > 0;
}

ini_file::ini_file(const wchar_t* path) { make_absolute_path(path_, path); }

ini_file::~ini_file() { close(); }

wstring ini_file::get_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const {
    return get_profile_string(section, key, fallback, path_.c_str());
}

int32_t ini_file::get_int(const wchar_t* section, const wchar_t* key, int32_t fallback) const {
    return read_profile_int(section, key, fallback, path_.c_str());
}

bool ini_file::get_bool(const wchar_t* section, const wchar_t* key, bool fallback) const {
    return read_profile_bool(section, key, fallback, path_.c_str());
}

bool ini_file::write_string(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (path_.empty()) return false;
    bool ok = WritePrivateProfileStringW(section, key, value, path_.c_str()) != 0;
    if (ok) modified_ = true;
    return ok;
}

bool ini_file::write_int(const wchar_t* section, const wchar_t* key, int32_t value) {
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    return write_string(section, key, text);
}

void ini_file::close() {
    // Null section, key and value flush the system's cache of the file.
    if (modified_ && !path_.empty()) WritePrivateProfileStringW(nullptr, nullptr, nullptr, path_.c_str());
    modified_ = false;
    path_.assign(nullptr);
}
