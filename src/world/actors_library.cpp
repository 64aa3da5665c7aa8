// The actors script library: classes and actors from tables, and the
// functions that read or steer one actor by handle or by name. An actor
// that does not resolve gives nils and changes nothing.
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/actor_sounds.h"
#include "world/coaction.h"
#include "world/collision_manager.h"
#include "world/collision_ray.h"
#include "world/collision_view.h"
#include "world/extend_action.h"
#include "world/live_objects.h"
#include "world/named_objects.h"
#include "world/object_manager.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/sprite_object.h"

int actor_class_create(lua_State* L);
int actor_create(lua_State* L);
void actor_groups_library_register(lua_State* L);

namespace {
int nils(lua_State* L, int n) {
    for (int i = 0; i < n; ++i) lua_pushnil(L);
    return n;
}

float arg_float(lua_State* L, int index) { return float(lua_tonumber(L, index)); }
int32_t arg_int(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }

void push_value(lua_State* L, const script_value& value) {
    if (value.kind == script_value_none) {
        lua_pushnil(L);
        return;
    }
    const int top = lua_gettop(L);
    script_value_push(value, L, L);
    if (lua_gettop(L) == top) lua_pushnil(L);
}

sprite_object* to_sprite(lua_State* L, int index) {
    if (!lua_islightuserdata(L, index)) return nullptr;
    void* p = lua_touserdata(L, index);
    return live_object_is(p, live_sprite) ? static_cast<sprite_object*>(p) : nullptr;
}

lua_State* actions_lua(lua_State* L) {
    action_manager* manager = action_manager::instance();
    return manager && manager->lua() ? manager->lua() : L;
}

#define ACTOR_OR(n)                      \
    actor_object* actor = to_actor(L, 1); \
    if (!actor) return nils(L, n)

// A killed actor's record stays reachable while a lock holds it, but its
// class, sprite and slots are gone: nothing may be attached to it again.
actor_object* to_live_record(lua_State* L, int index) {
    actor_object* actor = to_actor(L, index);
    return actor && actor->cls ? actor : nullptr;
}

// The collision debug view; with only the switch the layer id is -1.
int show_collision(lua_State* L) {
    int32_t layer = lua_gettop(L) >= 2 ? arg_int(L, 2) : -1;
    body_render_show(collision_manager::instance(), lua_toboolean(L, 1) != 0, layer);
    return 0;
}

int show_collision_layer(lua_State* L) {
    body_render_filter(lua_isnoneornil(L, 1) ? 0x10000 : arg_int(L, 1));
    return 0;
}

int class_create(lua_State* L) { return actor_class_create(L); }
int create(lua_State* L) { return actor_create(L); }

int get(lua_State* L) {
    void* p = to_object(L, 1);
    if (!p) return nils(L, 1);
    lua_pushlightuserdata(L, p);
    return 1;
}

int class_get(lua_State* L) {
    st_actor_class* cls = to_actor_class(L, 1);
    if (!cls) return nils(L, 1);
    lua_pushlightuserdata(L, cls);
    return 1;
}

int class_exlock(lua_State* L) {
    st_actor_class* cls = to_actor_class(L, 1);
    if (!cls) {
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = true;
    if ((cls->flags & class_lock_on_demand) && cls->sprite_class &&
        !(cls->flags & (class_sprite_locked | class_sprite_loading))) {
        const bool background = lua_toboolean(L, 2) != 0;
        ok = sprite_class::lock(cls->sprite_class, background);
        cls->flags |= background ? class_sprite_loading : class_sprite_locked;
    }
    lua_pushboolean(L, ok);
    return 1;
}

int class_is_locked(lua_State* L) {
    st_actor_class* cls = to_actor_class(L, 1);
    if (!cls) return nils(L, 1);
    if (!cls->sprite_class || (cls->flags & class_sprite_locked)) {
        lua_pushboolean(L, 1);
        return 1;
    }
    const int32_t result = sprite_class::finish_lock(cls->sprite_class);
    if (result == 0) {
        lua_pushboolean(L, 0);
        return 1;
    }
    cls->flags &= ~class_sprite_loading;
    if (result < 0) return nils(L, 1);
    cls->flags |= class_sprite_locked;
    lua_pushboolean(L, 1);
    return 1;
}

int class_dispose(lua_State* L) {
    st_actor_class* cls = to_actor_class(L, 1);
    if (cls && actor_manager::instance()) actor_manager::instance()->discard_class(cls);
    return 0;
}

int class_name(lua_State* L) {
    ACTOR_OR(1);
    lua_pushstring(L, actor->cls ? actor->cls->name.c_str() : "");
    return 1;
}

int class_type(lua_State* L) {
    ACTOR_OR(1);
    const uint32_t flags = actor->cls ? actor->cls->flags : 0;
    if (lua_isnoneornil(L, 2)) {
        lua_pushnumber(L, flags);
    } else {
        const uint32_t mask = script_truncate_uint(lua_tonumber(L, 2));
        lua_pushboolean(L, (flags & mask) == mask);
    }
    return 1;
}

int class_extend(lua_State* L) {
    ACTOR_OR(1);
    if (!actor->cls) return nils(L, 1);
    push_value(L, actor->cls->extend);
    return 1;
}

int lock(lua_State* L) {
    if (actor_object* actor = to_actor(L, 1)) ++actor->ref_count;
    return 0;
}

int unlock(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    // The manager's own reference goes only with the final kill.
    if (!(actor->flags & actor_dead) && actor->ref_count <= 1) return 0;
    if (--actor->ref_count <= 0) actor->flags = actor_released;
    return 0;
}

int axis(lua_State* L, const float* values) {
    lua_pushnumber(L, *values);
    return 1;
}
int x(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->position[0]); }
int y(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->position[1]); }
int z(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->position[2]); }
int vx(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->vector[0]); }
int vy(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->vector[1]); }
int vz(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->vector[2]); }

