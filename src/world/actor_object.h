// An actor: a game object of an actor class with nine bound action slots, a
// run state, an act level and mode, a reference count and an optional
// parent and name.
#ifndef VY_WORLD_ACTOR_OBJECT_H
#define VY_WORLD_ACTOR_OBJECT_H

#include <cstdint>

#include "world/action_slot.h"
#include "world/actor_class.h"

class sprite_object;
struct named_object_entry;

enum : uint32_t {
    actor_dead = 0x80000000,
    actor_dying = 0x40000000,
    actor_run_mask = 0x30000000,
    run_running = 0,
    run_stored = 0x10000000,
    run_waiting = 0x20000000,
    run_frozen = 0x30000000,
    actor_asleep = 0x8000000,
    actor_hidden_by_script = 0x1000000,
    actor_body_lent = 0x100000,
    actor_released = 0xFFFFFFFF,
};

// System events, sent to the catch slot of classes that ask for them.
enum : int32_t {
    event_first_activation = 0x70000001,
    event_kill = 0x70000002,
    event_group_restore = 0x70000003,
    event_activation = 0x70000004,
    event_group_store = 0x70000005,
    event_stored = 0x70000006,
    event_asleep = 0x70000007,
    event_woken = 0x70000008,
};

class actor_object {
public:
    explicit actor_object(st_actor_class* cls);
    virtual ~actor_object();

    // Teardown: extend actions, slot states, sprite, extend value, parent,
    // the class's use, the handle id. Runs once.
    void release();
    bool set_run_state(uint32_t state);
    bool start(bool first);
    void set_position(float x, float y, float z);
    void set_vector(float x, float y, float z);
    bool set_way(int32_t way);
    // Asleep or awake: activity re-evaluated, then the system event.
    void set_sleep(bool asleep);
    // 255 or less is stored; more restores the class's level.
    void set_act_level(int32_t level);
    // The sprite's paused bit follows the actor's activity.
    void update_visibility();

    // Collision bodies: made from the class (false when one could not be
    // made), kept at the actor's place, and followed back after a move.
    bool make_bodies();
    void apply_body_position(st_body* moved);
    // Bodies whose class names a shape set take that set's shape of the
    // sprite's current frame and way.
    void follow_frame_shapes(const sprite_object* frame_source);
    // A lender's body as the actor's own (its own one goes for good); none
    // leaves the actor without a body.
    void attach_body(st_body* lent);
    // The sliding move (-1 blocked or nothing moved) and the physical move
    // (contact flags); without a body, or for a class that moves by
    // itself, the position is refreshed and 0 answered.
    int32_t move();
    uint32_t move2();

    // What every step reads comes first, so a step touches few cache lines.
    uint32_t flags = 0;
    st_actor_class* cls;
    sprite_object* sprite = nullptr;
    actor_object* parent = nullptr;  // counted reference
    st_body* body = nullptr;
    st_body* sensor = nullptr;
    int32_t act_mode = 0;
    int32_t act_level = 0;
    uint32_t id = 0;
    named_object_entry* named = nullptr;
    float sprite_offset[3] = {};
    float position[3] = {};
    float vector[3] = {};
    float angular = 0;
    int32_t way = 0;
    int32_t zorder = 0;
    action_slot slots[slot_count] = {};
    script_value extend = {0, 0};
    int32_t extend_count = 0;
    int32_t ref_count = 0;
    int32_t child_count = 0;
    uint32_t blend = 0;
    const char* group = nullptr;  // the name of its group, or none
    bool body_shape_fixed = false;  // a script chose the shape: frames leave it
};

// Counted actor references: the old target loses a reference (all ones in
// its flag word at 0), the new one gains one.
void actor_ref_assign(actor_object*& ref, actor_object* actor);
void actor_ref_release(actor_object*& ref);

int32_t actor_call_slot(actor_object* actor, uint32_t slot, void* context, int32_t event,
                        script_value value);
int32_t actor_throw_event(actor_object* actor, int32_t event, void* context, script_value value);
int32_t actor_send_system_event(actor_object* actor, int32_t event, script_value value);
void actor_kill(actor_object* actor);
// Not dead, class enabled, running (or just stored), awake, and at most
// the given act level. Asked for every actor every frame: kept inline.
inline bool actor_is_active(const actor_object* actor, int32_t level) {
    const uint32_t f = actor->flags;
    if (f & actor_dead) return false;
    if (!actor->cls || (actor->cls->flags & class_disabled)) return false;
    if ((f & actor_run_mask) >= run_waiting) return false;
    if (f & actor_asleep) return false;
    return actor->act_level <= level;
}
// Neither dead nor dying, class enabled, and no death asked by the sprite.
bool actor_is_alive(const actor_object* actor);

// Scripts hand their own actor back on nearly every call. While an actor's
// coroutine runs, that pointer is known to be live without asking the
// registry of live objects. The destruction of any actor clears it, and a
// scope puts the outer actor back only when no actor was destroyed since.
extern actor_object* running_actor;
extern uint32_t actor_destructions;

class running_actor_scope {
public:
    explicit running_actor_scope(actor_object* actor)
        : saved_(running_actor), destructions_(actor_destructions) {
        running_actor = actor;
    }
    ~running_actor_scope() { running_actor = destructions_ == actor_destructions ? saved_ : nullptr; }
    running_actor_scope(const running_actor_scope&) = delete;
    running_actor_scope& operator=(const running_actor_scope&) = delete;

private:
    actor_object* saved_;
    uint32_t destructions_;
};

#endif
