#include "world/collision_manager.h"

#include <algorithm>

#include "world/actor_object.h"
#include "world/collision_counters.h"

collision_manager::collision_manager() { reset_settings(); }

collision_manager::~collision_manager() {
    reset();
    collision_counters_detach();
}

void collision_manager::reset_settings() {
    gravity[0] = gravity[1] = gravity[2] = 0.0f;
    resist = 0.0f;
    pass_count = 4;
    request = 0;
    collision_switch = -1;
    defaults = st_body_attr{0, 0, 0, 0, 100.0f, 1.0f, 0.0f, 0.0f};
    layers.clear();
    layers_field = nullptr;
    layers_layer = int32_t(0x80000000);
    layers_active = false;
    attr_format = false;
}

st_body* collision_manager::body_list_add(void* owner, const st_body_attr& attr, st_shape* shape, uint32_t kind,
                                          bool owned) {
    st_body* body = body_create(kind, attr, shape, owner, owned);
    if (!body) return nullptr;
    body_list* lists[4] = {&bodies, &sensors, &effects, &reactors};
    lists[(kind & kind_mask) >> 30]->push_back(body);
    return body;
}

st_body* collision_manager::add_body(void* owner, const st_body_attr& attr, st_shape* shape) {
    return body_list_add(owner, attr, shape, kind_body, owner != nullptr);
}

st_body* collision_manager::add_sensor(void* owner, const st_body_attr& attr, st_shape* shape) {
    return body_list_add(owner, attr, shape, kind_sensor, owner != nullptr);
}

st_body* collision_manager::add_reactor(void* owner, const st_body_attr& attr, st_shape* shape) {
    return body_list_add(owner, attr, shape, kind_reactor, owner != nullptr);
}

bool collision_manager::set_request(int32_t value) {
    if (value != 0 && value != 1) return false;
    request = value;
    collision_switch = value == 0 ? -1 : 0;
    return true;
}

void collision_manager::dispose() {
    // No body may keep pointing at one that goes.
    for (body_list* list : {&bodies, &sensors, &effects, &reactors}) {
        for (st_body* b : *list) {
            if (b->collided && (b->collided->flags & body_flag_release)) b->collided = nullptr;
        }
    }
    for (body_list* list : {&bodies, &sensors, &effects, &reactors}) {
        auto released = [](st_body* b) {
            if (!(b->flags & body_flag_release)) return false;
            if (b->base && b->shape && b->shape->type == shape_in_pool) {
                // Its copy is in the pool already: returning it again would
                // corrupt the pool.
                shape_debug_print("dispose_objects: check_alloc error: %p\n", b->shape);
                b->shape = b->base;
                b->base = nullptr;
            }
            body_delete(b);
            return true;
        };
        list->erase(std::remove_if(list->begin(), list->end(), released), list->end());
    }
}

void collision_manager::reset() {
    for (body_list* list : {&own, &bodies, &sensors, &effects, &reactors}) {
        if (list != &own) {
            for (st_body* b : *list) body_delete(b);
        }
        list->clear();
    }
    reset_settings();
}

void collision_manager::prepare_layers(int32_t layer) {
    const void* current = field ? field->current() : nullptr;
    if (!current) return;
    const int32_t count = field->layer_count();
    if (current != layers_field || layer != layers_layer || layers.size() != size_t(count) + 1) {
        layers.assign(size_t(count) + 1, st_layer_record{});
        int32_t w = 0, h = 0;
        const bool known = field->layer_size(layer, w, h);
        for (int32_t n = 0; n < count; ++n) {
            int32_t lw = 0, lh = 0;
            layers[size_t(n) + 1].collides = known && field->layer_size(n, lw, lh) && lw == w && lh == h;
        }
        layers_field = current;
        layers_layer = layer;
    }
    for (st_layer_record& r : layers) r.best = nullptr;
    layers_active = true;
}

bool collision_manager::layer_passes(int32_t layer, const st_body* b) const {
    if (!layers_active) return layer == b->layer;
    return layers[record_of(b)].collides != 0;
}

size_t collision_manager::record_of(const st_body* b) const {
    if (!layers_active) return 0;
    return b->layer >= 0 && size_t(b->layer) + 1 < layers.size() ? size_t(b->layer) + 1 : 0;
}

uint32_t contact_direction_code(float x, float y) {
    if (x == 0.0f) return y > 0.0f ? 0x0001 : y < 0.0f ? 0x0010 : 0;
    if (y == 0.0f) return x > 0.0f ? 0x0004 : 0x0040;
    const float q = y / x;
    const uint32_t shift = x > 0.0f ? 0 : 4;  // the left half mirrors the right
    if (q >= 0.9f && q <= 1.1f) return 0x0002u << shift;
    if (q >= -1.1f && q <= -0.9f) return 0x0008u << shift;
    if (q > 1.1f) return 0x0100u << shift;
    if (q >= 0.0f) return 0x0200u << shift;
    if (q > -0.9f) return 0x0400u << shift;
    return 0x0800u << shift;
}

void body_owner_moved(st_body* body) {
    if (body->owner_kind != owner_actor || !body->owner) return;
    // An actor follows its own bodies; a shape action's others move alone.
    actor_object* actor = static_cast<actor_object*>(body->owner);
    if (body == actor->body || body == actor->sensor || body->is_sub) actor->apply_body_position(body);
}
