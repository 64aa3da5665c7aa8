// Small operations on engine strings that the path and search-path code
// needs beside the string classes themselves.
#ifndef VY_CORE_STRING_OPS_H
#define VY_CORE_STRING_OPS_H

#include <vector>

#include "core/strings.h"

// Ordinal comparison of UTF-16 code units: -1, 0 or 1.
int wstring_compare_case(const wstring& a, const wstring& b);
// Index of the first c at or after start; -1 when absent.
int wstring_find_char(const wstring& text, wchar_t c, int start);
// Index of the first occurrence of text at or after start; -1 when absent.
int string_find(const string& in, const char* text, int start);
// Wide text to the current locale's code page; false (out empty) when a
// character can't be converted.
bool wstring_to_multibyte(const wchar_t* in, string& out);
bool wstring_to_multibyte(const wstring& in, string& out);
// The items of a ";" list such as an extension list, empty ones kept.
std::vector<wstring> split_semicolon_list(const wstring& list);

#endif
