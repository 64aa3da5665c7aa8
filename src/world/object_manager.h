// The world's frame: the handle table, the sprite and actor managers and the act clock
// that decides which frames are act frames.
#ifndef VY_WORLD_OBJECT_MANAGER_H
#define VY_WORLD_OBJECT_MANAGER_H

#include "core/singleton.h"
#include "world/actor_manager.h"
#include "world/object_container.h"
#include "world/sprite_manager.h"

struct lua_State;

class object_manager : public singleton<object_manager> {
public:
    object_manager();
    ~object_manager() override;

    bool initialize(lua_State* L);
    void update();     // the act clock, once a frame before the passes
    void end_frame();  // after rendering: animation on act frames, disposal of dead actors
    // One act frame in every rate frames; below 1.0 means 1.0.
    void set_act_rate(float rate);

    object_container container;
    sprite_manager sprites;
    actor_manager actors;
    lua_State* lua = nullptr;
    float act_rate = 1.0f;
    float act_counter = 0.0f;
    float next_act = 0.0f;
    bool act_frame = false;
};

// The world's share of one frame, in order: extend actions, act clock,
// frame list, act list on act frames, the script error check. 0 or -1;
// the caller logs a failed frame.
int32_t world_frame_step();
// After rendering.
void world_end_frame();

#endif
