#include "actions/native_actions.h"

#include "actions/action_library.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/collision_manager.h"
#include "world/field.h"
#include "world/sprite_class.h"
#include "world/sprite_object.h"

namespace {
// A copy of the value that the actor can own: a stack value or a reference
// of the caller's becomes a reference of the actor's own, and an object the
// caller owns is only pointed at.
script_value owned_copy(const script_value& value, lua_State* L) {
    switch (value.kind) {
        case script_value_stack:
        case script_value_reference: {
            if (!L) return script_value{0, 0};
            script_value_push(value, L, L);
            const int32_t ref = world_ref_take(L);
            return ref > 0 ? script_value::reference(ref) : script_value{0, 0};
        }
        case script_value_object:
            return script_value{script_value_pointer, value.data};
        default:
            return value;
    }
}

// One movement step through the actor's own move, so a body collides and
// its sprite follows; a bodiless actor just takes its vector. Negative when
// the move was blocked.
int32_t move_step(actor_object* actor) {
    collision_manager* world = collision_manager::instance();
    if (world && actor->body && !(actor->cls && (actor->cls->flags & class_no_body_move)))
        return actor->move();
    actor->set_position(actor->position[0] + actor->vector[0], actor->position[1] + actor->vector[1],
                        actor->position[2] + actor->vector[2]);
    return 0;
}

// A new way turns the sprite and gives the body that way's frame shape.
void turn(actor_object* actor, int32_t way) {
    actor->set_way(way);
    actor->follow_frame_shapes(actor->sprite);
}

bool off_screen(const actor_object* actor) {
    graphic* g = graphic::instance();
    const float width = g ? float(g->client_width()) : 0.0f;
    const float height = g ? float(g->client_height()) : 0.0f;
    const float x = actor->position[0], y = actor->position[1];
    return x < 0.0f || x > width || y < 0.0f || y > height;
}

// Held: pressed for some frames (a press taken back by a clear reads
// 0x80000000, which is negative).
bool held(int32_t value) { return value > 0; }

// Velocity factors of the eight ways (0 down, 2 right, 4 up, 6 left); the
// diagonals take 0.7 of each speed.
const float way_x[8] = {0.0f, 0.7f, 1.0f, 0.7f, 0.0f, -0.7f, -1.0f, -0.7f};
const float way_y[8] = {1.0f, 0.7f, 0.0f, -0.7f, -1.0f, -0.7f, 0.0f, 0.7f};

int32_t way_of(int32_t dx, int32_t dy) {
    if (dx > 0) return dy > 0 ? 1 : dy < 0 ? 3 : 2;
    if (dx < 0) return dy > 0 ? 7 : dy < 0 ? 5 : 6;
    if (dy < 0) return 4;
    if (dy > 0) return 0;
    return -1;
}

void press_buttons(actor_object* actor, const int32_t* codes) {
    for (int32_t code = 16; code <= 19; ++code) {
        const int32_t value = codes[code];
        if (value >= 0 || value == INT32_MIN) continue;
        action_slot* catcher = &actor->slots[slot_catch];
        if ((actor->flags & actor_dead) || !actor->cls || (actor->cls->flags & class_disabled) ||
            !catcher->entry)
            return;
        catcher->entry(actor, nullptr, catcher, code - 15, script_value{0, 0});
    }
}

void request_animation(actor_object* actor, int32_t index) {
    sprite_object* sprite = actor->sprite;
    if (!sprite || !sprite->base_class) return;
    const int32_t shown = sprite->pending_state >= 0 ? sprite->pending_state : sprite->state;
    if (shown < 0 || shown > 2) return;
    if (sprite->base_class->states.size() > size_t(index)) sprite->pending_state = index;
}
}  // namespace

int32_t init_action(actor_object* actor, void*, action_slot*, int32_t, script_value value) {
    action_manager* manager = action_manager::instance();
    lua_State* L = manager ? manager->lua() : nullptr;
    // The actor owns its extend value: the old one is let go, and the new
    // one must outlive the caller's value.
    script_value copy = owned_copy(value, L);
    script_value_release(actor->extend, L);
    actor->extend = copy;
    return 0;
}

int32_t test_action(actor_object* actor, void*, action_slot*, int32_t, script_value) {
    const float sx = actor->cls ? actor->cls->speed[0][0] : 0.0f;
    const float sy = actor->cls ? actor->cls->speed[0][1] : 0.0f;
    float vx = 0.0f, vy = 0.0f;
    if (actor->way >= 0 && actor->way < 8) {
        vx = way_x[actor->way] * sx;
        vy = way_y[actor->way] * sy;
    }
    actor->set_vector(vx, vy, 0.0f);
    if (move_step(actor) < 0 || off_screen(actor)) turn(actor, (actor->way + 4) % 8);
    return 0;
}

int32_t test_player_action(actor_object* actor, void*, action_slot*, int32_t, script_value) {
    const action_library_hooks& hooks = action_hooks();
    player_input_reading in{};
    if (!hooks.first_input || !hooks.first_input(in) || !in.codes) return 0;
    const int32_t mode = held(in.codes[116]) ? 1 : held(in.codes[124]) ? 2 : 0;
    const float* speed = actor->cls ? actor->cls->speed[mode] : nullptr;
    const float vx = speed ? in.axis[0] * speed[0] : 0.0f;
    const float vy = speed ? in.axis[1] * speed[1] : 0.0f;
    press_buttons(actor, in.codes);
    actor->set_vector(vx, vy, 0.0f);
    move_step(actor);
    field::set_view(actor->position, true);
    const int32_t way = way_of(in.direction[0], in.direction[1]);
    if (way >= 0) turn(actor, way);
    request_animation(actor, way < 0 ? 0 : mode == 2 ? 2 : 1);
    return 0;
}

bool native_actions_register(action_manager* manager) {
    bool ok = native_action_register("init_action", manager, nullptr, init_action);
    ok = native_action_register("test_action", manager, nullptr, test_action) && ok;
    ok = native_action_register("test_player_action", manager, nullptr, test_player_action) && ok;
    return ok;
}
