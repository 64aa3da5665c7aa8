#include "actions/shape_action.h"

#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/collision_manager.h"
#include "world/sprite_class.h"
#include "world/sprite_object.h"
#include "world/table_readers.h"

namespace {
// What a shape table may be relative to: the class box, or without one
// the sprite class's centre and frame.
shape_frame class_frame(const actor_object* owner) {
    shape_frame frame = {{0, 0}, {0, 0, 0, 0}};
    const st_actor_class* cls = owner ? owner->cls : nullptr;
    if (!cls) return frame;
    if (cls->rect[2] != cls->rect[0]) {
        frame.origin[0] = float(int32_t((cls->rect[0] + cls->rect[2]) / 2));
        frame.origin[1] = float(int32_t((cls->rect[1] + cls->rect[3]) / 2));
        for (int i = 0; i < 4; ++i) frame.rect[i] = int32_t(cls->rect[i]);
    } else if (const st_sprite_class* sc = cls->sprite_class) {
        frame.origin[0] = sc->centers[0][0];
        frame.origin[1] = sc->centers[0][1];
        frame.rect[2] = sc->cx;
        frame.rect[3] = sc->cy;
    }
    return frame;
}

st_shape* frame_shape(const actor_object* actor, int32_t set) {
    const sprite_object* sprite = actor ? actor->sprite : nullptr;
    const st_sprite_class* sc = sprite ? sprite->cls : nullptr;
    if (!sc || sprite->frame < 0 || size_t(sprite->frame) >= sc->frames.size()) return nullptr;
    if (set < 1 || set > int32_t(shape_set_count)) return nullptr;
    return sc->frames[size_t(sprite->frame)].shapes[set - 1][sprite->way & 7];
}
}  // namespace

shape_action::~shape_action() {
    lend(-1);
    for (body_entry& b : bodies) {
        body_release(b.body);
        b.body = nullptr;
    }
    for (shape_entry& e : shapes) clear_entry(e);
    actor_ref_release(reference);
}

void shape_action::set_reference(actor_object* actor) { actor_ref_assign(reference, actor); }

shape_entry* shape_action::entry_for(int32_t i) {
    const size_t at = i < 0 ? shapes.size() : size_t(i);
    if (at >= shape_action_max_entries) return nullptr;
    if (at >= shapes.size()) shapes.resize(at + 1);
    return &shapes[at];
}

void shape_action::drop_uses(int32_t i) {
    for (body_entry& b : bodies) {
        if (b.shape != i) continue;
        if (b.body) body_set_shape(b.body, nullptr);
        b.shape = -1;
    }
}

void shape_action::clear_entry(shape_entry& e) {
    if (e.owned) shape_list_free(e.shape);
    e = shape_entry{};
}

bool shape_action::add_shape_table(int32_t i, lua_State* L, int index) {
    if ((i < 0 ? shapes.size() : size_t(i)) >= shape_action_max_entries) return false;
    // Read first: a table that is no shape leaves the entries as they were.
    shape_list made;
    st_shape* shape = nullptr;
    if (!load_shape(L, index, class_frame(owner), shape, made)) return false;
    shape_entry* e = entry_for(i);
    const int32_t at = int32_t(e - shapes.data());
    // Bodies on the old shape take the new one.
    for (body_entry& b : bodies)
        if (b.shape == at && b.body) body_set_shape(b.body, nullptr);
    clear_entry(*e);
    e->shape = shape;
    e->owned = true;
    for (body_entry& b : bodies)
        if (b.shape == at) refresh(b);
    return true;
}

bool shape_action::add_shape_number(int32_t i, int32_t n, bool set) {
    const st_actor_class* cls = owner ? owner->cls : nullptr;
    if (set ? (n < 1 || n > int32_t(shape_set_count)) : (!cls || n < 0 || size_t(n) >= cls->shapes.size()))
        return false;
    shape_entry* e = entry_for(i);
    if (!e) return false;
    const int32_t at = int32_t(e - shapes.data());
    for (body_entry& b : bodies)
        if (b.shape == at && b.body) body_set_shape(b.body, nullptr);
    clear_entry(*e);
    if (set) {
        e->set = n;
    } else {
        e->shape = cls->shapes[size_t(n)];
    }
    for (body_entry& b : bodies)
        if (b.shape == at) refresh(b);
    return true;
}

