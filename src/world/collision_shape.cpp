#include "world/collision_shape.h"

#include <windows.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <new>

#include "graphics/trigon.h"

namespace {
// Plain data, valid from start to exit whatever the order of static
// destruction: owners that die late still return their records safely.
struct shape_pool {
    st_shape* head;
    uint32_t count;
    uint32_t live;  // handed out and not yet returned
};

shape_pool the_pool = {nullptr, 0, 0};

shape_pool& pool() { return the_pool; }

void debugger_sink(const char* text) { OutputDebugStringA(text); }
shape_debug_sink debug_sink = debugger_sink;

void set_box_edges(st_shape* s) {
    const float l = s->bounds[0], t = s->bounds[1], r = s->bounds[2], b = s->bounds[3];
    const float corners[4][2] = {{l, t}, {r, t}, {r, b}, {l, b}};
    s->edges.resize(4);
    for (int i = 0; i < 4; ++i) {
        const float* p = corners[i];
        const float* q = corners[(i + 1) % 4];
        edge_set(s->edges[size_t(i)], p[0], p[1], q[0] - p[0], q[1] - p[1]);
        s->edges[size_t(i)].flags = edge_start_corner | edge_end_corner;
    }
}

void set_box_circle(st_shape* s) {
    const float cx = (s->bounds[0] + s->bounds[2]) * 0.5f;
    const float cy = (s->bounds[1] + s->bounds[3]) * 0.5f;
    s->circle[0] = cx;
    s->circle[1] = cy;
    s->circle[2] = hypot2(s->bounds[0] - cx, s->bounds[1] - cy);
}

float farthest_start(const st_shape* s, float cx, float cy) {
    float r = 0.0f;
    for (const st_edge& e : s->edges) r = std::max(r, hypot2(e.sx - cx, e.sy - cy));
    return r;
}

void polygon_circle(st_shape* s) {
    const size_t n = s->edges.size();
    if (n == 0) return;
    const std::vector<st_edge>& e = s->edges;
    float cx = e[0].sx, cy = e[0].sy;
    if (n <= 2) {
        // A single segment (or a two-point polygon): its midpoint, so the
        // circle reaches both ends.
        cx = e[0].sx + e[0].dx * 0.5f;
        cy = e[0].sy + e[0].dy * 0.5f;
    } else if (n >= 3) {
        float wx = 0.0f, wy = 0.0f, total = 0.0f;
        for (size_t i = 0; i + 2 < n; ++i) {
            const st_edge &a = e[i], &b = e[i + 1], &c = e[i + 2];
            const float w = ((b.sx - a.sx) * (c.sy - a.sy) - (b.sy - a.sy) * (c.sx - a.sx)) * 0.5f;
            wx += w * (a.sx + b.sx + c.sx) / 3.0f;
            wy += w * (a.sy + b.sy + c.sy) / 3.0f;
            total += w;
        }
        if (n == 3 || total == 0.0f) {
            // Three corners, or no area to weigh by: the mean of the corners.
            cx = cy = 0.0f;
            for (const st_edge& edge : e) {
                cx += edge.sx;
                cy += edge.sy;
            }
            cx /= float(n);
            cy /= float(n);
        } else {
            cx = wx / total;
            cy = wy / total;
        }
    }
    s->circle[0] = cx;
    s->circle[1] = cy;
    // The farthest corner, so the circle encloses every point of the shape.
    s->circle[2] = farthest_start(s, cx, cy);
}

void polygon_bounds(st_shape* s) {
    float b[4] = {FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (const st_edge& e : s->edges) {
        for (int k = 0; k < 2; ++k) {
            const float x = e.sx + (k ? e.dx : 0.0f), y = e.sy + (k ? e.dy : 0.0f);
            b[0] = std::min(b[0], x);
            b[1] = std::min(b[1], y);
            b[2] = std::max(b[2], x);
            b[3] = std::max(b[3], y);
        }
    }
    std::copy(b, b + 4, s->bounds);
}

void joint_bounds(st_shape* s) {
    float b[4] = {FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (const st_shape* sub = s->next; sub; sub = sub->next) {
        b[0] = std::min(b[0], sub->bounds[0]);
        b[1] = std::min(b[1], sub->bounds[1]);
        b[2] = std::max(b[2], sub->bounds[2]);
        b[3] = std::max(b[3], sub->bounds[3]);
    }
    std::copy(b, b + 4, s->bounds);
    set_box_edges(s);
    set_box_circle(s);
}

void flip_edge_h(st_edge& e) {
    e.sx = -(e.sx + e.dx);
    e.sy = e.sy + e.dy;
    e.dy = -e.dy;
    e.uy = -e.uy;
}

void flip_edge_v(st_edge& e) {
    e.sx = e.sx + e.dx;
    e.sy = -(e.sy + e.dy);
    e.dx = -e.dx;
    e.ux = -e.ux;
}

void swap_corner_flags(st_edge& e) {
    const uint32_t f = e.flags & ~uint32_t(edge_start_corner | edge_end_corner);
    e.flags = f | ((e.flags & edge_start_corner) ? edge_end_corner : 0) |
              ((e.flags & edge_end_corner) ? edge_start_corner : 0);
}

// The shape's own coordinates mirrored; bounds are recomputed afterwards.
void flip_one(st_shape* s, uint32_t mode) {
    for (int axis = 0; axis < 2; ++axis) {
        if (!(mode & (1u << axis))) continue;
        float& lo = s->bounds[axis];
        float& hi = s->bounds[axis + 2];
        const float old_lo = lo;
        lo = -hi;
        hi = -old_lo;
        s->circle[axis] = -s->circle[axis];
        if (s->type == shape_polygon || s->type == shape_segments) {
            for (st_edge& e : s->edges) {
                axis == 0 ? flip_edge_h(e) : flip_edge_v(e);
                swap_corner_flags(e);
            }
        }
    }
}
}  // namespace

st_direction make_direction(float x, float y) {
    st_direction d = {0.0f, 0.0f, hypot2(x, y)};
    if (d.length > 0.0f) {
        const float ux = x / d.length, uy = y / d.length;
        if (ux >= -1.0f && ux <= 1.0f && uy >= -1.0f && uy <= 1.0f) {
            d.ux = ux;
            d.uy = uy;
        }
    }
    return d;
}

st_direction scale_direction(const st_direction& d, float s) {
    if (s < 0.0f) return {-d.ux, -d.uy, d.length * -s};
    return {d.ux, d.uy, d.length * s};
}

void edge_set(st_edge& e, float sx, float sy, float dx, float dy) {
    const st_direction d = make_direction(dx, dy);
    e.sx = sx;
    e.sy = sy;
    e.dx = dx;
    e.dy = dy;
    e.ux = d.ux;
    e.uy = d.uy;
    e.length = d.length;
}

st_shape* shape_alloc() {
    shape_pool& p = pool();
    st_shape* s = p.head;
    if (!s) {
        s = new (std::nothrow) st_shape();
        if (s) ++p.live;
        return s;
    }
    ++p.live;
    p.head = s->next;
    --p.count;
    s->edges.clear();
    s->next = nullptr;
    // Its pool mark must not outlive its stay in the pool.
    s->type = shape_none;
    return s;
}

void set_shape_debug_sink(shape_debug_sink sink) { debug_sink = sink ? sink : debugger_sink; }

void shape_debug_print(const char* format, const void* pointer) {
    char text[96];
    std::snprintf(text, sizeof text, format, pointer);
    debug_sink(text);
}

void shape_list_free(st_shape*& slot) {
    shape_pool& p = pool();
    st_shape* s = slot;
    slot = nullptr;
    while (s) {
        st_shape* next = s->next;
        if (s->type == shape_in_pool) {
            // Its next is the pool's link: the chain ends here.
            shape_debug_print("free: double free: %p\n", s);
            return;
        }
        s->edges.clear();
        s->type = shape_in_pool;
        s->next = p.head;
        p.head = s;
        ++p.count;
        --p.live;
        s = next;
    }
}

void shape_pool_free_all() {
    shape_pool& p = pool();
    while (p.head) {
        st_shape* s = p.head;
        p.head = s->next;
        delete s;
    }
    p.count = 0;
}

uint32_t shape_pool_size() { return pool().count; }
uint32_t shape_live_count() { return pool().live; }

void shape_reset(st_shape* shape) {
    shape->edges.clear();
    shape->next = nullptr;
    shape->type = shape_none;
}

st_shape* shape_list_add(shape_list& list) {
    st_shape* s = shape_alloc();
    if (s) list.push_back(s);
    return s;
}

void shape_list_remove(shape_list& list, st_shape* shape, bool erase) {
    if (!erase) {
        shape_reset(shape);
        return;
    }
    auto it = std::find(list.begin(), list.end(), shape);
    if (it == list.end()) return;
    list.erase(it);
    shape_list_free(shape);
}

void shape_list_release(shape_list& list) {
    for (st_shape*& s : list) shape_list_free(s);
    list.clear();
}

void shape_set_circle(st_shape* shape, float cx, float cy, float radius) {
    shape->type = shape_circle;
    shape->circle[0] = cx;
    shape->circle[1] = cy;
    shape->circle[2] = radius;
    shape_update_bounds(shape);
}

void shape_update_bounds(st_shape* s) {
    switch (s->type) {
    case shape_box:
        set_box_edges(s);
        set_box_circle(s);
        break;
    case shape_polygon:
    case shape_segments:
        polygon_circle(s);
        if (!s->edges.empty()) polygon_bounds(s);
        break;
    case shape_circle:
        s->bounds[0] = s->circle[0] - s->circle[2];
        s->bounds[1] = s->circle[1] - s->circle[2];
        s->bounds[2] = s->circle[0] + s->circle[2];
        s->bounds[3] = s->circle[1] + s->circle[2];
        break;
    case shape_joint:
        joint_bounds(s);
        break;
    default:
        break;
    }
}

void shape_add_point(st_shape* s, float x, float y) {
    if (!s->edges.empty()) {
        st_edge& last = s->edges.back();
        edge_set(last, last.sx, last.sy, x - last.sx, y - last.sy);
        last.flags |= edge_end_corner;
    }
    st_edge e = {};
    e.sx = x;
    e.sy = y;
    e.flags = edge_start_corner;
    s->edges.push_back(e);
}

void shape_close(st_shape* s) {
    if (s->edges.size() < 2) return;
    st_edge& last = s->edges.back();
    const st_edge& first = s->edges.front();
    edge_set(last, last.sx, last.sy, first.sx - last.sx, first.sy - last.sy);
    last.flags |= edge_end_corner;
}

void shape_add_segment(st_shape* s, float x0, float y0, float x1, float y1) {
    st_edge e = {};
    edge_set(e, x0, y0, x1 - x0, y1 - y0);
    for (st_edge& other : s->edges) {
        if (other.sx + other.dx == x0 && other.sy + other.dy == y0) {
            e.flags |= edge_start_corner;
            other.flags |= edge_end_corner;
        }
        if (other.sx == x1 && other.sy == y1) {
            e.flags |= edge_end_corner;
            other.flags |= edge_start_corner;
        }
    }
    s->edges.push_back(e);
}

st_shape* shape_clone(const st_shape* shape) {
    st_shape* c = shape_alloc();
    if (!c) return nullptr;
    c->type = shape->type;
    std::copy(shape->bounds, shape->bounds + 4, c->bounds);
    std::copy(shape->circle, shape->circle + 3, c->circle);
    c->edges = shape->edges;
    if (shape->type != shape_joint) return c;
    st_shape** tail = &c->next;
    for (const st_shape* sub = shape->next; sub; sub = sub->next) {
        *tail = shape_clone(sub);
        if (!*tail) {
            shape_list_free(c);
            return nullptr;
        }
        tail = &(*tail)->next;
    }
    return c;
}

st_shape* shape_rotate_copy(const st_shape* shape, float degrees) {
    st_shape* c = shape_clone(shape);
    if (!c) return nullptr;
    if (c->type == shape_box) c->type = shape_polygon;
    for (st_shape* s = c; s; s = (c->type == shape_joint) ? s->next : nullptr) {
        if (s->type == shape_box) s->type = shape_polygon;
        if (s->type == shape_circle) {
            const trigon_vector centre = rotate_vector({s->circle[0], s->circle[1]}, degrees);
            if (s->circle[0] != 0.0f || s->circle[1] != 0.0f) {
                s->circle[0] = centre.x;
                s->circle[1] = centre.y;
            }
        } else if (s != c || s->type != shape_joint) {
            for (st_edge& e : s->edges) {
                const trigon_vector p = rotate_vector({e.sx, e.sy}, degrees);
                const trigon_vector u = rotate_vector({e.ux, e.uy}, degrees);
                e.sx = p.x;
                e.sy = p.y;
                e.ux = u.x;
                e.uy = u.y;
                e.dx = u.x * e.length;
                e.dy = u.y * e.length;
            }
        }
    }
    // Sub-shapes first: the joint's bounds are their union.
    for (st_shape* s = c->type == shape_joint ? c->next : nullptr; s; s = s->next) shape_update_bounds(s);
    shape_update_bounds(c);
    return c;
}

void shape_flip(st_shape* chain, uint32_t mode) {
    mode &= 3;
    if (!chain || !mode) return;
    for (st_shape* s = chain; s; s = s->next) flip_one(s, mode);
    for (st_shape* s = chain; s; s = s->next) {
        if (s->type != shape_joint) shape_update_bounds(s);
    }
    for (st_shape* s = chain; s; s = s->next) {
        if (s->type == shape_joint) shape_update_bounds(s);
    }
}

bool shape_contains_point(const st_shape* s, float px, float py, float x, float y) {
    switch (s->type) {
    case shape_box:
        return px + s->bounds[0] <= x && x <= px + s->bounds[2] && py + s->bounds[1] <= y &&
               y <= py + s->bounds[3];
    case shape_polygon:
        for (const st_edge& e : s->edges) {
            if (e.ux * (y - (py + e.sy)) - e.uy * (x - (px + e.sx)) <= 0.0f) return false;
        }
        return true;
    case shape_circle:
        return hypot2(x - (px + s->circle[0]), y - (py + s->circle[1])) <= s->circle[2];
    case shape_joint:
        for (const st_shape* sub = s->next; sub; sub = sub->next) {
            if (shape_contains_point(sub, px, py, x, y)) return true;
        }
        return false;
    default:
        return false;
    }
}
