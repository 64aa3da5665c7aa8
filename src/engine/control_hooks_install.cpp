#include "engine/control_hooks_install.h"

#include "controls/control_hooks.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/system_manager.h"
#include "engine/window_placement.h"
#include "graphics/font.h"
#include "graphics/font_table.h"

namespace {
HWND main_handle() { return main_window().window; }

const wchar_t* save_file() {
    startup_settings* s = current_settings();
    return s ? s->save_path.c_str() : nullptr;
}

bool restore(HWND window, const wchar_t* key) {
    const wchar_t* file = save_file();
    return file && restore_window_pos(window, key, file);
}

bool store(HWND window, const wchar_t* key) {
    const wchar_t* file = save_file();
    return file && store_window_pos(window, key, file);
}

// Shut-down releases the controls after the main window and its device
// are gone: there is no dialog mode left to switch then.
bool switch_dialog_mode(bool on) {
    HWND w = main_window().window;
    return w && IsWindow(w) && enable_control(on);
}

// The font a script font table names, read as system.font reads it (with
// the same character set and glyph format); the manager's use is given back
// once its LOGFONT is copied.
bool font_from_table(lua_State* L, int index, LOGFONTW& out) {
    system_manager* sm = system_manager::instance();
    if (!sm) return false;
    try {
        font_handle handle = create_font_from_table(L, index, sm->fonts(), 0x3030000);
        if (!handle.font()) return false;
        out = handle.font()->logfont();
        return true;
    } catch (const char*) {
        return false;
    }
}

search_path_set* paths() {
    system_manager* sm = system_manager::instance();
    return sm ? &sm->paths() : nullptr;
}
}  // namespace

void install_control_hooks() {
    control_hooks hooks;
    hooks.main_window = main_handle;
    hooks.dialog_mode = main_window_dialog_mode;
    hooks.enable_control = switch_dialog_mode;
    hooks.restore_window_pos = restore;
    hooks.store_window_pos = store;
    hooks.search_paths = paths;
    hooks.font_from_table = font_from_table;
    set_control_hooks(hooks);
}
