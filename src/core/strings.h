// Engine text types: narrow `string` and wide (UTF-16) `wstring`.
//
// Both keep their characters in a vector that, when not empty, always ends
// with a terminator, so c_str() can go straight to the C runtime and Win32.
// An empty string owns no elements and answers the shared literal "".
#ifndef VY_CORE_STRINGS_H
#define VY_CORE_STRINGS_H

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <vector>

class string {
public:
    string() = default;
    string(const char* text);  // null or "" gives the empty string
    string(const string& other) = default;
    string(string&& other) noexcept;
    string& operator=(const string& other);
    string& operator=(string&& other) noexcept;
    string& operator=(const char* text);

    // Replaces the text with the first n characters of text (n = 0: all).
    void assign(const char* text, size_t n = 0);
    void assign_from(const string& other);
    // Appends at most n characters of text (n = 0: all).
    void append_n(const char* text, size_t n = 0);
    void append_string(const string& other);
    string& operator+=(const string& other) { append_string(other); return *this; }
    string& operator+=(const char* text) { append_n(text); return *this; }

    bool empty() const;
    const char* c_str() const;
    size_t length() const;  // characters before the first NUL

    // Index of the first c at or after pos, -1 when absent.
    // find_char_at expects pos within the text; find_char_from answers -1
    // at once for a pos at or past the end.
    int find_char_at(char c, int pos) const;
    int find_char_from(char c, int pos) const;

    // The raw storage, for formatting helpers that size it themselves.
    // Whoever fills it must leave it empty or terminated.
    std::vector<char>& chars() { return chars_; }
    const std::vector<char>& chars() const { return chars_; }

private:
    std::vector<char> chars_;
};

class wstring {
public:
    wstring() = default;
    wstring(const wchar_t* text);  // null or L"" gives the empty string
    wstring(const wstring& other) = default;
    wstring(wstring&& other) noexcept;
    wstring& operator=(const wstring& other);
    wstring& operator=(wstring&& other) noexcept;
    wstring& operator=(const wchar_t* text);

    void assign(const wchar_t* text, size_t n = 0);
    void assign_from(const wstring& other);
    // Appends at most n characters (n = 0: up to the terminator); answers
    // the resulting text.
    const wchar_t* append_chars(const wchar_t* text, size_t n = 0);
    void append_string(const wstring& other) { append_chars(other.c_str()); }
    wstring& operator+=(const wstring& other) { append_string(other); return *this; }
    wstring& operator+=(const wchar_t* text) { append_chars(text); return *this; }

    bool empty() const;
    size_t length() const;  // code units before the first NUL
    const wchar_t* c_str() const;
    const wchar_t* data_or_null() const;  // null while no storage is held
    void replace_char(wchar_t from, wchar_t to);

    std::vector<wchar_t>& chars() { return chars_; }
    const std::vector<wchar_t>& chars() const { return chars_; }

private:
    std::vector<wchar_t> chars_;
};

// A new string: a copy of a with b appended.
string string_concat(const string& a, const string& b);

// Unsigned byte order: the order of every map keyed by `string`.
int string_compare(const string& a, const string& b);
// Case-insensitive for A-Z/a-z only.
int wstring_compare(const wstring& a, const wstring& b);

struct string_less {
    bool operator()(const string& a, const string& b) const { return string_compare(a, b) < 0; }
};
struct wstring_less {
    bool operator()(const wstring& a, const wstring& b) const { return wstring_compare(a, b) < 0; }
};

inline bool operator==(const string& a, const string& b) { return string_compare(a, b) == 0; }
inline bool operator!=(const string& a, const string& b) { return string_compare(a, b) != 0; }
inline bool operator<(const string& a, const string& b) { return string_compare(a, b) < 0; }

// printf-style formatting sized to fit; answer the formatted length
// (-1 when the format is bad, the output then empty).
int string_printf(string& out, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
int string_vprintf(string& out, const char* format, va_list args);
int format_wstring(wstring& out, const wchar_t* format, ...);
int format_wstring_v(wstring& out, const wchar_t* format, va_list args);

// Steps past the current entry of a list of NUL-terminated strings that
// ends with an empty one (file dialog results).
const wchar_t* wstring_list_next(const wchar_t* p);

// Narrow text in the current code page to wide; false when it can't be
// converted (out is then empty).
// Code-page conversion through the C runtime (mbstowcs / wcstombs); the
// result is terminated after the converted characters, empty on failure.
template <class In, class Out, size_t (*Convert)(Out*, const In*, size_t)>
bool convert_code_page(const In* in, std::vector<Out>& v) {
    v.clear();
    if (!in || !*in) return true;
    size_t need = Convert(nullptr, in, 0);
    if (need == static_cast<size_t>(-1)) return false;
    v.assign(need + 1, 0);
    size_t done = Convert(v.data(), in, need + 1);
    if (done == static_cast<size_t>(-1)) {
        v.clear();
        return false;
    }
    v.resize(done + 1);
    v[done] = 0;
    if (done == 0) v.clear();
    return true;
}
bool string_to_wstring(const char* in, wstring& out);
bool string_to_wstring(const string& in, wstring& out);

#endif
