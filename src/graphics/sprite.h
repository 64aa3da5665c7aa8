// The engine's sprite batch and the standard textured quad.
//
// The batch queues quads and draws them at `end`, sorted back to front by
// depth (stable, so equal depths keep the order their layer drew them in),
// in one draw per run of quads sharing texture, blend row and filter. It
// sets, saves and restores the same device states and builds the same
// vertices as D3DX's sprite does, without its per-quad bookkeeping.
#ifndef VY_GRAPHICS_SPRITE_H
#define VY_GRAPHICS_SPRITE_H

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <vector>

#include "graphics/graphic_object.h"
#include "graphics/render_layer.h"
#include "graphics/texture_cache.h"

class graphic_texture;

// Rows of the blend table; the low byte of a blend mode picks one.
constexpr uint32_t blend_row_count = 11;

// Begin flags the layers use (the D3DX sort flags are stripped anyway).
enum : uint32_t {
    sprite_begin_opaque = 0x80,
    sprite_begin_alpha = 0x50,
    sprite_begin_vertex_alpha = 0x90,
    sprite_sort_flags = 0xE0,
};

class graphic_sprite : public graphic_object {
public:
    struct quad {
        IDirect3DTexture9* texture;
        RECT rect;
        D3DXMATRIX transform;
        D3DXVECTOR3 center;
        D3DCOLOR color;
        uint32_t flags;  // quad_whole_texture, quad_no_center
        uint32_t blend;
    };
    enum : uint32_t { quad_whole_texture = 1, quad_no_center = 2 };

    explicit graphic_sprite(graphic* owner);
    ~graphic_sprite() override;

    bool create() override;
    bool release(bool all) override;
    bool onlost() override;
    bool restore() override;

    HRESULT begin(uint32_t flags);
    HRESULT draw(const RECT* rect, IDirect3DTexture9* texture, const D3DXVECTOR3* center,
                 D3DCOLOR color);
    HRESULT end();

    // Set by callers right before draw.
    D3DXMATRIX transform;
    uint32_t blend = 0;

    graphic_texture* stage_texture(int index) const { return stage_[index]; }
    size_t pool_size() const { return pool_.size(); }
    // Draw calls issued by the last end.
    size_t last_draw_calls() const { return draw_calls_; }
    // Of those, the draws made through the modulate shader.
    size_t last_shaded_draws() const { return shaded_draws_; }
    // Of those, the draws of all-white runs, made through the texel shader.
    size_t last_texel_draws() const { return texel_draws_; }
    size_t queued() const { return next_; }
    // Blend rows applied by the last end (for checks of state changes).
    const std::vector<uint32_t>& last_row_changes() const { return row_changes_; }

    struct vertex {
        D3DXVECTOR3 position;
        D3DCOLOR color;
        D3DXVECTOR2 uv;
    };

private:
    void apply_row(IDirect3DDevice9* device, uint32_t row);
    void apply_states(IDirect3DDevice9* device);
    bool make_state_block(IDirect3DDevice9* device);
    void release_device_objects();
    void put_quad(const quad& q, uint32_t texture_width, uint32_t texture_height);
    void draw_run(IDirect3DDevice9* device);
    void hand_over(IDirect3DDevice9* device, size_t quads);
    void fit_alpha_test(IDirect3DDevice9* device);
    void fit_pixel_shader(IDirect3DDevice9* device);
    void use_pixel_shader(IDirect3DDevice9* device, IDirect3DPixelShader9* shader);

    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    IDirect3DStateBlock9* saved_ = nullptr;
    IDirect3DPixelShader9* modulate_ = nullptr;  // none where the device has no 2.0 shaders
    IDirect3DPixelShader9* texel_ = nullptr;     // made and dropped with modulate_
    IDirect3DPixelShader9* shader_in_use_ = nullptr;  // this batch's, as last set
    IDirect3DQuery9* handed_ = nullptr;
    size_t quads_held_ = 0;  // drawn since the device last took its commands
    bool begun_ = false;
    DWORD filter_caps_ = 0;
    DWORD max_anisotropy_ = 0;
    DWORD alpha_compare_caps_ = 0;
    DWORD alpha_test_ = FALSE;  // as the layer left it for this batch
    graphic_texture* stage_[4] = {};
    std::vector<quad> pool_;
    size_t next_ = 0;
    std::vector<uint32_t> order_;
    std::vector<vertex> vertices_;  // the run being built, four corners a quad
    std::vector<uint16_t> quad_indices_;
    size_t draw_calls_ = 0;
    size_t shaded_draws_ = 0;
    size_t texel_draws_ = 0;
    bool run_white_ = true;  // every corner of the run being built is white
    bool shading_ = false;
    std::vector<uint32_t> row_changes_;
};

// Texture ownership of a sprite object.
enum : int32_t {
    texture_borrowed = 0,
    texture_owned = 1,
    texture_shared = 3,
};

class graphic_sprite_object : public graphic_render_object {
public:
    explicit graphic_sprite_object(graphic* owner);
    ~graphic_sprite_object() override;

    // An owned blank texture of the screen size.
    bool create() override;
    bool release(bool all) override;
    bool render() override;
    // A shared texture of the image (entry of the package at path).
    virtual bool create(const wchar_t* path, const char* entry);
    // An owned blank texture of the given size.
    virtual bool create(uint32_t width, uint32_t height);

    void set_texture(graphic_texture* texture);
    void update_bound();
    // Whole texture, pivot in its middle, placed at the screen's centre.
    void fit_texture(float z);

    graphic_texture* texture() const { return texture_; }
    int32_t texture_kind() const { return texture_kind_; }

    D3DXVECTOR3 center{0, 0, 0};
    D3DXVECTOR3 position{0, 0, 0};
    RECT rect{0, 0, 0, 0};
    float angle = 0.0f;
    float scale_x = 1.0f;
    float scale_y = 1.0f;
    D3DCOLOR color = 0xFFFFFFFF;
    int32_t bound = 0;

protected:
    void free_texture();

    graphic_texture* texture_ = nullptr;
    int32_t texture_kind_ = texture_borrowed;
    graphic_texture_manager::iterator shared_;  // the cache entry while shared
};

// The world matrix and centre a sprite object hands to the batch (public
// so that the pixel snapping can be checked on its own).
void sprite_object_transform(const graphic_sprite_object& s, float offset_x, float offset_y,
                             D3DXMATRIX& world, D3DXVECTOR3& center);

#endif
