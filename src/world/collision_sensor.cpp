// The sensor pass: every sensor of a live, active actor is tested against
// the bodies and reactors, and its hits go to the owner's collide slot.
#include "graphics/trigon.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/collision_counters.h"
#include "world/collision_manager.h"

namespace {
// Flags of the actor word that keep a body out of every pass.
constexpr uint32_t owner_gone = 0x80000000u | 0x02000000u;

bool owner_senses(const st_body* s, int32_t level) {
    if (s->owner_kind != owner_actor || !s->owner) return false;
    const actor_object* a = static_cast<const actor_object*>(s->owner);
    if ((a->flags & owner_gone) || !a->cls || (a->cls->flags & class_disabled)) return false;
    if ((a->flags & actor_run_mask) >= run_waiting || (a->flags & actor_asleep)) return false;
    return a->act_level <= level;
}

}  // namespace

bool owner_sensed(const st_body* b, int32_t level) {
    if (b->owner_kind != owner_actor) return true;
    const actor_object* a = static_cast<const actor_object*>(b->owner);
    if ((a->flags & 0x4000000) || !actor_is_alive(a)) return false;
    return actor_is_active(a, level);
}

namespace {
bool sensor_candidate(const collision_manager* m, const collision_params& params, const st_body* s,
                      const st_body* b) {
    if (!b->shape || b == s || !m->layer_passes(s, b) || !body_matches(s, b)) return false;
    if (!b->owner || b->owner == s->owner) return false;
    if (b->owner == params.field_object && !(s->attr.attr & attr_no_bounce)) return false;
    return owner_sensed(b, params.act_level);
}
}  // namespace

bool sensor_test(collision_manager* m, const collision_params& params, st_body* s, sensor_callback_base& callback) {
    m->layers_active = false;
    const bool table = (s->attr.attr & (attr_cross_layers | attr_no_friction)) != 0;
    if (table) m->prepare_layers(s);
    const uint32_t mode = s->attr.attr & attr_report_mask;
    const bool keep_best = mode == attr_report_nearest || mode == attr_report_farthest;
    // One record when no layer table is active.
    st_layer_record single;
    bool reported = false;
    for (collision_manager::body_list* list : {&m->bodies, &m->reactors}) {
        // By index: reports may add bodies.
        for (size_t i = 0; i < list->size(); ++i) {
            st_body* b = (*list)[i];
            if (!s->shape || !sensor_candidate(m, params, s, b)) continue;
            collision_count(count_sensor_test);
            if (!shape_overlap(s->shape, s->position, b->shape, b->position)) continue;
            collision_count(count_sensor_collide);
            if (!keep_best) {
                callback.report(s, b, 0.0f);
                reported = true;
                // The report may have moved bodies, which set the layer
                // rules up for themselves.
                m->layers_active = false;
                if (table) m->prepare_layers(s);
                continue;
            }
            const float distance = hypot2(s->position[0] - b->position[0], s->position[1] - b->position[1]);
            st_layer_record& r = m->layers_active ? m->layers[m->record_of(b)] : single;
            const bool better = mode == attr_report_nearest ? distance < r.best_hit : distance > r.best_hit;
            if (!r.best || better) {
                r.best = b;
                r.best_hit = distance;
            }
        }
    }
    if (!keep_best) return reported;
    if (!m->layers_active) {
        if (single.best) callback.report(s, single.best, single.best_hit);
        return single.best != nullptr;
    }
    // Reports may rebuild the table: take the bests out first.
    std::vector<st_layer_record> bests;
    for (st_layer_record& r : m->layers) {
        if (r.best) bests.push_back(r);
        r.best = nullptr;
    }
    for (const st_layer_record& r : bests) callback.report(s, r.best, r.best_hit);
    return !bests.empty();
}

void collision_manager::sensor_callback::report(st_body* s, st_body* b, float) {
    actor_object* owner = static_cast<actor_object*>(s->owner);
    if (!owner->slots[slot_collide].entry) return;
    int32_t event = int32_t(s->attr.id);
    script_value value = {0, 0};
    if (s->attr.attr & attr_own_id) {
        value = {script_value_integer, uintptr_t(b->attr.id)};
    } else if (s->attr.attr & attr_other_id) {
        event = int32_t(b->attr.id);
    }
    actor_call_slot(owner, slot_collide, body_script_owner(collision_manager::instance(), b), event, value);
}

bool collision_manager::test_sensor(st_body* s, sensor_callback_base& callback) {
    actor_manager* actors = actor_manager::instance();
    collision_params params;
    params.act_level = actors ? actors->act_level : 255;
    params.field_object = field_object;
    return sensor_test(this, params, s, callback);
}

void collision_manager::test_sensors() {
    actor_manager* actors = actor_manager::instance();
    collision_params params;
    params.act_level = actors ? actors->act_level : 255;
    params.field_object = field_object;
    sensor_callback callback;
    for (size_t i = 0; i < sensors.size(); ++i) {
        st_body* s = sensors[i];
        if (!s->shape || !(s->flags & body_flag_enabled) || !owner_senses(s, params.act_level)) continue;
        sensor_test(this, params, s, callback);
    }
}
