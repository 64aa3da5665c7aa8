#include "world/action_manager.h"

#include "core/system_log.h"
#include "core/trace.h"
#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/extend_action.h"
#include "world/named_objects.h"

int32_t script_error_status = 0;

namespace {
void mark_script_error() {
    if (script_error_status == 0) script_error_status = -1;
}

// Which value a Lua action receives beside the actor: the event's own
// value, else the slot's state, else the actor's extend value.
void push_action_value(lua_State* L, const actor_object* actor, const action_slot* slot,
                       const script_value& value) {
    if (value.kind != script_value_none) {
        script_value_push(value, L, L);
    } else if (slot->state.kind != script_value_none) {
        script_value_push(slot->state, L, L);
    } else if (actor->extend.kind != script_value_none) {
        script_value_push(actor->extend, L, L);
    } else {
        lua_pushnil(L);
    }
}

// A creation value counts only when it is given and not nil.
bool value_given(lua_State* L, const script_value& value) {
    if (value.kind == script_value_none) return false;
    if (value.kind == script_value_stack) return !lua_isnoneornil(L, static_cast<int>(value.data));
    if (value.kind == script_value_reference) {
        world_ref_push(L, static_cast<int32_t>(value.data));
        const bool given = !lua_isnil(L, -1);
        lua_pop(L, 1);
        return given;
    }
    return true;
}

script_value take_result(lua_State* L) {
    const int32_t ref = world_ref_take(L);
    return ref > 0 ? make_value(script_value_reference, static_cast<uint32_t>(ref)) : script_value{0, 0};
}
}  // namespace

action_manager::~action_manager() {
    // Actions still listed belong to nobody any more.
    for (extend_action* action : extend_list_) delete action;
    extend_list_.clear();
}

const native_action* action_manager::find_named(const char* name) const {
    auto it = named_.find(name ? name : "");
    return it == named_.end() ? nullptr : &it->second;
}

bool action_manager::add_named(const char* name, const native_action& entry) {
    return named_.emplace(name ? name : "", entry).second;
}

void action_manager::drop_holes() {
    if (walking > 0 || !has_holes) return;
    extend_list_.remove(nullptr);
    has_holes = false;
}

bool native_action_register(const char* name, action_manager* manager,
                            action_param_parser parser, action_entry entry) {
    if (!manager) return false;
    return manager->add_named(name, native_action{0, parser, 0, reinterpret_cast<uintptr_t>(entry)});
}

bool action_slot_bind(action_manager* manager, actor_object* owner,
                      const action_definition* definition, action_slot* slot, script_value value) {
    lua_State* L = manager->lua();
    slot->data = definition->init_data;
    slot->param = definition->param;
    slot->state = script_value{0, 0};
    if (definition->init) {
        if (definition->init(owner, slot, value) != 0) return false;
    } else if (L && value_given(L, value)) {
        script_value_push(value, L, L);
        if (lua_istable(L, -1)) {
            // The slot keeps a copy of the array part as its own state.
            lua_newtable(L);
            for (int i = 1;; ++i) {
                lua_rawgeti(L, -2, i);
                if (lua_isnil(L, -1)) break;
                lua_rawseti(L, -2, i);
            }
            lua_pop(L, 1);
            const int32_t ref = world_ref_take(L);
            if (ref > 0) slot->state = make_value(script_value_reference, static_cast<uint32_t>(ref));
        }
        lua_pop(L, 1);
    }
    slot->entry = definition->entry;
    slot->data = definition->data;
    return true;
}

int32_t action_manager::script_action(actor_object* actor, void* context, action_slot* slot,
                                      int32_t event, script_value value) {
    lua_State* L = instance()->lua();
    world_ref_push(L, static_cast<int32_t>(slot->data));
    lua_pushlightuserdata(L, actor);
    if (context) {
        lua_pushlightuserdata(L, context);
    } else {
        lua_pushnil(L);
    }
    lua_pushnumber(L, event);
    push_action_value(L, actor, slot, value);
    script_error_info error;
    if (!script(L).call(4, 0, error)) {
        TRACE_ERROR("action_manager::script_action", "script::call", slot->data);
        script_report_error_text(error, nullptr);
        mark_script_error();
        return 1;
    }
    return 0;
}

int32_t action_manager::script_init_action(actor_object* owner, action_slot* slot, script_value) {
    lua_State* L = instance()->lua();
    script_value_release(slot->state, L);
    world_ref_push(L, static_cast<int32_t>(slot->data));
    lua_pushlightuserdata(L, owner);
    if (slot->param.kind == script_value_reference) {
        script_value_push(slot->param, L, L);
    } else {
        lua_pushnil(L);
    }
    script_error_info error;
    if (!script(L).call(2, 1, error)) {
        TRACE_ERROR("action_manager::script_init_action", "script::call", -1);
        script_report_error_text(error, nullptr);
        return 1;
    }
    slot->state = take_result(L);
    return 0;
}

int32_t action_manager::call_act_init(actor_object* actor, action_slot* slot, script_value value) {
    if (slot->data == 0) {
        return slot->entry ? slot->entry(actor, nullptr, slot, 0, value) : 0;
    }
    lua_State* L = lua_;
    world_ref_push(L, static_cast<int32_t>(slot->data));
    lua_pushlightuserdata(L, actor);
    if (value_given(L, value)) {
        script_value_push(value, L, L);
    } else if (slot->state.kind != script_value_none) {
        script_value_push(slot->state, L, L);
    } else if (actor->named && actor->named->stored.kind != script_value_none) {
        script_value_push(actor->named->stored, L, L);
    } else {
        lua_pushnil(L);
    }
    script_error_info error;
    if (!script(L).call(2, 1, error)) {
        TRACE_ERROR("action_manager::call_act_init", "script::call", -1);
        script_report_error_text(error, nullptr);
        mark_script_error();
        return -1;
    }
    if (actor_is_alive(actor)) {
        script_value_release(actor->extend, L);
        actor->extend = take_result(L);
    } else {
        lua_pop(L, 1);
    }
    return 0;
}

void action_manager::call_act_dead(actor_object* actor, action_slot* slot) {
    if (slot->data == 0) {
        if (slot->entry) slot->entry(actor, nullptr, slot, 0, script_value{0, 0});
        return;
    }
    lua_State* L = lua_;
    world_ref_push(L, static_cast<int32_t>(slot->data));
    lua_pushlightuserdata(L, actor);
    if (slot->state.kind != script_value_none) {
        script_value_push(slot->state, L, L);
    } else if (actor->extend.kind != script_value_none) {
        script_value_push(actor->extend, L, L);
    } else {
        lua_pushnil(L);
    }
    script_error_info error;
    if (!script(L).call(2, 1, error)) {
        TRACE_ERROR("action_manager::call_act_dead", "script::call", -1);
        script_report_error_text(error, nullptr);
        return;
    }
    script_value result = take_result(L);
    named_object_entry* entry = actor->named;
    if (entry && entry->actor == actor) {
        script_value_release(entry->stored, L);
        entry->stored = result;
    } else {
        script_value_release(result, L);
    }
}

void action_manager::leave_embed() {
    if (embed_count == 0) {
        TRACE_ERROR("action_manager::leave_embed", "invalid call", -1);
        return;
    }
    --embed_count;
}