void shape_action::remove_shape(int32_t i) {
    if (i < 0 || size_t(i) >= shapes.size()) return;
    drop_uses(i);
    clear_entry(shapes[size_t(i)]);
}

bool shape_action::add_body(int32_t n, int32_t kind, const st_body_attr& attr) {
    const size_t at = n < 0 ? bodies.size() : size_t(n);
    if (at >= shape_action_max_entries) return false;
    if (at < bodies.size()) remove_body(int32_t(at));
    if (at >= bodies.size()) bodies.resize(at + 1);
    body_entry& b = bodies[at];
    b.kind = kind;
    b.attr = attr;
    if (b.attr.id == 0) b.attr.id = uint32_t(at + 1);
    b.shape = -1;
    b.body = nullptr;
    return true;
}

st_shape* shape_action::resolve(int32_t s) const {
    if (s < 0 || size_t(s) >= shapes.size()) return nullptr;
    const shape_entry& e = shapes[size_t(s)];
    if (e.set) return frame_shape(reference ? reference : owner, e.set);
    return e.shape;
}

st_body* shape_action::refresh(body_entry& b) {
    if (!b.body) return nullptr;
    st_shape* shape = resolve(b.shape);
    body_set_shape(b.body, shape);
    return shape ? b.body : nullptr;
}

bool shape_action::set_shape(int32_t n, int32_t s, bool owned) {
    if (n < 0 || size_t(n) >= bodies.size()) return false;
    body_entry& b = bodies[size_t(n)];
    if (s >= 0 && size_t(s) < shapes.size() && !shapes[size_t(s)].empty()) {
        if (b.body) {
            if (b.shape != s) {
                b.shape = s;
                refresh(b);
            }
            return true;
        }
        collision_manager* world = collision_manager::instance();
        if (!world || !owner) return false;
        static const uint32_t kinds[] = {kind_body, kind_sensor, kind_reactor};
        st_body* body = world->body_list_add(owner, b.attr, nullptr, kinds[b.kind - 1], owned);
        if (!body) return false;
        body->owner_kind = owner_actor;
        body->position[0] = owner->position[0];
        body->position[1] = owner->position[1];
        body->layer = int32_t(owner->position[2]);
        b.body = body;
        b.shape = s;
        refresh(b);
        return true;
    }
    if (!b.body) return false;
    body_set_shape(b.body, nullptr);
    b.shape = -1;
    return true;
}

void shape_action::remove_body(int32_t n) {
    if (n < 0 || size_t(n) >= bodies.size()) return;
    if (n == lent) lend(-1);
    body_release(bodies[size_t(n)].body);
    bodies[size_t(n)].body = nullptr;
}

void shape_action::lend(int32_t n) {
    if (!owner) return;
    if (n < 0) {
        if (lent >= 0) owner->attach_body(nullptr);
        lent = -1;
        return;
    }
    if (!has_body(n)) return;
    owner->attach_body(bodies[size_t(n)].body);
    lent = n;
}

void shape_action::place() {
    if (!owner) return;
    for (size_t i = 0; i < bodies.size(); ++i) {
        st_body* body = refresh(bodies[i]);
        if (!body || int32_t(i) == lent) continue;
        body->position[0] = owner->position[0] + offset[0];
        body->position[1] = owner->position[1] + offset[1];
        body->layer = int32_t(owner->position[2]);
    }
}

bool shape_action::move(int32_t n, uint32_t& result) {
    if (!owner || !has_body(n)) return false;
    st_body* body = refresh(bodies[size_t(n)]);
    collision_manager* world = collision_manager::instance();
    if (!body || !world) return false;
    body->layer = int32_t(owner->position[2]);
    body->vector[0] = owner->position[0] + offset[0] - body->position[0];
    body->vector[1] = owner->position[1] + offset[1] - body->position[1];
    body->acceler[0] = body->acceler[1] = 0.0f;
    body->carry[0] = body->carry[1] = 0.0f;
    body->force[0] = body->force[1] = 0.0f;
    body->spin = 0.0f;
    result = body_move(world, body, nullptr);
    return true;
}
