#include "world/collision_ray.h"

#include <cmath>

#include "core/lua_readers.h"
#include "core/system_log.h"
#include "graphics/trigon.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/collision_counters.h"

namespace {
inline float cross(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

bool ray_polygon(const st_shape* s, const float pos[2], const st_edge& r, st_intersect2d_info& info) {
    if (!s->edges.empty() && point_in_polygon(s, pos, r.sx, r.sy)) {
        info.inside = 1;
        info.point[0] = r.dx;
        info.point[1] = r.dy;
        return true;
    }
    for (const st_edge& e : s->edges) {
        // Only edges whose outer side faces the ray's start.
        if (cross(r.dx, r.dy, e.dx, e.dy) > 0.0f) continue;
        float t = 0;
        if (!edge_sweep(r.sx, r.sy, r.dx, r.dy, pos[0] + e.sx, pos[1] + e.sy, e.dx, e.dy, t)) continue;
        info.inside = 0;
        info.point[0] = r.sx + t * r.dx;
        info.point[1] = r.sy + t * r.dy;
        info.normal[0] = e.uy;
        info.normal[1] = -e.ux;
        return true;
    }
    return false;
}

bool ray_circle(const st_shape* s, const float pos[2], const st_edge& r, st_intersect2d_info& info) {
    const float cx = pos[0] + s->circle[0], cy = pos[1] + s->circle[1], radius = s->circle[2];
    const float fx = r.sx - cx, fy = r.sy - cy;
    if (hypot2(fx, fy) <= radius) {
        info.inside = 1;
        info.point[0] = r.dx;
        info.point[1] = r.dy;
        return true;
    }
    const float a = r.dx * r.dx + r.dy * r.dy;
    if (a <= 0.0f) return false;
    const float b = 2.0f * (fx * r.dx + fy * r.dy);
    const float c = fx * fx + fy * fy - radius * radius;
    const float disc = b * b - 4.0f * a * c;
    if (disc < 0.0f) return false;
    // The start lies outside: the nearer crossing is where it enters.
    const float t = (-b - std::sqrt(disc)) / (2.0f * a);
    if (t < 0.0f || t > 1.0f) return false;
    info.inside = 0;
    info.point[0] = r.sx + t * r.dx;
    info.point[1] = r.sy + t * r.dy;
    const st_direction n = make_direction(info.point[0] - cx, info.point[1] - cy);
    info.normal[0] = n.ux;
    info.normal[1] = n.uy;
    return true;
}

bool ray_candidate(const collision_manager* m, const collision_params& params, const st_ray& ray,
                   const st_body* b) {
    if (!b->shape || !(b->flags & body_flag_enabled) || !m->layer_passes(ray.layer, b)) return false;
    if (!attr_accepts(ray.attr, b->attr.type) || !b->owner) return false;
    if (b->owner == params.field_object && !(ray.attr.attr & attr_no_bounce)) return false;
    return owner_sensed(b, params.act_level);
}

// Hit tables pushed onto the Lua stack, counted.
class lua_intersect_cb : public intersect_callback {
public:
    explicit lua_intersect_cb(lua_State* L) : L_(L) {}
    void report(st_ray*, st_body* b, st_intersect2d_info info) override {
        if (!lua_checkstack(L_, 2)) return;
        lua_createtable(L_, 7, 0);
        if (void* owner = body_script_owner(collision_manager::instance(), b)) {
            lua_pushlightuserdata(L_, owner);
            lua_rawseti(L_, -2, 1);
        }
        const double values[6] = {double(b->attr.id), info.point[0], info.point[1], double(b->layer),
                                  info.normal[0], info.normal[1]};
        const int count = info.inside ? 4 : 6;
        for (int i = 0; i < count; ++i) {
            lua_pushnumber(L_, values[i]);
            lua_rawseti(L_, -2, i + 2);
        }
        ++count_;
    }
    int count() const { return count_; }

private:
    lua_State* L_;
    int count_ = 0;
};
}  // namespace

bool load_ray(lua_State* L, st_ray& ray) {
    const int top = lua_gettop(L);
    float v[4] = {};
    int32_t layer = 0;
    try {
        if (!lua_istable(L, top)) throw "start_point.x";
        const char* messages[4] = {"start_point.x", "start_point.y", "end_point.x", "end_point.y"};
        for (int i = 0; i < 4; ++i) lua_get_index_float(L, top, i + 1, v[i], false, messages[i]);
        double z = 0;
        lua_get_index_double(L, top, 5, z, false, "layer");
        layer = script_truncate_int(z);
    } catch (const char* message) {
        system_log_trace(1, "load ray", "%s", message);
        lua_settop(L, top);
        return false;
    }
    if (!load_body_attribute(L, top, ray.attr, false)) return false;
    ray.layer = layer;
    ray.segment = st_edge{};
    edge_set(ray.segment, v[0], v[1], v[2] - v[0], v[3] - v[1]);
    return true;
}

bool ray_shape_test(const st_shape* shape, const float position[2], const st_edge& segment,
                    st_intersect2d_info& info) {
    switch (shape->type) {
    case shape_box:
    case shape_polygon:
    case shape_segments:
        return ray_polygon(shape, position, segment, info);
    case shape_circle:
        return ray_circle(shape, position, segment, info);
    default:
        return false;
    }
}

bool ray_test(collision_manager* m, const collision_params& params, st_ray& ray, intersect_callback& callback) {
    m->layers_active = false;
    if (ray.attr.attr & (attr_cross_layers | attr_no_friction)) m->prepare_layers(ray.layer);
    const uint32_t mode = ray.attr.attr & attr_report_mask;
    const bool keep_best = mode == attr_report_nearest || mode == attr_report_farthest;
    st_layer_record single;
    bool reported = false;
    for (collision_manager::body_list* list : {&m->bodies, &m->reactors}) {
        for (size_t i = 0; i < list->size(); ++i) {
            st_body* b = (*list)[i];
            if (!ray_candidate(m, params, ray, b)) continue;
            collision_count(count_sensor_test);
            st_intersect2d_info info = {};
            if (!ray_shape_test(b->shape, b->position, ray.segment, info)) continue;
            collision_count(count_sensor_collide);
            if (!keep_best) {
                callback.report(&ray, b, info);
                reported = true;
                continue;
            }
            const float distance =
                info.inside ? 0.0f : hypot2(info.point[0] - ray.segment.sx, info.point[1] - ray.segment.sy);
            st_layer_record& r = m->layers_active ? m->layers[m->record_of(b)] : single;
            const bool better = mode == attr_report_nearest ? distance < r.best_hit : distance > r.best_hit;
            if (!r.best || better) {
                r.best = b;
                r.best_hit = distance;
                r.best_info = info;
            }
        }
    }
    if (!keep_best) return reported;
    std::vector<st_layer_record> bests;
    if (m->layers_active) {
        for (st_layer_record& r : m->layers) {
            if (r.best) bests.push_back(r);
            r.best = nullptr;
        }
    } else if (single.best) {
        bests.push_back(single);
    }
    for (const st_layer_record& r : bests) callback.report(&ray, r.best, r.best_info);
    return !bests.empty();
}

int actors_intersect(lua_State* L) {
    collision_manager* m = collision_manager::instance();
    lua_intersect_cb cb(L);
    st_ray ray = {};
    lua_pushvalue(L, 1);
    const bool loaded = m && load_ray(L, ray);
    lua_pop(L, 1);
    if (!loaded) {
        system_log_trace(1, "actor.intersect", "invalid ray");
        return 0;
    }
    actor_manager* actors = actor_manager::instance();
    collision_params params;
    params.act_level = actors ? actors->act_level : 255;
    params.field_object = m->field_object;
    ray_test(m, params, ray, cb);
    return cb.count();
}
