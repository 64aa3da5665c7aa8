// The actors functions of speed, way, state and placement, the collision
// world's settings, collision status and rectangles. An actor argument that
// does not resolve gives nils (or nothing) and changes nothing.
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/actor_rect.h"
#include "world/collision_body.h"
#include "world/collision_manager.h"
#include "world/sprite_object.h"

namespace {
int nils(lua_State* L, int n) {
    for (int i = 0; i < n; ++i) lua_pushnil(L);
    return n;
}

float number(lua_State* L, int index) { return float(lua_tonumber(L, index)); }
uint32_t unsigned_arg(lua_State* L, int index) { return script_truncate_uint(lua_tonumber(L, index)); }

collision_manager* world() { return collision_manager::instance(); }

void push_pair(lua_State* L, const float v[2], const char* field) {
    lua_createtable(L, 2, 0);
    lua_pushnumber(L, v[0]);
    lua_rawseti(L, -2, 1);
    lua_pushnumber(L, v[1]);
    lua_rawseti(L, -2, 2);
    lua_setfield(L, -2, field);
}

int speed(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    uint32_t n = unsigned_arg(L, 2);
    if (!a || !a->cls || n > 2) return nils(L, 3);
    lua_pushnumber(L, a->cls->speed[n][0]);
    lua_pushnumber(L, a->cls->speed[n][1]);
    lua_pushnumber(L, 0);
    return 3;
}

int set_speed(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    uint32_t n = unsigned_arg(L, 2);
    if (a && a->cls && n <= 2)
        a->set_vector(a->cls->speed[n][0] * number(L, 3), a->cls->speed[n][1] * number(L, 4), 0.0f);
    return 0;
}

int set_way(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a) return 0;
    int32_t way = script_truncate_int(lua_tonumber(L, 2));
    if (way < 0 || way > 7)
        system_log_trace(1, "actors.set_way", "invalid way %d", way);
    else
        a->set_way(way);
    return 0;
}

int set_state(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a || !a->sprite) return 0;
    int32_t state = script_truncate_int(lua_tonumber(L, 2));
    if (!a->sprite->set_state(state, false))
        system_log_trace(1, "actors.set_state", "error: invalid state id %d", state);
    return 0;
}

int gravity(lua_State* L) {
    collision_manager* m = world();
    if (!m) return nils(L, 3);
    for (float g : m->gravity) lua_pushnumber(L, g);
    return 3;
}

int set_gravity(lua_State* L) {
    if (collision_manager* m = world())
        for (int i = 0; i < 3; ++i) m->gravity[i] = number(L, i + 1);
    return 0;
}

int resist(lua_State* L) {
    collision_manager* m = world();
    if (!m) return nils(L, 1);
    lua_pushnumber(L, m->resist);
    return 1;
}

int set_resist(lua_State* L) {
    if (collision_manager* m = world()) m->resist = number(L, 1);
    return 0;
}

int set_attr_format(lua_State* L) {
    if (collision_manager* m = world()) m->attr_format = lua_toboolean(L, 1) != 0;
    return 0;
}

int attr_defaults(lua_State* L) {
    collision_manager* m = world();
    if (!m) return nils(L, 1);
    lua_createtable(L, 0, 4);
    const st_body_attr& d = m->defaults;
    const std::pair<const char*, float> fields[] = {
        {"mass", d.mass}, {"resist", d.resist}, {"reflect", d.reflect}, {"frict", d.frict}};
    for (const auto& f : fields) {
        lua_pushnumber(L, f.second);
        lua_setfield(L, -2, f.first);
    }
    return 1;
}

int set_attr_defaults(lua_State* L) {
    collision_manager* m = world();
    if (!m || !lua_istable(L, 1)) return 0;
    st_body_attr read = m->defaults;
    if (!load_body_attribute(L, 1, read, true)) return 0;
    // Only the physical values change; a negative one is left as it was.
    st_body_attr& d = m->defaults;
    if (read.mass >= 0) d.mass = read.mass;
    if (read.resist >= 0) d.resist = read.resist;
    if (read.reflect >= 0) d.reflect = read.reflect;
    if (read.frict >= 0) d.frict = read.frict;
    return 0;
}

int coll_status(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a || !a->body) return nils(L, 1);
    const st_body* b = a->body;
    lua_createtable(L, 0, 7);
    lua_pushnumber(L, b->layer);
    lua_setfield(L, -2, "layer");
    push_pair(L, b->position, "position");
    push_pair(L, b->acceler, "acceler");
    push_pair(L, b->vector, "vector");
    push_pair(L, b->carry, "carry");
    push_pair(L, b->force, "force");
    lua_pushnumber(L, b->collide);
    lua_setfield(L, -2, "collide");
    return 1;
}

int collinfo(lua_State* L) {
    lua_newtable(L);
    return 1;
}

int align(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a) return 0;
    uint32_t flags = unsigned_arg(L, 2);
    float x = number(L, 3), y = number(L, 4), z = number(L, 5);
    float r[4] = {};
    actor_rect(a, flags, r);
    if ((flags & 3) == 1) x -= r[0];
    if ((flags & 3) == 2) x -= r[2];
    if ((flags & 12) == 4) y -= r[1];
    if ((flags & 12) == 8) y -= r[3];
    a->set_position(x, y, z);
    return 0;
}

int out_of_bounds(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a) return nils(L, 1);
    lua_pushboolean(L, actor_out_of_bounds(a, unsigned_arg(L, 2), number(L, 3), number(L, 4)));
    return 1;
}

int size(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a || !a->cls) return nils(L, 2);
    lua_pushnumber(L, a->cls->rect[2] - a->cls->rect[0]);
    lua_pushnumber(L, a->cls->rect[3] - a->cls->rect[1]);
    return 2;
}

int rect(lua_State* L) {
    actor_object* a = to_actor(L, 1);
    if (!a || !a->cls) return nils(L, 4);
    const float* r = a->cls->rect;
    if (r[2] < r[0] || r[3] < r[1]) return nils(L, 4);
    bool absolute = lua_toboolean(L, 2) != 0;
    float dx = absolute ? a->position[0] : 0.0f, dy = absolute ? a->position[1] : 0.0f;
    lua_pushnumber(L, r[0] + dx);
    lua_pushnumber(L, r[1] + dy);
    lua_pushnumber(L, r[2] + dx);
    lua_pushnumber(L, r[3] + dy);
    return 4;
}

int act_level(lua_State* L) {
    if (lua_gettop(L) == 0) {
        actor_manager* m = actor_manager::instance();
        if (!m) return nils(L, 1);
        lua_pushnumber(L, m->act_level);
        return 1;
    }
    actor_object* a = to_actor(L, 1);
    if (!a) return nils(L, 1);
    lua_pushnumber(L, a->act_level);
    return 1;
}
}  // namespace

extern const luaL_Reg actors_motion_functions[] = {
    {"speed", speed},
    {"set_speed", set_speed},
    {"set_way", set_way},
    {"set_state", set_state},
    {"gravity", gravity},
    {"set_gravity", set_gravity},
    {"resist", resist},
    {"set_resist", set_resist},
    {"set_attr_format", set_attr_format},
    {"attr_defaults", attr_defaults},
    {"set_attr_defaults", set_attr_defaults},
    {"coll_status", coll_status},
    {"collinfo", collinfo},
    {"align", align},
    {"out_of_bounds", out_of_bounds},
    {"size", size},
    {"rect", rect},
    {"act_level", act_level},
    {nullptr, nullptr},
};
