#include "core/folders.h"

#include <shlwapi.h>

#include <cwctype>

#include "core/paths.h"

void path_join(wstring& directory, const wchar_t* name) {
    if (!directory.empty()) {
        size_t n = directory.length();
        if (directory.c_str()[n - 1] != L'\\') directory.append_chars(L"\\");
    }
    directory.append_chars(name);
}

void path_join_string(wstring& directory, const wstring& name) { path_join(directory, name.c_str()); }

void make_full_path(wstring& out, const wchar_t* directory, const wchar_t* name,
                    const wchar_t* extension) {
    if (directory && directory[0] && directory[1] == L':') {
        out.assign(directory);
    } else {
        out.assign(base_directory());
        if (directory) out.append_chars(directory);
    }
    if (name && *name) path_join(out, name);
    if (extension && *extension) {
        out.append_chars(L".");
        out.append_chars(extension);
    }
    wstring_upper_first(out);
}

wstring absolute_path(const wchar_t* path) {
    wstring out;
    make_absolute_path(out, path);
    return out;
}

wstring qualify_path(const wchar_t* path) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (!path || !PathSearchAndQualifyW(path, buf, MAX_PATH)) return wstring();
    return wstring(buf);
}

int rfind_char(const wchar_t* text, wchar_t c) {
    if (!text) return -1;
    int found = -1;
    for (int i = 0; text[i]; ++i)
        if (text[i] == c) found = i;
    return found;
}

int wstring_rfind_char(const wstring& text, wchar_t c) {
    return text.empty() ? -1 : rfind_char(text.c_str(), c);
}

wstring directory_of(const wchar_t* path) {
    wstring out;
    int slash = rfind_char(path, L'\\');
    if (slash >= 0) out.assign(path, size_t(slash) + 1);
    return out;
}

bool file_stem_of(const wchar_t* path, wstring& stem) {
    stem.assign(nullptr);
    int slash = rfind_char(path, L'\\');
    if (slash < 0) return false;
    const wchar_t* last = path + slash + 1;
    int dot = rfind_char(last, L'.');
    if (dot < 0)
        stem.assign(last);
    else if (dot > 0)
        stem.assign(last, size_t(dot));
    return true;
}

bool extension_of(const wchar_t* path, wstring& extension) {
    extension.assign(nullptr);
    if (!path) return false;
    const wchar_t* last = path + (rfind_char(path, L'\\') + 1);
    int dot = rfind_char(last, L'.');
    if (dot < 0) return false;
    extension.assign(last + dot + 1);
    return true;
}

void wstring_truncate(wstring& text, size_t length) {
    if (length >= text.length()) return;
    std::vector<wchar_t>& v = text.chars();
    if (length == 0) {
        v.clear();
        return;
    }
    v.resize(length + 1);
    v[length] = 0;
}

void wstring_upper_first(wstring& text) {
    std::vector<wchar_t>& v = text.chars();
    if (!v.empty()) v[0] = static_cast<wchar_t>(towupper(v[0]));
}

bool path_strip_prefix(wstring& path, const wchar_t* prefix) {
    if (!prefix) return false;
    size_t n = wcslen(prefix);
    if (path.length() < n || _wcsnicmp(path.c_str(), prefix, n) != 0) return false;
    const wchar_t* rest = path.c_str() + n;
    if (*rest == L'\\') ++rest;
    wstring kept(rest);
    path = kept;
    return true;
}

namespace {

// Creates every folder from the top down. A drive ("D:") or a UNC share
// is never created, only what lies below it.
bool create_folders(const wstring& path) {
    const wchar_t* p = path.c_str();
    size_t n = path.length();
    size_t start = 0;
    if (n >= 2 && p[1] == L':') start = 2;
    if (n >= 2 && p[0] == L'\\' && p[1] == L'\\') {
        // Skip "\\server\share".
        int seen = 0;
        for (start = 2; start < n && seen < 2; ++start)
            if (p[start] == L'\\') ++seen;
    }
    for (size_t i = start; i <= n; ++i) {
        if (i < n && p[i] != L'\\') continue;
        if (i == 0 || p[i - 1] == L'\\' || p[i - 1] == L':') continue;
        wstring part;
        part.assign(p, i);
        if (!CreateDirectoryW(part.c_str(), nullptr)) {
            DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS) return false;
            if (!is_directory(part.c_str())) return false;  // a file in the way
        }
    }
    return true;
}

}  // namespace

bool create_path(const wchar_t* path, uint32_t attributes) {
    if (!path || !*path) return false;
    wstring target(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return create_folders(target);
    wstring folder = directory_of(path);
    if (!folder.empty() && !create_folders(folder)) return false;
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                           attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

file_finder::file_finder(const wchar_t* folder, const wchar_t* pattern) {
    find_first_file(*this, folder, pattern);
}

file_finder::~file_finder() { close(); }

void file_finder::close() {
    if (handle_) FindClose(handle_);
    handle_ = nullptr;
}

namespace {
bool is_dot_entry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}
}  // namespace

bool find_first_file(file_finder& finder, const wchar_t* folder, const wchar_t* pattern) {
    finder.close();
    finder.pattern_.assign(folder);
    if (pattern && *pattern) path_join(finder.pattern_, pattern);
    HANDLE h = FindFirstFileW(finder.pattern_.c_str(), &finder.data_);
    if (h == INVALID_HANDLE_VALUE) return false;
    finder.handle_ = h;
    if (!is_dot_entry(finder.data_.cFileName)) return true;
    return find_next_file(finder);
}

bool find_next_file(file_finder& finder) {
    if (!finder.handle_) return false;
    while (FindNextFileW(finder.handle_, &finder.data_)) {
        if (!is_dot_entry(finder.data_.cFileName)) return true;
    }
    finder.close();
    return false;
}
