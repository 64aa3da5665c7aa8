// The Lua face of render-layer actions: new_render_layer and its methods.
#include <new>

#include "actions/action_constructor.h"
#include "actions/draw_action.h"
#include "actions/render_layer_action.h"
#include "actions/render_layer_action_library.h"
#include "core/lua_readers.h"
#include "core/system_log.h"

namespace {
render_layer_action* object_or_log(lua_State* L, const char* label) {
    render_layer_action* action = action_arg<render_layer_action>(L);
    if (!action) system_log_trace(1, label, "invalid action object");
    return action;
}

int result(lua_State* L, bool ok) {
    lua_pushboolean(L, ok);
    return 1;
}

// The drawing action of the object table at argument 2.
draw_action* draw_arg(lua_State* L, const char* label) {
    extend_action* object = extend_action::get_object(L, 2);
    draw_action* draw = object ? dynamic_cast<draw_action*>(object) : nullptr;
    if (!draw) system_log_trace(1, label, "invalid draw_action object");
    return draw;
}

int add(lua_State* L) {
    const char* label = "render_layer_action.add";
    render_layer_action* a = object_or_log(L, label);
    if (!a) return result(L, false);
    draw_action* draw = draw_arg(L, label);
    return result(L, draw && a->add(draw));
}

int remove(lua_State* L) {
    const char* label = "render_layer_action.remove";
    render_layer_action* a = object_or_log(L, label);
    if (!a) return result(L, false);
    draw_action* draw = draw_arg(L, label);
    return result(L, draw && a->remove(draw));
}

int resize(lua_State* L) {
    const char* label = "render_layer_action.resize";
    render_layer_action* a = object_or_log(L, label);
    if (!a) return result(L, false);
    const int32_t w = lua_isnoneornil(L, 2) ? 0 : script_truncate_int(lua_tonumber(L, 2));
    const int32_t h = lua_isnoneornil(L, 3) ? 0 : script_truncate_int(lua_tonumber(L, 3));
    if (!a->resize(w, h)) {
        system_log_trace(1, label, "fail to resize");
        return result(L, false);
    }
    return result(L, true);
}

int save(lua_State* L) {
    const char* label = "render_layer_action.save";
    render_layer_action* a = object_or_log(L, label);
    if (!a) return result(L, false);
    if (!a->save(lua_tostring(L, 2))) {
        system_log_trace(1, label, "fail to save");
        return result(L, false);
    }
    return result(L, true);
}

const luaL_Reg methods[] = {
    {"add", add}, {"remove", remove}, {"resize", resize}, {"save", save},
    {"release", action_release}, {nullptr, nullptr},
};

int new_render_layer(lua_State* L) {
    const char* label = "render_layer_action.new";
    lua_settop(L, 2);
    const int base = lua_gettop(L);
    actor_object* owner = to_actor(L, 1);
    if (!owner) {
        system_log_trace(1, label, "invalid actor object");
        lua_pushnil(L);
        return 1;
    }
    render_layer_action* action = new (std::nothrow) render_layer_action;
    if (!action) {
        system_log_trace(1, label, "fail to allocate action object");
        lua_pushnil(L);
        return 1;
    }
    extend_action_bind(action, owner, L, extend_action_base_methods);
    luaL_register(L, nullptr, methods);
    const int table = lua_gettop(L);
    bool ok = lua_istable(L, 2);
    if (ok) {
        lua_rawgeti(L, 2, 1);
        lua_rawgeti(L, 2, 2);
        const int32_t w = script_truncate_int(lua_tonumber(L, -2));
        const int32_t h = script_truncate_int(lua_tonumber(L, -1));
        lua_settop(L, table);
        ok = action->create(w, h);
    }
    if (!ok) {
        system_log_trace(1, label, "fail to create action object");
        lua_settop(L, base);
        extend_action_delete(action);
        lua_pushnil(L);
        return 1;
    }
    lua_settop(L, table);
    return 1;
}
}  // namespace

void render_layer_action_register(lua_State* L) { lua_register(L, "new_render_layer", new_render_layer); }
