#include "core/string_ops.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

int wstring_compare_case(const wstring& a, const wstring& b) {
    int r = wcscmp(a.c_str(), b.c_str());
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int wstring_find_char(const wstring& text, wchar_t c, int start) {
    int n = static_cast<int>(text.length());
    for (int i = start < 0 ? 0 : start; i < n; ++i)
        if (text.c_str()[i] == c) return i;
    return -1;
}

int string_find(const string& in, const char* text, int start) {
    int n = static_cast<int>(in.length());
    if (!text || start < 0 || start > n) return -1;
    const char* found = strstr(in.c_str() + start, text);
    return found ? static_cast<int>(found - in.c_str()) : -1;
}

bool wstring_to_multibyte(const wchar_t* in, string& out) {
    return convert_code_page<wchar_t, char, wcstombs>(in, out.chars());
}

bool wstring_to_multibyte(const wstring& in, string& out) { return wstring_to_multibyte(in.c_str(), out); }

std::vector<wstring> split_semicolon_list(const wstring& list) {
    std::vector<wstring> out;
    const wchar_t* p = list.c_str();
    while (*p) {
        const wchar_t* end = wcschr(p, L';');
        if (!end) end = p + wcslen(p);
        wstring item;
        item.assign(p, size_t(end - p));
        out.push_back(item);
        p = *end ? end + 1 : end;
    }
    return out;
}
