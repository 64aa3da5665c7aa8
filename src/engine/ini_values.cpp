#include "engine/ini_values.h"

#include <windows.h>

#include <cwchar>
#include <vector>

wstring ini_text(const wchar_t* file, const wchar_t* section, const wchar_t* key, const wchar_t* fallback) {
    std::vector<wchar_t> buf(256);
    for (;;) {
        DWORD n = GetPrivateProfileStringW(section, key, fallback, buf.data(),
                                           static_cast<DWORD>(buf.size()), file);
        if (n < buf.size() - 1) break;
        buf.resize(buf.size() + 256);
    }
    return wstring(buf.data());
}

int32_t ini_int(const wchar_t* file, const wchar_t* section, const wchar_t* key, int32_t fallback) {
    return static_cast<int32_t>(GetPrivateProfileIntW(section, key, fallback, file));
}

bool ini_bool(const wchar_t* file, const wchar_t* section, const wchar_t* key, bool fallback) {
    return ini_int(file, section, key, fallback ? 1 : 0) > 0;
}

bool ini_write_text(const wchar_t* file, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    bool ok = WritePrivateProfileStringW(section, key, value, file) != 0;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file);
    return ok;
}

bool ini_write_int(const wchar_t* file, const wchar_t* section, const wchar_t* key, int32_t value) {
    wchar_t text[16];
    swprintf(text, 16, L"%d", value);
    return ini_write_text(file, section, key, text);
}

bool ini_write_uint(const wchar_t* file, const wchar_t* section, const wchar_t* key, uint32_t value) {
    wchar_t text[16];
    swprintf(text, 16, L"%u", value);
    return ini_write_text(file, section, key, text);
}
