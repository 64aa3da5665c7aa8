#include "world/actor_object.h"

#include "world/named_objects.h"

#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/collision_manager.h"
#include "world/extend_action.h"
#include "world/live_objects.h"
#include "world/object_container.h"
#include "world/sprite_class.h"
#include "world/sprite_object.h"

namespace {
lua_State* action_lua() {
    action_manager* manager = action_manager::instance();
    return manager ? manager->lua() : nullptr;
}

bool manager_releasing() {
    actor_manager* manager = actor_manager::instance();
    return manager && manager->releasing;
}
}  // namespace

actor_object* running_actor = nullptr;
uint32_t actor_destructions = 0;

actor_object::actor_object(st_actor_class* c) : cls(c) {
    if (cls) ++cls->use_count;
    live_object_add(this, live_actor);
}

actor_object::~actor_object() {
    running_actor = nullptr;
    ++actor_destructions;
    release();
    if (named) --named->users;
    live_object_remove(this);
}

void actor_object::release() {
    if (!cls) return;
    lua_State* L = action_lua();
    extend_actions_destroy(this);
    for (action_slot& slot : slots) action_slot_release(slot, L);
    delete sprite;
    sprite = nullptr;
    // A lent body is the lender's; our own ones go at the next disposal.
    if (flags & actor_body_lent) {
        flags &= ~actor_body_lent;
    } else {
        body_release(body);
    }
    body = nullptr;
    body_release(sensor);
    sensor = nullptr;
    script_value_release(extend, L);
    if (parent) {
        if (!manager_releasing()) --parent->child_count;
        actor_ref_release(parent);
    }
    st_actor_class* c = cls;
    cls = nullptr;
    actor_manager* manager = actor_manager::instance();
    if (manager) {
        manager->drop_class_use(c);
    } else {
        --c->use_count;
    }
    if (named && named->actor == this) named->actor = nullptr;
    if (id && object_container::instance()) object_container::instance()->erase(id);
    id = 0;
}

namespace {
void enable_body(st_body* body, bool on) {
    if (!body || (body->flags & body_flag_release)) return;
    body->flags = uint8_t(on ? (body->flags | body_flag_enabled) : (body->flags & ~body_flag_enabled));
}

void place_body(st_body* body, const float position[3]) {
    if (!body) return;
    body->position[0] = position[0];
    body->position[1] = position[1];
    body->layer = int32_t(position[2]);
}
}  // namespace

bool actor_object::set_run_state(uint32_t state) {
    flags = (flags & ~actor_run_mask) | (state & actor_run_mask);
    if (state == run_running || state == run_waiting || state == run_frozen) {
        enable_body(body, state == run_running);
        enable_body(sensor, state == run_running);
    }
    if (state != run_running) {
        if (actor_manager* manager = actor_manager::instance()) manager->note_change();
    }
    if (state == run_running) {
        if (sprite) {
            if (!(flags & actor_hidden_by_script)) sprite->flags &= ~sprite_hidden;
            sprite->flags &= ~sprite_paused;
        }
        return extend_actions_resume(this);
    }
    if (state == run_waiting || state == run_frozen) {
        if (sprite) sprite->flags |= sprite_hidden | sprite_paused;
        return extend_actions_suspend(this);
    }
    return true;
}

bool actor_object::start(bool first) {
    if (!actor_is_alive(this)) return true;  // its death is seen at the end of the frame
    if (!set_run_state(run_running)) return false;
    set_position(position[0], position[1], position[2]);
    set_vector(vector[0], vector[1], vector[2]);
    actor_send_system_event(this, first ? event_first_activation : event_activation, {0, 0});
    if (first && cls->start_event > 0) actor_call_slot(this, slot_catch, nullptr, cls->start_event, {0, 0});
    return true;
}

void actor_object::set_position(float x, float y, float z) {
    position[0] = x;
    position[1] = y;
    position[2] = z;
    if (sprite) {
        sprite->x = x + sprite_offset[0];
        sprite->y = y + sprite_offset[1];
        sprite->z = z + sprite_offset[2];
    }
    place_body(body, position);
    place_body(sensor, position);
}

void actor_object::set_vector(float x, float y, float z) {
    vector[0] = x;
    vector[1] = y;
    vector[2] = z;
    if (body) {
        body->vector[0] = x;
        body->vector[1] = y;
    }
}

bool actor_object::set_way(int32_t w) {
    if (w < 0 || w > 7) return false;
    way = w;
    if (sprite) sprite->set_way(w);
    if (sensor && cls && cls->sensor_index == 0) body_set_shape(sensor, cls->sensor_shapes[w]);
    return true;
}

bool actor_object::make_bodies() {
    collision_manager* m = collision_manager::instance();
    if (!m || !cls) return true;
    if (cls->has_body) {
        st_shape* shape = cls->body_index == 0 ? cls->body_shape : nullptr;
        body = (cls->flags & class_no_body_move) ? m->add_reactor(this, cls->body_attr, shape)
                                                 : m->add_body(this, cls->body_attr, shape);
        if (!body) return false;
        body->owner_kind = owner_actor;
        body->vector[0] = vector[0];
        body->vector[1] = vector[1];
    }
    if (cls->has_sensor) {
        sensor = m->add_sensor(this, cls->sensor_attr, cls->sensor_index == 0 ? cls->sensor_shapes[way] : nullptr);
        if (!sensor) return false;
        sensor->owner_kind = owner_actor;
    }
    place_body(body, position);
    place_body(sensor, position);
    const bool running = (flags & actor_run_mask) == run_running;
    enable_body(body, running);
    enable_body(sensor, running);
    follow_frame_shapes(sprite);
    return true;
}

