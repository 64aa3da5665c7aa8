#include "core/search_path.h"

#include <windows.h>
#include <shlwapi.h>

#include "core/archive.h"
#include "core/file.h"
#include "core/folders.h"
#include "core/paths.h"
#include "core/string_ops.h"
#include "core/system_log.h"

namespace {

const char* const builtin_names[search_path_builtin_count] = {"script", "graphic", "sound",
                                                              "save",   "movie",   "patch"};

// "a" and "b" joined by a backslash; either alone when the other is empty.
string join_parts(const char* a, const char* b) {
    string out(a);
    if (!out.empty() && b && *b) out += "\\";
    out += b;
    return out;
}


bool same_extension(const wstring& a, const wstring& b) { return wstring_compare(a, b) == 0; }

}  // namespace

bool search_path::set(const wchar_t* new_path, const char* new_second, const char* new_third) {
    path.assign(new_path);
    second.assign(new_second);
    third.assign(new_third);
    return validate();
}

bool search_path::validate() {
    uint32_t attrs = file_attributes(path.c_str());
    if (attrs == path_missing) {
        kind = search_path_disabled;
        return false;
    }
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
        kind = search_path_folder;
        if (second.find_char_from(';', 1) >= 0) {
            kind |= search_path_extension_list;
            const char* s = second.c_str();
            if (s[second.length() - 1] != ';') second += ";";
        }
    } else {
        kind = search_path_package;
    }
    return true;
}

bool search_path::resolve(const char* name, wstring& out_path, string& out_entry) const {
    out_entry.assign(nullptr);
    if (type() == search_path_package) {
        out_path = path;
        out_entry = join_parts(second.c_str(), name);
        return true;
    }
    if (type() != search_path_folder) return false;
    wstring wide_name, extension;
    if (!string_to_wstring(name, wide_name) || !string_to_wstring(second, extension)) return false;
    if (!has_list()) {
        make_full_path(out_path, path.c_str(), wide_name.c_str(), extension.c_str());
        return true;
    }
    // The first candidate that exists; the last one when none does.
    for (const wstring& ext : split_semicolon_list(extension)) {
        make_full_path(out_path, path.c_str(), wide_name.c_str(), ext.c_str());
        if (file_exists(out_path.c_str())) break;
    }
    return true;
}

bool search_path::find_files(std::vector<string>& out) const {
    if (type() != search_path_folder || third.empty()) return false;
    wstring folder, pattern;
    if (!string_to_wstring(third, pattern)) return false;
    make_full_path(folder, path.c_str(), nullptr, nullptr);
    file_finder finder;
    for (bool more = find_first_file(finder, folder.c_str(), pattern.c_str()); more;
         more = find_next_file(finder)) {
        if (finder.is_folder()) continue;
        string name;
        if (!wstring_to_multibyte(finder.name(), name)) return false;
        out.push_back(name);
    }
    return true;
}

const char* search_path_set::builtin_name(int32_t number) {
    if (number < -search_path_builtin_count || number > -1) return nullptr;
    return builtin_names[-number - 1];
}

search_path* search_path_set::entry(int32_t number) {
    if (number < 0) return builtin_name(number) ? &builtin[-number - 1] : nullptr;
    // The first added record is number `base` itself.
    if (number < base || int64_t(number) >= int64_t(base) + int64_t(added.size())) return nullptr;
    return &added[size_t(number - base)];
}

string search_path_set::name_of(int32_t number) const {
    if (const char* builtin = builtin_name(number)) return string(builtin);
    string out;
    string_printf(out, "PATH%d", number);
    return out;
}

void search_path_set::add_patch(const wchar_t* location) {
    search_patch patch;
    patch.location.assign(location);
    if (file_exists(location)) patch.package = archive_manager::instance()->open_archive(location);
    patches.push_back(patch);
}

search_path* search_path_entry(search_path_set& set, int32_t number) { return set.entry(number); }

