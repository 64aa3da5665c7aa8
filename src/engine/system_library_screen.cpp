// system.set_layer_state, bgcolor, image_size, font, size (window), resize,
// active, enable, fps and fullscreen: the screen and the main window as the
// script sees them.
#include "core/lua_readers.h"
#include "core/search_path.h"
#include "core/trace.h"
#include "engine/frame_loop.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "graphics/font_table.h"
#include "graphics/graphic.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
system_manager& manager() { return *system_manager::instance(); }

bool full_screen() {
    startup_settings* s = current_settings();
    return s && s->full_screen;
}

constexpr uint32_t resizable_style = WS_THICKFRAME | WS_MAXIMIZEBOX;
// What system.font adds to every script font: the Japanese character set
// and the glyph format of the engine's text.
constexpr uint32_t script_font_flags = 0x3030000;
}  // namespace

// system.set_layer_state(id, visible)
int system_set_layer_state(lua_State* L) {
    int32_t id = system_arg_int(L, 1);
    if (id < 0 || id >= system_layer_count) return luaL_error(L, "system.set_layer_state: invalid layer id: %d", id);
    manager().set_layer_visible(id, lua_toboolean(L, 2) != 0);
    return 0;
}

// system.bgcolor([colour])
int system_bgcolor(lua_State* L) {
    if (lua_gettop(L) == 0) {
        lua_pushnumber(L, manager().background_colour());
        return 1;
    }
    if (lua_isnumber(L, 1)) manager().set_background_colour(script_truncate_uint(lua_tonumber(L, 1)));
    return 0;
}

// system.image_size(name): the image file's width and height, read from
// its header without loading it.
int system_image_size(lua_State* L) {
    const char* origin = "system.image_size";
    graphic* g = graphic::instance();
    if (lua_type(L, 1) != LUA_TSTRING || !g) {
        system_manager::trace(1, origin, "invalid arguments");
        return 0;
    }
    const char* name = lua_tostring(L, 1);
    wstring path;
    string entry;
    if (!search_path_resolve(manager().paths(), -2, name, path, entry)) {
        system_manager::trace(1, origin, "invalid path");
        return 0;
    }
    graphic::texture_iterator it;
    if (!g->textures().find(it, path.c_str(), entry)) {
        system_manager::trace(1, origin, "fail to load image %s", name);
        return 0;
    }
    graphic_texture::image_info_t* info = g->textures().get_info(it);
    if (!info) {
        system_manager::trace(1, origin, "fail to get image size");
        return 0;
    }
    lua_pushnumber(L, info->width);
    lua_pushnumber(L, info->height);
    return 2;
}

// system.font(table): a font, one use of it held for the script;
// system.font(font): that use given back.
int system_font(lua_State* L) {
    const char* origin = "system.font";
    graphic_font_manager& fonts = manager().fonts();
    if (lua_istable(L, 1)) {
        try {
            font_handle handle = create_font_from_table(L, 1, fonts, script_font_flags);
            graphic_font* font = handle.font();
            handle.forget();  // the script's use, until it gives the font back
            lua_pushlightuserdata(L, font);
        } catch (const char* message) {
            system_manager::trace(1, origin, "%s", message);
            lua_settop(L, 1);
            lua_pushnil(L);
        }
        return 1;
    }
    if (lua_islightuserdata(L, 1)) {
        // Found by address: anything the manager doesn't hold is ignored.
        font_handle found = fonts.find_handle(static_cast<graphic_font*>(lua_touserdata(L, 1)));
        if (found.font() && found.font() == lua_touserdata(L, 1)) fonts.release(found.ref());
        return 0;
    }
    system_manager::trace(1, origin, "invalid data type %s", luaL_typename(L, 1));
    return 0;
}

