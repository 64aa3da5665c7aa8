#include "world/object_manager.h"

#include "core/trace.h"
#include "world/action_manager.h"
#include "world/extend_action.h"

void sprites_library_register(lua_State* L);

namespace {
// Far below where float steps of 1.0 get lost.
constexpr float act_clock_wrap = 1048576.0f;
}

object_manager::object_manager() { initialize(nullptr); }

object_manager::~object_manager() = default;

bool object_manager::initialize(lua_State* L) {
    if (L) {
        lua = L;
        sprites_library_register(L);
        if (!actors.intialize(L)) {
            TRACE_ERROR("object_manager::initialize", "actor_manager::initialize", -1);
            return false;
        }
    }
    act_frame = false;
    act_rate = 1.0f;
    act_counter = 0.0f;
    next_act = 0.0f;
    return true;
}

void object_manager::set_act_rate(float rate) { act_rate = rate >= 1.0f ? rate : 1.0f; }

void object_manager::update() {
    act_frame = next_act <= act_counter;
    if (act_frame) {
        if (next_act >= act_clock_wrap) {
            next_act -= act_clock_wrap;
            act_counter -= act_clock_wrap;
        }
        next_act += act_rate;
    }
    act_counter += 1.0f;
}

void object_manager::end_frame() {
    if (act_frame) sprites.update();
    actors.dispose();
}

int32_t world_frame_step() {
    object_manager* objects = object_manager::instance();
    extend_actions_update();
    if (!objects) return 0;
    objects->update();
    if (!objects->actors.update()) return -1;
    if (objects->act_frame && !objects->actors.update_late()) return -1;
    return script_error_status != 0 ? -1 : 0;
}

void world_end_frame() {
    if (object_manager* objects = object_manager::instance()) objects->end_frame();
}