bool search_path_find_file(search_path_set& set, int32_t number, const char* name,
                           wstring& out_path, string& out_entry) {
    search_path* record = set.entry(number);
    if (set.patches.empty() || !record || !name) return false;
    const uint32_t type = record->type();
    if (type != search_path_folder && type != search_path_package) return false;
    string number_name = set.name_of(number);

    for (size_t i = set.patches.size(); i-- > 0;) {
        const search_patch& patch = set.patches[i];
        const bool folder_patch = is_directory(patch.location.c_str());
        string patch_name, patch_second;
        if (type == search_path_folder) {
            patch_name = join_parts(record->third.c_str(), name);
            if (folder_patch) patch_second = record->second;
        } else if (folder_patch) {
            patch_name = join_parts(record->third.c_str(), name);
        } else {
            patch_name.assign(name);
            patch_second = join_parts(record->third.c_str(), record->second.c_str());
        }
        if (set.verbose)
            system_log_trace(9, "system.search_patch", "[%s]%s: [%d]%S[%s]", number_name.c_str(),
                             name, int(i), patch.location.c_str(), patch_second.c_str());
        search_path temporary;
        if (!temporary.set(patch.location.c_str(), patch_second.c_str(), "")) return false;
        wstring found_path;
        string found_entry;
        if (!temporary.resolve(patch_name.c_str(), found_path, found_entry)) continue;
        bool present = folder_patch
                           ? file_exists(found_path.c_str())
                           : patch.package && patch.package->find(found_entry) != patch.package->end();
        if (present) {
            out_path = found_path;
            out_entry = found_entry;
            return true;
        }
    }
    return false;
}

bool search_path_get(search_path_set& set, int32_t number, const char* name, wstring& out_path,
                     string& out_entry, bool skip_patches) {
    search_path* record = set.entry(number);
    if (!record || !name) return false;
    string number_name = set.name_of(number);
    if (record->type() == search_path_disabled) {
        system_log_trace(0, "system.get_path", "%s: path is disable", number_name.c_str());
        return false;
    }
    bool found = !skip_patches && search_path_find_file(set, number, name, out_path, out_entry);
    if (!found && !record->resolve(name, out_path, out_entry)) {
        system_log_trace(0, "system.get_path", "%s: failed in getting of path \"%s\"",
                         number_name.c_str(), name);
        return false;
    }
    if (set.verbose)
        system_log_trace(9, "system.get_path", "[%s]%s = %S[%s]", number_name.c_str(), name,
                         out_path.c_str(), out_entry.c_str());
    return true;
}

bool search_path_resolve(search_path_set& set, int32_t number, const char* name,
                         wstring& out_path, string& out_entry) {
    return search_path_get(set, number, name, out_path, out_entry, false);
}

bool relative_path(const wchar_t* path, const search_path& record, string& out_name) {
    if (!path || record.type() != search_path_folder) return false;
    wstring folder, target;
    make_full_path(folder, record.path.c_str(), nullptr, nullptr);
    make_full_path(target, path, nullptr, nullptr);
    wchar_t buf[MAX_PATH + 1] = {};
    if (!PathRelativePathToW(buf, folder.c_str(), FILE_ATTRIBUTE_DIRECTORY, target.c_str(),
                             FILE_ATTRIBUTE_NORMAL))
        return false;
    if (buf[0] != L'.' || buf[1] != L'\\') return false;  // not below the folder
    wstring name(buf + 2);
    wstring extension;
    int slash = rfind_char(name.c_str(), L'\\');
    int dot = rfind_char(name.c_str(), L'.');
    if (dot > slash) {
        extension.assign(name.c_str() + dot + 1);
        wstring_truncate(name, size_t(dot));
    }
    wstring wanted;
    if (!string_to_wstring(record.second, wanted)) return false;
    bool fits = false;
    if (record.has_list()) {
        for (const wstring& ext : split_semicolon_list(wanted))
            if (same_extension(ext, extension)) fits = true;
    } else {
        fits = same_extension(wanted, extension);
    }
    return fits && !name.empty() && wstring_to_multibyte(name, out_name);
}
