// The Lua face of script windows: new_window_ctrl and the methods close
// and scrollbar.
#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/window_ctrl_action.h"

namespace {
int close(lua_State* L) {
    if (window_ctrl_action* w = control_arg<window_ctrl_action>(L)) {
        if (w->window) SendMessageW(w->window, WM_CLOSE, 0, 0);
    }
    return 0;
}

int scrollbar(lua_State* L) {
    window_ctrl_action* w = control_arg<window_ctrl_action>(L);
    if (!w) {
        lua_pushnil(L);
        lua_pushnil(L);
    } else {
        w->push_bars(L);
    }
    return 2;
}

const luaL_Reg methods[] = {
    {"close", close},
    {"scrollbar", scrollbar},
    {nullptr, nullptr},
};

// A name from the table, none for another name; throws bad for a non-string.
const char* key_name(lua_State* L, const char* key, const char* bad) {
    if (!lua_istable(L, 2)) return nullptr;
    lua_getfield(L, 2, key);
    const int t = lua_type(L, -1);
    const char* name = t == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
    lua_pop(L, 1);
    if (t != LUA_TNIL && t != LUA_TSTRING) throw bad;
    return name;  // still referenced by the table
}

int new_window_ctrl(lua_State* L) {
    return construct_control<window_ctrl_action>(L, "window_ctrl.new", methods, [L](window_ctrl_action* w) {
        const uint32_t options = control_key_number(L, "type", 1, "invalid new_wnd_ctrl.type");
        const char* bg = key_name(L, "bgcolor", "invalid new_wnd_ctrl.bgcolor");
        const char* cursor = key_name(L, "cursor", "invalid new_wnd_ctrl.cursor");
        const uint32_t procs = control_key_number(L, "procs", 0, "invalid new_wnd_ctrl.procs");
        return w->create(L, options, procs, bg ? window_brush_named(bg) : nullptr,
                         cursor ? window_cursor_named(cursor) : nullptr);
    });
}
}  // namespace

void window_ctrl_register(lua_State* L) { lua_register(L, "new_window_ctrl", new_window_ctrl); }