void actor_object::follow_frame_shapes(const sprite_object* source) {
    const st_sprite_class* sc = source ? source->cls : nullptr;
    if (!sc || !cls || source->frame < 0 || size_t(source->frame) >= sc->frames.size()) return;
    const st_sprite_frame* frame = &sc->frames[size_t(source->frame)];
    const int32_t w = source->way & 7;
    if (body && cls->body_index && !(flags & actor_body_lent) && !body_shape_fixed) {
        body_set_shape(body, frame->shapes[cls->body_index - 1][w]);
    }
    if (sensor && cls->sensor_index) body_set_shape(sensor, frame->shapes[cls->sensor_index - 1][w]);
}

void actor_object::attach_body(st_body* lent) {
    if (!(flags & actor_body_lent)) body_release(body);
    body = lent;
    if (!lent) {
        flags &= ~actor_body_lent;
        return;
    }
    flags |= actor_body_lent;
    lent->owner = this;
    lent->owner_kind = owner_actor;
    lent->vector[0] = vector[0];
    lent->vector[1] = vector[1];
}

void actor_object::apply_body_position(st_body* moved) {
    position[0] = moved->position[0];
    position[1] = moved->position[1];
    position[2] = float(moved->layer);
    if (sprite) {
        sprite->x = position[0] + sprite_offset[0];
        sprite->y = position[1] + sprite_offset[1];
        sprite->z = position[2] + sprite_offset[2];
    }
    if (moved != body) place_body(body, position);
    if (moved != sensor) place_body(sensor, position);
}

int32_t actor_object::move() {
    collision_manager* m = collision_manager::instance();
    if (!m || !body || (cls && (cls->flags & class_no_body_move))) {
        set_position(position[0], position[1], position[2]);
        return 0;
    }
    return m->move_body(body);
}

uint32_t actor_object::move2() {
    collision_manager* m = collision_manager::instance();
    if (!m || !body || (cls && (cls->flags & class_no_body_move))) {
        set_position(position[0], position[1], position[2]);
        return 0;
    }
    return body_move(m, body, nullptr);
}

void actor_object::set_sleep(bool asleep) {
    if (asleep) {
        flags |= actor_asleep;
    } else {
        flags &= ~actor_asleep;
    }
    update_visibility();
    actor_send_system_event(this, asleep ? event_asleep : event_woken, {0, 0});
}

void actor_object::set_act_level(int32_t level) {
    act_level = level <= 255 ? level : int32_t(cls ? (cls->flags & class_level_mask) : 0);
    update_visibility();
}

void actor_object::update_visibility() {
    if (!sprite) return;
    actor_manager* manager = actor_manager::instance();
    if (actor_is_active(this, manager ? manager->act_level : 255)) {
        sprite->flags &= ~sprite_paused;
    } else {
        sprite->flags |= sprite_paused;
    }
}

void actor_ref_release(actor_object*& ref) {
    actor_object* old = ref;
    ref = nullptr;
    if (!old || manager_releasing()) return;
    if (--old->ref_count <= 0) old->flags = actor_released;
}

void actor_ref_assign(actor_object*& ref, actor_object* actor) {
    if (ref == actor) return;
    actor_ref_release(ref);
    ref = actor;
    if (actor) ++actor->ref_count;
}

bool actor_is_alive(const actor_object* actor) {
    if (actor->flags & (actor_dead | actor_dying)) return false;
    if (!actor->cls || (actor->cls->flags & class_disabled)) return false;
    return !(actor->sprite && actor->sprite->frame_events[0] < 0);
}

int32_t actor_call_slot(actor_object* actor, uint32_t slot, void* context, int32_t event,
                        script_value value) {
    action_slot* s = &actor->slots[slot];
    return s->entry ? s->entry(actor, context, s, event, value) : 0;
}

int32_t actor_throw_event(actor_object* actor, int32_t event, void* context, script_value value) {
    if (event < 0) {
        actor_kill(actor);
        return 0;
    }
    if ((actor->flags & actor_dead) || !actor->cls || (actor->cls->flags & class_disabled)) return 0;
    return actor_call_slot(actor, slot_catch, context, event, value);
}

int32_t actor_send_system_event(actor_object* actor, int32_t event, script_value value) {
    if (!actor->cls || !(actor->cls->flags & class_system_events)) return 0;
    if (!actor->slots[slot_catch].entry) return 0;
    return actor_call_slot(actor, slot_catch, nullptr, event, value);
}

void actor_kill(actor_object* actor) {
    if (!actor->cls || (actor->flags & actor_dying)) return;
    actor_send_system_event(actor, event_kill, {0, 0});
    actor->flags |= actor_dying;
    if (actor_manager* manager = actor_manager::instance()) manager->note_change();
    if (actor->sprite) actor->sprite->flags |= sprite_hidden;
    if (actor->cls && actor->cls->dead_event > 0) {
        actor_call_slot(actor, slot_catch, nullptr, actor->cls->dead_event, {0, 0});
    }
}
