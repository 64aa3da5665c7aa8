// The Lua face of drawing actions: new_draw and the scene methods.
#include <new>

#include "actions/action_constructor.h"
#include "actions/draw_action.h"
#include "actions/draw_action_library.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "world/actor_object.h"

namespace {
double number_arg(lua_State* L, int index) { return lua_tonumber(L, index); }
int32_t int_arg(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }

draw_action* object_or_log(lua_State* L, const char* label) {
    draw_action* action = action_arg<draw_action>(L);
    if (!action) system_log_trace(1, label, "invalid action object");
    return action;
}

// Index n of a call that may append: below 0 a new scene at the end.
size_t append_index(draw_action* a, int32_t n) { return n < 0 ? a->scenes.size() : size_t(n); }

int set(lua_State* L) {
    const char* label = "draw_action.set";
    draw_action* a = object_or_log(L, label);
    if (!a) {
        lua_pushboolean(L, 0);
        return 1;
    }
    const int n = lua_gettop(L);
    if (n == 1) {
        a->scenes.clear();
        lua_pushboolean(L, 1);
        return 1;
    }
    if (n == 2) {
        int32_t i = int_arg(L, 2);
        if (!a->scenes.empty()) {
            if (i < 0) i = int32_t(a->scenes.size()) - 1;
            // An index past the end names no scene: nothing to reset.
            if (size_t(i) < a->scenes.size()) a->scenes[size_t(i)]->reset();
        }
        lua_pushboolean(L, 1);
        return 1;
    }
    if (n == 3) {
        const size_t i = append_index(a, int_arg(L, 2));
        if (lua_istable(L, 3)) {
            if (a->parse_scene(L, 3, i)) {
                lua_pushnumber(L, double(i));
            } else {
                lua_pushboolean(L, 0);
            }
            return 1;
        }
        draw_scene* s = a->scene_at(i);
        if (s) s->set_active(lua_toboolean(L, 3) != 0);
        lua_pushboolean(L, s != nullptr);
        return 1;
    }
    system_log_trace(1, label, "invalid argument num");
    lua_pushboolean(L, 0);
    return 1;
}

int set_all(lua_State* L) {
    draw_action* a = object_or_log(L, "draw_action.set_all");
    if (!a) {
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = true;
    for (size_t i = 0; i < a->scenes.size(); ++i) ok = a->parse_scene(L, 2, i) && ok;
    lua_pushboolean(L, ok);
    return 1;
}

draw_scene* scene_arg(draw_action* a, lua_State* L, int index) {
    const int32_t i = int_arg(L, index);
    return i >= 0 && size_t(i) < a->scenes.size() ? a->scenes[size_t(i)].get() : nullptr;
}

bool present(lua_State* L, int index) { return !lua_isnoneornil(L, index); }

int set_param(lua_State* L) {
    draw_action* a = object_or_log(L, "draw_action.set_param");
    draw_scene* s = a ? scene_arg(a, L, 2) : nullptr;
    if (!s) {
        lua_pushboolean(L, 0);
        return 1;
    }
    if (present(L, 3)) s->rotate = float(number_arg(L, 3));
    if (present(L, 4)) s->offset[0] = float(number_arg(L, 4));
    if (present(L, 5)) s->offset[1] = float(number_arg(L, 5));
    if (present(L, 6)) s->zorder = int_arg(L, 6);
    if (present(L, 7)) {
        const int32_t flip = int_arg(L, 7);
        s->size[0] = (flip & 1) ? -1.0f : 1.0f;
        s->size[1] = (flip & 2) ? -1.0f : 1.0f;
    }
    if (present(L, 8)) s->set_alpha(number_arg(L, 8));
    lua_pushboolean(L, 1);
    return 1;
}

int set_scene(lua_State* L) {
    draw_action* a = object_or_log(L, "draw_action.set_scene");
    draw_scene* s = a ? scene_arg(a, L, 2) : nullptr;
    if (!s) {
        lua_pushboolean(L, 0);
        return 1;
    }
    if (lua_type(L, 3) == LUA_TNUMBER) s->seek(script_truncate_uint(lua_tonumber(L, 3)));
    if (lua_isboolean(L, 4)) s->flags = lua_toboolean(L, 4) ? s->flags & ~scene_paused : s->flags | scene_paused;
    lua_pushboolean(L, 1);
    return 1;
}

int set_alpha(lua_State* L) {
    draw_action* a = action_arg<draw_action>(L);
    if (!a) return 0;
    if (lua_gettop(L) >= 3) {
        if (draw_scene* s = scene_arg(a, L, 2)) {
            s->set_alpha(number_arg(L, 3));
            return 0;
        }
    }
    const double alpha = number_arg(L, lua_gettop(L));
    for (auto& s : a->scenes) s->set_alpha(alpha);
    return 0;
}

int set_blend_state(lua_State* L) {
    draw_action* a = action_arg<draw_action>(L);
    if (a && a->view) a->view->blend = (a->view->blend & ~0xFFu) | (uint32_t(int_arg(L, 2)) & 0xFF);
    return 0;
}

int visible(lua_State* L) {
    draw_action* a = action_arg<draw_action>(L);
    if (!a) return 0;
    if (lua_type(L, 2) == LUA_TNUMBER) {
        const bool on = lua_toboolean(L, 3) != 0;
        if (draw_scene* s = scene_arg(a, L, 2)) {
            s->set_active(on);
        } else {
            for (auto& each : a->scenes) each->set_active(on);
        }
        return 0;
    }
    if (a->view) a->view->set_flag(render_flag_hidden, !lua_toboolean(L, 2));
    return 0;
}

int get_dc(lua_State* L) {
    draw_action* a = action_arg<draw_action>(L);
    graphic_texture* t = a ? a->paint_texture() : nullptr;
    if (!t) {
        lua_pushnil(L);
        return 1;
    }
    if (!a->dc_holder) a->dc_holder = t->create_dc();
    HDC dc = a->dc_holder ? a->dc_holder->get_dc() : nullptr;
    if (!dc) {
        delete a->dc_holder;
        a->dc_holder = nullptr;
        lua_pushnil(L);
        return 1;
    }
    draw_dc_table_push(L, dc);
    return 1;
}

int release_dc(lua_State* L) {
    draw_action* a = action_arg<draw_action>(L);
    if (a && a->dc_holder) {
        a->dc_holder->release();
        delete a->dc_holder;
        a->dc_holder = nullptr;
    }
    return 0;
}

const luaL_Reg methods[] = {
    {"set", set},
    {"set_all", set_all},
    {"set_param", set_param},
    {"set_scene", set_scene},
    {"set_alpha", set_alpha},
    {"set_blend_state", set_blend_state},
    {"visible", visible},
    {"get_dc", get_dc},
    {"release_dc", release_dc},
    {"release", action_release},
    {nullptr, nullptr},
};

int new_draw(lua_State* L) {
    const char* label = "draw_action.new";
    lua_settop(L, 3);
    const int base = lua_gettop(L);
    const bool class_flag = lua_toboolean(L, 3) != 0;
    actor_object* owner = to_actor(L, 1);
    if (!owner) {
        system_log_trace(1, label, "invalid actor object");
        lua_pushnil(L);
        return 1;
    }
    draw_action* action = new (std::nothrow) draw_action;
    if (!action) {
        system_log_trace(1, label, "fail to allocate action object");
        lua_pushnil(L);
        return 1;
    }
    extend_action_bind(action, owner, L, extend_action_base_methods);
    luaL_register(L, nullptr, methods);
    const int table = lua_gettop(L);
    if (!action->create(L, 2, class_flag)) {
        const char* name = lua_type(L, 2) == LUA_TSTRING || lua_type(L, 2) == LUA_TNUMBER ? lua_tostring(L, 2) : "";
        system_log_trace(1, label, "fail to create action object, image='%s'", name);
        lua_settop(L, base);
        extend_action_delete(action);
        lua_pushnil(L);
        return 1;
    }
    lua_settop(L, table);
    return 1;
}
}  // namespace

void draw_action_register(lua_State* L) { lua_register(L, "new_draw", new_draw); }
