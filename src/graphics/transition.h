// Screen transitions: the new scene blended over the old one during a number
// of frames. The system swaps its two scene targets, makes the transition by
// type id, starts it with both targets and the two transition layers, steps
// it once a frame until the step reports the end, then finishes it.
#ifndef VY_GRAPHICS_TRANSITION_H
#define VY_GRAPHICS_TRANSITION_H

#include <cstdint>
#include <memory>

#include "graphics/sprite.h"
#include "graphics/texture.h"

struct lua_State;

// The fade family's default colour: the system's background colour.
void set_transition_background(uint32_t colour);
uint32_t transition_background();

class transition : public graphic_sprite_object {
public:
    explicit transition(graphic* owner) : graphic_sprite_object(owner) {}
    // Never leaves its layer pointing at a deleted object.
    ~transition() override;
    using graphic_sprite_object::create;

    // The parameters are the value at params of L (0 or no state: none);
    // the duration is in frames, 0 for a transition that never ends alone.
    virtual bool create(lua_State* L, int params, uint32_t duration);
    // Changes one parameter while running; the value is the last on L's stack.
    virtual bool update(lua_State* L, int32_t id);
    virtual bool start(graphic_texture* new_scene, graphic_texture* old_scene, int32_t first_layer,
                       int32_t second_layer);
    // Undoes layer changes at the end.
    virtual bool finish() { return true; }
    // One frame; false once the transition has ended.
    virtual bool step() { return count_step(); }

    int32_t first_layer = 0;
    int32_t second_layer = 0;
    uint32_t duration = 0;
    uint32_t elapsed = 0;

protected:
    bool count_step();
    // t / d of this step (1 while the duration is 0: no division by it).
    float fraction() const;
    void set_alpha(float f);
    void set_scale(float s);
    void clear_screen_to(uint32_t colour);
};

// The scene that was on screen, shown under the transition.
class old_scene_sprite {
public:
    explicit old_scene_sprite(graphic* owner) : owner_(owner) {}
    ~old_scene_sprite() { release(); }
    bool allocate();
    // Shows the texture (not owned) on the layer, fitted at depth z.
    bool attach(graphic_texture* texture, int32_t layer, float z);
    void release();
    graphic_sprite_object* get() const { return sprite_.get(); }

private:
    graphic* owner_;
    std::unique_ptr<graphic_sprite_object> sprite_;
};

class standard_transition : public transition {
public:
    using transition::transition;
    // Refitted every frame: the screen may have changed size since start.
    bool step() override {
        fit_texture(1.0f);
        return true;
    }
};

class _fade_transition : public transition {
public:
    using transition::transition;
    using graphic_sprite_object::create;
    bool create(lua_State* L, int params, uint32_t duration) override;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool step() override;

protected:
    int32_t reverse_ = 0;
    uint32_t colour_ = 0;
};

class _scalefade_transition : public _fade_transition {
public:
    using _fade_transition::_fade_transition;
    using graphic_sprite_object::create;
    bool create(lua_State* L, int params, uint32_t duration) override;
    bool step() override;

private:
    float scale_ = 2.0f;
};

class _crossfade_transition : public transition {
public:
    explicit _crossfade_transition(graphic* owner) : transition(owner), old_(owner) {}
    using graphic_sprite_object::create;
    bool create(lua_State* L, int params, uint32_t duration) override;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool step() override;
    bool release(bool keep) override;

private:
    old_scene_sprite old_;
};

class fade_transition : public transition {
public:
    using transition::transition;
    using graphic_sprite_object::create;
    bool create(lua_State* L, int params, uint32_t duration) override;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool step() override;

protected:
    // What a type reads beyond the family's own parameters (params: the
    // stack index, 0 when there are none).
    virtual bool read_parameters(lua_State* L, int params, bool table) {
        (void)L, (void)params, (void)table;
        return true;
    }

    bool fade_ = false;
    uint32_t colour_ = 0;
    bool colour_given_ = false;
};

class scalefade_transition : public fade_transition {
public:
    using fade_transition::fade_transition;
    using graphic_sprite_object::create;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool step() override;

protected:
    bool read_parameters(lua_State* L, int params, bool table) override;

private:
    float scale_ = 2.0f;
};

class crossfade_transition : public fade_transition {
public:
    explicit crossfade_transition(graphic* owner) : fade_transition(owner), old_(owner) {}
    using graphic_sprite_object::create;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool step() override;
    bool release(bool keep) override;

protected:
    bool read_parameters(lua_State* L, int params, bool table) override;

    old_scene_sprite old_;
};

// A wipe: the old scene, drawn over the new one, loses each pixel over
// "dim" frames at a time set by the mask image's level at that pixel.
class universal_transition : public crossfade_transition {
public:
    explicit universal_transition(graphic* owner) : crossfade_transition(owner) {}
    ~universal_transition() override;
    using graphic_sprite_object::create;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool finish() override;
    bool step() override;
    bool release(bool keep) override;

protected:
    bool read_parameters(lua_State* L, int params, bool table) override;

private:
    bool load_mask(const string& path);
    void free_textures();

    graphic_texture::alpha_image mask_;
    graphic_texture::alpha_image work_;
    bool has_mask_ = false;
    uint32_t dim_ = 1;
    bool reverse_ = false;
    uint32_t interval_[256][2] = {};
    uint8_t level_[256] = {};
    graphic_texture* copy_ = nullptr;     // system memory: the old scene's colours
    graphic_texture* shown_ = nullptr;    // dynamic: what the old-scene sprite shows
    uint32_t saved_state_ = 0;
};

// Where a mask image named by a script is found (the engine points it at
// the graphic search path; by default the name is a file path).
using transition_image_resolver = bool (*)(const char* name, wstring& path, string& entry);
void set_transition_image_resolver(transition_image_resolver resolver);

class effect_transition : public transition {
public:
    using transition::transition;
    using graphic_sprite_object::create;
    bool create(lua_State* L, int params, uint32_t duration) override;
    bool update(lua_State* L, int32_t id) override;
    bool start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) override;
    bool finish() override;
    bool step() override;

private:
    float offset_x_ = 0.0f;
    float offset_y_ = 0.0f;
    D3DXVECTOR3 base_{0, 0, 0};
    uint32_t saved_flags_ = 0;
};

// The creators in type-id order (0 to 8); null past the table.
constexpr int transition_type_count = 9;
transition* transition_create(int32_t type, graphic* owner);

#endif
