// The actors functions for act levels and modes, names, groups and stored
// values. Thin: they read their arguments and call the actor manager.
#include <string>

#include "core/lua_readers.h"
#include "core/script.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/named_objects.h"

namespace {
actor_manager* manager() { return actor_manager::instance(); }

// A group or stored-value name: a string, or a number taken as one;
// anything else is the empty name.
const char* name_arg(lua_State* L, int index) {
    const int type = lua_type(L, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) return "";
    return lua_tostring(L, index);
}

const char* anonymous_or(const char* name) { return name && *name ? name : "*anonymous*"; }

const char* actor_name(const actor_object* actor) {
    return anonymous_or(actor->named ? actor->named->name.c_str() : nullptr);
}

const char* class_label(const actor_object* actor) {
    return anonymous_or(actor->cls ? actor->cls->name.c_str() : nullptr);
}

int set_act_level(lua_State* L) {
    actor_manager* m = manager();
    if (!m) return 0;
    if (lua_type(L, 1) == LUA_TNUMBER) {
        const int32_t level = script_truncate_int(lua_tonumber(L, 1));
        system_log_trace(6, "sprites.set_act_level", "global act level: %d -> %d", m->act_level, level);
        m->set_act_level(level);
        return 0;
    }
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    if (lua_isnoneornil(L, 2)) {
        system_log_trace(6, "sprites.set_act_level", "object act level: %d -> default", actor->act_level);
        m->set_object_act_level(actor, -1);
        return 0;
    }
    const int32_t level = script_truncate_int(lua_tonumber(L, 2));
    system_log_trace(6, "sprites.set_act_level", "object act level: %d -> %d", actor->act_level, level);
    m->set_object_act_level(actor, level);
    return 0;
}

int act_mode(lua_State* L) {
    lua_pushnumber(L, manager() ? manager()->act_mode : 0);
    return 1;
}

int set_act_mode(lua_State* L) {
    if (manager()) manager()->act_mode = script_truncate_int(lua_tonumber(L, 1));
    return 0;
}

int set_name(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    actor_manager* m = manager();
    if (!actor || !m) {
        lua_pushboolean(L, 0);
        return 1;
    }
    const char* name = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : nullptr;
    // The old name is gone once the rename has run.
    const std::string old = actor_name(actor);
    if (!m->rename(actor, name)) {
        system_log_trace(1, "actors.set_name", "fail to change %s[%s] actor name to %s", class_label(actor),
                         old.c_str(), anonymous_or(name));
        lua_pushboolean(L, 0);
        return 1;
    }
    system_log_trace(6, "actors.set_name", "%s[%s] actor name is changed to %s successfully", class_label(actor),
                     old.c_str(), anonymous_or(name));
    lua_pushboolean(L, 1);
    return 1;
}

int push_group_name(lua_State* L, const char* name) {
    if (!name || !*name) {
        lua_pushnil(L);
    } else {
        lua_pushstring(L, name);
    }
    return 1;
}

int group(lua_State* L) {
    actor_manager* m = manager();
    if (!m) return push_group_name(L, nullptr);
    if (lua_isnoneornil(L, 1)) return push_group_name(L, m->current_group().c_str());
    actor_object* actor = to_actor(L, 1);
    return push_group_name(L, actor ? actor->group : nullptr);
}

int set_group(lua_State* L) {
    actor_manager* m = manager();
    if (!m) return 0;
    const std::string name = name_arg(L, 1);
    if (lua_toboolean(L, 2)) m->add_group(m->current_group().c_str(), name.c_str());
    m->set_current_group(name.c_str());
    return 0;
}

int add_group(lua_State* L) {
    if (manager()) manager()->add_group(name_arg(L, 1), name_arg(L, 2));
    return 0;
}

int add_class(lua_State* L) {
    if (manager()) manager()->add_class(name_arg(L, 1), name_arg(L, 2), lua_toboolean(L, 3) != 0);
    return 0;
}

// The Lua side of an enumeration: the function and the value at fixed
// stack places of the calling state.
struct lua_enumeration {
    lua_State* L;
    int function;
    int value;
};

bool call_enumeration(actor_object* actor, const char*, void* user) {
    const lua_enumeration* e = static_cast<const lua_enumeration*>(user);
    lua_pushvalue(e->L, e->function);
    lua_pushlightuserdata(e->L, actor);
    lua_pushvalue(e->L, e->value);
    script_error_info error;
    if (!script(e->L).call(2, 1, error)) {
        script_report_error_text(error, "actors.enum_group");
        return false;
    }
    const bool go_on = lua_toboolean(e->L, -1) != 0;
    lua_pop(e->L, 1);
    return go_on;
}

int enum_group(lua_State* L) {
    actor_manager* m = manager();
    lua_settop(L, 4);
    const std::string name = name_arg(L, 1);
    lua_enumeration e{L, 2, 3};
    const bool result = m && m->enum_group(name.c_str(), call_enumeration, &e, lua_toboolean(L, 4) != 0);
    lua_pushboolean(L, result);
    return 1;
}

bool append_member(actor_object* actor, const char*, void* user) {
    lua_State* L = static_cast<lua_State*>(user);
    lua_pushlightuserdata(L, actor);
    lua_rawseti(L, -2, int(lua_objlen(L, -2)) + 1);
    return true;
}

int list_group(lua_State* L) {
    const std::string name = name_arg(L, 1);
    const bool recursive = lua_toboolean(L, 2) != 0;
    lua_newtable(L);
    if (manager()) manager()->enum_group(name.c_str(), append_member, L, recursive);
    return 1;
}

int purge(lua_State* L) {
    if (manager()) manager()->purge(name_arg(L, 1), lua_toboolean(L, 2) != 0);
    return 0;
}

int store(lua_State* L) {
    if (manager()) manager()->store(name_arg(L, 1));
    return 0;
}

int restore(lua_State* L) {
    if (manager()) manager()->restore(name_arg(L, 1));
    return 0;
}

int remove_store(lua_State* L) {
    if (manager()) manager()->remove_store(name_arg(L, 1), lua_toboolean(L, 2) != 0);
    return 0;
}

int enum_stores(lua_State* L) {
    lua_newtable(L);
    if (!manager()) return 1;
    for (const auto& pair : manager()->named_objects()) {
        const script_value& stored = pair.second.stored;
        if (stored.kind != script_value_reference) continue;
        const int top = lua_gettop(L);
        lua_pushlstring(L, pair.first.data(), pair.first.size());
        script_value_push(stored, L, L);
        if (lua_gettop(L) == top + 2) {
            lua_rawset(L, -3);
        } else {
            lua_settop(L, top);
        }
    }
    return 1;
}

// A place for a debugger's breakpoint: the argument is resolved, nothing more.
int breakpoint(lua_State* L) {
    volatile void* object = to_object(L, 1);
    (void)object;
    return 0;
}

const luaL_Reg functions[] = {
    {"set_act_level", set_act_level},
    {"act_mode", act_mode},
    {"set_act_mode", set_act_mode},
    {"set_name", set_name},
    {"group", group},
    {"set_group", set_group},
    {"add_group", add_group},
    {"add_class", add_class},
    {"enum_group", enum_group},
    {"list_group", list_group},
    {"purge", purge},
    {"store", store},
    {"restore", restore},
    {"remove_store", remove_store},
    {"enum_stores", enum_stores},
    {"breakpoint", breakpoint},
    {nullptr, nullptr},
};
}  // namespace

// Adds these functions to the actors table on the top of the stack.
void actor_groups_library_register(lua_State* L) { luaL_register(L, nullptr, functions); }