int triple(lua_State* L, const float* v) {
    lua_pushnumber(L, v[0]);
    lua_pushnumber(L, v[1]);
    lua_pushnumber(L, v[2]);
    return 3;
}
int position(lua_State* L) { ACTOR_OR(3); return triple(L, actor->position); }
int vector(lua_State* L) { ACTOR_OR(3); return triple(L, actor->vector); }

int set_position(lua_State* L) {
    if (actor_object* actor = to_actor(L, 1)) actor->set_position(arg_float(L, 2), arg_float(L, 3), arg_float(L, 4));
    return 0;
}

int set_vector(lua_State* L) {
    if (actor_object* actor = to_actor(L, 1)) actor->set_vector(arg_float(L, 2), arg_float(L, 3), arg_float(L, 4));
    return 0;
}

int angular(lua_State* L) { ACTOR_OR(1); return axis(L, &actor->angular); }

int set_angular(lua_State* L) {
    if (actor_object* actor = to_actor(L, 1)) {
        actor->angular = arg_float(L, 2);
        if (actor->body) actor->body->spin = actor->angular;
    }
    return 0;
}

// The body turns to the angle in one step.
int set_rotate_angular(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    actor->angular = actor->body ? arg_float(L, 2) - actor->body->angle : 0.0f;
    if (actor->body) actor->body->spin = actor->angular;
    return 0;
}

int rotate(lua_State* L) {
    ACTOR_OR(1);
    lua_pushnumber(L, actor->body ? actor->body->angle : 0.0f);
    return 1;
}

int set_rotate(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (actor && actor->body) body_set_angle(actor->body, arg_float(L, 2));
    return 0;
}

int zorder(lua_State* L) {
    ACTOR_OR(1);
    lua_pushnumber(L, actor->zorder);
    return 1;
}

int set_zorder(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    actor->zorder = arg_int(L, 2);
    if (actor->sprite) actor->sprite->zorder = actor->zorder;
    return 0;
}

int way(lua_State* L) {
    ACTOR_OR(1);
    lua_pushnumber(L, actor->way);
    return 1;
}

int sprite(lua_State* L) {
    ACTOR_OR(1);
    if (!actor->sprite) return nils(L, 1);
    lua_pushlightuserdata(L, actor->sprite);
    return 1;
}

void delete_sprite(actor_object* actor) {
    delete actor->sprite;
    actor->sprite = nullptr;
}

int set_sprite(lua_State* L) {
    actor_object* actor = to_live_record(L, 1);
    if (!actor) return 0;
    sprite_object* given = to_sprite(L, 2);
    if (given && given == actor->sprite) return 0;
    // Another actor's sprite stays with that actor.
    if (given && given->owner && given->owner != actor) return 0;
    delete_sprite(actor);
    actor->sprite = given;
    if (given) {
        given->owner = actor;
        given->release_when_ended = false;  // the actor owns it now
    }
    return 0;
}

