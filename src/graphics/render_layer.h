// Render objects and the layers that hold them. A layer decides how its
// objects are drawn (sprite batch or not, blend states, texture filters)
// and into which render target; it refers to its objects, never owns them.
#ifndef VY_GRAPHICS_RENDER_LAYER_H
#define VY_GRAPHICS_RENDER_LAYER_H

#include <windows.h>

#include <cstdint>
#include <list>

class graphic;
class graphic_render_target;
class graphic_sprite_object;

// Flag bits of render objects.
enum : uint32_t {
    render_flag_hidden = 0x80000000u,
    render_flag_exact_position = 0x40000000u,
};

// Flag bits of layers.
enum : uint32_t {
    layer_flag_hidden = 0x80000000u,
    layer_flag_object_added = 0x40000000u,
    layer_flag_object_removed = 0x20000000u,
    layer_state_mask = 0xFFu,
    layer_minfilter_mask = 0x0F00u,
    layer_magfilter_mask = 0xF000u,
};

class graphic_render_interface {
public:
    virtual ~graphic_render_interface() = default;
    virtual bool render() { return false; }
};

class graphic_render_object : public graphic_render_interface {
protected:
    graphic* graphic_;

public:
    explicit graphic_render_object(graphic* owner);

    virtual bool create() { return false; }
    virtual bool release(bool all) { (void)all; return true; }

    void set_flag(uint32_t mask, bool on);
    // Stores the rectangle clamped to the screen; one wholly off the screen
    // hides the object (never shows it again).
    void set_clip_rect(const RECT& rect);
    bool hidden() const { return (flags & render_flag_hidden) != 0; }

    graphic* owner() const { return graphic_; }

    uint32_t flags = 0;
    uint32_t blend = 0;   // low byte: row of the sprite batch's blend table
    int32_t layer_id = 0;
    int32_t order = 0;    // base layers draw larger keys first
    RECT clip{};
};

class graphic_render_layer : public graphic_render_interface {
protected:
    graphic* graphic_;

public:
    graphic_render_layer(graphic* owner, int32_t layer_id) : graphic_(owner), id(layer_id) {}

    // Selects the target (none: the screen target), then draws unless
    // hidden or empty.
    bool render() override;

    graphic* owner() const { return graphic_; }

    uint32_t flags = 0;
    int32_t id;
    graphic_render_target* target = nullptr;
    std::list<graphic_render_object*> objects;
    // Set by whoever owns the frame's layout: a skipped layer draws nothing
    // (its target is not even selected); a layer that keeps alpha leaves
    // its target's alpha channel as cleared.
    bool skipped = false;
    bool keep_alpha = false;

protected:
    bool select_target();
    // Drawing proper, once the target is set and there is something to draw.
    virtual bool draw();
    // Renders every object in list order; AND of the results.
    bool render_objects();
};

class graphic_opaque_sprite_render_layer : public graphic_render_layer {
public:
    using graphic_render_layer::graphic_render_layer;
protected:
    bool draw() override;
};

class graphic_alpha_sprite_render_layer : public graphic_render_layer {
public:
    using graphic_render_layer::graphic_render_layer;
protected:
    bool draw() override;
};

class graphic_sprite_blendstate_layer : public graphic_alpha_sprite_render_layer {
public:
    using graphic_alpha_sprite_render_layer::graphic_alpha_sprite_render_layer;
};

class graphic_addalpha_sprite_render_layer : public graphic_render_layer {
public:
    using graphic_render_layer::graphic_render_layer;
protected:
    bool draw() override;
};

class graphic_sprite_staterender_layer : public graphic_render_layer {
public:
    using graphic_render_layer::graphic_render_layer;
protected:
    bool draw() override;
};

// Copies the off-screen screen onto the device's back buffer, centred and
// optionally scaled in full screen. Never in the layer list.
class graphic_screen_render_layer : public graphic_render_layer {
public:
    graphic_screen_render_layer(graphic* owner, int32_t layer_id);
    ~graphic_screen_render_layer() override;

    bool initialize(graphic_render_target* source, graphic_render_target* destination);
    bool render() override;

    graphic_sprite_object* sprite() const { return sprite_; }

private:
    bool copy_whole();

    graphic_sprite_object* sprite_ = nullptr;
    graphic_render_target* source_ = nullptr;
};

// Sprite-batch begin flags of the state-render states.
uint32_t layer_state_begin_flags(uint32_t state);

#endif
