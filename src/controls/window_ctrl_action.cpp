#include "controls/window_ctrl_action.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "controls/control_hooks.h"
#include "controls/control_paint.h"
#include "controls/scrollbar_ctrl_action.h"
#include "core/system_log.h"
#include "core/trace.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_object.h"
#include "world/live_objects.h"

namespace {
int32_t classes_registered = 0;
// Modal windows alive: the main window is enabled again only when the
// last of them goes.
int32_t modal_count = 0;

struct window_type {
    DWORD style, ex_style;
};
window_type type_of(uint32_t options) {
    switch (options & 0xFF) {
    case 1: return {0x80C80000, 0x300};
    case 2: return {0x40000000, 0};
    case 3: return {0x80C80000, 0x380};
    case 4: return {0x80C80880, 0x1};
    default: return {0, 0};
    }
}

void push_key_table(lua_State* L, WPARAM key, int event) {
    lua_createtable(L, 0, 2);
    lua_pushnumber(L, static_cast<double>(key));
    lua_setfield(L, -2, "key");
    lua_pushnumber(L, event);
    lua_setfield(L, -2, "event");
}

void push_mouse_table(lua_State* L, UINT message, LPARAM lparam) {
    static const int buttons[10] = {0, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    static const int events[10] = {1, 2, 3, 4, 2, 3, 4, 2, 3, 4};
    const unsigned i = message - WM_MOUSEMOVE;
    lua_createtable(L, 0, 4);
    lua_pushnumber(L, buttons[i]);
    lua_setfield(L, -2, "button");
    lua_pushnumber(L, events[i]);
    lua_setfield(L, -2, "event");
    lua_pushnumber(L, LOWORD(lparam));
    lua_setfield(L, -2, "x");
    lua_pushnumber(L, HIWORD(lparam));
    lua_setfield(L, -2, "y");
}

// Whether the window still belongs to the object: an event handler may
// have released the object or closed its window.
bool still_bound(HWND w, const control_action* self) {
    return IsWindow(w) && reinterpret_cast<control_action*>(GetWindowLongPtrW(w, GWLP_USERDATA)) == self;
}

// The control of a WM_COMMAND's lParam when it is one of ours.
control_action* notifying_control(LPARAM lparam) {
    HWND child = reinterpret_cast<HWND>(lparam);
    if (!child || !IsWindow(child)) return nullptr;
    const int id = GetDlgCtrlID(child);
    if (id < static_cast<int>(control_first_id)) return nullptr;
    control_action* c = control_table_at(static_cast<uint32_t>(id) - control_first_id);
    return c && c->window == child ? c : nullptr;
}
}  // namespace

window_ctrl_action::~window_ctrl_action() {
    // While this object is whole, so WM_DESTROY can store the placement and
    // give the main window back.
    if (window) control_destroy_window(this);
    detach_bars();
}

// The bar objects belong to the owner actor and may outlive the window
// object: they are left without a window.
void window_ctrl_action::detach_bars() {
    for (scrollbar_ctrl_action* b : {hbar, vbar}) {
        if (!b) continue;
        b->holder = nullptr;
        b->window = nullptr;
    }
    hbar = vbar = nullptr;
}

void window_ctrl_action::forget_bar(scrollbar_ctrl_action* bar) {
    if (hbar == bar) hbar = nullptr;
    if (vbar == bar) vbar = nullptr;
}

void window_ctrl_action::push_bars(lua_State* L) const {
    for (scrollbar_ctrl_action* b : {hbar, vbar}) {
        if (b && b->table_ref >= 0) lua_rawgeti(L, LUA_REGISTRYINDEX, b->table_ref);
        else lua_pushnil(L);
    }
}

bool window_ctrl_action::make_bar(lua_State* L, uint32_t kind, scrollbar_ctrl_action*& out) {
    auto* b = new (std::nothrow) scrollbar_ctrl_action;
    if (!b) {
        system_log_trace(1, "window_ctrl.new", "fail to allocate action object");
        return false;
    }
    extend_action_bind(b, owner, L, extend_action_base_methods);
    luaL_register(L, nullptr, control_base_methods);
    luaL_register(L, nullptr, scrollbar_methods);
    b->table_ref = luaL_ref(L, LUA_REGISTRYINDEX);
    b->kind = kind;
    b->window = window;
    b->holder = this;
    out = b;
    return true;
}

LRESULT window_ctrl_action::on_scroll(HWND w, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
    HWND from = reinterpret_cast<HWND>(lparam);
    scrollbar_ctrl_action* bar = nullptr;
    if (!from || from == w) {
        bar = message == WM_HSCROLL ? hbar : vbar;
    } else {
        const int id = GetDlgCtrlID(from);
        control_action* c =
            id >= static_cast<int>(control_first_id) ? control_table_at(static_cast<uint32_t>(id) - control_first_id) : nullptr;
        if (c && c->window == from) bar = dynamic_cast<scrollbar_ctrl_action*>(c);
    }
    if (!bar) {
        handled = false;
        return 0;
    }
    scrollbar_apply_code(bar->window, bar->bar(), LOWORD(wparam));
    lua_State* L = controls_lua();
    if ((procs & procs_scroll) && L) {
        bar->push_id(L);
        call(6);
    }
    return 0;
}

void window_ctrl_action::call(int32_t code) { control_throw(this, code); }

bool window_ctrl_action::create(lua_State* L, uint32_t option_word, uint32_t procs_word, HBRUSH brush,
                                HCURSOR cursor) {
    options = option_word;
    procs = procs_word;
    if (!brush) brush = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    HWND main = control_main_window();
    if (!cursor) cursor = main ? reinterpret_cast<HCURSOR>(GetClassLongPtrW(main, GCLP_HCURSOR)) : nullptr;
    wchar_t class_name[80];
    swprintf(class_name, 80, L"vy_window_ctrl_action_wndclass_%08x_%08x_%08x",
             static_cast<unsigned>(GetCurrentProcessId()), static_cast<unsigned>(reinterpret_cast<uintptr_t>(brush)),
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(cursor)));
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, class_name, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = CS_VREDRAW | CS_HREDRAW;
        wc.lpfnWndProc = wndproc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = instance;
        wc.hIcon = main ? reinterpret_cast<HICON>(GetClassLongPtrW(main, GCLP_HICON)) : nullptr;
        wc.hCursor = cursor;
        wc.hbrBackground = brush;
        wc.lpszClassName = class_name;
        if (!RegisterClassExW(&wc)) {
            TRACE_ERROR("window_ctrl_action::create", "RegisterClassEx", GetLastError());
            return false;
        }
        ++classes_registered;
    }
    const window_type t = type_of(options);
    DWORD style = t.style;
    if (options & window_hscroll) style |= WS_HSCROLL;
    if (options & window_vscroll) style |= WS_VSCROLL;
    if (options & window_sizing) style |= WS_THICKFRAME;
    if (!create_control(L, class_name, style, t.ex_style, (options & 0xFF) == 2)) return false;
    if (options & window_keep_placement) {
        placement_key.clear();
        if (id_value.kind == script_value_reference) {
            lua_rawgeti(L, LUA_REGISTRYINDEX, static_cast<int>(id_value.data));
            if (lua_type(L, -1) == LUA_TSTRING) placement_key = control_widen(lua_tostring(L, -1));
            lua_pop(L, 1);
        }
        if (placement_key.empty()) placement_key = control_widen(window_text().c_str());
        const control_hooks& h = controls_hooks();
        if (h.restore_window_pos && !placement_key.empty()) h.restore_window_pos(window, placement_key.c_str());
    }
    if ((options & window_hscroll) && !make_bar(L, scrollbar_window_horizontal, hbar)) return false;
    if ((options & window_vscroll) && !make_bar(L, scrollbar_window_vertical, vbar)) return false;
    return true;
}

