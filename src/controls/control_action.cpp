#include "controls/control_action.h"

#include <commctrl.h>

#include "controls/control_hooks.h"
#include "core/system_log.h"
#include "core/trace.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/actor_rect.h"

control_action::control_action() { allocate_id(this); }

control_action::~control_action() {
    set_font(nullptr);
    if (window) {
        HWND w = window;
        window = nullptr;
        // The window procedure must not reach this half-destroyed object.
        SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        DestroyWindow(w);
    }
    script_value_release(id_value, controls_lua());
    release_control_id(this);
}

lua_State* controls_lua() {
    action_manager* m = action_manager::instance();
    return m ? m->lua() : nullptr;
}

void control_throw(control_action* control, int32_t code) {
    lua_State* L = controls_lua();
    actor_manager* actors = actor_manager::instance();
    actor_object* owner = control->owner;
    if (owner && actor_is_active(owner, actors ? actors->act_level : 255)) {
        const int32_t result =
            actor_throw_event(owner, control_event_base + code, nullptr, script_value::stack(lua_gettop(L)));
        if (result != 0) TRACE_ERROR("window_ctrl_action::call", "actor_object::throw_event", result);
    }
    lua_pop(L, 1);
}

void control_action::raise_event(int32_t code) {
    lua_State* L = controls_lua();
    if (!L) return;
    push_id(L);
    control_throw(this, code);
}

bool control_action::accept_code(uint32_t) { return true; }

void control_action::push_id(lua_State* L) const {
    if (id_value.kind == script_value_reference) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, static_cast<int>(id_value.data));
    } else {
        lua_pushnumber(L, control_id);
    }
}

bool control_action::create_window(const wchar_t* class_name, const wchar_t* text, DWORD style,
                                   DWORD ex_style, int x, int y, int width, int height, HWND parent_window) {
    HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<uintptr_t>(control_id & 0xFFFF)) : nullptr;
    window = CreateWindowExW(ex_style, class_name, text, style, x, y, width, height, parent_window, menu,
                             nullptr, this);
    if (!window) {
        TRACE_ERROR("control_action::create_window", "CreateWindowEx", GetLastError());
        return false;
    }
    return true;
}

void control_action::set_client_rect(float left, float top, float right, float bottom) {
    if (!window) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD ex = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    const int l = static_cast<int>(left), t = static_cast<int>(top);
    const int r = static_cast<int>(right), b = static_cast<int>(bottom);
    HWND parent_window = GetAncestor(window, GA_PARENT);
    if (parent_window == GetDesktopWindow()) parent_window = nullptr;
    if (!parent_window) parent_window = GetWindow(window, GW_OWNER);
    if (!parent_window) {
        RECT rc = {l, t, r, b};
        AdjustWindowRectEx(&rc, style, FALSE, ex);
        SetWindowPos(window, nullptr, l, t, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        return;
    }
    RECT wr, cr;
    GetWindowRect(window, &wr);
    GetClientRect(window, &cr);
    POINT at = {wr.left, wr.top};
    if (style & WS_CHILD) ScreenToClient(parent_window, &at);
    const int extra_w = (wr.right - wr.left) - (cr.right - cr.left);
    const int extra_h = (wr.bottom - wr.top) - (cr.bottom - cr.top);
    SetWindowPos(window, nullptr, at.x, at.y, (r - l) + extra_w, (b - t) + extra_h,
                 SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

HWND get_wnd_info(HWND window, int index) {
    SetLastError(0);
    const LONG_PTR v = GetWindowLongPtrW(window, index);
    if (v == 0 && GetLastError() != 0) {
        TRACE_ERROR("control_action::get_wnd_info", "GetWindowLongPtr", GetLastError());
        return nullptr;
    }
    return reinterpret_cast<HWND>(v);
}

bool set_wnd_info(HWND window, control_action* control) {
    SetLastError(0);
    const LONG_PTR old = SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    if (old == 0 && GetLastError() != 0) {
        TRACE_ERROR("control_action::set_wnd_info", "SetWindowLongPtr", GetLastError());
        return false;
    }
    return true;
}

control_action* control_of_window(HWND window) {
    if (!window || !IsWindow(window)) return nullptr;
    return reinterpret_cast<control_action*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void control_destroy_window(control_action* control) {
    if (control->window) {
        control->set_font(nullptr);
        HWND w = control->window;
        control->window = nullptr;
        DestroyWindow(w);
    }
    script_value_release(control->id_value, controls_lua());
}
