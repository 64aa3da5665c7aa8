// The Lua face of list boxes and combo boxes.
#include <vector>

#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/list_controls.h"

namespace {
list_control_action* list_arg(lua_State* L) {
    list_control_action* c = control_arg<list_control_action>(L);
    return c && c->window ? c : nullptr;
}

int32_t arg_rounded(lua_State* L, int i) {
    const double v = lua_tonumber(L, i);
    return static_cast<int32_t>(v + (v < 0 ? -0.5 : 0.5));
}

LRESULT send(list_control_action* c, UINT message, WPARAM w, LPARAM l) { return SendMessageW(c->window, message, w, l); }

// The exact search starts after item 0, so item 0 is compared last.
LRESULT find_exact(list_control_action* c, const char* text) {
    const std::wstring w = control_widen(text);
    return send(c, c->messages().find_exact, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

int add(lua_State* L) {
    list_control_action* c = list_arg(L);
    if (!c || lua_type(L, 2) != LUA_TSTRING) return 0;
    const std::wstring w = control_widen(lua_tostring(L, 2));
    if (lua_isnumber(L, 3) && arg_rounded(L, 3) >= 0) {
        send(c, c->messages().insert, static_cast<WPARAM>(arg_rounded(L, 3)), reinterpret_cast<LPARAM>(w.c_str()));
    } else {
        send(c, c->messages().add, 0, reinterpret_cast<LPARAM>(w.c_str()));
    }
    return 0;
}

int del(lua_State* L) {
    list_control_action* c = list_arg(L);
    if (!c) return 0;
    bool done = false;
    if (lua_gettop(L) < 2) {
        for (LRESULT n = send(c, c->messages().count, 0, 0); n > 0; --n) send(c, c->messages().remove, n - 1, 0);
        done = true;
    } else if (lua_type(L, 2) == LUA_TSTRING) {
        const LRESULT i = find_exact(c, lua_tostring(L, 2));
        done = i >= 0 && send(c, c->messages().remove, static_cast<WPARAM>(i), 0) >= 0;
    } else if (lua_isnumber(L, 2)) {
        const int32_t i = arg_rounded(L, 2);
        done = i >= 0 && send(c, c->messages().remove, static_cast<WPARAM>(i), 0) >= 0;
    }
    lua_pushboolean(L, done);
    return 1;
}

int count(lua_State* L) {
    list_control_action* c = list_arg(L);
    if (!c) return 0;
    lua_pushnumber(L, static_cast<double>(send(c, c->messages().count, 0, 0)));
    return 1;
}

int find(lua_State* L) {
    list_control_action* c = list_arg(L);
    if (!c) return 0;
    lua_pushnumber(L, lua_type(L, 2) == LUA_TSTRING ? static_cast<double>(find_exact(c, lua_tostring(L, 2))) : -1.0);
    return 1;
}

int list(lua_State* L) {
    list_control_action* c = list_arg(L);
    if (!c) return 0;
    if (!lua_isnumber(L, 2)) {
        lua_pushnil(L);
        return 1;
    }
    const int32_t i = arg_rounded(L, 2);
    const LRESULT n = i < 0 ? -1 : send(c, c->messages().text_length, static_cast<WPARAM>(i), 0);
    if (n < 0) {
        lua_pushnil(L);
        return 1;
    }
    std::vector<wchar_t> text(static_cast<size_t>(n) + 1, L'\0');
    send(c, c->messages().text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    const std::string narrow = control_narrow(text.data());
    lua_pushlstring(L, narrow.data(), narrow.size());
    return 1;
}

int data(lua_State* L) {
    listbox_ctrl_action* c = control_arg<listbox_ctrl_action>(L);
    if (!c || !c->window) return 0;
    const WPARAM i = static_cast<WPARAM>(arg_rounded(L, 2));
    if (lua_gettop(L) < 3) {
        const LRESULT v = SendMessageW(c->window, LB_GETITEMDATA, i, 0);
        if (v == LB_ERR) lua_pushnil(L);
        else lua_pushnumber(L, static_cast<double>(static_cast<uint32_t>(v)));
        return 1;
    }
    bool done = false;
    if (lua_isnumber(L, 3) && arg_rounded(L, 3) != -1) {
        done = SendMessageW(c->window, LB_SETITEMDATA, i, static_cast<LPARAM>(lua_tonumber(L, 3))) != LB_ERR;
    }
    lua_pushboolean(L, done);
    return 1;
}

int listbox_select(lua_State* L) {
    listbox_ctrl_action* c = control_arg<listbox_ctrl_action>(L);
    if (!c || !c->window) return 0;
    if (!c->multiple) {
        if (lua_gettop(L) < 2) {
            lua_pushnumber(L, static_cast<double>(SendMessageW(c->window, LB_GETCURSEL, 0, 0)));
        } else {
            lua_pushboolean(L, SendMessageW(c->window, LB_SETCURSEL, static_cast<WPARAM>(arg_rounded(L, 2)), 0) != LB_ERR);
        }
        return 1;
    }
    if (lua_gettop(L) >= 2) {
        lua_pushboolean(L, SendMessageW(c->window, LB_GETSEL, static_cast<WPARAM>(arg_rounded(L, 2)), 0) > 0);
        return 1;
    }
    const LRESULT n = SendMessageW(c->window, LB_GETSELCOUNT, 0, 0);
    if (n <= 0) {
        lua_pushnil(L);
        return 1;
    }
    std::vector<int> items(static_cast<size_t>(n));
    const LRESULT got = SendMessageW(c->window, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(items.data()));
    luaL_checkstack(L, static_cast<int>(got > 0 ? got : 1), "selection");
    for (LRESULT k = 0; k < got; ++k) lua_pushnumber(L, items[static_cast<size_t>(k)]);
    return got > 0 ? static_cast<int>(got) : 0;
}

int combobox_select(lua_State* L) {
    combobox_ctrl_action* c = control_arg<combobox_ctrl_action>(L);
    if (!c || !c->window) return 0;
    if (lua_gettop(L) < 2) {
        lua_pushnumber(L, static_cast<double>(SendMessageW(c->window, CB_GETCURSEL, 0, 0)));
        return 1;
    }
    LRESULT index = -1;
    if (lua_type(L, 2) == LUA_TSTRING) {
        index = find_exact(c, lua_tostring(L, 2));
        if (index < 0) {
            lua_pushboolean(L, 0);
            return 1;
        }
    } else {
        index = arg_rounded(L, 2);
    }
    lua_pushboolean(L, SendMessageW(c->window, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != CB_ERR);
    return 1;
}

const luaL_Reg listbox_methods[] = {{"add", add},   {"del", del},   {"count", count},           {"find", find},
                                    {"list", list}, {"data", data}, {"select", listbox_select}, {nullptr, nullptr}};
const luaL_Reg combobox_methods[] = {{"add", add},   {"del", del},   {"count", count}, {"find", find},
                                     {"list", list}, {"select", combobox_select}, {nullptr, nullptr}};

int new_listbox_ctrl(lua_State* L) {
    return construct_control<listbox_ctrl_action>(L, "listbox_ctrl.new", listbox_methods, [L](listbox_ctrl_action* c) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid listbox_ctrl.type");
        c->multiple = (type & 0x1) != 0;
        return c->create_control(L, L"LISTBOX", listbox_style(type), 0, true);
    });
}

int new_combobox_ctrl(lua_State* L) {
    return construct_control<combobox_ctrl_action>(L, "combobox_ctrl.new", combobox_methods,
                                                   [L](combobox_ctrl_action* c) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid combobox_ctrl.type");
        return c->create_control(L, L"COMBOBOX", combobox_style(type), 0, true);
    });
}
}  // namespace

void list_controls_register(lua_State* L) {
    lua_register(L, "new_listbox_ctrl", new_listbox_ctrl);
    lua_register(L, "new_combobox_ctrl", new_combobox_ctrl);
}
