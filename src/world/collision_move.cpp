// The two moves of a body: the sliding move (try the target, then each
// axis alone) and the physical move (sweeps, responses, pushing).
#include <cmath>

#include "graphics/trigon.h"
#include "world/collision_counters.h"
#include "world/collision_manager.h"
#include "world/field.h"

namespace {
inline float dot(float ax, float ay, float bx, float by) { return ax * bx + ay * by; }

bool other_owner(const st_body* a, const st_body* b) { return !a->owner || a->owner != b->owner; }

bool kinematic(const st_body* b) { return (b->attr.attr & attr_kinematic) != 0; }

bool movable(const st_body* b) { return b->owner && b->attr.mass > 0.0f && !kinematic(b); }

// Same checks for every obstacle candidate of a move; counts the pair.
bool candidate(const collision_manager* m, const st_body* a, const st_body* b, const st_body* exclude) {
    if (b == a || b == exclude || !b->shape || !other_owner(a, b)) return false;
    if (!m->layer_passes(a, b) || !body_matches(a, b)) return false;
    collision_count(count_body_test);
    return true;
}

// Steps a body to another field layer where it shows at the same place on
// screen, and tells its owner at once: the move may end without moving.
void step_layer(st_body* a, int32_t step) {
    const float p[3] = {a->position[0], a->position[1], float(a->layer)};
    float view[3];
    field::position_to_view(0, p, view);
    const int32_t layer = a->layer + step;
    float moved[3];
    field::view_to_position(view, float(layer), moved);
    a->position[0] = moved[0];
    a->position[1] = moved[1];
    a->layer = layer;
    body_owner_moved(a);
}

void apply_effects(collision_manager* m, st_body* a, float d[2]) {
    for (size_t i = 0; i < m->effects.size(); ++i) {
        st_body* e = m->effects[i];
        if (e == a || !e->shape || !body_matches(e, a)) continue;
        collision_count(count_effect_test);
        if (!shape_contains_point(e->shape, e->position[0], e->position[1], a->position[0], a->position[1])) continue;
        collision_count(count_effect_collide);
        const st_effect_record* r = e->effect;
        if (!r) continue;
        if (r->flags & 0x10000000) {
            d[0] += r->k[0];
            d[1] += r->k[1];
        } else {
            d[0] += r->k[0] * a->vector[0];
            d[1] += r->k[1] * a->vector[0];
        }
        if (r->flags & 0x20000000) {
            d[0] += r->k[2];
            d[1] += r->k[3];
        } else {
            d[0] += r->k[2] * a->vector[1];
            d[1] += r->k[3] * a->vector[1];
        }
        if (r->layer_step != 0) step_layer(a, r->layer_step);
    }
}

// The displacement of this move; false when nothing moves (a body without
// shape has then moved freely already).
bool prepare_move(collision_manager* m, st_body* a, float d[2]) {
    a->collide = 0;
    a->collided = nullptr;
    m->layers_active = false;
    if (m->collision_switch == 0) return false;
    float acc[2] = {a->acceler[0], a->acceler[1]};
    a->acceler[0] = a->acceler[1] = 0.0f;
    if (!a->is_sub) {
        if (a->attr.attr & attr_gravity) {
            acc[0] += m->gravity[0];
            acc[1] += m->gravity[1];
        }
        const float speed = hypot2(a->vector[0], a->vector[1]);
        if ((a->attr.attr & attr_resist) && speed > 0.0f) {
            const float slower = std::fmax(speed - m->resist * a->attr.resist * speed, 0.0f);
            a->vector[0] = a->vector[0] / speed * slower;
            a->vector[1] = a->vector[1] / speed * slower;
        }
    }
    a->vector[0] += acc[0];
    a->vector[1] += acc[1];
    d[0] = a->vector[0] + a->carry[0];
    d[1] = a->vector[1] + a->carry[1];
    a->carry[0] = a->carry[1] = 0.0f;
    apply_effects(m, a, d);
    if (d[0] == 0.0f && d[1] == 0.0f) return false;
    if (!a->shape) {
        a->position[0] += d[0] + a->force[0];
        a->position[1] += d[1] + a->force[1];
        a->force[0] = a->force[1] = 0.0f;
        body_owner_moved(a);
        return false;
    }
    if (a->attr.attr & attr_cross_layers) m->prepare_layers(a);
    return true;
}

bool blocked_at(collision_manager* m, st_body* a, const float at[2]) {
    for (size_t i = 0; i < m->bodies.size(); ++i) {
        st_body* b = m->bodies[i];
        if (!candidate(m, a, b, nullptr)) continue;
        if (shape_overlap(a->shape, at, b->shape, b->position)) {
            collision_count(count_body_collide);
            return true;
        }
    }
    return false;
}

uint32_t obstacle_bit(const st_body* b) {
    if (kinematic(b)) return 0x8000000;
    if (b->owner) return 0x4000000;
    return b->attr.cond ? 0x2000000 : 0x1000000;
}

struct move_state {
    float p[2];
    float r = 1.0f;
    float d[2];
};

// The earliest obstacle of a sweep of a along D from p among the bodies
// list; statics only when asked (the kinematic mover's walls).
st_body* earliest(collision_manager* m, st_body* a, st_body* exclude, const float p[2], const float D[2],
                  bool statics, st_contact& best) {
    st_body* found = nullptr;
    for (size_t i = 0; i < m->bodies.size(); ++i) {
        st_body* b = m->bodies[i];
        if (statics && ((b->owner && !kinematic(b)) || (b->attr.attr & attr_split_edges))) continue;
        if (!candidate(m, a, b, exclude)) continue;
        st_contact c;
        if (shape_sweep(a->shape, p, D, b->shape, b->position, c) && c.time < best.time) {
            best = c;
            found = b;
        }
    }
    return found;
}

void respond(st_body* a, st_body* b, st_contact& c, const float D[2], move_state& s) {
    const float nx = c.normal.ux, ny = c.normal.uy;
    c.flags = contact_direction_code(nx, ny) | obstacle_bit(b);
    a->collide |= c.flags;
    a->collided = b;
    const float len = hypot2(D[0], D[1]);
    const float margin = 0.5f / len;
    float advance = 0.0f;
    if (c.time > margin) {
        advance = std::fmin(c.time, 1.0f);
        s.p[0] += D[0] * advance;
        s.p[1] += D[1] * advance;
        a->vector[0] += c.correction[0] * advance;
        a->vector[1] += c.correction[1] * advance;
    } else if (c.time < 0.0f) {
        const float out = 0.5f + c.time * dot(nx, ny, D[0], D[1]);
        c.push[0] += nx * out;
        c.push[1] += ny * out;
    }
    c.correction[0] = c.correction[1] = 0.0f;
    a->force[0] = c.push[0];
    a->force[1] = c.push[1];
    const float e = (a->attr.attr & attr_no_bounce) ? 0.0f : a->attr.reflect * b->attr.reflect;
    if (!(b->attr.attr & attr_own_id) && a->owner && a->attr.mass > 0.0f && !kinematic(a) && movable(b)) {
        const float m1 = a->attr.mass, m2 = b->attr.mass;
        const float rel = dot(a->vector[0] - b->vector[0], a->vector[1] - b->vector[1], nx, ny) * (1.0f + e);
        const float jx = nx * rel, jy = ny * rel;
        const float vx = a->vector[0] - jx * m2 / (m1 + m2), vy = a->vector[1] - jy * m2 / (m1 + m2);
        const float normal = dot(vx, vy, nx, ny);
        a->vector[0] = vx - normal * nx;
        a->vector[1] = vy - normal * ny;
        a->carry[0] += normal * nx;
        a->carry[1] += normal * ny;
        b->carry[0] += jx * m1 / (m1 + m2);
        b->carry[1] += jy * m1 / (m1 + m2);
    } else {
        const float along = dot(a->vector[0], a->vector[1], nx, ny) * (1.0f + e);
        a->vector[0] -= along * nx;
        a->vector[1] -= along * ny;
    }
    if (!(a->attr.attr & attr_no_friction)) {
        const float speed = hypot2(a->vector[0], a->vector[1]);
        if (speed > 0.0f) {
            const float slower = std::fmax(speed - b->attr.frict, 0.0f);
            a->vector[0] = a->vector[0] / speed * slower;
            a->vector[1] = a->vector[1] / speed * slower;
        }
    }
    s.r *= 1.0f - advance;
    s.d[0] = a->vector[0] * s.r;
    s.d[1] = a->vector[1] * s.r;
}

// The kinematic mover pushes every movable body its sweep reaches.
void push_movables(collision_manager* m, st_body* a, const float p[2], const float D[2], float t) {
    if (t <= 0.0f) return;
    const float reach[2] = {D[0] * t, D[1] * t};
    const float len = hypot2(D[0], D[1]);
    for (size_t i = 0; i < m->bodies.size(); ++i) {
        st_body* b = m->bodies[i];
        if (!movable(b) || !candidate(m, a, b, nullptr)) continue;
        st_contact c;
        if (!shape_sweep(a->shape, p, reach, b->shape, b->position, c)) continue;
        const float f = t * (1.0f - c.time) + 0.5f / (t * len);
        const float along = dot(D[0] * f, D[1] * f, c.normal.ux, c.normal.uy);
        const float saved[6] = {b->vector[0], b->vector[1], b->carry[0], b->carry[1], b->force[0], b->force[1]};
        // Along the normal (from b towards a) the push is negative: b goes
        // away from a.
        b->vector[0] = c.normal.ux * along;
        b->vector[1] = c.normal.uy * along;
        b->carry[0] = b->carry[1] = 0.0f;
        b->force[0] = b->force[1] = 0.0f;
        const bool layers = m->layers_active;
        body_move(m, b, a);
        // b's move set the layer rules up for itself.
        m->layers_active = false;
        if (layers) m->prepare_layers(a);
        b->vector[0] = saved[0];
        b->vector[1] = saved[1];
        b->carry[0] = saved[2];
        b->carry[1] = saved[3];
        b->force[0] = saved[4];
        b->force[1] = saved[5];
    }
}

void finish(st_body* a, const float p[2]) {
    a->position[0] = p[0];
    a->position[1] = p[1];
    body_owner_moved(a);
}

// Edge sub-bodies of a spinning polygon sweep from their old place to the
// new one, pushing what they meet. False when they could not be made.
bool spin_edges(collision_manager* m, st_body* a) {
    if (a->spin == 0.0f || !a->shape) return true;
    const uint32_t type = a->shape->type;
    if (type != shape_polygon && type != shape_box) return true;  // circles and joints do not split
    if (!body_make_subs(a)) return false;
    const std::vector<st_edge> before = a->shape->edges;
    body_set_angle(a, a->angle + a->spin);
    if (!a->shape || a->shape->edges.size() != before.size() || a->sub_count != before.size()) return true;
    for (uint32_t i = 0; i < a->sub_count; ++i) {
        st_body* sub = a->subs[i];
        const st_edge& now = a->shape->edges[i];
        const st_edge& was = before[i];
        sub->shape->edges[0] = now;
        std::copy(a->shape->bounds, a->shape->bounds + 4, sub->shape->bounds);
        std::copy(a->shape->circle, a->shape->circle + 3, sub->shape->circle);
        const bool by_start = a->spin > 0.0f;
        sub->vector[0] = by_start ? now.sx - was.sx : (now.sx + now.dx) - (was.sx + was.dx);
        sub->vector[1] = by_start ? now.sy - was.sy : (now.sy + now.dy) - (was.sy + was.dy);
        sub->carry[0] = sub->carry[1] = sub->force[0] = sub->force[1] = 0.0f;
        sub->position[0] = a->position[0] - sub->vector[0];
        sub->position[1] = a->position[1] - sub->vector[1];
        sub->layer = a->layer;
        sub->flags |= body_flag_enabled;
        body_move(m, sub, a);
        sub->flags &= uint8_t(~body_flag_enabled);
    }
    return true;
}
}  // namespace

