// The Lua face of scroll bars: new_scrollbar_ctrl and the methods info and
// pos, shared by scroll-bar controls and script windows' own bars.
#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/scrollbar_ctrl_action.h"

namespace {
int32_t arg_rounded(lua_State* L, int i) {
    const double v = lua_isnumber(L, i) ? lua_tonumber(L, i) : 0;
    return static_cast<int32_t>(v + (v < 0 ? -0.5 : 0.5));
}

int info(lua_State* L) {
    scrollbar_ctrl_action* s = control_arg<scrollbar_ctrl_action>(L);
    if (!s || !s->window) return 0;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE};
    if (lua_gettop(L) < 2) {
        if (!GetScrollInfo(s->window, s->bar(), &si)) return 0;
        lua_pushnumber(L, si.nMin);
        lua_pushnumber(L, si.nMax);
        lua_pushnumber(L, si.nPage);
        return 3;
    }
    si.fMask |= SIF_DISABLENOSCROLL;
    si.nMin = arg_rounded(L, 2);
    si.nMax = arg_rounded(L, 3);
    si.nPage = static_cast<UINT>(arg_rounded(L, 4));
    SetScrollInfo(s->window, s->bar(), &si, TRUE);
    return 0;
}

int pos(lua_State* L) {
    scrollbar_ctrl_action* s = control_arg<scrollbar_ctrl_action>(L);
    if (!s || !s->window) return 0;
    SCROLLINFO si = {sizeof si, SIF_POS};
    if (lua_gettop(L) < 2) {
        if (!GetScrollInfo(s->window, s->bar(), &si)) return 0;
        lua_pushnumber(L, si.nPos);
        return 1;
    }
    si.nPos = arg_rounded(L, 2);
    SetScrollInfo(s->window, s->bar(), &si, TRUE);
    return 0;
}

int32_t key_int(lua_State* L, const char* name, int32_t fallback, const char* bad) {
    return static_cast<int32_t>(control_key_number(L, name, static_cast<uint32_t>(fallback), bad));
}

int new_scrollbar_ctrl(lua_State* L) {
    return construct_control<scrollbar_ctrl_action>(L, "scrollbar_ctrl.new", scrollbar_methods,
                                                    [L](scrollbar_ctrl_action* s) {
        const uint32_t type = control_key_number(L, "type", 0, "invalid new_scrollbar_ctrl.type");
        const int32_t min = key_int(L, "min", 0, "invalid new_scrollbar_ctrl.min");
        const int32_t max = key_int(L, "max", 100, "invalid new_scrollbar_ctrl.max");
        const int32_t page = key_int(L, "page", 1, "invalid new_scrollbar_ctrl.page");
        const int32_t at = key_int(L, "pos", min, "invalid new_scrollbar_ctrl.pos");
        s->kind = type & 0xF;  // never the bits of a window's own bar
        if (!s->create_control(L, L"SCROLLBAR", scrollbar_style(type), 0, true)) return false;
        if ((type & 0xF) != 2) {
            SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, min, max, static_cast<UINT>(page), at};
            SendMessageW(s->window, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&si));
        }
        return true;
    });
}
}  // namespace

const luaL_Reg scrollbar_methods[] = {{"info", info}, {"pos", pos}, {nullptr, nullptr}};

void scrollbar_register(lua_State* L) { lua_register(L, "new_scrollbar_ctrl", new_scrollbar_ctrl); }
