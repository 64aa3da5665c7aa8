// The creation table of an actor (actors.create).
#include "core/system_log.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/live_objects.h"
#include "world/sprite_manager.h"
#include "world/table_readers.h"

int actor_class_create(lua_State* L);

namespace {
// The class of element [1]: an inline definition or a registered name.
st_actor_class* read_class(lua_State* L, int t, string& label) {
    actor_manager* manager = actor_manager::instance();
    lua_rawgeti(L, t, 1);
    if (lua_istable(L, -1)) {
        system_log_trace(6, "actors.create", "create object from *anonymous* class");
        actor_class_create(L);
        void* p = lua_touserdata(L, -1);
        if (!live_object_is(p, live_actor_class)) throw "creating *anonymous* class is failed";
        lua_pop(L, 2);
        label = "*anonymous*";
        return static_cast<st_actor_class*>(p);
    }
    if (lua_type(L, -1) == LUA_TSTRING) {
        st_actor_class* cls = manager->find_class(lua_tostring(L, -1));
        if (!cls) {
            script_call_stack_trace(L, nullptr, "actors.create");
            throw "invalid class name";
        }
        label = lua_tostring(L, -1);
        system_log_trace(6, "actors.create", "create object from %s", label.c_str());
        lua_pop(L, 1);
        return cls;
    }
    throw "no actorclass name";
}
}  // namespace

// The creation table is on the top of the stack; pushes the actor or nil.
int actor_create(lua_State* L) {
    const int t = lua_gettop(L);
    action_manager* actions = action_manager::instance();
    actor_manager* manager = actor_manager::instance();
    if (!actions || !manager) {
        lua_pushnil(L);
        return 1;
    }
    ++actions->embed_count;
    st_actor_class* cls = nullptr;
    string label;
    // An inline class that no actor took is dropped with the failure (one
    // that an actor took went with that actor's deletion already).
    auto drop_unused = [&] {
        if (live_object_is(cls, live_actor_class) && (cls->flags & class_anonymous) && cls->use_count <= 0) {
            manager->discard_class(cls);
        }
    };
    try {
        cls = read_class(L, t, label);
        string name, group;
        read_field_string(L, t, "name", name, true, "invalid actor name");
        if (!read_field_string(L, t, "group", group, true, "invalid actor group name")) {
            read_field_string(L, t, "localname", group, true, "invalid actor group name");
        }
        actor_object* parent = nullptr;
        lua_getfield(L, t, "parent");
        if (!lua_isnil(L, -1)) {
            parent = to_actor(L, -1);
            if (!parent) throw "invalid actor parent name";
        }
        lua_pop(L, 1);
        actor_create_values v;
        lua_getfield(L, t, "sprite");
        if (!lua_isnil(L, -1)) {
            sprite_manager* sprites = sprite_manager::instance();
            if (lua_type(L, -1) == LUA_TSTRING && sprites) v.sprite_class = sprites->find_class(lua_tostring(L, -1));
            if (!v.sprite_class) throw "invalid sprite class name";
        }
        lua_pop(L, 1);
        lua_get_index_float(L, t, 2, v.position[0], false, "invalid position.x");
        lua_get_index_float(L, t, 3, v.position[1], false, "invalid position.y");
        lua_get_index_float(L, t, 4, v.position[2], false, "invalid position.layer");
        lua_get_index_int(L, t, 5, v.state, true, "invalid state");
        lua_get_index_int(L, t, 6, v.way, true, "invalid way");
        lua_get_index_float(L, t, 7, v.vector[0], true, "invalid vector.x");
        lua_get_index_float(L, t, 8, v.vector[1], true, "invalid vector.y");
        lua_get_field_int(L, t, "zorder", v.zorder, true, "invalid actor zorder");

        // The init value goes where the actions run.
        if (cls->flags & class_table_is_init) {
            lua_pushvalue(L, t);
        } else {
            lua_getfield(L, t, "init");
        }
        lua_State* AL = actions->lua() ? actions->lua() : L;
        if (AL != L) lua_xmove(L, AL, 1);
        v.init = script_value::stack(lua_gettop(AL));
        v.group = group.c_str();
        actor_object* actor = manager->create_object(name.c_str(), cls, v, parent);
        lua_pop(AL, 1);

        lua_settop(L, t);
        if (actor) {
            lua_pushlightuserdata(L, actor);
        } else {
            drop_unused();
            lua_pushnil(L);
        }
        system_log_trace(6, "actors.create", "%s<%s> is %s (%d)", name.empty() ? "*anonymous*" : name.c_str(),
                         label.c_str(), actor ? "created successfully" : "not created",
                         actor ? int32_t(actor->id) : -1);
    } catch (const char* message) {
        system_log_trace(1, "actors.create", "%s", message);
        drop_unused();
        lua_settop(L, t - 1);
        lua_pushnil(L);
    }
    actions->leave_embed();
    return 1;
}
