#include "actions/text_draw_action_library.h"

#include "actions/action_constructor.h"
#include "actions/text_draw_action.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lua.h"

namespace {
const char* const parse_label = "text_action_ex.parse";

text_draw_action* self(lua_State* L) { return action_arg<text_draw_action>(L); }

// The style table at the index over a fresh style; false (logged) when bad.
bool read_style(lua_State* L, int index, text_draw_style& out) {
    const int top = lua_gettop(L);
    try {
        text_draw_parse(L, index, out);
        return true;
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, parse_label, "%s", message);
        return false;
    }
}

int clear(lua_State* L) {
    if (text_draw_action* a = self(L)) a->clear();
    return 0;
}

// set(table), set(code [, style]), set(string [, style]).
int set(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a) return 0;
    if (lua_istable(L, 2)) {
        text_draw_style s;
        if (!read_style(L, 2, s)) return 0;
        a->apply(s);
        lua_pushnumber(L, 0);
        return 1;
    }
    text_draw_style s = a->style;
    const bool styled = !lua_isnoneornil(L, 3);
    if (styled) {
        text_draw_style given;
        if (!read_style(L, 3, given)) return 0;
        given.apply_to(s);
    }
    if (lua_type(L, 2) == LUA_TNUMBER) {
        const uint32_t code = script_truncate_uint(lua_tonumber(L, 2));
        if (s.given & draw_style_position) {
            a->cursor[0] = s.x;
            a->cursor[1] = s.y;
        }
        const size_t first = a->glyphs.size();
        const int32_t advance = a->place(code, s);
        if (a->glyphs.size() > first) {
            a->runs.push_back(text_draw_run{first, s.min_alpha, s.max_alpha, s.fade_in, s.fade_out, s.done, 0});
            a->set_state(draw_run_fading_in, int32_t(a->runs.size()));
        }
        lua_pushnumber(L, styled ? double(code) : double(advance));
        return 1;
    }
    if (lua_type(L, 2) == LUA_TSTRING) a->place_text(lua_tostring(L, 2), s);
    return 0;
}

int update(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a || !lua_istable(L, 2)) return 0;
    text_draw_style s;
    if (read_style(L, 2, s)) a->apply(s);
    return 0;
}

int state(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a) return 0;
    const int32_t run = lua_isnumber(L, 2) ? script_truncate_int(lua_tonumber(L, 2)) : 0;
    lua_pushnumber(L, a->state(run));
    return 1;
}

int set_state(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a) return 0;
    if (lua_isnumber(L, 3)) {
        a->set_state(script_truncate_uint(lua_tonumber(L, 3)), script_truncate_int(lua_tonumber(L, 2)));
    } else if (lua_isnumber(L, 2)) {
        a->set_state(script_truncate_uint(lua_tonumber(L, 2)));
    }
    return 0;
}

int step(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a) return 0;
    a->step();
    lua_pushnumber(L, a->state());
    return 1;
}

int rect(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a || !lua_istable(L, 2)) return 0;
    lua_newtable(L);
    lua_pushvalue(L, 2);
    lua_setfield(L, -2, "rect");
    text_draw_style s;
    if (read_style(L, lua_gettop(L), s)) a->apply(s);
    return 0;
}

int position(lua_State* L) {
    text_draw_action* a = self(L);
    if (!a) return 0;
    text_draw_style s;
    s.x = float(lua_tonumber(L, 2));
    s.y = float(lua_tonumber(L, 3));
    s.given = draw_style_position;
    a->apply(s);
    return 0;
}

int visible(lua_State* L) {
    text_draw_action* a = self(L);
    if (a && a->renderer) a->renderer->set_flag(render_flag_hidden, !lua_toboolean(L, 2));
    return 0;
}

const luaL_Reg methods[] = {
    {"clear", clear},       {"set", set},       {"update", update},     {"state", state},
    {"set_state", set_state}, {"step", step},   {"rect", rect},         {"position", position},
    {"visible", visible},   {"release", action_release}, {nullptr, nullptr},
};

int new_textdraw(lua_State* L) {
    return construct_action<text_draw_action>(L, methods, [&](text_draw_action* a, actor_object*) {
        if (!a->create_renderer()) throw action_creation_failure{3};
        const int32_t whole_class_box[4] = {0, 0, 0, 0};
        a->set_box(whole_class_box, false);
        if (!lua_isnoneornil(L, 2)) {
            text_draw_style s;
            if (!read_style(L, 2, s)) throw action_creation_failure{4};
            a->apply(s);
        }
        a->clear();
        a->place_renderer();
    });
}
}  // namespace

void text_draw_action_register(lua_State* L) { lua_register(L, "new_textdraw", new_textdraw); }
