#include "engine/main_menu.h"

#include <cwchar>

#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/window_sound.h"
#include "graphics/graphic.h"

namespace {
bool user_mute = false;
int32_t resolution_index = 0;
uint32_t resolution_items = 0;

// The sound may keep its volume at lower precision than the steps; a
// volume that reads a hair under a step still counts as that step.
constexpr double volume_slack = 1e-6;

void check_only(HMENU menu, UINT first, UINT last, UINT id) {
    for (UINT i = first; i <= last; ++i)
        CheckMenuItem(menu, i, MF_BYCOMMAND | (i == id ? MF_CHECKED : MF_UNCHECKED));
}

void check_volume_items(HMENU menu, UINT id) { check_only(menu, menu_volume_first, menu_mute, id); }

void check_item(HMENU menu, UINT id, bool on) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// "システム" > "画面変更" > "フルスクリーン時解像度".
HMENU resolution_submenu(HMENU menu) {
    HMENU system = GetSubMenu(menu, 0);
    HMENU screen = system ? GetSubMenu(system, 0) : nullptr;
    return screen ? GetSubMenu(screen, 4) : nullptr;
}
}  // namespace

double volume_of_item(UINT id) { return (menu_volume_last - id) / 10.0; }

UINT volume_item_at_or_below(double volume) {
    for (UINT id = menu_volume_first; id < menu_volume_last; ++id)
        if (volume_of_item(id) <= volume + volume_slack) return id;
    return menu_volume_last;
}

bool user_mute_choice() { return user_mute; }

void select_volume_item(HMENU menu, UINT id) {
    if (id >= menu_volume_first && id <= menu_volume_last) {
        if (window_sound_muted()) window_sound_set_mute(false);
        window_sound_set_volume(volume_of_item(id));
        check_volume_items(menu, id);
        return;
    }
    if (!window_sound_muted()) {
        user_mute = true;
        window_sound_set_mute(true);
        check_volume_items(menu, menu_mute);
    } else {
        user_mute = false;
        window_sound_set_mute(false);
        check_volume_items(menu, volume_item_at_or_below(window_sound_master_volume()));
    }
}

void init_volume_menu(HMENU menu) {
    window_sound_set_mute(true);
    select_volume_item(menu, menu_mute);
}

void check_alt_enter(HMENU menu, bool toggle) {
    startup_settings* s = current_settings();
    if (!s) return;
    if (toggle) s->alt_enter = !s->alt_enter;
    check_item(menu, menu_alt_enter, s->alt_enter);
}

void check_scaling(HMENU menu, bool toggle) {
    graphic* g = graphic::instance();
    if (!g) return;
    if (toggle) {
        g->set_scaling(!g->scaling());
        g->update_screen_offset();
    }
    check_item(menu, menu_scaling, g->scaling());
}

void check_play_inactive(HMENU menu, bool toggle) {
    startup_settings* s = current_settings();
    if (!s) return;
    if (toggle) s->play_inactive = !s->play_inactive;
    check_item(menu, menu_play_inactive, s->play_inactive);
}

void build_resolution_menu(HMENU menu) {
    graphic* g = graphic::instance();
    startup_settings* s = current_settings();
    HMENU list = resolution_submenu(menu);
    uint32_t count = g ? g->display_mode_count() : 0;
    uint32_t chosen = 0;
    for (uint32_t i = 0; list && i < count; ++i) {
        const graphic::resolution* mode = g->display_mode(i);
        wchar_t text[32];
        swprintf(text, 32, L"%ux%u", mode->width, mode->height);
        bool match = s && mode->width == s->display_width && mode->height == s->display_height;
        UINT flags = MF_BYCOMMAND | MF_STRING | (match ? MF_CHECKED : MF_UNCHECKED);
        if (i == 0)
            ModifyMenuW(list, menu_resolution_first, flags, menu_resolution_first, text);
        else
            InsertMenuW(list, i, MF_BYPOSITION | MF_STRING | (match ? MF_CHECKED : MF_UNCHECKED),
                        menu_resolution_first + i, text);
        if (match) chosen = i;  // the last match wins; none keeps the first
    }
    resolution_items = count;
    select_resolution(menu, menu_resolution_first + chosen);
}

void select_resolution(HMENU menu, UINT id) {
    for (UINT i = 0; i < resolution_items; ++i) {
        UINT item = menu_resolution_first + i;
        if (item == id)
            check_item(menu, item, true);
        else if (GetMenuState(menu, item, MF_BYCOMMAND) & MF_CHECKED)
            check_item(menu, item, false);
    }
    resolution_index = static_cast<int32_t>(id - menu_resolution_first);
    graphic* g = graphic::instance();
    if (!g) return;
    g->select_display_mode(static_cast<uint32_t>(resolution_index));
    main_window_record& r = main_window();
    r.full_width = static_cast<int32_t>(g->fullscreen_width());
    r.full_height = static_cast<int32_t>(g->fullscreen_height());
    if (startup_settings* s = current_settings()) {
        s->display_width = g->fullscreen_width();
        s->display_height = g->fullscreen_height();
    }
}

int32_t chosen_resolution() { return resolution_index; }
uint32_t resolution_item_count() { return resolution_items; }

void init_main_menu(HMENU menu) {
    check_scaling(menu, false);
    check_alt_enter(menu, false);
    build_resolution_menu(menu);
    init_volume_menu(menu);
    check_play_inactive(menu, false);
}
