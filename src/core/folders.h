// Building and splitting wide paths, creating folder chains and searching
// folders. Nothing here logs: answers are false, -1 or empty.
#ifndef VY_CORE_FOLDERS_H
#define VY_CORE_FOLDERS_H

#include <windows.h>

#include <cstdint>

#include "core/strings.h"

// Appends the name with one backslash between (none when the directory
// already ends with one; an empty directory just takes the name).
void path_join(wstring& directory, const wchar_t* name);
void path_join_string(wstring& directory, const wstring& name);

// The directory (taken below the base directory unless it holds a drive),
// the name when not empty, "." and the extension when not empty; the first
// character upper-cased (drive letters).
void make_full_path(wstring& out, const wchar_t* directory, const wchar_t* name,
                    const wchar_t* extension);
wstring absolute_path(const wchar_t* path);
// PathSearchAndQualifyW; empty when it fails.
wstring qualify_path(const wchar_t* path);

// Up to and including the last backslash; empty when there is none.
wstring directory_of(const wchar_t* path);
// The last component without its extension; false without a backslash.
bool file_stem_of(const wchar_t* path, wstring& stem);
// The text after the last "." of the last component; false when that
// component holds no dot (dots in folder names don't count).
bool extension_of(const wchar_t* path, wstring& extension);

int rfind_char(const wchar_t* text, wchar_t c);
int wstring_rfind_char(const wstring& text, wchar_t c);
void wstring_truncate(wstring& text, size_t length);
void wstring_upper_first(wstring& text);
// Removes a leading prefix (compared without regard to case) and the
// backslash after it; false when the path doesn't begin with it.
bool path_strip_prefix(wstring& path, const wchar_t* prefix);

// With FILE_ATTRIBUTE_DIRECTORY: every missing folder of the path, top
// down (existing ones are fine). Otherwise the missing folders above the
// file, then the file itself, opened or created with the attributes.
bool create_path(const wchar_t* path, uint32_t attributes);

// A folder search that never reports "." or "..".
class file_finder {
public:
    file_finder() = default;
    // Starts a search at once (see find_first_file).
    file_finder(const wchar_t* folder, const wchar_t* pattern);
    ~file_finder();
    file_finder(const file_finder&) = delete;
    file_finder& operator=(const file_finder&) = delete;

    const WIN32_FIND_DATAW& data() const { return data_; }
    const wchar_t* name() const { return data_.cFileName; }
    bool is_folder() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool active() const { return handle_ != nullptr; }
    void close();

private:
    friend bool find_first_file(file_finder& finder, const wchar_t* folder, const wchar_t* pattern);
    friend bool find_next_file(file_finder& finder);

    void* handle_ = nullptr;
    WIN32_FIND_DATAW data_ = {};
    wstring pattern_;
};

// Folder and pattern joined (an empty pattern searches the folder itself);
// false when nothing but "." and ".." matches.
bool find_first_file(file_finder& finder, const wchar_t* folder, const wchar_t* pattern);
// False at the end, with the search closed.
bool find_next_file(file_finder& finder);

#endif
