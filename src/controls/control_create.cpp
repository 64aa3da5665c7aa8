// Creation of a control's window from the common keys of a script table:
// id, type, rect or pos, text, parent and font.
#include <cmath>

#include "controls/control_action.h"
#include "controls/control_hooks.h"
#include "core/system_log.h"
#include "core/trace.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_object.h"
#include "world/actor_rect.h"

namespace {
// Pushes key name of the table at index 2 (nil when there is no table).
void get_key(lua_State* L, const char* name) {
    if (lua_istable(L, 2)) {
        lua_getfield(L, 2, name);
    } else {
        lua_pushnil(L);
    }
}

// Element i of the table on top as a number; missing counts as `missing`.
bool element(lua_State* L, int i, double& out, bool required) {
    lua_rawgeti(L, -1, i);
    bool ok = true;
    if (lua_isnil(L, -1)) {
        out = 0;
        ok = !required;
    } else if (lua_isnumber(L, -1)) {
        out = lua_tonumber(L, -1);
    } else {
        ok = false;
    }
    lua_pop(L, 1);
    return ok;
}

void read_rect(lua_State* L, control_action* c, double rect[4]) {
    get_key(L, "rect");
    if (!lua_isnil(L, -1)) {
        if (!lua_istable(L, -1)) throw "invalid ctrl.rect";
        static const char* const bad[4] = {"invalid ctrl.rect.left", "invalid ctrl.rect.top",
                                           "invalid ctrl.rect.right", "invalid ctrl.rect.bottom"};
        for (int i = 0; i < 4; ++i) {
            if (!element(L, i + 1, rect[i], false)) throw bad[i];
        }
        lua_pop(L, 1);
        return;
    }
    lua_pop(L, 1);
    get_key(L, "pos");
    if (!lua_isnil(L, -1)) {
        if (!lua_istable(L, -1)) throw "invalid new_wnd_ctrl.pos";
        static const char* const missing[4] = {"no ctrl.rect.x", "no ctrl.rect.y", "no ctrl.rect.width",
                                               "no ctrl.rect.height"};
        double v[4];
        for (int i = 0; i < 4; ++i) {
            if (!element(L, i + 1, v[i], true)) throw missing[i];
        }
        rect[0] = v[0];
        rect[1] = v[1];
        rect[2] = v[0] + v[2];
        rect[3] = v[1] + v[3];
        lua_pop(L, 1);
        return;
    }
    lua_pop(L, 1);
    // The owner's class rectangle at the owner's place in the view.
    actor_object* owner = c->owner;
    float at[2] = {owner->position[0], owner->position[1]};
    if (actor_bounds().view_position) {
        float view[2];
        if (actor_bounds().view_position(owner->position, view)) {
            at[0] = view[0];
            at[1] = view[1];
        }
    }
    const float* r = owner->cls ? owner->cls->rect : nullptr;
    for (int i = 0; i < 4; ++i) rect[i] = (r ? r[i] : 0) + at[i % 2];
}

std::wstring read_text(lua_State* L) {
    get_key(L, "text");
    std::wstring text;
    if (!lua_isnil(L, -1)) {
        if (lua_type(L, -1) != LUA_TSTRING) throw "invalid ctrl.text";
        text = control_widen(lua_tostring(L, -1));
    }
    lua_pop(L, 1);
    return text;
}

control_action* read_parent(lua_State* L) {
    get_key(L, "parent");
    control_action* parent = nullptr;
    if (!lua_isnil(L, -1)) {
        if (!lua_istable(L, -1)) throw "invalid ctrl.parent";
        // Only a live object is cast, and only a control with a window can
        // hold another.
        extend_action* a = extend_action::get_object(L, lua_gettop(L));
        parent = a ? dynamic_cast<control_action*>(a) : nullptr;
        if (!parent || !parent->window || !IsWindow(parent->window)) throw "invalid ctrl.parent";
    }
    lua_pop(L, 1);
    return parent;
}

uint32_t read_type(lua_State* L) {
    get_key(L, "type");
    uint32_t type = 0;
    if (!lua_isnil(L, -1)) {
        if (!lua_isnumber(L, -1)) throw "invalid ctrl.type";
        type = static_cast<uint32_t>(static_cast<int64_t>(lua_tonumber(L, -1)));
    }
    lua_pop(L, 1);
    return type;
}

// The font key: a table made into the control's font, or the parent's.
HFONT read_font(lua_State* L, control_action* parent) {
    get_key(L, "font");
    HFONT font = nullptr;
    if (!lua_isnil(L, -1)) {
        if (!lua_istable(L, -1)) throw "fail to set_font";
        font = control_font_create(L, lua_gettop(L));
        if (!font) throw "fail to set_font";
    } else if (parent) {
        font = parent->font;
    }
    lua_pop(L, 1);
    return font;
}
}  // namespace

bool control_action::create_control(lua_State* L, const wchar_t* class_name, DWORD style, DWORD ex_style,
                                    bool child) {
    if (window) control_destroy_window(this);
    script_value_release(id_value, L);
    if (control_id == 0 && !allocate_id(this)) {
        TRACE_ERROR("control_action::create_control", "allocate_id", -1);
        return false;
    }
    const int top = lua_gettop(L);
    HFONT new_font = nullptr;
    bool made_font = false;
    try {
        get_key(L, "id");
        if (!lua_isnil(L, -1)) {
            id_value = script_value::reference(luaL_ref(L, LUA_REGISTRYINDEX));
        } else {
            lua_pop(L, 1);
        }
        type_bits = read_type(L);
        double rect[4] = {};
        read_rect(L, this, rect);
        const std::wstring text = read_text(L);
        parent = read_parent(L);
        get_key(L, "font");
        made_font = !lua_isnil(L, -1);
        lua_pop(L, 1);
        new_font = read_font(L, parent);

        HWND parent_window = parent ? parent->window : control_main_window();
        if (rect[2] - rect[0] == 0 || rect[3] - rect[1] == 0) {
            RECT cr = {0, 0, 0, 0};
            if (parent_window) GetClientRect(parent_window, &cr);
            rect[0] = cr.left;
            rect[1] = cr.top;
            rect[2] = cr.right;
            rect[3] = cr.bottom;
        }
        int x = static_cast<int>(rect[0]), y = static_cast<int>(rect[1]);
        const int w = static_cast<int>(rect[2] - rect[0]), h = static_cast<int>(rect[3] - rect[1]);
        if (child) {
            style |= WS_CHILD;
        } else if (parent_window) {
            POINT origin = {0, 0};
            ClientToScreen(parent_window, &origin);
            if (!(type_bits & control_absolute_x)) x += origin.x;
            if (!(type_bits & control_absolute_y)) y += origin.y;
        }
        if (!create_window(class_name, text.c_str(), style | WS_VISIBLE, ex_style, x, y, w, h, parent_window)) {
            if (made_font && new_font) DeleteObject(new_font);
            lua_settop(L, top);
            return false;
        }
        if (window) set_wnd_info(window, this);
        // A new font enters the counts here; an inherited one gains a use.
        if (new_font) set_font(new_font);
    } catch (const char* message) {
        lua_settop(L, top);
        if (made_font && new_font) DeleteObject(new_font);
        system_log_trace(1, "ctrl.new", "%s", message);
        return false;
    }
    lua_settop(L, top);
    return true;
}
