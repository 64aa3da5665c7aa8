// The actor class definition table, read key by key in a fixed order so
// that the first bad key decides the one message.
#include "core/system_log.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_sounds.h"
#include "world/actor_manager.h"
#include "world/coaction.h"
#include "world/live_objects.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/table_readers.h"

namespace {
void read_pair(lua_State* L, int table, float out[2], const char* x_message, const char* y_message) {
    lua_get_index_float(L, table, 1, out[0], false, x_message);
    lua_get_index_float(L, table, 2, out[1], false, y_message);
}

// An optional {x, y} table at param[n].
void read_speed(lua_State* L, int param, int n, float out[2], const char* message,
                const char* x_message, const char* y_message) {
    if (!lua_get_index_table(L, param, n, true, message)) return;
    read_pair(L, lua_gettop(L), out, x_message, y_message);
    lua_pop(L, 1);
}

// Parses t[key] into the slot; nil gives the empty definition.
void read_action(lua_State* L, int table, const char* key, action_definition& d, const char* message) {
    action_definition_release(d, L);
    lua_getfield(L, table, key);
    if (!actions_parse(L, &d)) throw message;
}

void read_actions(lua_State* L, int def, st_actor_class* cls) {
    if (!lua_get_field_table(L, def, "action", true, "invalid action list")) return;
    const int t = lua_gettop(L);
    action_definition* a = cls->actions;
    if (cls->flags & class_start_key) {
        read_action(L, t, "start", a[slot_mode], "invalid start event");
        action_definition& d = a[slot_mode];
        if (d.entry == action_manager::script_action && d.data > 0) {
            // The start function runs as the actor's coroutine.
            d = action_definition{coaction::act_init, d.data, coaction::act_main, 0, d.param};
        }
    } else {
        read_action(L, t, "init", a[slot_init], "invalid init event");
        read_action(L, t, "dead", a[slot_dead], "invalid dead event");
        const char* modes[] = {"default", "mode1", "mode2", "mode3"};
        for (int m = 0; m < 4; ++m) read_action(L, t, modes[m], a[slot_mode + m], "invalid mode event");
    }
    read_action(L, t, "collide", a[slot_collide], "invalid collide event");
    read_action(L, t, "catch", a[slot_catch], "invalid catch event");
    read_action(L, t, "save", a[slot_save], "invalid save event");
    lua_pop(L, 1);
}

void read_body(lua_State* L, int def, st_actor_class* cls, const shape_frame& frame) {
    if (!lua_get_field_table(L, def, "body", true, "invalid body")) return;
    const int b = lua_gettop(L);
    if (!load_body_attribute(L, b, cls->body_attr, false)) throw "invalid body.attribute";
    lua_get_field_uint(L, b, "index", cls->body_index, true, "invalid body.index");
    if (cls->body_index >= 4) throw "invalid body.index";
    if (cls->body_index == 0) {
        int32_t ways = 1;
        lua_get_field_int(L, b, "ways", ways, true, "invalid body.ways");
        if (ways != 1) throw "invalid body.ways";
        lua_rawgeti(L, b, 1);
        if (lua_type(L, -1) == LUA_TNUMBER) {
            const int32_t n = script_truncate_int(lua_tonumber(L, -1));
            if (n < 0 || size_t(n) >= cls->shapes.size()) throw "invalid shape id for body[i]";
            cls->body_shape = cls->shapes[size_t(n)];
        } else if (lua_istable(L, -1)) {
            if (!load_shape(L, -1, frame, cls->body_shape, cls->owned_shapes)) throw "invalid body[i]";
        } else {
            throw "no body[i]";
        }
        lua_pop(L, 1);
    }
    cls->has_body = true;
    lua_pop(L, 1);
}

void read_sensor(lua_State* L, int def, st_actor_class* cls, const shape_frame& frame) {
    if (!lua_get_field_table(L, def, "sensor", true, "invalid sensor")) return;
    const int s = lua_gettop(L);
    if (!load_body_attribute(L, s, cls->sensor_attr, false)) throw "invalid sensor.attribute";
    lua_get_field_uint(L, s, "index", cls->sensor_index, true, "invalid sensor.index");
    if (cls->sensor_index >= 4) throw "invalid sensor.index";
    if (cls->sensor_index == 0 &&
        !load_way_shapes(L, s, frame, -1, cls->shapes.data(), int32_t(cls->shapes.size()), cls->sensor_shapes,
                         cls->owned_shapes)) {
        throw "invalid sensor";
    }
    cls->has_sensor = true;
    lua_pop(L, 1);
}

void read_sounds(lua_State* L, int def, st_actor_class* cls) {
    if (!lua_get_field_table(L, def, "sound", true, "invalid sound list")) return;
    const int t = lua_gettop(L);
    int32_t num = 0;
    lua_get_field_int(L, t, "num", num, true, "invalid sound.num");
    for (int32_t i = 1;; ++i) {
        lua_rawgeti(L, t, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            if (i > num) break;
            cls->sounds.push_back(nullptr);
            continue;
        }
        if (lua_type(L, -1) != LUA_TSTRING) throw "invalid sound[i]";
        void* sound_class = actor_find_sound(lua_tostring(L, -1));
        if (!sound_class) throw "invalid sound name";
        cls->sounds.push_back(sound_class);
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}
}  // namespace

// The definition is on the top of the stack; pushes the class or nil.
int actor_class_create(lua_State* L) {
    const int def = lua_gettop(L);
    actor_manager* manager = actor_manager::instance();
    st_actor_class* cls = nullptr;
    try {
        if (!manager) throw "no actor manager";
        string name, group;
        read_field_string(L, def, "name", name, true, "invalid actorclass name");
        if (!read_field_string(L, def, "group", group, true, "invalid actorclass group name") &&
            !read_field_string(L, def, "localname", group, true, "invalid actorclass group name")) {
            group = manager->current_group().c_str();
        }
        st_sprite_class* sprite_class = nullptr;
        float offset[3] = {};
        lua_getfield(L, def, "sprite");
        if (!lua_isnil(L, -1)) {
            string sprite_name;
            if (lua_type(L, -1) == LUA_TSTRING) {
                sprite_name = lua_tostring(L, -1);
            } else if (lua_istable(L, -1)) {
                const int s = lua_gettop(L);
                lua_get_index_string(L, s, 1, sprite_name, false, "no sprite class name");
                if (lua_get_index_table(L, s, 2, true, "invalid sprite offset")) {
                    read_pair(L, lua_gettop(L), offset, "no sprite offset.x", "no sprite offset.y");
                    lua_get_index_float(L, -1, 3, offset[2], true, "invalid sprite offset.z");
                    lua_pop(L, 1);
                }
            } else {
                throw "invalid sprite param";
            }
            sprite_manager* sprites = sprite_manager::instance();
            sprite_class = sprites ? sprites->find_class(sprite_name.c_str()) : nullptr;
            if (!sprite_class) throw "invalid sprite class name";
        }
        lua_pop(L, 1);
        lua_get_field_table(L, def, "param", false, "no param info");
        const int param = lua_gettop(L);
        uint32_t type = 0;
        lua_get_index_uint(L, param, 1, type, false, "no type");
        type &= 0xFFFFFF;

        cls = manager->allocate_class(name.c_str(), type);
        if (!cls) throw "specified class name is already existed, or no memory";
        cls->flags = type;
        if (name.empty()) {
            cls->flags |= class_anonymous;
        } else {
            system_log_trace(6, "actors.class_create", "create actor class %s", name.c_str());
            cls->flags |= class_named;
        }
        for (int i = 0; i < 3; ++i) cls->sprite_offset[i] = offset[i];
        cls->set_sprite_class(sprite_class);

        read_speed(L, param, 2, cls->speed[0], "invalid normal speed", "no normal speed.x", "no normal speed.y");
        cls->speed[1][0] = cls->speed[2][0] = cls->speed[0][0];
        cls->speed[1][1] = cls->speed[2][1] = cls->speed[0][1];
        read_speed(L, param, 3, cls->speed[1], "invalid min speed", "no min speed.x", "no min speed.y");
        read_speed(L, param, 4, cls->speed[2], "invalid max speed", "no max speed.x", "no max speed.y");
        if (lua_get_field_table(L, param, "event", true, "invalid event")) {
            lua_get_index_int(L, -1, 1, cls->start_event, true, "invalid event[i]");
            lua_get_index_int(L, -1, 2, cls->dead_event, true, "invalid event[i]");
            lua_pop(L, 1);
        }
        if (lua_get_field_table(L, param, "rect", true, "invalid rect")) {
            const int r = lua_gettop(L);
            lua_get_index_float(L, r, 1, cls->rect[0], false, "no rect.left");
            lua_get_index_float(L, r, 2, cls->rect[1], false, "no rect.top");
            lua_get_index_float(L, r, 3, cls->rect[2], false, "no rect.right");
            lua_get_index_float(L, r, 4, cls->rect[3], false, "no rect.bottom");
            lua_pop(L, 1);
        }
        lua_pop(L, 1);  // param

        shape_frame frame = {{0, 0}, {0, 0, 0, 0}};
        if (cls->rect[0] != cls->rect[2]) {
            frame.origin[0] = (cls->rect[2] - cls->rect[0]) * 0.5f + cls->rect[0];
            frame.origin[1] = (cls->rect[3] - cls->rect[1]) * 0.5f + cls->rect[1];
            for (int i = 0; i < 4; ++i) frame.rect[i] = int32_t(cls->rect[i]);
        } else if (sprite_class) {
            frame.origin[0] = sprite_class->centers[0][0];
            frame.origin[1] = sprite_class->centers[0][1];
            frame.rect[2] = sprite_class->cx;
            frame.rect[3] = sprite_class->cy;
        }
        if (lua_get_field_table(L, def, "shape", true, "invalid shape")) {
            const int t = lua_gettop(L);
            for (int i = 1;; ++i) {
                lua_rawgeti(L, t, i);
                if (lua_isnil(L, -1)) {
                    lua_pop(L, 1);
                    break;
                }
                st_shape* shape = nullptr;
                if (!lua_istable(L, -1)) throw "invalid shape[i]";
                if (!load_shape(L, -1, frame, shape, cls->owned_shapes)) throw "invalid shape[i]";
                cls->shapes.push_back(shape);
                lua_pop(L, 1);
            }
            lua_pop(L, 1);
        }
        read_body(L, def, cls, frame);
        read_sensor(L, def, cls, frame);
        read_sounds(L, def, cls);
        read_actions(L, def, cls);
        if (lua_get_field_table(L, def, "extend", true, "invalid extend")) {
            const int32_t ref = world_ref_take(L);
            if (ref > 0) cls->extend = script_value::reference(ref);
        }
        if (cls->rect[0] == cls->rect[2] && sprite_class) {
            const float cx = sprite_class->centers[0][0], cy = sprite_class->centers[0][1];
            cls->rect[0] = -cx;
            cls->rect[1] = -cy;
            cls->rect[2] = float(sprite_class->cx) - cx;
            cls->rect[3] = float(sprite_class->cy) - cy;
        } else if (cls->rect[0] == cls->rect[2] && cls->body_shape) {
            for (int i = 0; i < 4; ++i) cls->rect[i] = cls->body_shape->bounds[i];
        }
        // Named classes are in the class map since their allocation.
        if (!name.empty()) manager->join_class(group.c_str(), cls);
        lua_settop(L, def);
        lua_pushlightuserdata(L, cls);
        system_log_trace(6, "actors.class_create", "%s is created successfully",
                         name.empty() ? "*anonymous*" : name.c_str());
    } catch (const char* message) {
        system_log_trace(1, "actors.class_create", "%s", message);
        if (cls) manager->discard_class(cls);
        lua_settop(L, def);
        lua_pushnil(L);
    }
    return 1;
}
