// The sprites script library: sprite classes, bare sprites, and the
// steering of any sprite by its light userdata.
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/live_objects.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/sprite_object.h"

int sprite_class_create(lua_State* L);
int sprite_create(lua_State* L);

namespace {
sprite_object* to_sprite(lua_State* L, int index) {
    if (!lua_islightuserdata(L, index)) return nullptr;
    void* p = lua_touserdata(L, index);
    return live_object_is(p, live_sprite) ? static_cast<sprite_object*>(p) : nullptr;
}

int nils(lua_State* L, int n) {
    for (int i = 0; i < n; ++i) lua_pushnil(L);
    return n;
}

// A number, or the default for anything that is not of the number type.
double number_or(lua_State* L, int index, double fallback) {
    return lua_type(L, index) == LUA_TNUMBER ? lua_tonumber(L, index) : fallback;
}

int class_create(lua_State* L) { return sprite_class_create(L); }
int create(lua_State* L) { return sprite_create(L); }

int release(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return 0;
    // An actor keeps its sprite's pointer: only the actor may delete it.
    if (sprite->owner) {
        system_log_trace(1, "sprites.release", "the sprite belongs to an actor");
        return 0;
    }
    delete sprite;
    return 0;
}

int class_of(lua_State* L) {
    st_sprite_class* cls = nullptr;
    if (lua_type(L, 1) == LUA_TSTRING) {
        sprite_manager* manager = sprite_manager::instance();
        cls = manager ? manager->find_class(lua_tostring(L, 1)) : nullptr;
    } else if (sprite_object* sprite = to_sprite(L, 1)) {
        cls = sprite->cls;
    }
    if (!cls) return nils(L, 1);
    lua_pushlightuserdata(L, cls);
    return 1;
}

int class_lock(lua_State* L) {
    st_sprite_class* cls = to_sprite_class(L, 1);
    if (!cls) {
        lua_pushboolean(L, 0);
        return 1;
    }
    // A failed load counts as a lock too: it is given back the same way.
    ++cls->script_locks;
    lua_pushboolean(L, sprite_class::lock(cls, lua_toboolean(L, 2) != 0));
    return 1;
}

int class_unlock(lua_State* L) {
    st_sprite_class* cls = to_sprite_class(L, 1);
    if (cls && cls->script_locks > 0) {
        --cls->script_locks;
        sprite_class::unlock(cls);
    }
    return 0;
}

int class_is_locked(lua_State* L) {
    st_sprite_class* cls = to_sprite_class(L, 1);
    const int32_t result = cls ? sprite_class::finish_lock(cls) : -1;
    if (result < 0) return nils(L, 1);
    lua_pushboolean(L, result > 0);
    return 1;
}

int wait(lua_State* L) {
    sprite_manager* manager = sprite_manager::instance();
    if (!manager) return nils(L, 1);
    if (lua_gettop(L) > 0 && lua_isnumber(L, -1) && lua_tonumber(L, -1) > 0) {
        manager->default_wait = float(lua_tonumber(L, -1));
    }
    lua_pushnumber(L, manager->default_wait);
    return 1;
}

int visible(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, -2)) {
        if (lua_toboolean(L, -1)) {
            sprite->flags &= ~sprite_hidden;
        } else {
            sprite->flags |= sprite_hidden;
        }
    }
    return 0;
}

int active(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, -2)) {
        if (lua_toboolean(L, -1)) {
            sprite->flags &= ~sprite_paused;
        } else {
            sprite->flags |= sprite_paused;
        }
    }
    return 0;
}

int size(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite || !sprite->cls) return nils(L, 2);
    lua_pushnumber(L, sprite->cls->cx);
    lua_pushnumber(L, sprite->cls->cy);
    return 2;
}

int rect(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite || !sprite->cls) return nils(L, 4);
    const st_sprite_class* cls = sprite->cls;
    const float cx = cls->centers[sprite->way][0], cy = cls->centers[sprite->way][1];
    lua_pushnumber(L, -cx);
    lua_pushnumber(L, -cy);
    lua_pushnumber(L, float(cls->cx) - cx);
    lua_pushnumber(L, float(cls->cy) - cy);
    return 4;
}