int transfer_sprite(lua_State* L) {
    actor_object* to = to_live_record(L, 1);
    actor_object* from = to_live_record(L, 2);
    if (!to || !from || to == from) return 0;
    delete_sprite(to);
    to->sprite = from->sprite;
    from->sprite = nullptr;
    if (to->sprite) to->sprite->owner = to;
    return 0;
}

int sprite_extend(lua_State* L) {
    ACTOR_OR(1);
    const script_value* value = actor->sprite ? actor->sprite->frame_extend() : nullptr;
    if (!value) return nils(L, 1);
    push_value(L, *value);
    return 1;
}

int offset(lua_State* L) {
    ACTOR_OR(2);
    const float* base = actor->cls ? actor->cls->sprite_offset : actor->sprite_offset;
    if (lua_isnoneornil(L, 2) && lua_isnoneornil(L, 3)) {
        lua_pushnumber(L, actor->sprite_offset[0] - base[0]);
        lua_pushnumber(L, actor->sprite_offset[1] - base[1]);
        return 2;
    }
    actor->sprite_offset[0] = base[0] + arg_float(L, 2);
    actor->sprite_offset[1] = base[1] + arg_float(L, 3);
    actor->sprite_offset[2] = base[2];
    actor->set_position(actor->position[0], actor->position[1], actor->position[2]);
    return 0;
}

int set_clip(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    sprite_object* s = actor ? actor->sprite : nullptr;
    if (!s || !s->cls) return 0;
    if (lua_gettop(L) < 5) {
        s->set_sub_rect(0, 0, s->cls->cx, s->cls->cy);
        return 0;
    }
    // The rectangle is given around the pivot; the frame cell has its own.
    const float px = s->cls->centers[s->way][0], py = s->cls->centers[s->way][1];
    s->set_sub_rect(script_truncate_int(lua_tonumber(L, 2) + px), script_truncate_int(lua_tonumber(L, 3) + py),
                    script_truncate_int(lua_tonumber(L, 4) + px), script_truncate_int(lua_tonumber(L, 5) + py));
    return 0;
}

int blend_state(lua_State* L) {
    ACTOR_OR(1);
    lua_pushnumber(L, actor->blend & 0xFF);
    return 1;
}

int set_blend_state(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    actor->blend = uint32_t(arg_int(L, 2)) & 0xFF;
    if (actor->sprite) actor->sprite->blend = (actor->sprite->blend & ~0xFFu) | actor->blend;
    return 0;
}

int visible(lua_State* L) {
    ACTOR_OR(1);
    lua_pushboolean(L, !(actor->flags & actor_hidden_by_script));
    return 1;
}

int set_visible(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) return 0;
    if (lua_toboolean(L, 2)) {
        actor->flags &= ~actor_hidden_by_script;
        // The run state may still hide it.
        if (actor->sprite && (actor->flags & actor_run_mask) < run_waiting) actor->sprite->flags &= ~sprite_hidden;
    } else {
        actor->flags |= actor_hidden_by_script;
        if (actor->sprite) actor->sprite->flags |= sprite_hidden;
    }
    return 0;
}

int state(lua_State* L) {
    ACTOR_OR(1);
    const sprite_object* s = actor->sprite;
    lua_pushnumber(L, !s ? 0 : (s->pending_state >= 0 ? s->pending_state : s->state));
    return 1;
}

int play(lua_State* L) {
    ACTOR_OR(1);
    if (!actor->cls) {
        lua_pushboolean(L, 0);
        return 1;
    }
    const auto& sounds = actor->cls->sounds;
    uint32_t n = lua_to_uint(L, 2);
    lua_pushboolean(L, n < sounds.size() && actor_play_sound(actor, sounds[n]));
    return 1;
}

int body_attr(lua_State* L) {
    ACTOR_OR(1);
    const uint32_t mask = lua_isnoneornil(L, 2) ? 0xFFFFFFFFu : lua_to_uint(L, 2);
    lua_pushnumber(L, actor->body ? (actor->body->attr.attr & mask) : 0);
    return 1;
}

int set_body_attr(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor || !actor->body) return 0;
    const uint32_t bits = lua_to_uint(L, 2);
    uint32_t& attr = actor->body->attr.attr;
    attr = lua_toboolean(L, 3) ? (attr | bits) : (attr & ~bits);
    return 0;
}

