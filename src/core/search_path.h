// Numbered search paths: every file a game loads is named by a path number
// and a name. A record points at a folder (with the extensions to try) or
// at a package (with a folder prefix inside it); registered patches are
// searched first, newest first, so a patch replaces single files.
#ifndef VY_CORE_SEARCH_PATH_H
#define VY_CORE_SEARCH_PATH_H

#include <cstdint>
#include <vector>

#include "core/strings.h"

class archive;

enum : uint32_t {
    search_path_disabled = 0,
    search_path_folder = 1,
    search_path_package = 2,
    search_path_extension_list = 0x100,  // with a folder: the second part is a ";" list
};

class search_path {
public:
    // Stores the parts, then validates.
    bool set(const wchar_t* path, const char* second, const char* third);
    // False (and disabled) when the path does not exist. A folder whose
    // second part holds a ";" past its first character gets the list flag,
    // and the list is made to end with ";".
    bool validate();
    // The full path (and, for a package, the entry name) of a name.
    bool resolve(const char* name, wstring& out_path, string& out_entry) const;
    // For a folder with a non-empty third part: the names of the files of
    // the folder that match it.
    bool find_files(std::vector<string>& out) const;

    uint32_t type() const { return kind & 0xFF; }
    bool has_list() const { return (kind & search_path_extension_list) != 0; }

    wstring path;   // the folder or the package file
    string second;  // folder: extension or ";" list; package: prefix inside it
    string third;   // sub-folder or pattern for patches and listings
    uint32_t kind = search_path_disabled;
};

struct search_patch {
    wstring location;            // a folder or a package file
    archive* package = nullptr;  // open when the location is a file
};

constexpr int32_t search_path_builtin_count = 6;

// The records and patches of one game, held by the engine shell.
class search_path_set {
public:
    // -1 "script", -2 "graphic", -3 "sound", -4 "save", -5 "movie",
    // -6 "patch"; N >= 0 the added record N - base while
    // base <= N < base + count; null for anything else.
    search_path* entry(int32_t number);
    // The built-in name, or "PATH%d".
    string name_of(int32_t number) const;
    static const char* builtin_name(int32_t number);

    // Appends a patch; a file location is opened as a package.
    void add_patch(const wchar_t* location);

    search_path builtin[search_path_builtin_count];
    std::vector<search_path> added;
    int32_t base = 0;
    std::vector<search_patch> patches;  // oldest first
    bool verbose = false;               // path lines at level 9
};

search_path* search_path_entry(search_path_set& set, int32_t number);
// The patch lookup ("system.search_patch"): true with the file's location
// when a patch holds it.
bool search_path_find_file(search_path_set& set, int32_t number, const char* name,
                           wstring& out_path, string& out_entry);
// The road of every loader ("system.get_path"): patches first unless
// skipped, then the record itself.
bool search_path_get(search_path_set& set, int32_t number, const char* name, wstring& out_path,
                     string& out_entry, bool skip_patches);
bool search_path_resolve(search_path_set& set, int32_t number, const char* name,
                         wstring& out_path, string& out_entry);
// The name under a folder record that resolve turns into this path; false
// when the path lies outside the folder or its extension doesn't fit.
bool relative_path(const wchar_t* path, const search_path& record, string& out_name);

#endif
