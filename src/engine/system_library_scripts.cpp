// system.load and system.exec: more scripts through the script search path.
#include "engine/script_files.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "world/script_link.h"

#include "lua.h"

namespace {
// Leaves the compiled chunk named by the last argument on L's stack; on
// failure reports under origin and leaves nothing.
bool load_last_argument(lua_State* L, const char* origin) {
    int top = lua_gettop(L);
    const char* name = top > 0 && lua_type(L, top) == LUA_TSTRING ? lua_tostring(L, top) : nullptr;
    if (!name) {
        system_manager::trace(1, origin, "invalid argument");
        return false;
    }
    script_error_info info;
    wstring path;
    string package;
    if (!find_script(name, path, package)) {
        string_printf(info.message, "script not found \"%s\"", name);
    } else if (script_load_path(path, L, package, info)) {
        return true;
    }
    script_report_error_text(info, origin);
    return false;
}
}  // namespace

int system_load(lua_State* L) {
    if (!load_last_argument(L, "system.load")) lua_pushnil(L);
    return 1;
}

int system_exec(lua_State* L) {
    bool ok = false;
    if (load_last_argument(L, "system.exec")) {
        script_error_info info;
        ok = script(L).call(0, 0, info);
        if (!ok) script_report_error_text(info, "system.exec");
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}
