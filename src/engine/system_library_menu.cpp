// system.init_menu, menu, set_menu, del_menu, menu_state and send_menu:
// the script's items in the main window's menu bar.
#include "core/lua_readers.h"
#include "engine/main_window.h"
#include "engine/script_menu.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lua.h"

namespace {
using menu_item = system_manager::menu_item_type;

// The item table at index: {id, type, text [, {subitem, ...}]}. A sub-menu
// is built here and belongs to the item; throws the message.
void read_item(lua_State* L, int index, menu_item& item);

void build_submenu(lua_State* L, int list, HMENU& submenu) {
    if (!lua_istable(L, list)) throw "invalid set_menu.item.subitem";
    for (int n = 1;; ++n) {
        lua_rawgeti(L, list, n);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        if (!lua_istable(L, -1)) throw "invalid set_menu.item.subitem";
        menu_item sub;
        read_item(L, lua_gettop(L), sub);
        lua_pop(L, 1);
        if (!system_manager::create_menu_item(submenu, sub, -1)) {
            if (sub.submenu) DestroyMenu(sub.submenu);
            throw "fail to create submenu";
        }
    }
}

void read_item(lua_State* L, int index, menu_item& item) {
    lua_rawgeti(L, index, 1);
    bool has_id = !lua_isnil(L, -1), number = lua_isnumber(L, -1) != 0;
    double id = number ? lua_tonumber(L, -1) : 0;
    lua_pop(L, 1);
    if (!has_id) throw "no set_menu.item.id";
    if (!number || id < 0 || id >= 65536) throw "invalid set_menu.item.id";
    item.id = script_truncate_uint(id);

    lua_rawgeti(L, index, 2);
    number = lua_isnumber(L, -1) != 0;
    item.flags = number ? script_truncate_uint(lua_tonumber(L, -1)) : 0;
    lua_pop(L, 1);
    if (!number) throw "no set_menu.item.type";

    lua_rawgeti(L, index, 3);
    bool text = lua_type(L, -1) == LUA_TSTRING;
    if (text) string_to_wstring(lua_tostring(L, -1), item.text);
    lua_pop(L, 1);
    if (!text) throw "no set_menu.item.text";

    lua_rawgeti(L, index, 4);
    int top = lua_gettop(L);
    if (!lua_isnil(L, top)) {
        try {
            build_submenu(L, top, item.submenu);
        } catch (...) {
            if (item.submenu) DestroyMenu(item.submenu);
            item.submenu = nullptr;
            throw;
        }
    }
    lua_settop(L, top - 1);
}

// The item of a command id in the menu scripts work on, read back.
bool read_back(uint32_t id, menu_item& item) {
    HMENU menu = script_menu_info().script_menu ? script_menu_info().script_menu : main_window().menu;
    wchar_t text[256] = {};
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = 255;
    if (!menu || !GetMenuItemInfoW(menu, id, FALSE, &mi)) return false;
    item.id = id;
    item.flags = (mi.fType & menu_item::type_bits) | (mi.fState & menu_item::state_bits);
    item.text = text;
    return true;
}
}  // namespace

// system.init_menu(use_bar): script items go after a marker in the bar
// (true) or into a bar of their own (false); any earlier ones are removed.
int system_init_menu(lua_State* L) {
    lua_pushboolean(L, system_manager::init_menu(lua_toboolean(L, 1) != 0) ? 1 : 0);
    return 1;
}

int system_menu(lua_State* L) {
    (void)L;
    return 0;
}

// system.set_menu(item [, index]): a new script item (index -1 appends).
int system_set_menu(lua_State* L) {
    const char* origin = "system.set_menu";
    int32_t index = lua_isnumber(L, 2) ? system_arg_int(L, 2) : -1;
    menu_item item;
    try {
        if (!lua_istable(L, 1)) throw "invalid set_menu.item";
        // Items go into the bar unless the script chose a bar of its own.
        if (!main_menu_info::initialize(script_menu_info(), true)) throw "menu_mainmenu is invalid";
        read_item(L, 1, item);
    } catch (const char* message) {
        system_manager::trace(1, origin, "%s", message);
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = system_manager::set_menu(item, true, index);
    if (!ok && item.submenu) DestroyMenu(item.submenu);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.del_menu(index): 0 removes every script item, -1 the last one.
int system_del_menu(lua_State* L) {
    int32_t index = system_arg_int(L, 1);
    bool ok = true;
    if (index == 0) system_manager::release_menu();
    else ok = system_manager::delete_menu(index);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.menu_state(id [, state]): the item's state word, or whether the
// new state was set (script items only).
int system_menu_state(lua_State* L) {
    menu_item item;
    bool found = read_back(static_cast<uint32_t>(system_arg_int(L, 1)) & 0xFFFF, item);
    if (lua_gettop(L) < 2) {
        if (found) lua_pushnumber(L, item.flags & menu_item::state_bits);
        else lua_pushnil(L);
        return 1;
    }
    if (!found) item.id = static_cast<uint32_t>(system_arg_int(L, 1)) & 0xFFFF;
    item.flags = (item.flags & menu_item::type_bits) | (script_truncate_uint(lua_tonumber(L, 2)) & menu_item::state_bits) |
                 menu_item::update_state;
    lua_pushboolean(L, system_manager::set_menu(item, false) ? 1 : 0);
    return 1;
}

// system.send_menu(id): the command as if the item had been chosen,
// handled before this returns.
int system_send_menu(lua_State* L) {
    HWND window = main_window().window;
    if (window) SendMessageW(window, WM_COMMAND, MAKEWPARAM(system_arg_int(L, 1) & 0xFFFF, 0), 0);
    return 0;
}