int set_rect(lua_State* L) {
    sprite_object* sprite = to_sprite(L, 1);
    if (!sprite || !sprite->cls) return 0;
    const double defaults[4] = {0, 0, double(sprite->cls->cx), double(sprite->cls->cy)};
    int32_t r[4];
    for (int i = 0; i < 4; ++i) r[i] = script_truncate_int(number_or(L, i + 2, defaults[i]));
    sprite->set_sub_rect(r[0], r[1], r[2], r[3]);
    return 0;
}

int set_rotate(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, 1)) sprite->set_rotation(float(number_or(L, 2, 0.0)));
    return 0;
}

int set_scale(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, 1)) {
        sprite->set_scale(float(number_or(L, 2, 1.0)), float(number_or(L, 3, 1.0)));
    }
    return 0;
}

int set_alpha(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, 1)) sprite->set_alpha(float(number_or(L, 2, 1.0)));
    return 0;
}

int set_color(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, 1)) {
        sprite->set_color(lua_type(L, 2) == LUA_TNUMBER ? script_truncate_uint(lua_tonumber(L, 2)) : 0xFFFFFFFF);
    }
    return 0;
}

int statesize(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return nils(L, 1);
    lua_pushnumber(L, sprite->base_class ? double(sprite->base_class->states.size()) : 0.0);
    return 1;
}

int state(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return nils(L, 1);
    lua_pushnumber(L, sprite->pending_state >= 0 ? sprite->pending_state : sprite->state);
    return 1;
}

int set_state(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -2);
    if (!sprite) return 0;
    const int32_t s = script_truncate_int(lua_tonumber(L, -1));
    if (s >= 0 && sprite->base_class && size_t(s) < sprite->base_class->states.size()) {
        sprite->pending_state = s;
    } else {
        system_log_trace(1, "sprites.set_state", "invalid state id %d", s);
    }
    return 0;
}

int coordinate(lua_State* L, int axis) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return nils(L, 1);
    lua_pushnumber(L, axis == 0 ? sprite->x : axis == 1 ? sprite->y : sprite->z);
    return 1;
}
int x(lua_State* L) { return coordinate(L, 0); }
int y(lua_State* L) { return coordinate(L, 1); }
int z(lua_State* L) { return coordinate(L, 2); }

int position(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return nils(L, 3);
    lua_pushnumber(L, sprite->x);
    lua_pushnumber(L, sprite->y);
    lua_pushnumber(L, sprite->z);
    return 3;
}

int set_position(lua_State* L) {
    if (sprite_object* sprite = to_sprite(L, -4)) {
        sprite->x = float(lua_tonumber(L, -3));
        sprite->y = float(lua_tonumber(L, -2));
        sprite->z = float(lua_tonumber(L, -1));
    }
    return 0;
}

int way(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -1);
    if (!sprite) return nils(L, 1);
    lua_pushnumber(L, sprite->way);
    return 1;
}

int set_way(lua_State* L) {
    sprite_object* sprite = to_sprite(L, -2);
    if (!sprite) return 0;
    const int32_t w = script_truncate_int(lua_tonumber(L, -1));
    if (!sprite->set_way(w)) system_log_trace(1, "sprites.set_way", "invalid way %d", w);
    return 0;
}

const luaL_Reg functions[] = {
    {"class_create", class_create}, {"create", create},
    {"release", release},           {"class", class_of},
    {"class_lock", class_lock},     {"class_unlock", class_unlock},
    {"class_is_locked", class_is_locked}, {"wait", wait},
    {"visible", visible},           {"active", active},
    {"size", size},                 {"rect", rect},
    {"set_rect", set_rect},         {"set_rotate", set_rotate},
    {"set_scale", set_scale},       {"set_alpha", set_alpha},
    {"set_color", set_color},       {"statesize", statesize},
    {"state", state},               {"set_state", set_state},
    {"x", x},                       {"y", y},
    {"z", z},                       {"position", position},
    {"set_position", set_position}, {"way", way},
    {"set_way", set_way},           {nullptr, nullptr},
};
}  // namespace

void sprites_library_register(lua_State* L) {
    luaL_register(L, "sprites", functions);
    lua_pop(L, 1);
}
