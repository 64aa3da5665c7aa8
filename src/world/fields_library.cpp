// The `fields` script library: thin bindings over the field manager.
// Nothing here raises a Lua error; bad arguments give nil or false.
#include <cmath>
#include <cstring>

#include "core/lua_readers.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/field_manager.h"
#include "world/field_tables.h"
#include "world/live_objects.h"
#include "world/sprite_object.h"

namespace {
field_manager& manager() { return *field_manager::instance(); }

float number_at(lua_State* L, int index) { return float(lua_tonumber(L, index)); }
int32_t truncated_at(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }
// States are whole 32-bit words: rounded to the nearest, then wrapped.
uint32_t state_at(lua_State* L, int index) {
    const double v = std::nearbyint(lua_tonumber(L, index));
    return v >= -4294967296.0 && v <= 4294967296.0 ? uint32_t(int64_t(v)) : 0u;
}

// The last n arguments as numbers (missing ones read as 0).
void last_numbers(lua_State* L, int n, float* out) {
    const int top = lua_gettop(L);
    for (int i = 0; i < n; ++i) out[i] = top - n + 1 + i >= 1 ? number_at(L, top - n + 1 + i) : 0.0f;
}

int push_numbers(lua_State* L, const float* v, int n) {
    for (int i = 0; i < n; ++i) lua_pushnumber(L, v[i]);
    return n;
}

int push_nils(lua_State* L, int n) {
    for (int i = 0; i < n; ++i) lua_pushnil(L);
    return n;
}

const char* name_at(lua_State* L, int index) {
    return lua_type(L, index) == LUA_TSTRING || lua_type(L, index) == LUA_TNUMBER ? lua_tostring(L, index) : nullptr;
}

int cell_create(lua_State* L) {
    field_cell_set* s = cell_set_create(L, 1);
    if (s) lua_pushlightuserdata(L, s);
    else lua_pushnil(L);
    return 1;
}

int cell_get(lua_State* L) {
    const char* name = lua_gettop(L) > 0 ? name_at(L, lua_gettop(L)) : nullptr;
    field_cell_set* s = name ? manager().find_cell_set(name) : nullptr;
    if (s) lua_pushlightuserdata(L, s);
    else lua_pushnil(L);
    return 1;
}

int cell_release(lua_State* L) {
    const char* name = name_at(L, 1);
    if (field_cell_set* s = name ? manager().find_cell_set(name) : nullptr) manager().release_cell_set(s);
    return 0;
}

int create(lua_State* L) {
    field* f = field_create(L, 1);
    if (f) lua_pushlightuserdata(L, f);
    else lua_pushnil(L);
    return 1;
}

int release(lua_State* L) {
    const char* name = name_at(L, 1);
    if (field* f = name ? manager().find_field(name) : nullptr) manager().release_field(f, lua_toboolean(L, 2) != 0);
    return 0;
}

int get(lua_State* L) {
    if (lua_gettop(L) == 0) {
        const field* f = manager().current_field();
        if (f) lua_pushstring(L, f->name.c_str());
        else lua_pushnil(L);
        return 1;
    }
    const char* name = name_at(L, 1);
    field* f = name ? manager().find_field(name) : nullptr;
    if (f) lua_pushlightuserdata(L, f);
    else lua_pushnil(L);
    return 1;
}

int set(lua_State* L) {
    const char* name = name_at(L, 1);
    lua_pushboolean(L, manager().select_field(name ? name : "", lua_toboolean(L, 2) != 0));
    return 1;
}

int is_locked(lua_State* L) {
    const int32_t state = manager().texture_state();
    if (state < 0) lua_pushnil(L);
    else lua_pushboolean(L, state > 0);
    return 1;
}

int size(lua_State* L) {
    const char* name = name_at(L, 1);
    const field* f = name ? manager().find_field(name) : nullptr;
    if (!f) return push_nils(L, 2);
    int32_t w = f->cx, h = f->cy;
    if (lua_type(L, 2) == LUA_TNUMBER) {
        const int32_t layer = truncated_at(L, 2);
        if (layer >= 0 && size_t(layer) < f->layers.size()) {
            w = f->layers[size_t(layer)].cx;
            h = f->layers[size_t(layer)].cy;
        }
    }
    lua_pushinteger(L, w);
    lua_pushinteger(L, h);
    return 2;
}

int settings(lua_State* L) {
    if (!lua_istable(L, 1)) return 0;
    field_manager& m = manager();
    lua_getfield(L, 1, "z");
    if (lua_type(L, -1) == LUA_TNUMBER) m.default_max_zorder = truncated_at(L, -1);
    lua_getfield(L, 1, "x");
    if (lua_type(L, -1) == LUA_TNUMBER) m.default_x_coefficient = number_at(L, -1);
    lua_getfield(L, 1, "y");
    if (lua_type(L, -1) == LUA_TNUMBER) m.default_y_coefficient = number_at(L, -1);
    lua_pop(L, 3);
    return 0;
}

int view_to_position(lua_State* L) {
    float a[3], out[3];
    last_numbers(L, 3, a);
    field::view_to_position(a, a[2], out);
    return push_numbers(L, out, 3);
}

int position_to_view(lua_State* L) {
    float a[3], out[3];
    last_numbers(L, 3, a);
    field::position_to_view(0, a, out);
    return push_numbers(L, out, 3);
}

int position_to_position(lua_State* L) {
    float a[4], v[3], out[3];
    last_numbers(L, 4, a);
    field::position_to_view(0, a, v);
    field::view_to_position(v, a[3], out);
    return push_numbers(L, out, 3);
}

int view(lua_State* L) {
    field_manager& m = manager();
    if (lua_gettop(L) == 0) return push_numbers(L, m.view.point, 3);
    const float p[3] = {number_at(L, 1), number_at(L, 2), lua_isnoneornil(L, 3) ? m.view.point[2] : number_at(L, 3)};
    const bool free = lua_type(L, 4) == LUA_TBOOLEAN && lua_toboolean(L, 4);
    field::set_view(p, !free);
    return 0;
}

// Where an object stands: actors and sprites have world positions.
bool object_position(lua_State* L, int index, float out[3]) {
    void* p = to_object(L, index);
    if (live_object_is(p, live_actor)) {
        const actor_object* a = static_cast<actor_object*>(p);
        out[0] = a->position[0], out[1] = a->position[1], out[2] = a->position[2];
        return true;
    }
    if (live_object_is(p, live_sprite)) {
        const sprite_object* s = static_cast<sprite_object*>(p);
        out[0] = s->x, out[1] = s->y, out[2] = s->z;
        return true;
    }
    return false;
}

const field_entrance* nearest_entrance(const field& f, const float p[3]) {
    const double limit = 2.0 * (double(f.cx) * f.cx + double(f.cy) * f.cy);
    const field_entrance* best = nullptr;
    double best_distance = limit;
    for (const field_entrance& e : f.entrances) {
        if (e.layer != p[2]) continue;
        const double dx = double(e.x) - p[0], dy = double(e.y) - p[1];
        const double d = dx * dx + dy * dy;
        if (d < best_distance) {
            best_distance = d;
            best = &e;
        }
    }
    return best;
}

const field_entrance* entrance_at(lua_State* L, int index) {
    const field* f = manager().current_field();
    if (!f || lua_type(L, index) != LUA_TNUMBER) return nullptr;
    const int32_t n = truncated_at(L, index);
    return n >= 0 && size_t(n) < f->entrances.size() ? &f->entrances[size_t(n)] : nullptr;
}

int entrance(lua_State* L) {
    const field* f = manager().current_field();
    if (!f || lua_gettop(L) != 1) return push_nils(L, 5);
    const field_entrance* e = nullptr;
    float p[3];
    if (lua_type(L, 1) == LUA_TNUMBER)
        e = entrance_at(L, 1);
    else if (object_position(L, 1, p))
        e = nearest_entrance(*f, p);
    if (!e) return push_nils(L, 5);
    lua_pushnumber(L, e->x);
    lua_pushnumber(L, e->y);
    lua_pushnumber(L, e->layer);
    lua_pushinteger(L, e->way);
    lua_pushinteger(L, e->zorder);
    return 5;
}

int enter(lua_State* L) {
    const field_entrance* e = entrance_at(L, 1);
    if (!e) return 0;
    const float p[3] = {e->x, e->y, e->layer};
    field::set_view(p, true);
    actor_object* a = to_actor(L, 2);
    if (!a) return 0;
    a->set_position(e->x, e->y, e->layer);
    a->set_way(e->way);
    a->zorder = e->zorder;
    if (a->sprite) a->sprite->zorder = e->zorder;
    return 0;
}

int layer_state(lua_State* L) {
    uint32_t state = 0;
    if (!manager().layer_state(truncated_at(L, 1), state)) lua_pushnil(L);
    else lua_pushnumber(L, double(state));
    return 1;
}

int set_layer_state(lua_State* L) {
    const uint32_t state = state_at(L, 2);
    lua_pushboolean(L, manager().set_layer_state(truncated_at(L, 1), state));
    return 1;
}

int cell_state(lua_State* L) {
    uint32_t state = 0;
    if (!manager().cell_state(truncated_at(L, 1), truncated_at(L, 2), state)) lua_pushnil(L);
    else lua_pushnumber(L, double(state));
    return 1;
}

int set_cell_state(lua_State* L) {
    const uint32_t state = state_at(L, 3);
    lua_pushboolean(L, manager().set_cell_state(truncated_at(L, 1), truncated_at(L, 2), state));
    return 1;
}

int map_create(lua_State* L) {
    const int32_t layer = truncated_at(L, 1), cell_size = truncated_at(L, 2);
    const int32_t radius = lua_isnoneornil(L, 3) ? cell_size : truncated_at(L, 3);
    st_body_attr attr = {0, 0, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f};
    if (!lua_isnoneornil(L, 4) && !load_body_attribute(L, 4, attr, false)) {
        lua_pushboolean(L, 0);
        return 1;
    }
    lua_pushboolean(L, manager().build_map(layer, cell_size, radius, attr));
    return 1;
}

void route_ends(lua_State* L, float start[3], float goal[3]) {
    const float layer = number_at(L, 1);
    start[0] = number_at(L, 2), start[1] = number_at(L, 3), start[2] = layer;
    goal[0] = number_at(L, 4), goal[1] = number_at(L, 5), goal[2] = layer;
}

int root(lua_State* L) {
    float start[3], goal[3];
    route_ends(L, start, goal);
    std::vector<route_point> route;
    if (!field::search_route(start, goal, route)) lua_pushnil(L);
    else push_route_table(L, route);
    return 1;
}

int request_root(lua_State* L) {
    float start[3], goal[3];
    route_ends(L, start, goal);
    root_loader* r = manager().request_route(start, goal);
    if (r) lua_pushlightuserdata(L, r);
    else lua_pushnil(L);
    return 1;
}

int check_request_root(lua_State* L) {
    field_manager& m = manager();
    root_loader* r = lua_type(L, 1) == LUA_TLIGHTUSERDATA ? static_cast<root_loader*>(lua_touserdata(L, 1)) : nullptr;
    // A handle that is not a live request of ours (answered already, or
    // never one) reads as no route.
    if (!r || !m.has_request(r)) {
        lua_pushnil(L);
        return 1;
    }
    const int32_t state = r->state();
    if (state == 0) {
        lua_pushboolean(L, 0);
        return 1;
    }
    if (state > 0) push_route_table(L, r->points());
    else lua_pushnil(L);
    m.finish_request(r);
    return 1;
}

int map_release(lua_State* L) {
    manager().release_map(truncated_at(L, 1));
    return 0;
}

const luaL_Reg functions[] = {
    {"cell_create", cell_create},
    {"cell_get", cell_get},
    {"cell_release", cell_release},
    {"create", create},
    {"release", release},
    {"get", get},
    {"set", set},
    {"is_locked", is_locked},
    {"size", size},
    {"settings", settings},
    {"view_to_position", view_to_position},
    {"position_to_view", position_to_view},
    {"position_to_position", position_to_position},
    {"view", view},
    {"entrance", entrance},
    {"enter", enter},
    {"layer_state", layer_state},
    {"set_layer_state", set_layer_state},
    {"cell_state", cell_state},
    {"set_cell_state", set_cell_state},
    {"map_create", map_create},
    {"root", root},
    {"request_root", request_root},
    {"check_request_root", check_request_root},
    {"map_release", map_release},
    {nullptr, nullptr},
};
}  // namespace

void fields_library_register(lua_State* L) {
    luaL_register(L, "fields", functions);
    lua_pop(L, 1);
}
