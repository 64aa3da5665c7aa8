#include "actions/text_action_library.h"

#include <memory>

#include "actions/action_constructor.h"
#include "actions/text_action.h"
#include "core/lua_readers.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"

namespace {
// The text action held in an actor's extend value, or none.
text_action* extend_text(actor_object* actor) {
    if (!actor || actor->extend.kind != script_value_object || !actor->extend.data) return nullptr;
    auto* base = reinterpret_cast<script_value_object_base*>(actor->extend.data);
    return dynamic_cast<text_action*>(base);
}

int step(lua_State* L) {
    if (text_action* action = action_arg<text_action>(L)) action->step();
    return 0;
}

int state(lua_State* L) {
    text_action* action = action_arg<text_action>(L);
    if (!action) return 0;
    lua_pushnumber(L, action->state());
    return 1;
}

int is_finished(lua_State* L) {
    text_action* action = action_arg<text_action>(L);
    if (!action) return 0;
    lua_pushboolean(L, action->state() == text_state_finished);
    return 1;
}

int request(lua_State* L) {
    text_action* action = action_arg<text_action>(L);
    if (!action) return 0;
    const int32_t code = lua_isnumber(L, 2) ? script_truncate_int(lua_tonumber(L, 2)) : 0;
    lua_settop(L, 3);
    text_action_request_at(action, code, L, 3);
    return 0;
}

int set_alpha(lua_State* L) {
    text_action* action = action_arg<text_action>(L);
    if (!action) return 0;
    lua_settop(L, 2);
    text_action_request_at(action, text_request_alpha, L, 2);
    lua_pushnil(L);
    text_action_request_at(action, text_request_text, L, 3);
    action->step();
    return 0;
}

int visible(lua_State* L) {
    text_action* action = action_arg<text_action>(L);
    if (!action) return 0;
    lua_settop(L, 2);
    text_action_request_at(action, text_request_visible, L, 2);
    return 0;
}

const luaL_Reg methods[] = {
    {"step", step},       {"state", state},         {"is_finished", is_finished},
    {"request", request}, {"set_alpha", set_alpha}, {"visible", visible},
    {"release", action_release}, {nullptr, nullptr},
};

int new_text(lua_State* L) {
    if (!to_actor(L, 1) || !lua_istable(L, 2)) {
        lua_pushnil(L);
        return 1;
    }
    // Parsed before anything is made: a bad table makes no action.
    lua_pushvalue(L, 2);
    std::unique_ptr<text_action_info> info(text_action_parse(L));
    lua_pop(L, 1);
    if (!info) {
        lua_pushnil(L);
        return 1;
    }
    return construct_action<text_action>(L, methods, [&](text_action* action, actor_object* owner) {
        if (!action->init(owner, info.get())) throw action_creation_failure{3};
    });
}

int32_t parse_text_parameter(action_definition* definition, lua_State* L) {
    text_action_info* info = text_action_parse(L);
    lua_pop(L, 1);
    if (!info) return 1;
    definition->param = script_value::object(info);
    return 0;
}

int32_t text_init_action(actor_object* actor, void*, action_slot* slot, int32_t, script_value) {
    const text_action_info* info = nullptr;
    if (slot && slot->param.kind == script_value_object)
        info = dynamic_cast<const text_action_info*>(
            reinterpret_cast<script_value_object_base*>(slot->param.data));
    text_action* action = new (std::nothrow) text_action;
    if (!action) return 1;
    action->owner = actor;
    if (!action->init(actor, info)) {
        delete action;
        return 2;
    }
    action_manager* manager = action_manager::instance();
    script_value_release(actor->extend, manager ? manager->lua() : nullptr);
    actor->extend = script_value::object(action);
    return 0;
}

int32_t text_dead_action(actor_object* actor, void*, action_slot*, int32_t, script_value) {
    action_manager* manager = action_manager::instance();
    script_value_release(actor->extend, manager ? manager->lua() : nullptr);
    actor->extend = script_value{0, 0};
    return 0;
}

int32_t text_step_action(actor_object* actor, void*, action_slot*, int32_t, script_value) {
    if (text_action* action = extend_text(actor)) action->step();
    return 0;
}

int32_t text_collide_action(actor_object*, void*, action_slot*, int32_t, script_value) {
    return 0;
}

int32_t text_catch_action(actor_object* actor, void*, action_slot*, int32_t event,
                          script_value value) {
    text_action* action = extend_text(actor);
    action_manager* manager = action_manager::instance();
    if (!action || !manager || !manager->lua()) return 1;
    return text_action_request(action, event, manager->lua(), value) ? 0 : 1;
}
}  // namespace

bool text_action_register(action_manager* manager, lua_State* L) {
    bool ok = native_action_register("text_init_action", manager, parse_text_parameter,
                                     text_init_action);
    ok = native_action_register("text_dead_action", manager, nullptr, text_dead_action) && ok;
    ok = native_action_register("text_action", manager, nullptr, text_step_action) && ok;
    ok = native_action_register("text_collide_action", manager, nullptr, text_collide_action) && ok;
    ok = native_action_register("text_catch_action", manager, nullptr, text_catch_action) && ok;
    lua_register(L, "new_text", new_text);
    return ok;
}
