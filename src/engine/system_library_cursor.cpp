// system.cursor, capture_cursor, clip_cursor and cursor_pos: the mouse
// cursor over the main window.
#include "core/cursor.h"
#include "engine/main_window.h"
#include "engine/system_library_functions.h"

#include "lua.h"

// system.cursor(...): each boolean shows or hides the cursor, each number
// of 0 or more picks its shape.
int system_cursor(lua_State* L) {
    int top = lua_gettop(L);
    for (int i = 1; i <= top; ++i) {
        if (lua_isboolean(L, i)) {
            if (lua_toboolean(L, i)) {
                cursor_show();
            } else {
                cursor().visible_wanted = false;
                // While another window is active the cursor is its business.
                if (cursor().active) cursor_hide();
            }
        } else if (lua_isnumber(L, i)) {
            int32_t shape = system_arg_int(L, i);
            if (shape >= 0) set_cursor(shape);
        }
    }
    return 0;
}

// system.capture_cursor([on]): the mouse stays with the main window.
int system_capture_cursor(lua_State* L) {
    cursor_state& c = cursor();
    c.capture_wanted = lua_isboolean(L, 1) && lua_toboolean(L, 1);
    if (c.capture_wanted && c.window && c.active) SetCapture(c.window);
    else if (!c.capture_wanted) ReleaseCapture();
    return 0;
}

// system.clip_cursor(on) or (left, top, right, bottom) in client
// coordinates.
int system_clip_cursor(lua_State* L) {
    if (lua_isboolean(L, 1)) {
        cursor_clip(nullptr, lua_toboolean(L, 1) != 0);
    } else if (lua_isnumber(L, 1)) {
        RECT r = {system_arg_int(L, 1), system_arg_int(L, 2), system_arg_int(L, 3), system_arg_int(L, 4)};
        cursor_clip(&r, true);
    }
    return 0;
}

// system.cursor_pos(): where the cursor is, in client coordinates;
// system.cursor_pos(x, y): moves it there.
int system_cursor_pos(lua_State* L) {
    if (lua_gettop(L) >= 2) {
        lua_pushboolean(L, set_cursor_pos(system_arg_int(L, 1), system_arg_int(L, 2)) ? 1 : 0);
        return 1;
    }
    POINT p = {0, 0};
    GetCursorPos(&p);
    if (HWND window = main_window().window) ScreenToClient(window, &p);
    lua_pushnumber(L, p.x);
    lua_pushnumber(L, p.y);
    return 2;
}
