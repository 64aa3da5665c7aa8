#include "engine/script_files.h"

#include <windows.h>

#include "core/archive.h"
#include "core/file.h"
#include "core/paths.h"
#include "core/search_path.h"
#include "core/trace.h"
#include "engine/system_manager.h"

namespace {
string to_multibyte(const wchar_t* text) {
    string out;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        out.chars().resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, text, -1, out.chars().data(), n, nullptr, nullptr);
    }
    return out;
}
}  // namespace

bool find_script(const string& name, wstring& path, string& package, int32_t path_id) {
    return search_path_get(engine_system_manager_object().paths(), path_id, name.c_str(), path, package,
                           false);
}

bool read_image_file(const char* name, std::vector<uint8_t>& bytes) {
    wstring path;
    string entry;
    if (!search_path_resolve(engine_system_manager_object().paths(), -2, name, path, entry)) return false;
    if (!entry.empty()) {
        archive* a = archive_manager::instance()->open_archive(path.c_str());
        archive::entry_iterator it;
        if (!a || (it = a->find(entry)) == a->end() || !a->lock_entry(it)) return false;
        bytes.assign(it->second.data, it->second.data + it->second.size);
        a->unlock_entry(it);
        return true;
    }
    file f(path.c_str());
    if (!f.open(file_read | file_share_read)) return false;
    uint32_t size = f.size();
    bytes.resize(size);
    return size == 0 || f.read_exact(bytes.data(), size);
}

bool script_load_path(const wstring& path, lua_State* state, const string& package,
                      script_error_info& info) {
    if (!package.empty()) {
        // A search path resolves into a package as (package file, entry).
        archive* a = archive_manager::instance()->open_archive(path.c_str());
        archive::entry_iterator entry;
        if (!a || (entry = a->find(package)) == a->end()) {
            string_printf(info.message, "invalid path \"%s\"[%s]", to_multibyte(path.c_str()).c_str(),
                          package.c_str());
            return false;
        }
        if (!a->lock_entry(entry)) {
            string_printf(info.message, "invalid path \"%s\"[%s]", to_multibyte(path.c_str()).c_str(),
                          package.c_str());
            return false;
        }
        bool ok = script(state).load_buffer(entry->second.data, entry->second.size, info);
        a->unlock_entry(entry);
        return ok;
    }
    return script(state).load_file(to_multibyte(path.c_str()).c_str(), info);
}
