#include "world/collision_body.h"

#include <new>

namespace {
// The transformed copy (ours) back to the pool; the untransformed shape
// becomes the shape tested again.
void drop_copy(st_body* body) {
    if (!body->base) return;
    shape_list_free(body->shape);
    body->shape = body->base;
    body->base = nullptr;
}

void drop_subs(st_body* body) {
    for (uint32_t i = 0; i < body->sub_count; ++i) body_delete(body->subs[i]);
    delete[] body->subs;
    body->subs = nullptr;
    body->sub_count = 0;
}
}  // namespace

st_body* body_create(uint32_t kind, const st_body_attr& attr, st_shape* shape, void* owner, bool owned) {
    st_body* body = new (std::nothrow) st_body();
    if (!body) return nullptr;
    body->attr = attr;
    body->attr.attr = (attr.attr & ~uint32_t(kind_mask)) | (kind & kind_mask) | (owned ? attr_owned : 0);
    body->shape = shape;
    body->owner = owner;
    body->flags = body_flag_enabled;
    return body;
}

void body_delete(st_body* body) {
    if (!body) return;
    if (body->is_sub) {
        shape_list_free(body->shape);
    } else {
        drop_copy(body);
    }
    drop_subs(body);
    delete body;
}

void body_release(st_body* body) {
    if (!body) return;
    body->flags = uint8_t((body->flags | body_flag_release) & ~body_flag_enabled);
}

bool attr_accepts(const st_body_attr& a, uint32_t type) {
    if ((a.attr & attr_other_id) && type == 0) return false;
    const uint32_t cond = a.cond;
    if (cond == 0 || type == 0) return true;
    switch (a.attr & attr_match_mask) {
    case 0x0000000: return (cond & type) != 0;
    case 0x1000000: return (cond & type) == cond;
    case 0x2000000: return (cond & type) != cond;
    case 0x3000000: return (cond & type) == 0;
    case 0x4000000: return type == cond;
    case 0x5000000: return type != cond;
    case 0x6000000: return cond > type;
    default: return type > cond;
    }
}

bool body_matches(const st_body* a, const st_body* b) {
    return (a->flags & b->flags & body_flag_enabled) && attr_accepts(a->attr, b->attr.type);
}

void body_set_shape(st_body* body, st_shape* shape) {
    // Bodies that follow a sprite frame are given their shape every step.
    if (shape && (body->base == shape || (!body->base && body->shape == shape))) return;
    drop_subs(body);
    if (!shape) {
        drop_copy(body);
        body->shape = nullptr;
        return;
    }
    // A new shape starts untransformed; the stored angle and flip are then
    // applied to it afresh (a copy of the old shape must not stay).
    drop_copy(body);
    body->shape = shape;
    body_set_transform(body, body->angle, body->flip, true);
}

void body_set_transform(st_body* body, float angle, uint32_t flip, bool force) {
    flip &= 3;
    const bool rotate = force ? angle != 0.0f : angle != body->angle;
    const bool reflip = force ? flip != 0 : flip != body->flip;
    if (!rotate && !reflip) return;
    body->angle = angle;
    body->flip = 0;
    if (!body->shape && !body->base) {
        body->flip = flip;
        return;
    }
    if (!body->base) {
        body->base = body->shape;
    } else {
        shape_list_free(body->shape);
    }
    body->shape = rotate || angle != 0.0f ? shape_rotate_copy(body->base, angle) : shape_clone(body->base);
    if (!body->shape) {
        // No memory for the copy: the body tests its untransformed shape.
        body->shape = body->base;
        body->base = nullptr;
        return;
    }
    if (flip) {
        shape_flip(body->shape, flip);
        body->flip = flip;
    }
}

void body_set_angle(st_body* body, float angle) {
    if (angle == body->angle) return;
    body_set_transform(body, angle, body->flip, false);
}

void body_clear_shapes(st_body* body) { drop_subs(body); }

bool body_make_subs(st_body* body) {
    if (body->subs) return true;
    const st_shape* shape = body->shape;
    if (!shape || (shape->type != shape_polygon && shape->type != shape_box) || shape->edges.empty()) return false;
    const uint32_t n = uint32_t(shape->edges.size());
    body->subs = new (std::nothrow) st_body*[n]();
    if (!body->subs) return false;
    body->sub_count = n;
    st_body_attr a = body->attr;
    a.attr = (a.attr & ~uint32_t(attr_gravity | attr_resist | attr_split_edges)) | 0xE000;
    for (uint32_t i = 0; i < n; ++i) {
        st_shape* edge = shape_alloc();
        st_body* sub = edge ? body_create(body->attr.attr, a, edge, body->owner, body->attr.attr & attr_owned) : nullptr;
        if (!sub) {
            shape_list_free(edge);
            drop_subs(body);
            return false;
        }
        edge->type = shape_polygon;
        edge->edges.assign(1, shape->edges[i]);
        shape_update_bounds(edge);
        sub->is_sub = true;  // its edge shape is its own
        sub->position[0] = body->position[0];
        sub->position[1] = body->position[1];
        sub->layer = body->layer;
        sub->flags = 0;
        body->subs[i] = sub;
    }
    return true;
}
