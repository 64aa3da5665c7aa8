#include "controls/control_library.h"

#include "controls/control_constructor.h"
#include "controls/list_controls.h"
#include "controls/scrollbar_ctrl_action.h"
#include "controls/standard_controls.h"
#include "controls/statusbar_ctrl_action.h"

uint32_t control_key_number(lua_State* L, const char* name, uint32_t fallback, const char* bad) {
    if (!lua_istable(L, 2)) return fallback;
    lua_getfield(L, 2, name);
    uint32_t value = fallback;
    if (!lua_isnil(L, -1)) {
        if (!lua_isnumber(L, -1)) {
            lua_pop(L, 1);
            throw bad;
        }
        value = static_cast<uint32_t>(static_cast<int64_t>(lua_tonumber(L, -1)));
    }
    lua_pop(L, 1);
    return value;
}

void control_action_register(lua_State* L) {
    window_ctrl_register(L);
    standard_controls_register(L);
    scrollbar_register(L);
    statusbar_register(L);
    list_controls_register(L);
    dialog_register(L);
}
