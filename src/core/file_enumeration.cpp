#include "core/file_enumeration.h"

#include <cstring>

#include "core/archive.h"
#include "core/folders.h"
#include "core/string_ops.h"

namespace {

struct folder_walk {
    std::vector<wstring> extensions;  // empty: every file, name kept whole
    std::vector<string>* out;

    // name: the path below the record's folder, used for the listed names.
    bool walk(const wstring& folder, const wstring& prefix) {
        file_finder finder;
        for (bool more = find_first_file(finder, folder.c_str(), L"*"); more;
             more = find_next_file(finder)) {
            wstring relative = prefix;
            path_join(relative, finder.name());
            if (finder.is_folder()) {
                wstring below = folder;
                path_join(below, finder.name());
                if (!walk(below, relative)) return false;
                continue;
            }
            if (!add(relative)) return false;
        }
        return true;
    }

    bool add(wstring name) {
        if (!extensions.empty()) {
            wstring extension;
            if (!extension_of(name.c_str(), extension)) return true;
            bool fits = false;
            for (const wstring& e : extensions)
                if (wstring_compare(e, extension) == 0) fits = true;
            if (!fits) return true;
            wstring_truncate(name, name.length() - extension.length() - 1);
        }
        string narrow;
        if (!wstring_to_multibyte(name, narrow)) return false;
        out->push_back(narrow);
        return true;
    }
};

bool enumerate_folder(const search_path& record, const wstring& sub, std::vector<string>& out) {
    folder_walk w;
    w.out = &out;
    wstring list;
    if (!string_to_wstring(record.second, list)) return false;
    for (const wstring& ext : split_semicolon_list(list))
        if (!ext.empty()) w.extensions.push_back(ext);
    wstring folder;
    make_full_path(folder, record.path.c_str(), sub.c_str(), nullptr);
    return w.walk(folder, sub);
}

bool enumerate_package(const search_path& record, const char* sub, std::vector<string>& out) {
    archive* package = archive_manager::instance()->open_archive(record.path.c_str());
    if (!package) return false;
    string root(record.second);
    if (!root.empty()) root += "\\";
    string prefix(root);
    if (sub && *sub) {
        prefix += sub;
        prefix += "\\";
    }
    size_t root_length = root.length(), prefix_length = prefix.length();
    for (const auto& item : package->entries()) {
        const char* name = item.first.c_str();
        if (strncmp(name, prefix.c_str(), prefix_length) != 0) continue;
        if (!name[prefix_length]) continue;  // the prefix itself is no file
        out.push_back(string(name + root_length));
    }
    return true;
}

}  // namespace

bool enumerate_files(const search_path& record, const char* sub_folder, std::vector<string>& out) {
    if (record.type() == search_path_package) return enumerate_package(record, sub_folder, out);
    if (record.type() != search_path_folder) return false;
    wstring sub;
    if (!string_to_wstring(sub_folder, sub)) return false;
    return enumerate_folder(record, sub, out);
}