// Without n the frames (or the class) choose the shape again; with n the
// class's shape n, none when there is no such shape.
int set_body_shape(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor || !actor->body || !actor->cls || (actor->flags & actor_body_lent)) return 0;
    if (lua_isnoneornil(L, 2)) {
        actor->body_shape_fixed = false;
        if (actor->cls->body_index) {
            actor->follow_frame_shapes(actor->sprite);
        } else {
            body_set_shape(actor->body, actor->cls->body_shape);
        }
        return 0;
    }
    const int32_t n = arg_int(L, 2);
    const std::vector<st_shape*>& shapes = actor->cls->shapes;
    actor->body_shape_fixed = true;
    body_set_shape(actor->body, n >= 0 && size_t(n) < shapes.size() ? shapes[size_t(n)] : nullptr);
    return 0;
}

// The numbers of a class shape seen as the part asked for: a box's four
// bounds, a circle's centre and radius.
int shape(lua_State* L) {
    ACTOR_OR(1);
    const int32_t index = arg_int(L, 2), part = arg_int(L, 3);
    const std::vector<st_shape*>* shapes = actor->cls ? &actor->cls->shapes : nullptr;
    if (!shapes || index < 0 || size_t(index) >= shapes->size()) return nils(L, 1);
    const st_shape* s = (*shapes)[size_t(index)];
    if (!s || s->type != uint32_t(part)) return nils(L, 1);
    if (part == int32_t(shape_box)) {
        for (float v : s->bounds) lua_pushnumber(L, v);
        return 4;
    }
    if (part == int32_t(shape_circle)) {
        for (float v : s->circle) lua_pushnumber(L, v);
        return 3;
    }
    return nils(L, 1);
}

int move(lua_State* L) {
    ACTOR_OR(2);
    const int32_t code = actor->move();
    lua_pushboolean(L, code != -1);
    lua_pushnumber(L, code);
    return 2;
}

int move2(lua_State* L) {
    ACTOR_OR(2);
    const uint32_t code = actor->move2();
    lua_pushboolean(L, code == 0);
    lua_pushnumber(L, code);
    return 2;
}

int collide_info(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor || !actor->body) return nils(L, 2);
    const st_body* b = actor->body;
    lua_pushnumber(L, b->collide);
    void* other = b->collided && (b->collided->attr.attr & attr_owned)
                      ? body_script_owner(collision_manager::instance(), b->collided)
                      : nullptr;
    if (other) {
        lua_pushlightuserdata(L, other);
    } else {
        lua_pushnil(L);
    }
    return 2;
}

int collision(lua_State* L) {
    collision_manager* m = collision_manager::instance();
    const int32_t request = lua_type(L, 1) == LUA_TNUMBER ? arg_int(L, 1) : -1;
    if (!m || !m->set_request(request)) system_log_trace(1, "actor.collision", "invalid request");
    return 0;
}

// A z given must name the body's layer.
int inside(lua_State* L) {
    ACTOR_OR(1);
    const st_body* b = actor->body;
    bool in = b && b->shape &&
              shape_contains_point(b->shape, b->position[0], b->position[1], arg_float(L, 2), arg_float(L, 3));
    if (in && !lua_isnoneornil(L, 4)) in = arg_int(L, 4) == b->layer;
    lua_pushboolean(L, in);
    return 1;
}

int act_state(lua_State* L) {
    ACTOR_OR(1);
    if (lua_isnoneornil(L, 2)) {
        lua_pushnumber(L, actor->flags);
        return 1;
    }
    // A released record's flag word says when it may be freed.
    if (!actor->cls) return 0;
    const uint32_t bits = script_truncate_uint(lua_tonumber(L, 2));
    if (lua_gettop(L) >= 3 && !lua_toboolean(L, 3)) {
        actor->flags &= ~bits;
    } else {
        actor->flags |= bits;
        // A death set by hand is seen by this frame's disposal.
        if (bits & (actor_dead | actor_dying))
            if (actor_manager* manager = actor_manager::instance()) manager->note_change();
    }
    return 0;
}

int sleep(lua_State* L) {
    if (actor_object* actor = to_live_record(L, 1)) actor->set_sleep(lua_toboolean(L, 2) != 0);
    return 0;
}

int is_sleep(lua_State* L) {
    ACTOR_OR(1);
    lua_pushboolean(L, (actor->flags & actor_asleep) != 0);
    return 1;
}

int is_alive(lua_State* L) {
    ACTOR_OR(1);
    lua_pushboolean(L, !(actor->flags & actor_dead) && actor->cls && !(actor->cls->flags & class_disabled));
    return 1;
}

