// system.path, set_path, makedir, enum_files and info: the game's folders
// and files through its search paths, and its settings.
#include <windows.h>

#include <set>
#include <vector>

#include "core/file_enumeration.h"
#include "core/folders.h"
#include "core/paths.h"
#include "core/string_ops.h"
#include "core/trace.h"
#include "engine/directory_containment.h"
#include "engine/ini_values.h"
#include "engine/startup_settings.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
search_path_set& paths() { return system_manager::instance()->paths(); }

void push_wide(lua_State* L, const wstring& text) {
    string narrow;
    wstring_to_multibyte(text, narrow);
    lua_pushstring(L, narrow.c_str());
}

string narrow_of(const wstring& text) {
    string narrow;
    wstring_to_multibyte(text, narrow);
    return narrow;
}

string join_names(const char* a, const char* b) {
    string out(a);
    if (!out.empty() && b && *b) out += "\\";
    out += b;
    return out;
}

// One patch listed as the patch lookup reads it: the record's sub-folder
// below a folder patch (cut off again from the names), or the record's
// prefix inside a package patch.
bool list_patch(const search_path& record, const search_patch& patch, const char* pattern,
                std::vector<string>& out) {
    const bool folder_patch = is_directory(patch.location.c_str());
    string second, sub;
    size_t cut = 0;
    if (record.type() == search_path_folder || folder_patch) {
        if (record.type() == search_path_folder && folder_patch) second = record.second;
        sub = join_names(record.third.c_str(), pattern);
        if (!record.third.empty()) cut = record.third.length() + 1;
    } else {
        second = join_names(record.third.c_str(), record.second.c_str());
        sub = pattern;
    }
    search_path temporary;
    if (!temporary.set(patch.location.c_str(), second.c_str(), "")) return false;
    std::vector<string> names;
    if (!enumerate_files(temporary, sub.c_str(), names)) return false;
    for (const string& name : names)
        if (name.length() > cut) out.push_back(string(name.c_str() + cut));
    return true;
}

// Patches first, newest first, then the record itself; a name that a
// newer source listed already is not listed again.
bool list_files(int32_t kind, const char* pattern, std::vector<string>& out) {
    search_path_set& set = paths();
    search_path* record = set.entry(kind);
    if (!record) return false;
    std::vector<string> all;
    if (record->type() == search_path_folder || record->type() == search_path_package) {
        for (size_t i = set.patches.size(); i-- > 0;)
            if (!list_patch(*record, set.patches[i], pattern, all)) return false;
    }
    if (!enumerate_files(*record, pattern, all)) return false;
    std::set<string> seen;
    for (const string& name : all)
        if (seen.insert(name).second) out.push_back(name);
    return true;
}
}  // namespace

// system.path(kind): the record's three parts; (kind, name): where name
// resolves, and the package entry (nil for a plain file).
int system_path(lua_State* L) {
    int32_t kind = system_arg_int(L, 1);
    search_path* record = search_path_entry(paths(), kind);
    if (!record) return luaL_error(L, "system.path: invalid path type: %d", kind);
    if (lua_gettop(L) < 2 || lua_isnil(L, 2)) {
        push_wide(L, record->path);
        lua_pushstring(L, record->second.c_str());
        lua_pushstring(L, record->third.c_str());
        return 3;
    }
    const char* name = lua_tostring(L, 2);
    wstring found;
    string entry;
    if (!name || !search_path_get(paths(), kind, name, found, entry, false))
        return luaL_error(L, "system.path: invalid path type: %d", kind);
    push_wide(L, found);
    if (entry.empty()) lua_pushnil(L);
    else lua_pushstring(L, entry.c_str());
    return 2;
}

// system.set_path(kind [, index]): a numbered path for a built-in one, or
// back to its configured setting.
int system_set_path(lua_State* L) {
    int32_t kind = system_arg_int(L, 1);
    if (kind < -search_path_builtin_count || kind > -1)
        return luaL_error(L, "system.set_path: invalid path type %d", kind);
    int32_t k = -1 - kind;
    bool ok;
    if (lua_isnumber(L, 2)) {
        int32_t index = system_arg_int(L, 2);
        ok = system_manager::instance()->set_path(kind, index);
        if (!ok) system_manager::trace(1, "system.set_path", "path[%d]: invalid path-list index %d", k, index);
    } else {
        ok = system_manager::instance()->set_path(kind, -1);
        if (!ok) system_manager::trace(1, "system.set_path", "path[%d]: fail to restore path setting", k);
    }
    if (ok) {
        const search_path& r = paths().builtin[k];
        log_printf(default_trace(), "system_manager::lua_set_path: path[%d] = '%s'.'%s'(%s)", k,
                   narrow_of(r.path).c_str(), r.second.c_str(), r.third.c_str());
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.makedir(kind, directory): creates the folders of a directory that
// stays inside the kind's folder.
int system_makedir(lua_State* L) {
    if (!lua_isnumber(L, 1) || lua_type(L, 2) != LUA_TSTRING) {
        system_manager::trace(1, "system.makedir", "invalid argument");
        lua_pushboolean(L, 0);
        return 1;
    }
    search_path* record = search_path_entry(paths(), system_arg_int(L, 1));
    if (!record || record->type() == search_path_disabled) {
        system_manager::trace(1, "system.makedir", "invalid path id");
        lua_pushboolean(L, 0);
        return 1;
    }
    wstring wide, folder, target;
    string_to_wstring(lua_tostring(L, 2), wide);
    make_absolute_path(folder, record->path.c_str());
    if (!directory_inside(folder.c_str(), wide.c_str(), target)) {
        system_manager::trace(1, "system.makedir", "invalid directory path");
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = create_path(target.c_str(), FILE_ATTRIBUTE_DIRECTORY) && is_directory(target.c_str());
    if (!ok) system_manager::trace(1, "system.makedir", "fail to create directory");
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.enum_files(kind [, sub-folder]): the names as an array.
int system_enum_files(lua_State* L) {
    int32_t kind = system_arg_int(L, 1);
    const char* pattern = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : "";
    std::vector<string> names;
    if (!list_files(kind, pattern, names)) {
        system_manager::trace(1, "system.enum_files", "%s (id=%d)", "fail to enum entries", kind);
        return 0;
    }
    lua_createtable(L, static_cast<int>(names.size()), 0);
    for (size_t i = 0; i < names.size(); ++i) {
        lua_pushstring(L, names[i].c_str());
        lua_rawseti(L, -2, static_cast<int>(i + 1));
    }
    return 1;
}

// system.info([section,] key): a value of "system.ini", section "GAME"
// unless named; "" when missing.
int system_info(lua_State* L) {
    const char* section = "GAME";
    const char* key = lua_tostring(L, 1);
    if (lua_gettop(L) >= 2) {
        section = lua_tostring(L, 1);
        key = lua_tostring(L, 2);
    }
    startup_settings* s = current_settings();
    wstring wide_section, wide_key, value;
    if (s && section && key && string_to_wstring(section, wide_section) && string_to_wstring(key, wide_key))
        value = ini_text(s->ini_path.c_str(), wide_section.c_str(), wide_key.c_str(), L"");
    push_wide(L, value);
    return 1;
}