void window_ctrl_action::on_destroy(HWND w) {
    const control_hooks& h = controls_hooks();
    if ((options & window_keep_placement) && !placement_key.empty() && h.store_window_pos) {
        h.store_window_pos(w, placement_key.c_str());
    }
    if ((options & window_modal) && modal_count > 0 && --modal_count == 0) {
        if (HWND main = control_main_window()) EnableWindow(main, TRUE);
    }
}

LRESULT CALLBACK window_ctrl_action::wndproc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* self = static_cast<window_ctrl_action*>(static_cast<control_action*>(cs->lpCreateParams));
        if (!self) return 0;
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<control_action*>(self)));
        self->window = w;
        if (self->options & window_modal) {
            ++modal_count;
            if (HWND main = control_main_window()) EnableWindow(main, FALSE);
        }
        if ((self->procs & procs_create) && controls_lua()) {
            lua_pushnil(controls_lua());
            self->call(0);
        }
        return 0;
    }
    control_action* c = reinterpret_cast<control_action*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    auto* self = static_cast<window_ctrl_action*>(c);
    if (!self) return DefDlgProcW(w, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        if (self->window == w) self->window = nullptr;
        for (control_action* b : {static_cast<control_action*>(self->hbar), static_cast<control_action*>(self->vbar)}) {
            if (b) b->window = nullptr;
        }
        return DefDlgProcW(w, message, wparam, lparam);
    }
    bool handled = true;
    const LRESULT result = self->handle(w, message, wparam, lparam, handled);
    return handled ? result : DefDlgProcW(w, message, wparam, lparam);
}