int kill(lua_State* L) {
    if (actor_object* actor = to_actor(L, 1)) actor_kill(actor);
    return 0;
}

int extend(lua_State* L) {
    ACTOR_OR(1);
    push_value(L, actor->extend);
    return 1;
}

int set_extend(lua_State* L) {
    actor_object* actor = to_live_record(L, 1);
    if (!actor) return 0;
    script_value_release(actor->extend, L);
    lua_settop(L, 2);
    const int32_t ref = world_ref_take(L);
    if (ref > 0) actor->extend = script_value::reference(ref);
    return 0;
}

int parent(lua_State* L) {
    ACTOR_OR(1);
    lua_pushlightuserdata(L, actor->parent);
    return 1;
}

int action(lua_State* L) {
    ACTOR_OR(1);
    const int32_t n = arg_int(L, 2);
    if (n < 0 || n >= int32_t(slot_count)) return nils(L, 1);
    const action_slot& slot = actor->slots[n];
    if (slot.entry != action_manager::script_action || slot.data == 0) return nils(L, 1);
    world_ref_push(L, int32_t(slot.data));
    return 1;
}

// A running coroutine must not lose its slot under its own feet.
bool runs_in_slot(const actor_object* actor, lua_State* L) {
    for (const action_slot& slot : actor->slots) {
        if (slot.state.kind == script_value_object && slot.entry == coaction::act_main &&
            value_pointer_of<coaction>(slot.state)->thread == L) {
            return true;
        }
    }
    return false;
}

int action_class(lua_State* L) {
    ACTOR_OR(1);
    if (!actor->cls) {
        lua_pushboolean(L, 0);
        return 1;
    }
    st_actor_class* cls = lua_isnoneornil(L, 2) ? actor->cls : to_actor_class(L, 2);
    action_manager* manager = action_manager::instance();
    bool ok = cls && manager && !runs_in_slot(actor, L);
    for (uint32_t i = 0; ok && i < slot_count; ++i) {
        action_slot_release(actor->slots[i], manager->lua());
        ok = action_slot_bind(manager, actor, &cls->actions[i], &actor->slots[i], {0, 0});
    }
    lua_pushboolean(L, ok);
    return 1;
}

int name(lua_State* L) {
    ACTOR_OR(1);
    const named_object_entry* entry = actor->named;
    if (!entry || entry->name.empty()) return nils(L, 1);
    lua_pushstring(L, entry->name.c_str());
    return 1;
}

int store_data(lua_State* L) {
    ACTOR_OR(1);
    if (!actor->named) return nils(L, 1);
    push_value(L, actor->named->stored);
    return 1;
}

int set_store_data(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    named_object_entry* entry = actor ? actor->named : nullptr;
    if (!entry || entry->name.empty() || entry->actor != actor) return 0;
    lua_State* AL = actions_lua(L);
    script_value_release(entry->stored, AL);
    lua_settop(L, 2);
    if (AL != L) lua_xmove(L, AL, 1);
    const int32_t ref = world_ref_take(AL);
    if (ref > 0) entry->stored = script_value::reference(ref);
    return 0;
}

int frame_rate(lua_State* L) {
    object_manager* objects = object_manager::instance();
    lua_pushnumber(L, objects ? objects->act_rate : 1.0);
    return 1;
}

int set_frame_rate(lua_State* L) {
    if (object_manager* objects = object_manager::instance()) {
        objects->set_act_rate(lua_isnumber(L, 1) ? float(lua_tonumber(L, 1)) : 1.0f);
    }
    return 0;
}

int act_frame(lua_State* L) {
    object_manager* objects = object_manager::instance();
    lua_pushboolean(L, objects && objects->act_frame);
    return 1;
}

const char* describe(lua_State* L, int index, string& out) {
    script_value_text(L, index, out);
    return out.c_str();
}

