// The collision world: bodies in four lists by kind, the world settings,
// the two moves, field effects and the per-frame sensor pass.
#ifndef VY_WORLD_COLLISION_MANAGER_H
#define VY_WORLD_COLLISION_MANAGER_H

#include <cstdint>
#include <vector>

#include "core/singleton.h"
#include "world/collision_body.h"
#include "world/collision_overlap.h"

// What the collision world asks of the current field; the fields plug it
// in. Without one, bodies meet only on their own layer.
class i_collision_field {
public:
    virtual ~i_collision_field() = default;
    virtual const void* current() const = 0;
    virtual int32_t layer_count() const = 0;
    virtual bool layer_size(int32_t layer, int32_t& width, int32_t& height) const = 0;
};

// One hit of a ray: where it meets the shape and the surface's normal;
// inside: the ray starts within the shape (point holds the ray's delta).
struct st_intersect2d_info {
    float point[2];
    float normal[2];
    uint8_t inside;
};

struct st_layer_record {
    uint8_t collides = 0;
    st_body* best = nullptr;
    float best_hit = 0;
    st_intersect2d_info best_info = {};
};

// What a pass hands to its tests.
struct collision_params {
    int32_t act_level = 255;
    const void* field_object = nullptr;
};

template <class Tested, class Info>
class collision_callback {
public:
    virtual ~collision_callback() = default;
    virtual void report(Tested* tested, st_body* other, Info info) = 0;
};
using sensor_callback_base = collision_callback<st_body, float>;

class collision_manager : public singleton<collision_manager> {
public:
    using body_list = std::vector<st_body*>;

    // Reports a hit into the collide slot of the sensor's owner actor.
    class sensor_callback : public sensor_callback_base {
    public:
        void report(st_body* sensor, st_body* other, float distance) override;
    };

    collision_manager();
    ~collision_manager() override;

    st_body* add_body(void* owner, const st_body_attr& attr, st_shape* shape);
    st_body* add_sensor(void* owner, const st_body_attr& attr, st_shape* shape);
    st_body* add_reactor(void* owner, const st_body_attr& attr, st_shape* shape);
    st_body* body_list_add(void* owner, const st_body_attr& attr, st_shape* shape, uint32_t kind, bool owned);

    // The sliding move: 0, 1 or 2 (the attempt that moved), -1 otherwise.
    int32_t move_body(st_body* body);
    void test_sensors();
    bool test_sensor(st_body* sensor, sensor_callback_base& callback);
    // actors.collision: 0 on, 1 off; false for any other request.
    bool set_request(int32_t value);
    // Deletes the bodies whose owners let go.
    void dispose();
    // Every body deleted and the settings back to their start (scripts
    // restart or the engine ends).
    void reset();

    // Layer rules between a mover or sensor and a candidate.
    void prepare_layers(int32_t layer);
    void prepare_layers(const st_body* body) { prepare_layers(body->layer); }
    bool layer_passes(int32_t layer, const st_body* b) const;
    bool layer_passes(const st_body* a, const st_body* b) const { return layer_passes(a->layer, b); }
    // The layer record a candidate's best hit is kept in.
    size_t record_of(const st_body* b) const;

    body_list own, bodies, sensors, effects, reactors;
    float gravity[3] = {};
    float resist = 0;
    int32_t pass_count = 4;
    int32_t request = 0;
    int32_t collision_switch = -1;
    st_body_attr defaults;
    std::vector<st_layer_record> layers;
    const void* layers_field = nullptr;
    int32_t layers_layer = int32_t(0x80000000);
    bool layers_active = false;
    bool attr_format = false;
    // The object that owns field bodies (sensors skip them unless asked).
    const void* field_object = nullptr;
    i_collision_field* field = nullptr;

private:
    void reset_settings();
};

// The physical move with responses; exclude is no obstacle (the pusher).
uint32_t body_move(collision_manager* manager, st_body* body, st_body* exclude);
int32_t body_find_overlap(collision_manager* manager, st_body* body);
bool sensor_test(collision_manager* manager, const collision_params& params, st_body* sensor,
                 sensor_callback_base& callback);
// The sixteen direction codes of a contact normal.
uint32_t contact_direction_code(float x, float y);
// Whether a candidate's owner may be sensed (or met by a ray) at a level.
bool owner_sensed(const st_body* body, int32_t level);
// The owner a script is handed for a body: field cells belong to the named
// field object, and scripts see the actor that holds that name now.
void* body_script_owner(const collision_manager* manager, const st_body* body);
// Tells the body's owner where the body went.
void body_owner_moved(st_body* body);

// Owners the collision world knows: actors are told their body's moves.
enum : uint8_t {
    owner_other = 0,
    owner_actor = 1,
};

#endif
