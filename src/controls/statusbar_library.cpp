// The Lua face of status bars: new_statusbar_ctrl and the methods part and
// text.
#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/statusbar_ctrl_action.h"

namespace {
int32_t arg_rounded(lua_State* L, int i) {
    const double v = lua_isnumber(L, i) ? lua_tonumber(L, i) : 0;
    return static_cast<int32_t>(v + (v < 0 ? -0.5 : 0.5));
}

// The array at the index from element 1 to the first nil.
std::vector<int> read_widths(lua_State* L, int index, const char* bad_element) {
    std::vector<int> widths;
    for (int i = 1; widths.size() < 255; ++i) {
        lua_rawgeti(L, index, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_isnumber(L, -1)) {
            lua_pop(L, 1);
            throw bad_element;
        }
        widths.push_back(static_cast<int>(lua_tonumber(L, -1)));
        lua_pop(L, 1);
    }
    return widths;
}

void apply_texts(lua_State* L, int index, statusbar_ctrl_action* s, const char* bad_element) {
    for (int i = 1;; ++i) {
        lua_rawgeti(L, index, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        if (lua_type(L, -1) != LUA_TSTRING) {
            lua_pop(L, 1);
            throw bad_element;
        }
        s->set_text(i - 1, lua_tostring(L, -1), true);
        lua_pop(L, 1);
    }
}

int part(lua_State* L) {
    statusbar_ctrl_action* s = control_arg<statusbar_ctrl_action>(L);
    if (!s) return 0;
    try {
        if (lua_istable(L, 2)) s->set_parts(read_widths(L, 2, "invalid new_statusbar_ctrl.parts[i]"));
        else s->set_part(arg_rounded(L, 2), arg_rounded(L, 3));
    } catch (const char* message) {
        system_log_trace(1, "statusbar_ctrl_action.part", "%s", message);
    }
    return 0;
}

int text(lua_State* L) {
    statusbar_ctrl_action* s = control_arg<statusbar_ctrl_action>(L);
    if (!s) return 0;
    try {
        if (lua_istable(L, 2)) apply_texts(L, 2, s, "invalid new_statusbar_ctrl.texts[i]");
        else if (lua_type(L, 3) == LUA_TSTRING || lua_isnumber(L, 3))
            s->set_text(arg_rounded(L, 2), lua_tostring(L, 3), lua_isnoneornil(L, 4) || lua_toboolean(L, 4));
    } catch (const char* message) {
        system_log_trace(1, "statusbar_ctrl_action.text", "%s", message);
    }
    return 0;
}

const luaL_Reg methods[] = {{"part", part}, {"text", text}, {nullptr, nullptr}};

int new_statusbar_ctrl(lua_State* L) {
    return construct_control<statusbar_ctrl_action>(L, "new_statusbar_ctrl.new", methods,
                                                     [L](statusbar_ctrl_action* s) {
        std::vector<int> widths;
        bool has_parts = false, has_texts = false;
        if (lua_istable(L, 2)) {
            lua_getfield(L, 2, "parts");
            if (!lua_isnil(L, -1)) {
                if (!lua_istable(L, -1)) throw "invalid new_statusbar_ctrl.parts";
                widths = read_widths(L, lua_gettop(L), "invalid new_statusbar_ctrl.parts[i]");
                has_parts = true;
            }
            lua_pop(L, 1);
            lua_getfield(L, 2, "texts");
            if (!lua_isnil(L, -1) && !lua_istable(L, -1)) throw "invalid new_statusbar_ctrl.texts";
            has_texts = lua_istable(L, -1);
            lua_pop(L, 1);
        }
        if (!s->create_control(L, L"", 0, 0, true)) return false;
        if (has_parts) s->set_parts(widths);
        if (has_texts) {
            lua_getfield(L, 2, "texts");
            apply_texts(L, lua_gettop(L), s, "invalid new_statusbar_ctrl.texts[i]");
            lua_pop(L, 1);
        }
        return true;
    });
}
}  // namespace

void statusbar_register(lua_State* L) { lua_register(L, "new_statusbar_ctrl", new_statusbar_ctrl); }
