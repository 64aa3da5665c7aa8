#include "actions/text_action_ex_library.h"

#include "actions/action_constructor.h"
#include "actions/text_action_ex.h"
#include "core/lua_readers.h"
#include "graphics/font.h"
#include "lua.h"

namespace {
text_action_ex* self(lua_State* L) { return action_arg<text_action_ex>(L); }

// A set of this text at the index, or none.
text_set* set_arg(text_action_ex* a, lua_State* L, int index) {
    if (!lua_islightuserdata(L, index)) return nullptr;
    auto* set = static_cast<text_set*>(lua_touserdata(L, index));
    return a->owns(set) ? set : nullptr;
}

int push_rect(lua_State* L, const RECT& r) {
    lua_pushnumber(L, r.left);
    lua_pushnumber(L, r.top);
    lua_pushnumber(L, r.right);
    lua_pushnumber(L, r.bottom);
    return 4;
}

int clear(lua_State* L) {
    if (text_action_ex* a = self(L)) a->clear();
    return 0;
}

int purge(lua_State* L) {
    if (text_action_ex* a = self(L)) a->purge();
    return 0;
}

int add_set(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    if (!lua_istable(L, 2)) {
        lua_newtable(L);
        lua_replace(L, 2);
    }
    text_set* set = a->add_set(L, 2);
    if (!set) return 0;
    lua_pushlightuserdata(L, set);
    return 1;
}

int add_text(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    const char* text = lua_tostring(L, 2);
    if (text) a->add_text(text);
    return 0;
}

int end_set(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    if (lua_isnoneornil(L, 2)) {
        a->end_set(nullptr);
    } else if (text_set* set = set_arg(a, L, 2)) {
        a->end_set(set);
    }
    return 0;
}

int end_text(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    RECT extent;
    a->end_text(extent);
    return push_rect(L, extent);
}

int text(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    const char* t = lua_tostring(L, 2);
    RECT extent;
    a->lay_out(t ? t : "", &extent);
    return push_rect(L, extent);
}

int format(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a || !lua_isnumber(L, 2)) return 0;
    a->style.format = uint32_t(script_round_int(lua_tonumber(L, 2)));
    a->apply_style();
    return 0;
}

int param(lua_State* L) {
    if (text_action_ex* a = self(L)) a->parse(L, 2, false);
    return 0;
}

int rect(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a || !lua_istable(L, 2)) return 0;
    lua_newtable(L);
    lua_pushvalue(L, 2);
    lua_setfield(L, -2, "rect");
    a->parse(L, lua_gettop(L), false);
    return 0;
}

int show(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a || !a->renderer) return 0;
    const bool on = lua_gettop(L) < 2 || lua_toboolean(L, 2);
    a->renderer->set_flag(render_flag_hidden, !on);
    return 0;
}

int step(lua_State* L) {
    if (text_action_ex* a = self(L)) a->step();
    return 0;
}

int state(lua_State* L) {
    text_action_ex* a = self(L);
    if (!a) return 0;
    const int32_t phase = lua_isnumber(L, 3) ? script_truncate_int(lua_tonumber(L, 3)) : 0;
    if (lua_type(L, 2) == LUA_TNUMBER) {
        const int32_t n = script_truncate_int(lua_tonumber(L, 2));
        const int32_t s = (n == 2 || n == 3)   ? 3
                          : n == 6             ? 6
                          : (n == 7 || n == 8) ? 8
                          : (n == 10 || n == 11) ? 11
                                               : 1;
        a->set_all_phases(s);
        return 0;
    }
    if (text_set* set = set_arg(a, L, 2)) a->set_phase(set, phase);
    return 0;
}

int end_point(lua_State* L) {
    text_action_ex* a = self(L);
    text_set* set = a ? set_arg(a, L, 2) : nullptr;
    if (!set) {
        lua_pushnil(L);
        lua_pushnil(L);
        return 2;
    }
    const size_t end = set->end == SIZE_MAX ? a->glyphs.size() : set->end;
    float x = 0, y = 0;
    for (size_t i = set->first; i < end && i < a->glyphs.size(); ++i) {
        const glyph_record& r = a->glyphs[i];
        if (r.code == glyph_code_line || r.code == glyph_code_style) continue;
        graphic_glyph g{};
        graphic_font* f = r.font.font();
        x = r.x + (f && f->get_char(r.code, g) ? float(g.advance) * r.scale : 0.0f);
        y = r.y;
    }
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    return 2;
}

const luaL_Reg methods[] = {
    {"clear", clear},       {"purge", purge},   {"add_set", add_set}, {"add_text", add_text},
    {"end_set", end_set},   {"end_text", end_text}, {"text", text},   {"format", format},
    {"param", param},       {"rect", rect},     {"show", show},       {"step", step},
    {"state", state},       {"end_point", end_point}, {"release", action_release},
    {nullptr, nullptr},
};

int new_text_ex(lua_State* L) {
    return construct_action<text_action_ex>(L, methods, [&](text_action_ex* a, actor_object*) {
        if (!a->create_renderer()) throw action_creation_failure{3};
        if (!a->parse(L, 2, true)) throw action_creation_failure{4};
        a->place();
    });
}
}  // namespace

void text_action_ex_register(lua_State* L) { lua_register(L, "new_text_ex", new_text_ex); }
