// The Lua face of group boxes, static texts, buttons and edit fields.
#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/standard_controls.h"

namespace {
int32_t arg_rounded(lua_State* L, int i) {
    return lua_isnumber(L, i) ? static_cast<int32_t>(lua_tonumber(L, i) + (lua_tonumber(L, i) < 0 ? -0.5 : 0.5)) : 0;
}

int check(lua_State* L) {
    button_ctrl_action* b = control_arg<button_ctrl_action>(L);
    if (!b || !b->window) return 0;
    if (lua_gettop(L) < 2) {
        lua_pushboolean(L, SendMessageW(b->window, BM_GETCHECK, 0, 0) != BST_UNCHECKED);
        return 1;
    }
    SendMessageW(b->window, BM_SETCHECK, lua_toboolean(L, 2) ? BST_CHECKED : BST_UNCHECKED, 0);
    return 0;
}

int state(lua_State* L) {
    button_ctrl_action* b = control_arg<button_ctrl_action>(L);
    if (!b || !b->window) return 0;
    if (lua_gettop(L) < 2) {
        lua_pushnumber(L, button_state_of_check(SendMessageW(b->window, BM_GETCHECK, 0, 0)));
        return 1;
    }
    SendMessageW(b->window, BM_SETCHECK, button_check_of_state(arg_rounded(L, 2)), 0);
    return 0;
}

int push(lua_State* L) {
    button_ctrl_action* b = control_arg<button_ctrl_action>(L);
    if (b && b->window) SendMessageW(b->window, BM_CLICK, 0, 0);
    return 0;
}

int caret(lua_State* L) {
    edit_ctrl_action* e = control_arg<edit_ctrl_action>(L);
    if (!e) return 0;
    if (lua_gettop(L) < 3) {
        int32_t column = 0, line = 0;
        if (!e->caret(column, line)) {
            lua_pushnil(L);
            lua_pushnil(L);
        } else {
            lua_pushnumber(L, column);
            lua_pushnumber(L, line);
        }
        return 2;
    }
    e->set_caret(arg_rounded(L, 2), arg_rounded(L, 3));
    lua_pushboolean(L, 1);
    return 1;
}

const luaL_Reg edit_methods[] = {{"caret", caret}, {nullptr, nullptr}};

const luaL_Reg button_methods[] = {{"check", check}, {"state", state}, {"push", push}, {nullptr, nullptr}};

int new_group_ctrl(lua_State* L) {
    return construct_control<group_ctrl_action>(L, "group_ctrl.new", nullptr, [L](group_ctrl_action* g) {
        if (!g->create_control(L, L"BUTTON", WS_TABSTOP | BS_GROUPBOX, WS_EX_CONTROLPARENT, true)) return false;
        g->subclass();
        return true;
    });
}

int new_static_ctrl(lua_State* L) {
    return construct_control<static_ctrl_action>(L, "static_ctrl.new", nullptr, [L](static_ctrl_action* s) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid new_static_ctrl.type");
        return s->create_control(L, L"STATIC", static_style(type), 0, true);
    });
}

int new_button_ctrl(lua_State* L) {
    return construct_control<button_ctrl_action>(L, "button_ctrl.new", button_methods, [L](button_ctrl_action* b) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid new_button_ctrl.type");
        int32_t initial = 0;
        if (lua_istable(L, 2)) {
            lua_getfield(L, 2, "state");
            if (!lua_isnil(L, -1)) {
                if (!lua_isnumber(L, -1)) throw "invalid new_button_ctrl.state";
                initial = static_cast<int32_t>(lua_tonumber(L, -1));
            } else {
                lua_getfield(L, 2, "check");
                if (!lua_isnil(L, -1) && !lua_isboolean(L, -1)) throw "invalid new_button_ctrl.check";
                if (lua_toboolean(L, -1)) initial = 2;
                lua_pop(L, 1);
            }
            lua_pop(L, 1);
        }
        if (!b->create_control(L, L"BUTTON", button_style(type), 0, true)) return false;
        SendMessageW(b->window, BM_SETCHECK, button_check_of_state(initial), 0);
        if ((type & BS_BITMAP) && lua_istable(L, 2)) {
            lua_getfield(L, 2, "image");
            if (lua_type(L, -1) == LUA_TSTRING) b->set_image(lua_tostring(L, -1));
            lua_pop(L, 1);
        }
        return true;
    });
}

int new_edit_ctrl(lua_State* L) {
    return construct_control<edit_ctrl_action>(L, "edit_ctrl.new", edit_methods, [L](edit_ctrl_action* e) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid new_edit_ctrl.type");
        return e->create_control(L, L"EDIT", edit_style(type), WS_EX_CLIENTEDGE, true);
    });
}
}  // namespace

void standard_controls_register(lua_State* L) {
    lua_register(L, "new_group_ctrl", new_group_ctrl);
    lua_register(L, "new_static_ctrl", new_static_ctrl);
    lua_register(L, "new_button_ctrl", new_button_ctrl);
    lua_register(L, "new_edit_ctrl", new_edit_ctrl);
}
