#include "engine/script_menu.h"

#include "core/trace.h"
#include "engine/main_window.h"

namespace {
main_menu_info the_info = {};

// A disabled, greyed "|" with id 0: it marks where script items begin.
bool insert_marker(HMENU menu, UINT position) {
    wchar_t text[] = L"|";
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
    mi.fType = MFT_STRING;
    mi.fState = MFS_GRAYED;
    mi.wID = 0;
    mi.dwTypeData = text;
    mi.cch = 1;
    return InsertMenuItemW(menu, position, TRUE, &mi) != 0;
}
}  // namespace

main_menu_info& script_menu_info() { return the_info; }

bool is_script_menu_marker(HMENU menu, UINT position) {
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_STATE | MIIM_ID | MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, position, TRUE, &mi)) {
        TRACE_ERROR("main_menu_info::initialize", "GetMenuItemInfo", GetLastError());
        return false;
    }
    return mi.wID == 0 && mi.fType == MFT_STRING && (mi.fState & MFS_GRAYED) == MFS_GRAYED;
}

bool main_menu_info::initialize(main_menu_info& info, bool use_bar) {
    const char* label = "main_menu_info::initialize";
    if (info.script_menu) return true;
    HMENU bar = main_window().menu;
    if (!bar) {
        TRACE_ERROR(label, "main window menu is NULL", -1);
        return false;
    }
    info.bar = bar;
    info.position = -1;
    info.ready = 0;
    if (use_bar) {
        info.use_bar = 1;
        info.script_menu = bar;
        int count = GetMenuItemCount(bar);
        for (int i = 0; i < count; ++i) {
            if (!is_script_menu_marker(bar, static_cast<UINT>(i))) continue;
            info.position = i;
            info.ready = 1;
            break;
        }
        return true;
    }
    HMENU own = CreateMenu();
    if (!own) {
        TRACE_ERROR(label, "CreateMenu", GetLastError());
        return false;
    }
    info.use_bar = 0;
    info.script_menu = own;
    info.ready = 1;
    set_menu_visible(own);
    return true;
}

bool main_menu_info::get_pos(main_menu_info& info, int32_t& index, bool existing) {
    if (!info.script_menu) return false;
    if (!info.ready) {
        int count = GetMenuItemCount(info.script_menu);
        UINT at = info.position < 0 ? static_cast<UINT>(count) : static_cast<UINT>(info.position);
        if (!insert_marker(info.script_menu, at)) {
            TRACE_ERROR("main_menu_info::get_pos", "SetMenuItemInfo", GetLastError());
            return false;
        }
        // An appended marker sits at the end: script indexes count from it,
        // never from the start of the bar.
        info.position = static_cast<int32_t>(at);
        info.ready = 1;
    }
    int32_t count = GetMenuItemCount(info.script_menu);
    if (index < 0) {
        index = existing ? count - 1 : count;
        return !existing || index > info.position;
    }
    index = info.position + 1 + index;
    if (!existing && index > count) index = count;
    return true;
}
