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
    std::vector<char>& v = out.chars();
    v.clear();
    if (!in || !*in) return true;
    size_t need = wcstombs(nullptr, in, 0);
    if (need == static_cast<size_t>(-1)) return false;
    v.assign(need + 1, 0);
    size_t done = wcstombs(v.data(), in, need + 1);
    if (done == static_cast<size_t>(-1)) {
        v.clear();
        return false;
    }
    v.resize(done + 1);
    v[done] = 0;
    if (done == 0) v.clear();
    return true;
}

bool wstring_to_multibyte(const wstring& in, string& out) { return wstring_to_multibyte(in.c_str(), out); }
