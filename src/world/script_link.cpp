#include "world/script_link.h"

#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"

int32_t world_ref_take(lua_State* L) {
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    return ref > 0 ? ref : 0;
}

void world_ref_push(lua_State* L, int32_t ref) {
    if (ref > 0) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    } else {
        lua_pushnil(L);
    }
}

void world_ref_release(lua_State* L, int32_t ref) {
    if (ref > 0 && L) luaL_unref(L, LUA_REGISTRYINDEX, ref);
}

void script_report_error_text(const script_error_info& info, const char* label) {
    system_log_trace(1, label ? label : "script.call", "%s", info.message.c_str());
    if (!info.trace_text.empty()) system_log_trace(1, "\n", "%s", info.trace_text.c_str());
}
