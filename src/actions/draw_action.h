// `draw_action`: scenes cut from one image and drawn every frame at the
// owner's position, each with its own offset, pivot, rotation, scale,
// colour and tile animation, through one render object of the action's.
#ifndef VY_ACTIONS_DRAW_ACTION_H
#define VY_ACTIONS_DRAW_ACTION_H

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "graphics/texture_cache.h"
#include "world/extend_action.h"

class st_sprite_class;
class render_layer_action;

// One counted use of a texture cache entry; empty when it holds none.
class texture_use {
public:
    texture_use() = default;
    ~texture_use() { clear(); }
    texture_use(const texture_use&) = delete;
    texture_use& operator=(const texture_use&) = delete;

    // A further use of the entry another handle names.
    bool share(const graphic_texture_manager::iterator& entry);
    // The image file the name resolves to through the image search path.
    bool load(const char* name);
    void clear();
    graphic_texture* get() const;
    bool empty() const { return !held_; }

private:
    graphic_texture_manager::iterator entry_;
    bool held_ = false;
};

enum : uint32_t {
    scene_defined = 0x1,
    scene_active = 0x2,
    scene_tile = 0x4,
    scene_pixelize = 0x8,
    scene_paused = 0x10,
};

constexpr int32_t scene_no_layer = 65536;

struct draw_scene {
    uint32_t flags = 0;
    int32_t rect[4] = {};
    float offset[3] = {};
    int32_t layer = scene_no_layer;
    int32_t zorder = 0;
    float center[2] = {};
    float rotate = 0.0f;
    float size[2] = {1.0f, 1.0f};
    uint32_t color = 0xFFFFFFFF;
    texture_use image;
    int32_t current[4] = {};
    uint32_t tiles = 0;
    float wait = 0.0f;
    uint32_t tile_index = 0;
    uint32_t counter = 0;
    float next_switch = 0.0f;

    void reset();
    void reset_animation();
    void step();
    void seek(uint32_t c);
    void set_alpha(double alpha);
    // Active or not; the animation restarts when that changes.
    void set_active(bool on);
    // Quads a tiled scene draws a frame: its size covered by its rect.
    uint64_t tile_quads() const;
};

// A tiled scene covers at most this many rect copies a frame; a larger
// size would draw for minutes and is refused.
constexpr uint64_t max_tile_quads = 65536;

class draw_action : public extend_action {
public:
    class drawer : public graphic_sprite_object {
    public:
        drawer(graphic* owner, draw_action* action) : graphic_sprite_object(owner), action_(action) {}
        bool render() override;
        // Draws with the texture as it is set now.
        bool draw_once() { return graphic_sprite_object::render(); }
        // Borrows a texture without freeing the current one's use.
        void use_texture(graphic_texture* t) {
            if (t != texture_) set_texture(t);
        }

    private:
        draw_action* action_;
    };

    ~draw_action() override;

    bool update() override;
    void suspend() override;
    bool restore() override;

    // The image from argument `source` (and the class flag); creates the
    // drawer. False when there is no image or no drawer.
    bool create(lua_State* L, int source, bool class_flag);
    // Scene n from the table at the index; false (logged) at the first bad key.
    bool parse_scene(lua_State* L, int table, size_t n);
    // The list grown so that index n exists; none (the list as it was)
    // past max_scenes or when memory for that many can't be had.
    draw_scene* scene_at(size_t n);
    // Scene indexes come from scripts; a list this long is already a
    // script's mistake, and growing further would only take memory.
    static constexpr size_t max_scenes = 65536;
    bool render_scenes();
    // The texture GDI painting goes to: the image, else the blank image.
    graphic_texture* paint_texture() const;

    graphic_memory_texture* blank = nullptr;
    graphic_texture::dc* dc_holder = nullptr;
    texture_use image;
    st_sprite_class* source_class = nullptr;
    std::vector<std::unique_ptr<draw_scene>> scenes;
    drawer* view = nullptr;
    uint32_t saved_flags = 0;
    bool hidden_by_suspend = false;
    render_layer_action* holder = nullptr;

private:
    void parse_keys(lua_State* L, int table, draw_scene& s);
    void parse_state(lua_State* L, int table, draw_scene& s, bool& first);
    bool draw_scene_now(draw_scene& s, float x, float y, float z, int32_t zorder);
};

#endif
