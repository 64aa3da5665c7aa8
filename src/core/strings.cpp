// Engine strings. The one invariant: a vector is either empty or holds the
// text followed by exactly one terminator.
#include "core/strings.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>

namespace {

template <class C>
size_t text_length(const C* text, size_t n) {
    // n = 0 means up to the terminator; otherwise at most n, stopping early
    // at a terminator so we never read past the caller's text.
    size_t len = 0;
    while (text[len] != 0 && (n == 0 || len < n)) ++len;
    return len;
}

template <class C>
void assign_chars(std::vector<C>& v, const C* text, size_t n) {
    if (!text || !*text) {
        v.clear();
        v.shrink_to_fit();
        return;
    }
    // Built aside: text may point into v itself.
    size_t len = text_length(text, n);
    std::vector<C> fresh(text, text + len);
    fresh.push_back(0);
    v.swap(fresh);
}

template <class C>
void append_chars_to(std::vector<C>& v, const C* text, size_t n) {
    if (!text || !*text) return;
    if (v.empty()) {
        assign_chars(v, text, n);
        return;
    }
    size_t len = text_length(text, n);
    // Insert before our terminator; text may point into v itself.
    std::vector<C> tail(text, text + len);
    v.pop_back();
    v.insert(v.end(), tail.begin(), tail.end());
    v.push_back(0);
}

template <class C>
size_t stored_length(const std::vector<C>& v) {
    size_t len = 0;
    while (len < v.size() && v[len] != 0) ++len;
    return len;
}

}  // namespace

// ---- string ----

string::string(const char* text) { assign_chars(chars_, text, 0); }

string::string(string&& other) noexcept : chars_(std::move(other.chars_)) { other.chars_.clear(); }

string& string::operator=(const string& other) {
    if (this != &other) assign_from(other);
    return *this;
}

string& string::operator=(string&& other) noexcept {
    chars_ = std::move(other.chars_);
    other.chars_.clear();
    return *this;
}

string& string::operator=(const char* text) {
    assign(text);
    return *this;
}

void string::assign(const char* text, size_t n) { assign_chars(chars_, text, n); }

void string::assign_from(const string& other) {
    if (this == &other) return;
    assign_chars(chars_, other.c_str(), 0);
}

void string::append_n(const char* text, size_t n) { append_chars_to(chars_, text, n); }

void string::append_string(const string& other) { append_chars_to(chars_, other.c_str(), 0); }

bool string::empty() const { return chars_.empty() || chars_[0] == 0; }

const char* string::c_str() const { return chars_.empty() ? "" : chars_.data(); }

size_t string::length() const { return stored_length(chars_); }

int string::find_char_at(char c, int pos) const {
    if (pos < 0) return -1;
    const char* text = c_str();
    size_t len = length();
    for (size_t i = static_cast<size_t>(pos); i < len; ++i)
        if (text[i] == c) return static_cast<int>(i);
    return -1;
}

int string::find_char_from(char c, int pos) const {
    if (pos < 0 || static_cast<size_t>(pos) >= length()) return -1;
    return find_char_at(c, pos);
}

// ---- wstring ----

wstring::wstring(const wchar_t* text) { assign_chars(chars_, text, 0); }

wstring::wstring(wstring&& other) noexcept : chars_(std::move(other.chars_)) { other.chars_.clear(); }

wstring& wstring::operator=(const wstring& other) {
    if (this != &other) assign_from(other);
    return *this;
}

wstring& wstring::operator=(wstring&& other) noexcept {
    chars_ = std::move(other.chars_);
    other.chars_.clear();
    return *this;
}

wstring& wstring::operator=(const wchar_t* text) {
    assign(text);
    return *this;
}

void wstring::assign(const wchar_t* text, size_t n) { assign_chars(chars_, text, n); }

void wstring::assign_from(const wstring& other) {
    if (this == &other) return;
    assign_chars(chars_, other.c_str(), 0);
}

const wchar_t* wstring::append_chars(const wchar_t* text, size_t n) {
    append_chars_to(chars_, text, n);
    return c_str();
}

bool wstring::empty() const { return chars_.empty() || chars_[0] == 0; }

size_t wstring::length() const { return stored_length(chars_); }

const wchar_t* wstring::c_str() const { return chars_.empty() ? L"" : chars_.data(); }

const wchar_t* wstring::data_or_null() const { return chars_.empty() ? nullptr : chars_.data(); }

void wstring::replace_char(wchar_t from, wchar_t to) {
    size_t len = length();
    for (size_t i = 0; i < len; ++i)
        if (chars_[i] == from) chars_[i] = to;
}

// ---- free functions ----

string string_concat(const string& a, const string& b) {
    string out(a);
    out.append_string(b);
    return out;
}

int string_compare(const string& a, const string& b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a.c_str());
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b.c_str());
    while (*p && *p == *q) ++p, ++q;
    return static_cast<int>(*p) - static_cast<int>(*q);
}

int wstring_compare(const wstring& a, const wstring& b) { return _wcsicmp(a.c_str(), b.c_str()); }

int string_vprintf(string& out, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    // Measured with the same printf that formats, so both agree on every
    // conversion.
    int len = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    // Formatted aside: an argument may be the output's own text.
    std::vector<char> v;
    if (len > 0) {
        v.assign(static_cast<size_t>(len) + 1, 0);
        vsnprintf(v.data(), v.size(), format, args);
        v.back() = 0;
    }
    out.chars().swap(v);  // empty text keeps the "no elements" rule
    return len < 0 ? -1 : len;
}

int string_printf(string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int len = string_vprintf(out, format, args);
    va_end(args);
    return len;
}

int format_wstring_v(wstring& out, const wchar_t* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int len = _vscwprintf(format, measure);
    va_end(measure);
    std::vector<wchar_t> v;
    if (len > 0) {
        v.assign(static_cast<size_t>(len) + 1, 0);
        _vsnwprintf(v.data(), v.size(), format, args);
        v.back() = 0;
    }
    out.chars().swap(v);
    return len < 0 ? -1 : len;
}

int format_wstring(wstring& out, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int len = format_wstring_v(out, format, args);
    va_end(args);
    return len;
}

const wchar_t* wstring_list_next(const wchar_t* p) {
    if (!p) return nullptr;
    // An empty entry ends the list; stay on it rather than walk past the end.
    if (!*p) return p;
    return p + wcslen(p) + 1;
}

bool string_to_wstring(const char* in, wstring& out) {
    return convert_code_page<char, wchar_t, mbstowcs>(in, out.chars());
}

bool string_to_wstring(const string& in, wstring& out) { return string_to_wstring(in.c_str(), out); }