LRESULT window_ctrl_action::handle(HWND w, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
    lua_State* L = controls_lua();
    switch (message) {
    case WM_DESTROY:
        on_destroy(w);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != 0 && HIWORD(wparam) == 0) set_active_script_window(w);
        return 0;
    case WM_PAINT: {
        if (!(procs & procs_paint) || !L) break;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
        control_paint_table_push(L, dc);
        call(4);
        if (previous) SelectObject(dc, previous);
        EndPaint(w, &ps);
        return 0;
    }
    case WM_CLOSE:
    {
        // Each step may release this object (a handler or the owner's death):
        // nothing of it is touched once its window has left it, and the
        // owner is killed only while it lives.
        actor_object* const killed = (procs & procs_kill_owner) ? owner : nullptr;
        if ((procs & procs_close) && L) {
            lua_pushnil(L);
            call(1);
        }
        if (killed && live_object_is(killed, live_actor)) actor_kill(killed);
        if (still_bound(w, this)) control_destroy_window(this);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (!(procs & procs_keys) || !L) break;
        push_key_table(L, wparam, message == WM_KEYDOWN ? 1 : message == WM_KEYUP ? 2 : 3);
        call(2);
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
        const int steps = static_cast<short>(HIWORD(wparam)) / WHEEL_DELTA;
        if (steps == 0) return 0;
        const WPARAM code = steps > 0 ? SB_PAGEUP : SB_PAGEDOWN;
        scrollbar_ctrl_action* first = message == WM_MOUSEWHEEL ? vbar : hbar;
        scrollbar_ctrl_action* second = message == WM_MOUSEWHEEL ? hbar : vbar;
        if (first) {
            SendMessageW(w, first == vbar ? WM_VSCROLL : WM_HSCROLL, code, 0);
        } else if (second) {
            SendMessageW(w, second == vbar ? WM_VSCROLL : WM_HSCROLL, code, 0);
        } else if (HWND up = get_wnd_info(w, GWLP_HWNDPARENT)) {
            // Without bars of its own the wheel goes up a level.
            SendMessageW(up, message, wparam, lparam);
        }
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        return on_scroll(w, message, wparam, lparam, handled);
    case WM_COMMAND: {
        if (!(procs & procs_command) || !L) break;
        if (control_action* c = notifying_control(lparam)) {
            const uint32_t code = HIWORD(wparam);
            if (!c->accept_code(code)) return 0;
            c->last_code = code;
            c->push_id(L);
        } else {
            lua_pushnumber(L, LOWORD(wparam));
        }
        call(5);
        return 0;
    }
    default:
        if (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) {
            if (!(procs & procs_mouse) || !L) break;
            push_mouse_table(L, message, lparam);
            call(3);
            return 0;
        }
        break;
    }
    handled = false;
    return 0;
}

HBRUSH window_brush_named(const char* name) {
    struct entry {
        const char* name;
        int system_colour, stock;
    };
    static const entry table[] = {
        {"window", COLOR_WINDOW, -1}, {"dialog", COLOR_BTNFACE, -1}, {"no", -1, NULL_BRUSH},
        {"black", -1, BLACK_BRUSH},   {"white", -1, WHITE_BRUSH},    {"gray", -1, GRAY_BRUSH},
        {"darkgray", -1, DKGRAY_BRUSH}, {"lightgray", -1, LTGRAY_BRUSH},
    };
    for (const entry& e : table) {
        if (std::strcmp(e.name, name) != 0) continue;
        if (e.system_colour >= 0) return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(e.system_colour + 1));
        return static_cast<HBRUSH>(GetStockObject(e.stock));
    }
    return nullptr;
}

HCURSOR window_cursor_named(const char* name) {
    struct entry {
        const char* name;
        const wchar_t* id;
    };
    static const entry table[] = {{"arrow", IDC_ARROW}, {"cross", IDC_CROSS}, {"ibeam", IDC_IBEAM}, {"no", IDC_NO}};
    for (const entry& e : table) {
        if (std::strcmp(e.name, name) == 0) return LoadCursorW(nullptr, e.id);
    }
    return nullptr;
}

int32_t window_class_count() { return classes_registered; }
