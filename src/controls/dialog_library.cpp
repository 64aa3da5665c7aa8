// The Lua face of the common dialogs: new_file_dialog, new_color_dialog,
// new_font_dialog and their open methods.
#include "controls/control_constructor.h"
#include "controls/control_library.h"
#include "controls/dialog_actions.h"
#include "core/trace.h"

namespace {
// No class and no style: the dialogs' create-window step only prepares.
bool prepare(control_action* d, lua_State* L) { return d->create_control(L, L"", 0, 0, false); }

int file_open(lua_State* L) {
    file_dialog_action* d = control_arg<file_dialog_action>(L);
    if (!d || !d->open()) {
        lua_pushnil(L);
        return 1;
    }
    return d->push_results(L);
}

int color_open(lua_State* L) {
    color_dialog_action* d = control_arg<color_dialog_action>(L);
    if (!d) return 0;
    if (!ChooseColorW(&d->record)) {
        TRACE_ERROR("color_dialog_action::lua_open_dialog", "ChooseColor", CommDlgExtendedError());
        lua_pushnil(L);
        return 1;
    }
    const COLORREF c = d->record.rgbResult;
    d->last = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    lua_pushnumber(L, d->last);
    return 1;
}

int font_open(lua_State* L) {
    font_dialog_action* d = control_arg<font_dialog_action>(L);
    if (!d) return 0;
    if (!ChooseFontW(&d->record)) {
        TRACE_ERROR("font_dialog_action::lua_open_dialog", "ChooseFont", CommDlgExtendedError());
        lua_pushnil(L);
        return 1;
    }
    const LOGFONTW& f = d->font_record;
    lua_createtable(L, 3, 1);
    lua_pushnumber(L, f.lfHeight);
    lua_rawseti(L, -2, 1);
    lua_pushnumber(L, f.lfWeight);
    lua_rawseti(L, -2, 2);
    const std::string face = control_narrow(f.lfFaceName);
    lua_pushlstring(L, face.data(), face.size());
    lua_rawseti(L, -2, 3);
    lua_pushnumber(L, font_result_flags(f));
    lua_setfield(L, -2, "flags");
    return 1;
}

const luaL_Reg file_methods[] = {{"open", file_open}, {nullptr, nullptr}};
const luaL_Reg color_methods[] = {{"open", color_open}, {nullptr, nullptr}};
const luaL_Reg font_methods[] = {{"open", font_open}, {nullptr, nullptr}};

int new_file_dialog(lua_State* L) {
    return construct_control<file_dialog_action>(L, "new_file_dialog.new", file_methods, [L](file_dialog_action* d) {
        d->parse(L);
        return prepare(d, L);
    });
}

int new_color_dialog(lua_State* L) {
    return construct_control<color_dialog_action>(L, "new_color_dialog.new", color_methods,
                                                  [L](color_dialog_action* d) { return prepare(d, L); });
}

int new_font_dialog(lua_State* L) {
    return construct_control<font_dialog_action>(L, "new_font_dialog.new", font_methods,
                                                 [L](font_dialog_action* d) { return prepare(d, L); });
}
}  // namespace

void dialog_register(lua_State* L) {
    lua_register(L, "new_file_dialog", new_file_dialog);
    lua_register(L, "new_color_dialog", new_color_dialog);
    lua_register(L, "new_font_dialog", new_font_dialog);
}
