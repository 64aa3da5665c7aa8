// The system manager's side of script menus: items created, updated and
// deleted in the script menu that main_menu_info points at.
#include "core/trace.h"
#include "engine/main_window.h"
#include "engine/script_menu.h"
#include "engine/system_manager.h"

namespace {
using menu_item = system_manager::menu_item_type;

// A changed bar is only seen once it is drawn again.
void redraw_bar() {
    HWND window = main_window().window;
    if (window && GetMenu(window)) DrawMenuBar(window);
}

void fill_info(MENUITEMINFOW& mi, const menu_item& item) {
    mi.cbSize = sizeof mi;
    mi.fType = item.flags & menu_item::type_bits;
    mi.fState = item.flags & menu_item::state_bits;
    mi.wID = item.id;
    mi.hSubMenu = item.submenu;
    mi.dwTypeData = const_cast<wchar_t*>(item.text.c_str());
    mi.cch = static_cast<UINT>(item.text.length());
}

// Applies the item to every item of its id in menu from position first on,
// depth first; counts the items changed.
int update_items(HMENU menu, int first, const menu_item& item, HMENU bar) {
    int changed = 0;
    int count = GetMenuItemCount(menu);
    for (int i = first; i < count; ++i) {
        MENUITEMINFOW now = {};
        now.cbSize = sizeof now;
        now.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &now)) continue;
        if (now.hSubMenu && now.hSubMenu != bar) changed += update_items(now.hSubMenu, 0, item, bar);
        if (now.wID != item.id) continue;
        MENUITEMINFOW mi = {};
        fill_info(mi, item);
        mi.fMask = MIIM_ID;
        if (item.flags & menu_item::update_text) mi.fMask |= MIIM_STRING;
        if (item.flags & menu_item::update_state) mi.fMask |= MIIM_STATE;
        if (item.flags & menu_item::update_submenu) mi.fMask |= MIIM_SUBMENU;
        if (item.flags & menu_item::update_type) mi.fMask |= MIIM_FTYPE;
        if (!SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mi)) {
            TRACE_ERROR("system_manager::set_menu", "SetMenuItemInfo", GetLastError());
            continue;
        }
        ++changed;
        bool replaced = (item.flags & menu_item::update_submenu) && now.hSubMenu != item.submenu;
        if (replaced && now.hSubMenu && now.hSubMenu != bar) DestroyMenu(now.hSubMenu);
    }
    return changed;
}

// Takes every script item away and forgets where they went.
void remove_script_items() {
    main_menu_info& info = script_menu_info();
    if (!info.script_menu) return;
    if (info.use_bar) {
        // Without a marker there is no script item, and nothing below it
        // may go: those are the engine's own.
        if (info.ready && info.position >= 0)
            for (int i = GetMenuItemCount(info.bar) - 1; i >= info.position; --i)
                DeleteMenu(info.bar, static_cast<UINT>(i), MF_BYPOSITION);
    } else {
        set_menu_visible(info.bar);
        DestroyMenu(info.script_menu);
    }
    info = main_menu_info();
    redraw_bar();
}
}  // namespace

bool system_manager::create_menu_item(HMENU& parent, const menu_item_type& item, int32_t position) {
    const char* label = "system_manager::create_menu_item";
    bool created = false;
    if (!parent) {
        parent = CreatePopupMenu();
        if (!parent) {
            TRACE_ERROR(label, "CreateMenu", GetLastError());
            return false;
        }
        created = true;
    }
    if (position < 0) position = GetMenuItemCount(parent);
    MENUITEMINFOW mi = {};
    fill_info(mi, item);
    mi.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    if (item.submenu) mi.fMask |= MIIM_SUBMENU;
    if (!InsertMenuItemW(parent, static_cast<UINT>(position), TRUE, &mi)) {
        TRACE_ERROR(label, "InsertMenuItem", GetLastError());
        if (created) {
            DestroyMenu(parent);
            parent = nullptr;
        }
        return false;
    }
    return true;
}

bool system_manager::set_menu(const menu_item_type& item, bool add, int32_t index) {
    main_menu_info& info = script_menu_info();
    if (add) {
        if (!main_menu_info::get_pos(info, index, false)) return false;
        bool ok = create_menu_item(info.script_menu, item, index);
        if (ok) redraw_bar();
        return ok;
    }
    int changed = info.script_menu ? update_items(info.script_menu, info.position + 1, item, info.bar) : 0;
    if (changed == 0) {
        TRACE_ERROR("system_manager::set_menu", "fail to update", -1);
        return false;
    }
    redraw_bar();
    return true;
}

bool system_manager::delete_menu(int32_t index) {
    const char* label = "system_manager::delete_menu";
    main_menu_info& info = script_menu_info();
    if (!main_menu_info::get_pos(info, index, true)) {
        TRACE_ERROR(label, "get_pos", -1);
        return false;
    }
    if (!DeleteMenu(info.script_menu, static_cast<UINT>(index), MF_BYPOSITION)) {
        TRACE_ERROR(label, "DeleteMenu", GetLastError());
        return false;
    }
    redraw_bar();
    return true;
}

bool system_manager::init_menu(bool use_bar) {
    remove_script_items();
    return main_menu_info::initialize(script_menu_info(), use_bar);
}

void system_manager::release_menu() { remove_script_items(); }
