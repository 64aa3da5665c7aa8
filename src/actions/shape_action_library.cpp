#include "actions/shape_action_library.h"

#include "actions/action_constructor.h"
#include "actions/shape_action.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lua.h"
#include "world/actor_object.h"
#include "world/collision_manager.h"

namespace {
// The action of argument 1, or none with "invalid action object" logged.
shape_action* self(lua_State* L, const char* label) {
    shape_action* a = action_arg<shape_action>(L);
    if (!a) system_log_trace(1, label, "invalid action object");
    return a;
}

int32_t int_at(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }
uint32_t uint_at(lua_State* L, int index) { return script_truncate_uint(lua_tonumber(L, index)); }
bool given(lua_State* L, int index) { return !lua_isnoneornil(L, index); }

int add_shape(lua_State* L) {
    shape_action* a = self(L, "shape_action.add_shape");
    if (!a) return 0;
    const int32_t i = int_at(L, 2);
    bool ok = false;
    if (lua_istable(L, 3)) {
        ok = a->add_shape_table(i, L, 3);
    } else if (lua_isnumber(L, 3)) {
        ok = a->add_shape_number(i, int_at(L, 3), lua_toboolean(L, 4) != 0);
    }
    lua_pushboolean(L, ok);
    return 1;
}

int remove_shape(lua_State* L) {
    if (shape_action* a = self(L, "shape_action.remove_shape")) a->remove_shape(int_at(L, 2));
    return 0;
}

int add_kind(lua_State* L, int32_t kind) {
    const char* const label = "shape_action.add_body";
    shape_action* a = self(L, label);
    if (!a) return 0;
    const int32_t n = int_at(L, 2);
    st_body_attr attr{};
    if (lua_istable(L, 3)) {
        collision_manager* world = collision_manager::instance();
        if (world) attr = world->defaults;
        if (!load_body_attribute(L, 3, attr, true)) {
            system_log_trace(1, label, "invalid attribute");
            lua_pushboolean(L, 0);
            return 1;
        }
    } else {
        if (lua_gettop(L) > 5) {
            system_log_trace(1, label, "invalid arguments");
            lua_pushboolean(L, 0);
            return 1;
        }
        attr.type = uint32_t(int_at(L, 3));
        attr.cond = uint_at(L, 4);
        attr.attr = uint_at(L, 5);
    }
    lua_pushboolean(L, a->add_body(n, kind, attr));
    return 1;
}

int add_body(lua_State* L) { return add_kind(L, shape_kind_body); }
int add_sensor(lua_State* L) { return add_kind(L, shape_kind_sensor); }
int add_reactor(lua_State* L) { return add_kind(L, shape_kind_reactor); }

int set_shape(lua_State* L) {
    shape_action* a = self(L, "shape_action.create");
    if (!a) return 0;
    const int n = lua_gettop(L);
    if (n < 3 || n > 4) {
        system_log_trace(1, "shape_action.create", "invalid arguments");
        lua_pushboolean(L, 0);
        return 1;
    }
    lua_pushboolean(L, a->set_shape(int_at(L, 2), int_at(L, 3), lua_toboolean(L, 4) != 0));
    return 1;
}

int remove_body(lua_State* L) {
    if (shape_action* a = self(L, "shape_action.remove_body")) a->remove_body(int_at(L, 2));
    return 0;
}

int set_actor(lua_State* L) {
    if (shape_action* a = self(L, "shape_action.set_actor")) a->set_reference(to_actor(L, 2));
    return 0;
}

int set_offset(lua_State* L) {
    shape_action* a = self(L, "shape_action.move");
    if (!a) return 0;
    a->offset[0] = float(lua_tonumber(L, 2));
    a->offset[1] = float(lua_tonumber(L, 3));
    return 0;
}

int set_actor_body(lua_State* L) {
    shape_action* a = self(L, "shape_action.set_actor_body");
    if (!a) return 0;
    a->lend(given(L, 2) ? int_at(L, 2) : -1);
    return 0;
}

void push_shape(lua_State* L, const st_shape* s, int32_t view);

void push_edges(lua_State* L, const st_shape* s, bool segments) {
    lua_newtable(L);
    int i = 0;
    for (const st_edge& e : s->edges) {
        lua_newtable(L);
        lua_pushnumber(L, e.sx);
        lua_rawseti(L, -2, 1);
        lua_pushnumber(L, e.sy);
        lua_rawseti(L, -2, 2);
        if (segments) {
            lua_pushnumber(L, e.sx + e.dx);
            lua_rawseti(L, -2, 3);
            lua_pushnumber(L, e.sy + e.dy);
            lua_rawseti(L, -2, 4);
        }
        lua_rawseti(L, -2, ++i);
    }
}

void push_shape(lua_State* L, const st_shape* s, int32_t view) {
    if (view < 0) view = int32_t(s->type);
    switch (view) {
        case 0:
            lua_newtable(L);
            lua_pushnumber(L, s->bounds[2] - s->bounds[0]);
            lua_rawseti(L, -2, 1);
            lua_pushnumber(L, s->bounds[3] - s->bounds[1]);
            lua_rawseti(L, -2, 2);
            return;
        case 1:
        case 3:
            push_edges(L, s, view == 3);
            return;
        case 2:
            lua_newtable(L);
            for (int i = 0; i < 3; ++i) {
                lua_pushnumber(L, s->circle[i]);
                lua_rawseti(L, -2, i + 1);
            }
            return;
        default: {
            lua_newtable(L);
            int i = 0;
            for (const st_shape* m = s->type == shape_joint ? s->next : nullptr; m; m = m->next) {
                push_shape(L, m, -1);
                lua_rawseti(L, -2, ++i);
            }
            return;
        }
    }
}

int shape(lua_State* L) {
    const char* const label = "shape_action.shape";
    shape_action* a = self(L, label);
    if (!a) return 0;
    if (!given(L, 2)) {
        lua_pushnumber(L, double(a->shapes.size()) - 1);
        return 1;
    }
    const int32_t i = int_at(L, 2);
    const bool exists = i >= 0 && size_t(i) < a->shapes.size() && !a->shapes[size_t(i)].empty();
    if (!given(L, 3)) {
        lua_pushboolean(L, exists);
        return 1;
    }
    const int32_t view = int_at(L, 3);
    const st_shape* s = exists ? a->resolve(i) : nullptr;
    if (view >= 5) {
        system_log_trace(1, label, "invalid shape type");
    } else if (!s) {
        system_log_trace(1, label, "invalid shape index");
    } else {
        push_shape(L, s, view);
        return 1;
    }
    lua_pushnil(L);
    return 1;
}

int center(lua_State* L) {
    shape_action* a = self(L, "shape_action.center");
    if (!a) return 0;
    const st_shape* s = a->resolve(int_at(L, 2));
    if (!s) return 0;
    lua_pushnumber(L, s->circle[0]);
    lua_pushnumber(L, s->circle[1]);
    return 2;
}

int move(lua_State* L) {
    shape_action* a = self(L, "shape_action.move");
    if (!a) return 0;
    if (!given(L, 2)) {
        a->place();
        return 0;
    }
    uint32_t result = 0;
    if (!a->move(int_at(L, 2), result)) {
        lua_pushboolean(L, 0);
        lua_pushnil(L);
        return 2;
    }
    lua_pushboolean(L, result == 0);
    if (result == 0) {
        lua_pushnil(L);
    } else {
        lua_pushnumber(L, result);
    }
    return 2;
}

// Every body with a shape, its shape given again first.
template <class F>
void each_body(shape_action* a, int32_t only, F fn) {
    const bool one = only >= 0 && size_t(only) < a->bodies.size();
    for (size_t i = 0; i < a->bodies.size(); ++i) {
        if (one && int32_t(i) != only) continue;
        if (st_body* b = a->refresh(a->bodies[i])) fn(b);
    }
}

int rotate(lua_State* L) {
    shape_action* a = self(L, "shape_action.rotate");
    if (!a) return 0;
    const float angle = float(lua_tonumber(L, 2));
    each_body(a, -1, [&](st_body* b) { body_set_angle(b, angle); });
    return 0;
}

int invert(lua_State* L) {
    shape_action* a = self(L, "shape_action.invert");
    if (!a) return 0;
    const uint32_t flips = uint_at(L, 2) & 3;
    each_body(a, -1, [&](st_body* b) {
        if (b->flip != flips) body_set_transform(b, b->angle, flips, true);
    });
    return 0;
}

int transform(lua_State* L) {
    shape_action* a = self(L, "shape_action.invert");
    if (!a) return 0;
    const float angle = given(L, 2) ? float(lua_tonumber(L, 2)) : a->angle;
    const uint32_t flips = given(L, 3) ? uint_at(L, 3) & 3 : a->flips;
    each_body(a, -1, [&](st_body* b) { body_set_transform(b, angle, flips, false); });
    return 0;
}

// [n,] value: body n, or every body without n or with one out of range.
template <class F>
int angular(lua_State* L, const char* label, F fn) {
    shape_action* a = self(L, label);
    if (!a) return 0;
    const bool indexed = lua_gettop(L) >= 3;
    const int32_t n = indexed ? int_at(L, 2) : -1;
    const float value = float(lua_tonumber(L, indexed ? 3 : 2));
    each_body(a, n, [&](st_body* b) { fn(b, value); });
    return 0;
}

int set_angular(lua_State* L) {
    return angular(L, "shape_action.set_angular", [](st_body* b, float v) { b->spin = v; });
}

int set_rotate_angular(lua_State* L) {
    return angular(L, "shape_action.set_rotate_angular", [](st_body* b, float v) { b->spin = v - b->angle; });
}

int attr(lua_State* L) {
    shape_action* a = self(L, "shape_action.attr");
    if (!a) return 0;
    const int32_t n = int_at(L, 2);
    if (n < 0 || size_t(n) >= a->bodies.size()) {
        for (int i = 0; i < 4; ++i) lua_pushnil(L);
        return 4;
    }
    const st_body_attr& r = a->bodies[size_t(n)].attr;
    for (uint32_t v : {r.id, r.type, r.cond, r.attr}) lua_pushnumber(L, v);
    return 4;
}

int set_attr(lua_State* L) {
    const char* const label = "shape_action.set_attr";
    shape_action* a = self(L, label);
    if (!a) return 0;
    const int32_t n = int_at(L, 2);
    if (n < 0 || size_t(n) >= a->bodies.size()) {
        system_log_trace(1, label, "invalid body id");
        return 0;
    }
    body_entry& e = a->bodies[size_t(n)];
    if (lua_isnumber(L, 3)) e.attr.attr = uint_at(L, 3);
    if (lua_isnumber(L, 4)) e.attr.cond = uint_at(L, 4);
    if (lua_isnumber(L, 5)) e.attr.type = uint_at(L, 5);
    if (lua_isnumber(L, 6)) e.attr.id = uint_at(L, 6);
    if (st_body* b = e.body) {
        b->attr.id = e.attr.id;
        b->attr.type = e.attr.type;
        b->attr.cond = e.attr.cond;
        // The kind bits and the owner bit stay the body's own.
        b->attr.attr = (e.attr.attr & 0x37FFFFFFu) | (b->attr.attr & 0xC8000000u);
    }
    return 0;
}

int body(lua_State* L) {
    shape_action* a = self(L, "shape_action.body");
    if (!a) return 0;
    if (!given(L, 2)) {
        lua_pushnumber(L, double(a->bodies.size()) - 1);
        return 1;
    }
    const int32_t n = int_at(L, 2);
    const bool has = a->has_body(n) && a->resolve(a->bodies[size_t(n)].shape);
    lua_pushboolean(L, has);
    if (has && (uint_at(L, 3) & 1)) {
        lua_pushnumber(L, a->bodies[size_t(n)].shape);
        return 2;
    }
    return 1;
}

int lastid(lua_State* L) {
    shape_action* a = self(L, "shape_action.lastid");
    if (!a) return 0;
    lua_pushnumber(L, double(a->shapes.size()) - 1);
    lua_pushnumber(L, double(a->bodies.size()) - 1);
    return 2;
}

// Pushes the owner of every body a sensor test touches.
class push_owners : public sensor_callback_base {
public:
    explicit push_owners(lua_State* L) : L_(L) {}
    void report(st_body*, st_body* other, float) override {
        if (!lua_checkstack(L_, 1)) return;
        lua_pushlightuserdata(L_, other->owner);
        ++count;
    }
    int count = 0;

private:
    lua_State* L_;
};

int test(lua_State* L) {
    const char* const label = "shape_action.test";
    shape_action* a = self(L, label);
    if (!a) return 0;
    const int32_t n = int_at(L, 2);
    collision_manager* world = collision_manager::instance();
    st_body* b = a->has_body(n) ? a->refresh(a->bodies[size_t(n)]) : nullptr;
    if (!b || !world) {
        system_log_trace(1, label, "invalid body id");
        return 0;
    }
    push_owners owners(L);
    world->test_sensor(b, owners);
    return owners.count;
}

const luaL_Reg methods[] = {
    {"add_shape", add_shape},
    {"remove_shape", remove_shape},
    {"add_body", add_body},
    {"add_sensor", add_sensor},
    {"add_reactor", add_reactor},
    {"set_shape", set_shape},
    {"remove_body", remove_body},
    {"set_actor", set_actor},
    {"set_offset", set_offset},
    {"set_actor_body", set_actor_body},
    {"shape", shape},
    {"center", center},
    {"move", move},
    {"rotate", rotate},
    {"invert", invert},
    {"transform", transform},
    {"set_angular", set_angular},
    {"set_rotate_angular", set_rotate_angular},
    {"attr", attr},
    {"set_attr", set_attr},
    {"body", body},
    {"lastid", lastid},
    {"test", test},
    {"release", action_release},
    {nullptr, nullptr},
};

int new_shape(lua_State* L) {
    const int top = lua_gettop(L);
    if (!to_actor(L, 1)) {
        system_log_trace(1, "shape_action.new", "invalid actor object");
        lua_settop(L, top);
        lua_pushnil(L);
        return 1;
    }
    return construct_action<shape_action>(L, methods, [](shape_action*, actor_object*) {});
}
}  // namespace

void shape_action_register(lua_State* L) { lua_register(L, "new_shape", new_shape); }
