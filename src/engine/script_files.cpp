#include "engine/script_files.h"

#include <windows.h>

#include "core/archive.h"
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

bool resolve_image_file(const char* name, wstring& path, string& entry) {
    return search_path_resolve(engine_system_manager_object().paths(), -2, name, path, entry);
}

bool resolve_sound_file(int32_t path_index, const char* name, wstring& path, string& entry) {
    system_manager& m = engine_system_manager_object();
    const int sound_path = 2;  // -3
    search_path kept = m.paths().builtin[sound_path];
    bool ok = (path_index == 0 || m.set_path(-3, path_index)) &&
              search_path_resolve(m.paths(), -3, name, path, entry);
    m.paths().builtin[sound_path] = kept;
    return ok;
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
