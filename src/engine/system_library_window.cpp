// system.store_window and system.restore_window: window placements kept in
// the save settings file.
#include <string>

#include "controls/window_ctrl_action.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "engine/window_placement.h"

#include "lua.h"

namespace {
using placement_fn = bool (*)(HWND, const wchar_t*, const wchar_t*);

int placement(lua_State* L, const char* label, placement_fn operation) {
    startup_settings* s = current_settings();
    if (lua_gettop(L) == 0) {
        bool done = s && operation(nullptr, main_window_placement_key, s->save_path.c_str());
        if (!done) system_manager::trace(1, label, "error occured");
        lua_pushboolean(L, done);
        return 1;
    }
    if (lua_type(L, 1) != LUA_TSTRING) {
        system_manager::trace(1, label, "invalid window name");
    } else if (lua_isnoneornil(L, 2)) {
        system_manager::trace(1, label, "no control");
    } else {
        // Script windows are the only controls with a placement of their own.
        auto* control = dynamic_cast<window_ctrl_action*>(extend_action::get_object(L, 2));
        if (!control) {
            system_manager::trace(1, label, "invalid control");
        } else if (!control->window || !IsWindow(control->window)) {
            system_manager::trace(1, label, "no window");
        } else {
            const std::wstring key = control_widen(lua_tostring(L, 1));
            const bool done = s && operation(control->window, key.c_str(), s->save_path.c_str());
            if (!done) system_manager::trace(1, label, "error occured");
            lua_pushboolean(L, done);
            return 1;
        }
    }
    lua_pushboolean(L, 0);
    return 1;
}
}  // namespace

int system_store_window(lua_State* L) { return placement(L, "system.store_window", store_window_pos); }
int system_restore_window(lua_State* L) { return placement(L, "system.restore_window", restore_window_pos); }
