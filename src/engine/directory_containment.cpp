#include "engine/directory_containment.h"

#include <windows.h>

#include <cwchar>

namespace {
bool canonical(const wchar_t* path, wstring& out) {
    DWORD n = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (n == 0) return false;
    out.chars().assign(n + 1, L'\0');
    DWORD written = GetFullPathNameW(path, n + 1, out.chars().data(), nullptr);
    return written > 0 && written <= n;
}

// The length without trailing separators, keeping the one of a root "x:\".
size_t trimmed_length(const wstring& path) {
    size_t n = path.length();
    const wchar_t* p = path.c_str();
    while (n > 3 && (p[n - 1] == L'\\' || p[n - 1] == L'/')) --n;
    return n;
}
}  // namespace

bool directory_inside(const wchar_t* folder, const wchar_t* directory, wstring& out) {
    if (!folder || !*folder || !directory) return false;
    if (directory[0] == L'\\' || directory[0] == L'/' || wcschr(directory, L':')) return false;
    wstring base, joined(folder);
    if (!canonical(folder, base)) return false;
    joined += L"\\";
    joined += directory;
    if (!canonical(joined.c_str(), out)) return false;
    size_t n = trimmed_length(base);
    if (out.length() < n) return false;
    if (CompareStringOrdinal(out.c_str(), static_cast<int>(n), base.c_str(), static_cast<int>(n), TRUE) !=
        CSTR_EQUAL)
        return false;
    wchar_t next = out.c_str()[n];
    return next == L'\0' || next == L'\\' || base.c_str()[n - 1] == L'\\';
}
