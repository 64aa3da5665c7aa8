#include "world/extend_action.h"

#include "core/trace.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/live_objects.h"

extend_action::extend_action() { live_object_add(this, live_extend_action); }

extend_action::~extend_action() { live_object_remove(this); }

bool extend_action::resume() {
    if (!suspended) return true;
    suspended = false;
    return restore();
}

bool extend_action::update() { return true; }

bool extend_action::bind(lua_State* L) {
    return extend_action_bind(this, nullptr, L, extend_action_base_methods);
}

void extend_action::suspend() {}

bool extend_action::restore() { return true; }

extend_action* extend_action::get_object(lua_State* L, int index) {
    void* object = nullptr;
    if (lua_istable(L, index)) {
        lua_getfield(L, index, "object");
        if (lua_islightuserdata(L, -1)) object = lua_touserdata(L, -1);
        lua_pop(L, 1);
    }
    if (!live_object_is(object, live_extend_action)) {
        // Where the script went wrong matters more than what it passed.
        script_call_stack_trace_locals(nullptr, L, "extend_action::get_object");
        return nullptr;
    }
    return static_cast<extend_action*>(object);
}

namespace {
int method_owner(lua_State* L) {
    extend_action* action = extend_action::get_object(L, 1);
    if (action && action->owner) {
        lua_pushlightuserdata(L, action->owner);
    } else {
        lua_pushnil(L);
    }
    return 1;
}

int method_release(lua_State* L) {
    extend_action* action = extend_action::get_object(L, 1);
    if (!action) return 0;
    extend_action_delete(action);
    lua_pushnil(L);
    lua_setfield(L, 1, "object");
    return 0;
}

// Runs fn on each listed action of the owner, stopping once all the
// owner's actions were seen.
template <class F>
void for_each_owned(actor_object* actor, F fn) {
    action_manager* manager = action_manager::instance();
    if (!manager || actor->extend_count <= 0) return;
    int32_t left = actor->extend_count;
    ++manager->walking;
    for (auto it = manager->extend_list().begin(); it != manager->extend_list().end() && left > 0;
         ++it) {
        extend_action* action = *it;
        if (!action || action->owner != actor) continue;
        --left;
        fn(action);
    }
    --manager->walking;
    manager->drop_holes();
}
}  // namespace

const luaL_Reg extend_action_base_methods[] = {
    {"owner", method_owner},
    {"release", method_release},
    {nullptr, nullptr},
};

bool extend_action_bind(extend_action* action, actor_object* owner, lua_State* L,
                        const luaL_Reg* methods) {
    action_manager* manager = action_manager::instance();
    if (!action->owner && owner && manager) {
        action->owner = owner;
        manager->extend_list().push_back(action);
        action->entry = std::prev(manager->extend_list().end());
        action->listed = true;
        ++owner->extend_count;
    }
    if (L) {
        lua_newtable(L);
        lua_pushlightuserdata(L, action);
        lua_setfield(L, -2, "object");
        if (methods) luaL_register(L, nullptr, methods);
    }
    return true;
}

namespace {
void unlist(extend_action* action) {
    action_manager* manager = action_manager::instance();
    if (!action->listed || !manager) return;
    action->listed = false;
    if (manager->walking > 0) {
        *action->entry = nullptr;  // the walk in progress skips it
        manager->has_holes = true;
    } else {
        manager->extend_list().erase(action->entry);
    }
}

// Deletes now, or marks for the end of the action's own update: scripts no
// longer reach it either way.
void finish(extend_action* action) {
    if (action->holds <= 0) {
        delete action;
        return;
    }
    action->doomed = true;
    live_object_remove(action);
}
}  // namespace

action_hold::~action_hold() {
    if (--action_->holds <= 0 && action_->doomed) delete action_;
}

void extend_action_delete(extend_action* action) {
    if (!action || action->doomed) return;
    unlist(action);
    if (action->owner) --action->owner->extend_count;
    finish(action);
}

bool extend_actions_update() {
    action_manager* manager = action_manager::instance();
    actor_manager* actors = actor_manager::instance();
    if (!manager) return true;
    const int32_t level = actors ? actors->act_level : 255;
    bool result = true;
    ++manager->walking;
    auto& list = manager->extend_list();
    for (auto it = list.begin(); it != list.end(); ++it) {
        extend_action* action = *it;
        if (!action || !action->owner || !actor_is_active(action->owner, level)) continue;
        action_hold hold(action);
        if (!action->update()) result = false;
    }
    --manager->walking;
    manager->drop_holes();
    return result;
}

bool extend_actions_suspend(actor_object* actor) {
    for_each_owned(actor, [](extend_action* action) {
        if (action->suspended) return;
        action->suspended = true;
        action->suspend();
    });
    return true;
}

bool extend_actions_resume(actor_object* actor) {
    for_each_owned(actor, [](extend_action* action) { action->resume(); });
    return true;
}

void extend_actions_destroy(actor_object* actor) {
    for_each_owned(actor, [](extend_action* action) {
        if (action->doomed) return;
        unlist(action);
        action->owner = nullptr;
        finish(action);
    });
    actor->extend_count = 0;
}
