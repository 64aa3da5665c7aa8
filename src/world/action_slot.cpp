#include "world/action_slot.h"

#include "core/system_log.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/coaction.h"

bool actions_parse(lua_State* L, action_definition* definition) {
    *definition = action_definition{};
    const int base = lua_gettop(L) - 1;  // the stack once the value is gone
    if (lua_isnoneornil(L, -1)) {
        lua_settop(L, base < 0 ? 0 : base);
        return true;
    }
    if (lua_istable(L, -1)) {
        lua_rawgeti(L, -1, 1);
        lua_rawgeti(L, -2, 2);
    } else {
        lua_pushvalue(L, -1);
        lua_pushnil(L);
    }
    // The stack now holds: value, action, parameter.
    bool ok = false;
    if (lua_type(L, -2) == LUA_TSTRING) {
        ok = native_action_find(lua_tostring(L, -2), definition, L);
        if (!ok) system_log_trace(1, "actions.parse", "invalid action name");
    } else if (lua_isfunction(L, -2)) {
        ok = lua_function_action(definition, L);
    } else {
        system_log_trace(1, "actions.parse", "invalid action type");
    }
    lua_settop(L, base);
    return ok;
}

bool native_action_find(const char* name, action_definition* definition, lua_State* L) {
    action_manager* manager = action_manager::instance();
    const native_action* entry = manager ? manager->find_named(name) : nullptr;
    if (!entry) return false;
    if (entry->kind == 1) {
        // The definition holds references of its own: the named entry keeps
        // its functions for good, while a class releases its definitions.
        world_ref_push(L, static_cast<int32_t>(entry->init));
        const int32_t init = world_ref_take(L);
        world_ref_push(L, static_cast<int32_t>(entry->entry));
        const int32_t frame = world_ref_take(L);
        *definition = action_definition{action_manager::script_init_action,
                                        static_cast<uint32_t>(init),
                                        action_manager::script_action,
                                        static_cast<uint32_t>(frame),
                                        {0, 0}};
    } else {
        *definition = action_definition{reinterpret_cast<action_init_entry>(entry->init), 0,
                                        reinterpret_cast<action_entry>(entry->entry), 0,
                                        {0, 0}};
    }
    if (entry->parser) {
        if (entry->parser(definition, L) != 0) {
            action_definition_release(*definition, L);
            return false;
        }
    } else {
        lua_pop(L, 1);
    }
    return true;
}

bool lua_function_action(action_definition* definition, lua_State* L) {
    *definition = action_definition{};
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
    } else {
        definition->param = make_value(script_value_reference, static_cast<uint32_t>(world_ref_take(L)));
        if (definition->param.data == 0) definition->param.kind = script_value_none;
    }
    definition->entry = action_manager::script_action;
    definition->data = static_cast<uint32_t>(world_ref_take(L));
    return true;
}

void action_definition_release(action_definition& d, lua_State* L) {
    // Only the entries that run Lua hold references in their data words.
    const bool init_ref = d.init == action_manager::script_init_action || d.init == coaction::act_init;
    const bool frame_ref = d.entry == action_manager::script_action;
    if (init_ref) world_ref_release(L, static_cast<int32_t>(d.init_data));
    if (frame_ref && (!init_ref || d.data != d.init_data)) {
        world_ref_release(L, static_cast<int32_t>(d.data));
    }
    script_value_release(d.param, L);
    d = action_definition{};
}

void action_slot_release(action_slot& slot, lua_State* L) {
    script_value_release(slot.state, L);
    slot = action_slot{};
}