int32_t collision_manager::move_body(st_body* a) {
    float d[2];
    if (!prepare_move(this, a, d)) return -1;
    const float old[2] = {a->position[0], a->position[1]};
    const float attempts[3][2] = {{old[0] + d[0], old[1] + d[1]}, {old[0] + d[0], old[1]}, {old[0], old[1] + d[1]}};
    int32_t result = -1;
    for (int32_t i = 0; i < 3 && result < 0; ++i) {
        if (blocked_at(this, a, attempts[i])) continue;
        result = i;
        a->position[0] = attempts[i][0];
        a->position[1] = attempts[i][1];
        if (i == 1) a->vector[1] = 0.0f;
        if (i == 2) a->vector[0] = 0.0f;
    }
    if (result < 0) a->vector[0] = a->vector[1] = 0.0f;
    body_owner_moved(a);
    return result;
}

uint32_t body_move(collision_manager* m, st_body* a, st_body* exclude) {
    if (!exclude && (a->attr.attr & attr_split_edges) && !spin_edges(m, a)) return 0;
    move_state s;
    if (!prepare_move(m, a, s.d)) return 0;
    s.p[0] = a->position[0];
    s.p[1] = a->position[1];
    uint32_t result = 0;
    for (int32_t passes = 0; passes < m->pass_count;) {
        const float D[2] = {a->force[0] + s.d[0], a->force[1] + s.d[1]};
        if (hypot2(D[0], D[1]) < 0.1f) {
            a->carry[0] += D[0];
            a->carry[1] += D[1];
            a->force[0] = a->force[1] = 0.0f;
            finish(a, s.p);
            return result;
        }
        st_contact c;
        st_body* b = nullptr;
        if (!kinematic(a)) {
            b = earliest(m, a, exclude, s.p, D, false, c);
            if (!b) break;
            collision_count(count_body_collide);
            respond(a, b, c, D, s);
            result |= c.flags;
        } else {
            float t = 1.0f;
            if (!exclude && !(a->attr.attr & attr_split_edges)) {
                b = earliest(m, a, exclude, s.p, D, true, c);
                if (b) t = std::fmax(std::fmin(c.time, 1.0f), 0.0f);
            }
            push_movables(m, a, s.p, D, t);
            if (!b) break;
            collision_count(count_body_collide);
            respond(a, b, c, D, s);
            result |= 0x80000000 | c.flags;
        }
        ++passes;
        if (passes >= m->pass_count) {
            if (s.r > 0.0f) {
                a->carry[0] += a->vector[0] * s.r;
                a->carry[1] += a->vector[1] * s.r;
                const float len = hypot2(a->carry[0], a->carry[1]);
                if (len > 4.0f) {
                    a->carry[0] *= 4.0f / len;
                    a->carry[1] *= 4.0f / len;
                }
            }
            finish(a, s.p);
            return result;
        }
    }
    // Free flight for what is left.
    s.p[0] += a->force[0] + s.d[0];
    s.p[1] += a->force[1] + s.d[1];
    a->force[0] = a->force[1] = 0.0f;
    finish(a, s.p);
    return result;
}

int32_t body_find_overlap(collision_manager* m, st_body* a) {
    if (!a->shape) return 0;
    for (size_t i = 0; i < m->bodies.size(); ++i) {
        st_body* b = m->bodies[i];
        if (b == a || !b->shape || !body_matches(a, b)) continue;
        if (shape_overlap(a->shape, a->position, b->shape, b->position)) return -1;
    }
    return 0;
}