// system.size([settings]) and system.window: the logical screen's size,
// or with true the configured window size.
int system_size(lua_State* L) {
    int32_t width = 640, height = 480;
    startup_settings* s = current_settings();
    graphic* g = graphic::instance();
    if (lua_toboolean(L, 1)) {
        if (s) width = s->width, height = s->height;
    } else if (g) {
        width = static_cast<int32_t>(g->client_width());
        height = static_cast<int32_t>(g->client_height());
    }
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

// system.resize([width, height [, resizable]]): a new client size and
// frame. In full screen the window takes them when it comes back.
int system_resize(lua_State* L) {
    main_window_record& r = main_window();
    if (!r.window) {
        system_manager::trace(1, "system.resize", "fail to change window style");
        lua_pushboolean(L, 0);
        return 1;
    }
    const bool full = full_screen();
    RECT client = {0, 0, r.width, r.height};
    if (!full) GetClientRect(r.window, &client);
    int32_t width = system_arg_int(L, 1), height = system_arg_int(L, 2);
    r.width = width > 0 ? width : client.right;
    r.height = height > 0 ? height : client.bottom;
    if (lua_isboolean(L, 3)) {
        if (lua_toboolean(L, 3)) r.style |= resizable_style;
        else r.style &= ~resizable_style;
    }
    if (!full) {
        if (!resize_main_window(r, 1)) {
            system_manager::trace(1, "system.resize", "fail to change window style");
            lua_pushboolean(L, 0);
            return 1;
        }
        if (graphic* g = graphic::instance()) g->reset();
    }
    // The field view follows the screen it is drawn on.
    if (system_manager* sm = system_manager::instance()) {
        graphic* g = graphic::instance();
        sm->fields().set_view_size(g ? int32_t(g->client_width()) : r.width, g ? int32_t(g->client_height()) : r.height);
    }
    lua_pushboolean(L, 1);
    return 1;
}

// system.active([activate]): false minimises the window, true brings it
// back to the front; without an argument, whether it is active.
int system_active(lua_State* L) {
    HWND window = main_window().window;
    if (!lua_isboolean(L, 1)) {
        lua_pushboolean(L, main_window_active() ? 1 : 0);
        return 1;
    }
    if (window) {
        ShowWindow(window, SW_MINIMIZE);
        if (lua_toboolean(L, 1)) {
            ShowWindow(window, SW_RESTORE);
            SetForegroundWindow(window);
            SetActiveWindow(window);
        }
    }
    lua_pushboolean(L, 1);
    return 1;
}

// system.enable(on): the main window takes input or not.
int system_enable(lua_State* L) {
    if (!lua_isboolean(L, 1)) {
        system_manager::trace(1, "system.enable", "invalid window name");
        lua_pushboolean(L, 0);
        return 1;
    }
    // EnableWindow answers the previous state; only the last error tells
    // of a failure.
    SetLastError(0);
    EnableWindow(main_window().window, lua_toboolean(L, 1));
    DWORD error = GetLastError();
    if (error != 0) TRACE_ERROR("system_manager::lua_enable_window", "EnableWindow", error);
    lua_pushboolean(L, error == 0 ? 1 : 0);
    return 1;
}

// system.fps(): the configured rate; system.fps(x), x no number: the
// current frame and draw rates; system.fps(fps [, draw]): sets them.
int system_fps(lua_State* L) {
    startup_settings* s = current_settings();
    const uint32_t configured = s ? s->fps : 60;
    if (lua_gettop(L) == 0) {
        lua_pushnumber(L, configured);
        return 1;
    }
    if (!lua_isnumber(L, 1)) {
        // Until a script sets a rate the configured one is running.
        uint32_t rate = current_frame_rate();
        lua_pushnumber(L, rate ? rate : configured);
        if (current_draw_rate()) lua_pushnumber(L, current_draw_rate());
        else lua_pushnil(L);
        return 2;
    }
    int32_t fps = system_arg_int(L, 1), draw = system_arg_int(L, 2);
    // 0 (or less) is the configured rate, named here: the main script runs
    // before the frame loop learns it.
    set_frame_rate(fps > 0 ? static_cast<uint32_t>(fps) : configured, draw > 0 ? static_cast<uint32_t>(draw) : 0);
    return 0;
}

// system.fullscreen([on])
int system_fullscreen(lua_State* L) {
    if (lua_gettop(L) == 0) {
        lua_pushboolean(L, full_screen() ? 1 : 0);
        return 1;
    }
    if ((lua_toboolean(L, 1) != 0) != full_screen()) toggle_screen_mode();
    return 0;
}
