#include "engine/main_window_commands.h"

#include "core/cursor.h"
#include "core/frame_timer.h"
#include "core/paths.h"
#include "core/string_ops.h"
#include "core/trace.h"
#include "engine/engine_dialogs.h"
#include "world/collision_manager.h"
#include "world/collision_view.h"
#include "engine/file_dialogs.h"
#include "engine/frame_loop.h"
#include "engine/main_menu.h"
#include "engine/main_window.h"
#include "engine/message_box.h"
#include "engine/snapshot_command.h"
#include "engine/startup_settings.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"

namespace {
const wchar_t* const forced_exit_question =
    L"VyEngineを強制終了しようとしています。\n強制終了すると、現在のアプリケーションの状態は全て破棄されます。\n"
    L"強制終了を実行しますか？";

void log_mode_command(const char* name, bool full) {
    TRACE_LOCATION(default_trace());
    log_printf(default_trace(), "%s: fullscreen=%s", name, full ? "true" : "false");
}

bool is_full_screen() {
    startup_settings* s = current_settings();
    return s && s->full_screen;
}

void set_full_screen(bool on) {
    if (startup_settings* s = current_settings()) s->full_screen = on;
}

void go_full_screen() {
    log_mode_command("IDM_FULLSCREEN", is_full_screen());
    if (is_full_screen()) return;
    main_window_record& r = main_window();
    r.flags &= ~(placement_restore_style | placement_restore_ex_style | placement_client_size |
                 placement_full_size | placement_centre);
    resize_main_window(r, 2);
    if (graphic* g = graphic::instance()) g->fullscreen(true);
    set_full_screen(true);
    notify_script_command(menu_full_screen);
}

void go_window() {
    log_mode_command("IDM_WINDOWSTYLE", is_full_screen());
    if (!is_full_screen()) return;
    if (graphic* g = graphic::instance()) g->fullscreen(false);
    Sleep(100);
    main_window_record& r = main_window();
    r.flags &= ~static_cast<uint32_t>(placement_centre);
    r.flags |= placement_restore_style | placement_restore_ex_style | placement_client_size | placement_full_size;
    resize_main_window(r, 1);
    set_full_screen(false);
    notify_script_command(menu_window);
}

// A menu change leaves a new client area: the window is minimised and
// restored, then the device is reset to the new size.
void refit(HWND window, UINT code) {
    if (code == 0) {
        ShowWindow(window, SW_MINIMIZE);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(menu_refit, 1), 0);
    } else if (code == 1) {
        ShowWindow(window, SW_RESTORE);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(menu_refit, 2), 0);
    } else if (code == 2) {
        if (graphic* g = graphic::instance()) g->reset();
    }
}

void snapshot() {
    wstring chosen;
    if (!show_file_dialog(L"スナップショット保存", L"bmp,jpg,png,dds", nullptr, chosen, file_dialog_save)) return;
    wstring path;
    make_absolute_path(path, chosen.c_str());
    if (!save_menu_snapshot(path)) {
        string narrow;
        wstring_to_multibyte(path, narrow);
        TRACE_ERROR("IDM_SNAPSHOT", narrow.c_str(), -1);
    }
}

void forced_exit(HWND window) {
    if (message_box(nullptr, forced_exit_question, MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
        DestroyWindow(window);
}

void set_rate(uint32_t fps) {
    if (fps > 0) engine_frame_timer().set_fps(fps);
}
}  // namespace

void notify_script_command(UINT id) {
    system_manager* sm = system_manager::instance();
    if (!sm) return;
    callback_value value;
    value.kind = callback_value::kind_int;
    value.integer = static_cast<int32_t>(id);
    int32_t result = 0;
    sm->call_callback(3, 1, &value, result);
}

void main_window_command(HWND window, UINT id, UINT code) {
    HMENU menu = main_window().menu;
    switch (id) {
    case menu_full_screen: go_full_screen(); return;
    case menu_window: go_window(); return;
    case menu_exit: PostMessageW(window, WM_CLOSE, 0, 0); return;
    case menu_refit: refit(window, code); return;
    case menu_snapshot: snapshot(); return;
    case menu_scaling: check_scaling(menu, true); return;
    case menu_about:
        cursor_show();
        show_about_dialog(window);
        return;
    case menu_network:
        cursor_show();
        show_network_dialog(window);
        return;
    case menu_forced_exit: forced_exit(window); return;
    case menu_play_inactive: check_play_inactive(menu, true); return;
    case menu_alt_enter: check_alt_enter(menu, true); return;
    default: break;
    }
    if (id >= menu_resolution_first && id < menu_resolution_first + resolution_item_count()) {
        select_resolution(menu, id);
    } else if (id >= menu_volume_first && id <= menu_mute) {
        select_volume_item(menu, id);
        notify_script_command(id);
    } else if (id >= 10000) {
        notify_script_command(id);
    }
}

void main_window_debug_key(HWND, WPARAM key) {
    uint32_t fps = current_settings() ? current_settings()->fps : 60;
    system_manager* sm = system_manager::instance();
    switch (key) {
    case VK_ESCAPE:
        if (sm) sm->request_restart();
        return;
    case '0': set_rate(fps); return;
    case '1': set_rate(1); return;
    case '2': set_rate(fps / 8); return;
    case '3': set_rate(fps / 4); return;
    case '4': set_rate(fps / 2); return;
    case '5': set_rate(static_cast<uint32_t>(fps * 1.5)); return;
    case '6': set_rate(fps * 2); return;
    case '7': set_rate(fps * 3); return;
    case '8': set_rate(fps * 4); return;
    case '9': set_rate(fps * 5); return;
    case VK_F2: toggle_screen_mode(); return;
    case VK_F5:
        if (sm) {
            sm->set_running(!sm->running());
            sm->clear_step();
        }
        return;
    case VK_F6:
        if (sm) sm->request_step();
        return;
    case VK_F8:
        body_render_show(collision_manager::instance(), body_render_count() == 0, -1);
        return;
    case VK_F11:
        message_box(nullptr, L"col_debug.logのダンプが完了しました。", MB_OK | MB_ICONINFORMATION);
        return;
    case VK_F12:
        if (message_box(nullptr, L"ログファイルをバックアップします。\nよろしいですか？", MB_OKCANCEL | MB_ICONWARNING) ==
            IDOK)
            trace::backup_all();
        return;
    default: return;
    }
}
