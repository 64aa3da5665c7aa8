#include "world/collision_overlap.h"

#include <cmath>

#include "graphics/trigon.h"
#include "world/collision_counters.h"

namespace {
inline float cross(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

bool placed_bounds(const st_shape* a, const float pa[2], const st_shape* b, const float pb[2]) {
    return bounds_overlap(pa, a->bounds, pb, b->bounds);
}

bool is_polygonal(uint32_t type) { return type == shape_box || type == shape_polygon; }

st_edge placed(const st_edge& e, const float pos[2]) {
    st_edge p = e;
    p.sx += pos[0];
    p.sy += pos[1];
    return p;
}

bool polygon_polygon(const st_shape* a, const float pa[2], const st_shape* b, const float pb[2]) {
    collision_count(count_polygon_polygon);
    if (!placed_bounds(a, pa, b, pb)) return false;
    collision_count(count_polygon_polygon_collide);
    for (const st_edge& e : b->edges) {
        if (point_in_polygon(a, pa, pb[0] + e.sx, pb[1] + e.sy)) return true;
    }
    for (const st_edge& e : a->edges) {
        if (point_in_polygon(b, pb, pa[0] + e.sx, pa[1] + e.sy)) return true;
    }
    for (const st_edge& eb : b->edges) {
        const st_edge qb = placed(eb, pb);
        for (const st_edge& ea : a->edges) {
            if (segments_cross(placed(ea, pa), qb)) return true;
        }
    }
    return false;
}

bool polygon_circle(const st_shape* p, const float pp[2], const st_shape* c, const float pc[2]) {
    collision_count(count_polygon_circle);
    if (!placed_bounds(p, pp, c, pc)) return false;
    collision_count(count_polygon_circle_collide);
    const float cx = pc[0] + c->circle[0], cy = pc[1] + c->circle[1], r = c->circle[2];
    if (point_in_polygon(p, pp, cx, cy)) return true;
    for (const st_edge& e : p->edges) {
        const float sx = pp[0] + e.sx, sy = pp[1] + e.sy;
        if (hypot2(cx - sx, cy - sy) <= r) return true;
        // A zero-length edge has no line; its corner was tried above.
        if (e.length <= 0.0f) continue;
        const float distance = std::fabs(cross(e.ux, e.uy, cx - sx, cy - sy));
        const float along_start = (cx - sx) * e.ux + (cy - sy) * e.uy;
        const float along_end = (cx - sx - e.dx) * e.ux + (cy - sy - e.dy) * e.uy;
        if (distance <= r && along_start * along_end <= 0.0f) return true;
    }
    return false;
}

bool circle_circle(const st_shape* a, const float pa[2], const st_shape* b, const float pb[2]) {
    collision_count(count_circle_circle);
    if (!placed_bounds(a, pa, b, pb)) return false;
    const float dx = (pb[0] + b->circle[0]) - (pa[0] + a->circle[0]);
    const float dy = (pb[1] + b->circle[1]) - (pa[1] + a->circle[1]);
    return hypot2(dx, dy) <= a->circle[2] + b->circle[2];
}

bool simple_overlap(const st_shape* a, const float pa[2], const st_shape* b, const float pb[2], bool joint_pair) {
    const uint32_t ta = a->type, tb = b->type;
    if (ta == shape_box && tb == shape_box) {
        if (joint_pair) return placed_bounds(a, pa, b, pb);
        collision_count(count_box_box);
        return placed_bounds(a, pa, b, pb);
    }
    if (is_polygonal(ta) && is_polygonal(tb)) return polygon_polygon(a, pa, b, pb);
    if (is_polygonal(ta) && tb == shape_circle) return polygon_circle(a, pa, b, pb);
    if (ta == shape_circle && is_polygonal(tb)) return polygon_circle(b, pb, a, pa);
    if (ta == shape_circle && tb == shape_circle) return circle_circle(a, pa, b, pb);
    return false;
}

// ---- sweeps ----

struct sweep_hit {
    float time = 1.1f;
    float nx = 0, ny = 0;
    void offer(float t, float x, float y) {
        if (t < time) {
            time = t;
            nx = x;
            ny = y;
        }
    }
};

// The raw solution of P + t d = S + u e; false when parallel.
bool solve(float px, float py, float dx, float dy, float sx, float sy, float ex, float ey, float& t, float& u) {
    const float den = cross(dx, dy, ex, ey);
    if (den == 0.0f) return false;
    const float wx = sx - px, wy = sy - py;
    t = cross(wx, wy, ex, ey) / den;
    u = cross(wx, wy, dx, dy) / den;
    return true;
}

// The margin rule on a raw time; false outside the reach of the move.
bool margin_time(float t, float k, float& time) {
    if (t < -k || t > 1.0f + k) return false;
    if (t < 0.0f) {
        time = t;
    } else {
        time = std::fmin(t - k, 1.0f - k);
    }
    return true;
}

bool circle_circle_sweep(float ax, float ay, float ra, float dx, float dy, float bx, float by, float rb,
                         float& time, float& nx, float& ny) {
    const float len = hypot2(dx, dy);
    if (len <= 0.0f) return false;
    const float ux = dx / len, uy = dy / len;
    const float cx = bx - ax, cy = by - ay;
    const float along = cx * ux + cy * uy;
    const float perp = std::fabs(cross(cx, cy, ux, uy));
    const float r = ra + rb;
    if (along <= 0.0f || perp >= r + 0.5f) return false;
    const float t = (along - r - 0.5f) / len;
    const float k = perp < r ? 0.5f / len : (r + 0.5f) / len;
    if (t < -k || t > 1.0f + k) return false;
    time = t < 0.0f ? t : std::fmin(t - k, 1.0f - k);
    const st_direction n = make_direction(ax + dx * time - bx, ay + dy * time - by);
    nx = n.ux;
    ny = n.uy;
    return true;
}

// A vertex of one polygon moving by (dx, dy) against an edge of the other.
void vertex_against(float vx, float vy, float dx, float dy, const st_edge& target, float tx, float ty,
                    float nx, float ny, sweep_hit& hit) {
    if (cross(target.ux, target.uy, vx - tx, vy - ty) > 0.0f) return;  // inside that edge
    float time = 0;
    if (edge_sweep(vx, vy, dx, dy, tx, ty, target.dx, target.dy, time)) hit.offer(time, nx, ny);
}

void polygon_sweep(const st_shape* a, const float pa[2], const float d[2], const st_shape* b, const float pb[2],
                   sweep_hit& hit) {
    const float dx = d[0], dy = d[1];
    for (const st_edge& ea : a->edges) {
        // A's edge must face the motion, B's edge face against it.
        if (cross(dx, dy, ea.dx, ea.dy) <= 0.0f) continue;
        const float asx = pa[0] + ea.sx, asy = pa[1] + ea.sy;
        for (const st_edge& eb : b->edges) {
            if (cross(dx, dy, eb.dx, eb.dy) >= 0.0f) continue;
            const float bsx = pb[0] + eb.sx, bsy = pb[1] + eb.sy;
            const bool opposed = ea.ux * eb.ux + ea.uy * eb.uy < 0.0f;
            const float bnx = eb.uy, bny = -eb.ux;  // B's outward normal
            const float anx = -ea.uy, any = ea.ux;  // A's inward normal: from B towards A
            if (opposed || (ea.flags & edge_start_corner)) {
                vertex_against(asx, asy, dx, dy, eb, bsx, bsy, bnx, bny, hit);
            }
            if (opposed || (ea.flags & edge_end_corner)) {
                vertex_against(asx + ea.dx, asy + ea.dy, dx, dy, eb, bsx, bsy, bnx, bny, hit);
            }
            if (opposed || (eb.flags & edge_start_corner)) {
                vertex_against(bsx, bsy, -dx, -dy, ea, asx, asy, anx, any, hit);
            }
            if (opposed || (eb.flags & edge_end_corner)) {
                vertex_against(bsx + eb.dx, bsy + eb.dy, -dx, -dy, ea, asx, asy, anx, any, hit);
            }
        }
    }
}

// A circle (centre, radius) moving by d against a placed polygon.
void circle_polygon_sweep(float cx, float cy, float r, float dx, float dy, const st_shape* p, const float pp[2],
                          sweep_hit& hit) {
    const float len = hypot2(dx, dy);
    if (len <= 0.0f) return;
    const float k = 0.5f / len;
    for (const st_edge& e : p->edges) {
        if (cross(dx, dy, e.dx, e.dy) >= 0.0f) continue;
        const float nx = e.uy, ny = -e.ux;
        const float lx = cx - (r + 0.5f) * nx, ly = cy - (r + 0.5f) * ny;
        const float sx = pp[0] + e.sx, sy = pp[1] + e.sy;
        float t = 0, u = 0, time = 0;
        if (!solve(lx, ly, dx, dy, sx, sy, e.dx, e.dy, t, u)) continue;
        if (u >= 0.0f && u <= 1.0f) {
            if (margin_time(t, k, time)) hit.offer(time, nx, ny);
            continue;
        }
        // Passing beside the edge: its corner, as a circle of no size.
        const bool start = u < 0.0f;
        if (!(e.flags & (start ? edge_start_corner : edge_end_corner))) continue;
        const float qx = start ? sx : sx + e.dx, qy = start ? sy : sy + e.dy;
        float n2x = 0, n2y = 0;
        if (circle_circle_sweep(cx, cy, r, dx, dy, qx, qy, 0.0f, time, n2x, n2y)) hit.offer(time, n2x, n2y);
    }
}

void simple_sweep(const st_shape* a, const float pa[2], const float d[2], const st_shape* b, const float pb[2],
                  sweep_hit& hit) {
    const uint32_t ta = a->type, tb = b->type;
    if (is_polygonal(ta) && is_polygonal(tb)) {
        polygon_sweep(a, pa, d, b, pb, hit);
    } else if (ta == shape_circle && is_polygonal(tb)) {
        circle_polygon_sweep(pa[0] + a->circle[0], pa[1] + a->circle[1], a->circle[2], d[0], d[1], b, pb, hit);
    } else if (is_polygonal(ta) && tb == shape_circle) {
        sweep_hit h;
        circle_polygon_sweep(pb[0] + b->circle[0], pb[1] + b->circle[1], b->circle[2], -d[0], -d[1], a, pa, h);
        if (h.time < 1.1f) hit.offer(h.time, -h.nx, -h.ny);
    } else if (ta == shape_circle && tb == shape_circle) {
        float time = 0, nx = 0, ny = 0;
        if (circle_circle_sweep(pa[0] + a->circle[0], pa[1] + a->circle[1], a->circle[2], d[0], d[1],
                                pb[0] + b->circle[0], pb[1] + b->circle[1], b->circle[2], time, nx, ny)) {
            hit.offer(time, nx, ny);
        }
    }
}

bool swept_bounds(const st_shape* a, const float pa[2], const float d[2], const st_shape* b, const float pb[2]) {
    float grown[4] = {a->bounds[0] - 1.0f, a->bounds[1] - 1.0f, a->bounds[2] + 1.0f, a->bounds[3] + 1.0f};
    for (int axis = 0; axis < 2; ++axis) {
        if (d[axis] > 0.0f) grown[axis + 2] += d[axis];
        if (d[axis] < 0.0f) grown[axis] += d[axis];
    }
    return bounds_overlap(pa, grown, pb, b->bounds);
}
}  // namespace

bool bounds_overlap(const float pa[2], const float a[4], const float pb[2], const float b[4]) {
    return pa[0] + a[0] <= pb[0] + b[2] && pb[0] + b[0] <= pa[0] + a[2] && pa[1] + a[1] <= pb[1] + b[3] &&
           pb[1] + b[1] <= pa[1] + a[3];
}

bool point_in_polygon(const st_shape* polygon, const float pos[2], float x, float y) {
    for (const st_edge& e : polygon->edges) {
        if (cross(e.ux, e.uy, x - (pos[0] + e.sx), y - (pos[1] + e.sy)) <= 0.0f) return false;
    }
    return true;
}

bool segments_cross(const st_edge& a, const st_edge& b) {
    const float den = cross(a.dx, a.dy, b.dx, b.dy);
    if (den == 0.0f) return false;
    const float qx = b.sx - a.sx, qy = b.sy - a.sy;
    const float t = (b.dy * qx - b.dx * qy) / den;
    const float u = (qx * a.dy - qy * a.dx) / den;
    return t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f;
}

bool shape_overlap(const st_shape* a, const float pa[2], const st_shape* b, const float pb[2]) {
    if (a->type != shape_joint && b->type != shape_joint) return simple_overlap(a, pa, b, pb, false);
    if (!placed_bounds(a, pa, b, pb)) return false;
    bool any = false;
    for (const st_shape* sa = a->type == shape_joint ? a->next : a; sa;
         sa = a->type == shape_joint ? sa->next : nullptr) {
        for (const st_shape* sb = b->type == shape_joint ? b->next : b; sb;
             sb = b->type == shape_joint ? sb->next : nullptr) {
            if (simple_overlap(sa, pa, sb, pb, true)) any = true;
        }
    }
    return any;
}

bool edge_sweep(float px, float py, float dx, float dy, float sx, float sy, float ex, float ey, float& time) {
    float t = 0, u = 0;
    if (!solve(px, py, dx, dy, sx, sy, ex, ey, t, u)) return false;
    if (u < 0.0f || u > 1.0f) return false;
    const float len = hypot2(dx, dy);
    if (len <= 0.0f) return false;
    return margin_time(t, 0.5f / len, time);
}

bool shape_sweep(const st_shape* a, const float pa[2], const float d[2], const st_shape* b, const float pb[2],
                 st_contact& contact) {
    if (!swept_bounds(a, pa, d, b, pb)) return false;
    sweep_hit hit;
    if (a->type != shape_joint && b->type != shape_joint) {
        simple_sweep(a, pa, d, b, pb, hit);
    } else {
        for (const st_shape* sa = a->type == shape_joint ? a->next : a; sa;
             sa = a->type == shape_joint ? sa->next : nullptr) {
            for (const st_shape* sb = b->type == shape_joint ? b->next : b; sb;
                 sb = b->type == shape_joint ? sb->next : nullptr) {
                if (swept_bounds(sa, pa, d, sb, pb)) simple_sweep(sa, pa, d, sb, pb, hit);
            }
        }
    }
    if (hit.time >= 1.1f) return false;
    contact.time = hit.time;
    contact.normal = make_direction(hit.nx, hit.ny);
    contact.correction[0] = contact.correction[1] = 0.0f;
    return true;
}
