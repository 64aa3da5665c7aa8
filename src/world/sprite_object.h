// An animated sprite of a sprite class: a textured quad in a render layer
// that plays the class's frames, scenes and states, with a world position
// converted to the screen when drawn.
#ifndef VY_WORLD_SPRITE_OBJECT_H
#define VY_WORLD_SPRITE_OBJECT_H

#include <cmath>
#include <cstdint>
#include <new>

#include "core/script_value.h"
#include "graphics/sprite.h"

class st_sprite_class;
struct st_sprite_frame;
class graphic;

enum : uint32_t {
    sprite_hidden = 0x80000000,
    sprite_paused = 0x40000000,  // no animation; position not rounded either
    sprite_not_yet_shown = 0x20000000,
    sprite_ended = 0x10000000,
};

// Words of the events an advance leaves for the owning actor.
enum : int {
    sprite_event_state_end = 0,  // -1 when the state ended
    sprite_event_scene_end = 1,
    sprite_event_frame_leave = 2,
    sprite_event_frame_enter = 3,
    sprite_event_scene_start = 4,
    sprite_event_count = 6,
};

class sprite_object final : public graphic_sprite_object {
public:
    // Locks the class and joins the render layer of the id. A null owner
    // means the graphic's instance; a null class makes a bare record.
    sprite_object(graphic* owner, st_sprite_class* cls, int32_t layer);
    sprite_object() : sprite_object(nullptr, nullptr, -1) {}
    ~sprite_object() override;
    // Sprites live in a pool of their own: every act frame advances them
    // all, and side by side that takes well under half the time it takes
    // with sprites scattered over the heap.
    static void* operator new(size_t size);
    static void* operator new(size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;

    bool render() override;

    bool init(int32_t state, int32_t way, bool release);
    bool set_state(int32_t state, bool force);
    bool set_scene(st_sprite_class* cls, int32_t scene);
    void set_frame(int32_t frame);
    bool set_way(int32_t way);
    void use_class(st_sprite_class* cls);
    void set_sub_rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void set_rotation(float degrees);
    void set_scale(float x, float y);
    void set_alpha(float alpha);
    void set_color(uint32_t color);
    const script_value* frame_extend() const;
    // One animation step; false once the animation has ended. Most act
    // frames only count towards the next frame change: that much is inline
    // in the sprite pass.
    bool advance() {
        if ((flags & (sprite_not_yet_shown | sprite_paused)) || pending_state >= 0 || state < 0 || !cls) {
            return advance_rare();
        }
        return count_frame() || next_frame();
    }

    // What every act frame touches comes first: the actor's step reads
    // the events, its script moves the position, the advance counts.
    int32_t frame_events[sprite_event_count] = {};
    float x = 0, y = 0, z = 0;  // world position
    int32_t state = -1;
    int32_t pending_state = -1;
    int32_t frame_counter = 0;
    float next_change = 0.0f;
    int32_t list_index = -1;  // in the sprite manager's list

    uint32_t id = 0;
    st_sprite_class* base_class = nullptr;
    st_sprite_class* cls = nullptr;  // the class shown now
    int32_t scene = 0;
    int32_t frame = 0;
    int32_t repeat_counter = 0;
    int32_t way = 0;
    int32_t sub_rect[4] = {};
    float extra_rotation = 0.0f;
    float extra_scale[2] = {1.0f, 1.0f};
    float alpha = 1.0f;
    uint32_t color_override = 0xFFFFFFFF;
    int32_t zorder = 0;
    bool release_when_ended = false;
    void* owner = nullptr;  // the actor that owns it, none for a bare sprite

private:
    // Clears the last frame's events and counts an act frame; true while
    // the frame's time is not up.
    bool count_frame() {
        int32_t any = 0;
        for (int32_t e : frame_events) any |= e;
        if (any != 0) {
            for (int32_t& e : frame_events) e = 0;
        }
        ++frame_counter;
        return float(frame_counter) < std::trunc(next_change);
    }
    bool advance_rare();
    bool next_frame();
    const st_sprite_frame* frame_record() const;
    void apply_color();
    void end_state();
};

#endif
