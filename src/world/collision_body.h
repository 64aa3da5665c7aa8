// Collision bodies: what the collision world knows of an actor or another
// owner — a shape, a position, a motion state and an attribute record.
#ifndef VY_WORLD_COLLISION_BODY_H
#define VY_WORLD_COLLISION_BODY_H

#include <cstdint>

#include "world/collision_shape.h"

struct lua_State;

enum : uint32_t {
    kind_mask = 0xC0000000,
    kind_body = 0,
    kind_sensor = 0x40000000,
    kind_effect = 0x80000000,
    kind_reactor = 0xC0000000,
    attr_report_nearest = 0x10000000,
    attr_report_farthest = 0x20000000,
    attr_report_mask = 0x30000000,
    attr_owned = 0x08000000,
    attr_match_mask = 0x07000000,
    attr_cross_layers = 0x800000,
    attr_gravity = 0x400000,
    attr_resist = 0x200000,
    attr_kinematic = 0x1,
    attr_split_edges = 0x4,
    attr_not_drawn = 0x8,
    attr_other_id = 0x1000,
    attr_own_id = 0x2000,
    attr_no_friction = 0x4000,
    attr_no_bounce = 0x8000,
};

enum : uint8_t {
    body_flag_enabled = 1,
    body_flag_release = 2,
};

struct st_body_attr {
    uint32_t id, type, cond, attr;
    float mass, resist, reflect, frict;
};

// What a field effect does to bodies moving through it (the field fills it).
struct st_effect_record {
    uint32_t flags;
    float k[4];
    int32_t layer_step;
};

struct st_body {
    st_body_attr attr;
    int32_t layer = 0;
    float position[2] = {};
    float acceler[2] = {};
    float vector[2] = {};
    float carry[2] = {};
    float force[2] = {};
    float angle = 0;
    uint32_t flip = 0;
    float spin = 0;
    uint32_t collide = 0;
    st_body* collided = nullptr;
    st_shape* shape = nullptr;  // the shape tested
    st_shape* base = nullptr;   // untransformed, not ours; null until transformed
    st_body** subs = nullptr;   // edge sub-bodies of a spinning polygon
    uint32_t sub_count = 0;
    uint8_t flags = 0;
    bool is_sub = false;
    uint8_t owner_kind = 0;  // what the owner is (collision_manager.h)
    void* owner = nullptr;
    const st_effect_record* effect = nullptr;
};

st_body* body_create(uint32_t kind, const st_body_attr& attr, st_shape* shape, void* owner, bool owned);
// Frees the body now: its transformed copy, its sub-bodies, the record.
void body_delete(st_body* body);
// The owner lets go: disabled at once (its owner may go before the
// manager's disposal deletes it).
void body_release(st_body* body);
bool body_matches(const st_body* a, const st_body* b);
// The cond rule alone (the enabled flags aside).
bool attr_accepts(const st_body_attr& a, uint32_t type);

void body_set_shape(st_body* body, st_shape* shape);
void body_set_angle(st_body* body, float angle);
void body_set_transform(st_body* body, float angle, uint32_t flip, bool force);
void body_clear_shapes(st_body* body);
// Builds the edge sub-bodies once; false when that failed.
bool body_make_subs(st_body* body);

// Reads the table at the index into the record; with keep the record's
// own values are the start, else the collision world's defaults.
bool load_body_attribute(lua_State* L, int index, st_body_attr& attr, bool keep);

#endif