int throw_event(lua_State* L) {
    const int args = lua_gettop(L);
    actor_object* to = to_actor(L, 1);
    void* from = to_object(L, 2);
    const char* reason = nullptr;
    if (!to) {
        reason = "invalid actor";
    } else if (!lua_isnumber(L, 3)) {
        reason = "invalid event id";
    } else {
        const int32_t event = arg_int(L, 3);
        if (args < 4) lua_settop(L, 4);
        lua_State* AL = actions_lua(L);
        script_value value = script_value::stack(4);
        if (AL != L) {
            lua_pushvalue(L, 4);
            lua_xmove(L, AL, 1);
            value = script_value::stack(lua_gettop(AL));
        }
        const int32_t result = actor_throw_event(to, event, from, value);
        if (AL != L) lua_pop(AL, 1);
        if (result != 0) reason = "call_action is failed";
    }
    if (reason) {
        string a, b, c;
        system_log_trace(1, "actors.throw", "to=%s, from=%s, event=%s, reason=%s", describe(L, 1, a),
                         describe(L, 2, b), describe(L, 3, c), reason);
        script_call_stack_trace(L, nullptr, "actors.throw");
    }
    return 0;
}

int wait(lua_State* L) { return lua_yield(L, 0); }

int owner(lua_State* L) {
    extend_action* action = extend_action::get_object(L, 1);
    if (!action || !action->owner) return nils(L, 1);
    lua_pushlightuserdata(L, action->owner);
    return 1;
}

int extend_action_tables(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    if (!actor) {
        system_log_trace(1, "actors.extend_action", "invalid actor");
        return 0;
    }
    action_manager* manager = action_manager::instance();
    const int top = lua_gettop(L);
    int32_t left = actor->extend_count;
    // Binding may run script code; walk with the list's own protection.
    ++manager->walking;
    for (auto it = manager->extend_list().begin(); it != manager->extend_list().end() && left > 0; ++it) {
        extend_action* a = *it;
        if (!a || a->owner != actor) continue;
        --left;
        lua_checkstack(L, 2);
        a->bind(L);
    }
    --manager->walking;
    manager->drop_holes();
    return lua_gettop(L) - top;
}

const luaL_Reg functions[] = {
    {"class_create", class_create},
    {"create", create},
    {"get", get},
    {"class_get", class_get},
    {"class_exlock", class_exlock},
    {"class_is_locked", class_is_locked},
    {"class_dispose", class_dispose},
    {"class_name", class_name},
    {"class_type", class_type},
    {"class_extend", class_extend},
    {"lock", lock},
    {"unlock", unlock},
    {"x", x},
    {"y", y},
    {"z", z},
    {"position", position},
    {"set_position", set_position},
    {"vx", vx},
    {"vy", vy},
    {"vz", vz},
    {"vector", vector},
    {"set_vector", set_vector},
    {"angular", angular},
    {"set_angular", set_angular},
    {"set_rotate_angular", set_rotate_angular},
    {"rotate", rotate},
    {"set_rotate", set_rotate},
    {"zorder", zorder},
    {"set_zorder", set_zorder},
    {"way", way},
    {"sprite", sprite},
    {"set_sprite", set_sprite},
    {"transfer_sprite", transfer_sprite},
    {"sprite_extend", sprite_extend},
    {"offset", offset},
    {"set_clip", set_clip},
    {"blend_state", blend_state},
    {"set_blend_state", set_blend_state},
    {"visible", visible},
    {"set_visible", set_visible},
    {"state", state},
    {"play", play},
    {"show_collision", show_collision},
    {"show_collision_layer", show_collision_layer},
    {"body_attr", body_attr},
    {"set_body_attr", set_body_attr},
    {"set_body_shape", set_body_shape},
    {"shape", shape},
    {"move", move},
    {"move2", move2},
    {"collision", collision},
    {"intersect", actors_intersect},
    {"collide_info", collide_info},
    {"inside", inside},
    {"act_state", act_state},
    {"sleep", sleep},
    {"is_sleep", is_sleep},
    {"is_alive", is_alive},
    {"kill", kill},
    {"extend", extend},
    {"set_extend", set_extend},
    {"parent", parent},
    {"action", action},
    {"action_class", action_class},
    {"name", name},
    {"store_data", store_data},
    {"set_store_data", set_store_data},
    {"frame_rate", frame_rate},
    {"set_frame_rate", set_frame_rate},
    {"act_frame", act_frame},
    {"throw", throw_event},
    {"wait", wait},
    {"owner", owner},
    {"extend_action", extend_action_tables},
    {nullptr, nullptr},
};
}  // namespace

// Speed, way, placement and the collision world's settings.
extern const luaL_Reg actors_motion_functions[];

void actors_library_register(lua_State* L) {
    luaL_register(L, "actors", functions);
    actor_groups_library_register(L);
    luaL_register(L, nullptr, actors_motion_functions);
    lua_pop(L, 1);
}
