// The script methods every control shares: id, is, rect, adjust, pos,
// text, font, show, enable, redraw, notify. They never raise Lua errors.
#include "controls/control_action.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"

namespace {
control_action* self(lua_State* L) {
    extend_action* a = extend_action::get_object(L, 1);
    return a ? dynamic_cast<control_action*>(a) : nullptr;
}

int arg_int(lua_State* L, int i) { return lua_isnumber(L, i) ? static_cast<int>(lua_tonumber(L, i)) : 0; }

// The window the control's coordinates are relative to, or none (screen).
HWND origin_window(HWND window) {
    if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) return GetParent(window);
    return GetWindow(window, GW_OWNER);
}

void window_rect(HWND window, RECT& r) {
    GetWindowRect(window, &r);
    if (HWND o = origin_window(window)) MapWindowPoints(nullptr, o, reinterpret_cast<POINT*>(&r), 2);
}

// Moves to x, y given in the same origin the getters report.
void move(HWND window, int x, int y, int w, int h, bool sized) {
    HWND o = origin_window(window);
    if (o && !(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
        POINT p = {x, y};
        ClientToScreen(o, &p);
        x = p.x;
        y = p.y;
    }
    UINT flags = SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW;
    if (!sized) flags |= SWP_NOSIZE;
    SetWindowPos(window, nullptr, x, y, w, h, flags);
}

int m_id(lua_State* L) {
    control_action* c = self(L);
    if (!c) return 0;
    if (lua_gettop(L) < 2) {
        c->push_id(L);
        return 1;
    }
    script_value_release(c->id_value, L);
    if (!lua_isnil(L, 2)) {
        lua_pushvalue(L, 2);
        c->id_value = script_value::reference(luaL_ref(L, LUA_REGISTRYINDEX));
    }
    return 0;
}

int m_is(lua_State* L) {
    control_action* c = self(L);
    lua_pushboolean(L, c && c->window && IsWindow(c->window));
    return 1;
}

int m_rect(lua_State* L) {
    control_action* c = self(L);
    if (!c || !c->window) return 0;
    if (lua_gettop(L) < 2) {
        RECT r;
        window_rect(c->window, r);
        lua_pushnumber(L, r.left);
        lua_pushnumber(L, r.top);
        lua_pushnumber(L, r.right);
        lua_pushnumber(L, r.bottom);
        return 4;
    }
    const int l = arg_int(L, 2), t = arg_int(L, 3);
    const bool sized = lua_gettop(L) >= 5;
    move(c->window, l, t, arg_int(L, 4) - l, arg_int(L, 5) - t, sized);
    return 0;
}

int m_pos(lua_State* L) {
    control_action* c = self(L);
    if (!c || !c->window) return 0;
    if (lua_gettop(L) < 2) {
        RECT r;
        window_rect(c->window, r);
        lua_pushnumber(L, r.left);
        lua_pushnumber(L, r.top);
        lua_pushnumber(L, r.right - r.left);
        lua_pushnumber(L, r.bottom - r.top);
        return 4;
    }
    move(c->window, arg_int(L, 2), arg_int(L, 3), arg_int(L, 4), arg_int(L, 5), lua_gettop(L) >= 5);
    return 0;
}

float arg_float(lua_State* L, int i) { return lua_isnumber(L, i) ? static_cast<float>(lua_tonumber(L, i)) : 0.0f; }

int m_adjust(lua_State* L) {
    control_action* c = self(L);
    if (c && c->window) c->set_client_rect(arg_float(L, 2), arg_float(L, 3), arg_float(L, 4), arg_float(L, 5));
    return 0;
}

int m_text(lua_State* L) {
    control_action* c = self(L);
    if (!c || !c->window) return 0;
    if (lua_gettop(L) < 2) {
        const std::string t = c->window_text();
        lua_pushlstring(L, t.data(), t.size());
        return 1;
    }
    const char* s = lua_tostring(L, 2);
    std::string converted;
    for (const char* p = s ? s : ""; *p; ++p) {
        if (*p == '\r') continue;
        if (*p == '\n') converted += '\r';
        converted += *p;
    }
    SendMessageW(c->window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(control_widen(converted.c_str()).c_str()));
    return 0;
}

int m_font(lua_State* L) {
    control_action* c = self(L);
    if (!c) return 0;
    if (lua_gettop(L) < 2 || lua_isnil(L, 2)) {
        c->set_font(nullptr);
        return 0;
    }
    if (!lua_istable(L, 2) || !control_font_apply(c, L, 2)) system_log_trace(1, "cntl.set_font", "invalid font param");
    return 0;
}

int m_show(lua_State* L) {
    control_action* c = self(L);
    if (c && c->window) ShowWindow(c->window, lua_gettop(L) < 2 || lua_toboolean(L, 2) ? SW_SHOW : SW_HIDE);
    return 0;
}

int m_enable(lua_State* L) {
    control_action* c = self(L);
    if (!c || !c->window) return 0;
    if (lua_gettop(L) < 2) {
        lua_pushboolean(L, IsWindowEnabled(c->window));
        return 1;
    }
    EnableWindow(c->window, lua_toboolean(L, 2));
    return 0;
}

int m_redraw(lua_State* L) {
    control_action* c = self(L);
    if (c && c->window) {
        InvalidateRect(c->window, nullptr, TRUE);
        UpdateWindow(c->window);
    }
    return 0;
}

int m_notify(lua_State* L) {
    control_action* c = self(L);
    if (!c) return 0;
    lua_pushnumber(L, c->last_code);
    return 1;
}
}  // namespace

const luaL_Reg control_base_methods[] = {
    {"id", m_id},         {"is", m_is},         {"rect", m_rect},     {"adjust", m_adjust},
    {"pos", m_pos},       {"text", m_text},     {"font", m_font},     {"show", m_show},
    {"enable", m_enable}, {"redraw", m_redraw}, {"notify", m_notify}, {nullptr, nullptr},
};

std::wstring control_widen(const char* text) {
    if (!text || !*text) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
    if (!out.empty()) out.pop_back();
    return out;
}

std::string control_narrow(const wchar_t* text) {
    if (!text || !*text) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    if (!out.empty()) out.pop_back();
    return out;
}

std::string control_action::window_text() const {
    if (!window) return std::string();
    const LRESULT n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, w.size(), reinterpret_cast<LPARAM>(&w[0]));
    const std::string narrow = control_narrow(w.c_str());
    std::string out;
    for (size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i] == '\r' && i + 1 < narrow.size() && narrow[i + 1] == '\n') continue;
        out += narrow[i];
    }
    return out;
}
