// The sprite batch: quads queued by layers, drawn back to front at `end`.
#include "graphics/sprite.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

namespace {

struct blend_row {
    D3DBLEND src, dest;
    D3DBLENDOP op;
    D3DTEXTUREOP alpha_op;
    int stage_texture;  // 0: none
};

constexpr blend_row blend_rows[blend_row_count] = {
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_MODULATE, 0},
    {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, D3DTOP_MODULATE, 0},
    {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_MODULATE, 0},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_MODULATE, 0},
    {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_SELECTARG2, 0},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, D3DTOP_MODULATE, 0},
    {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, D3DTOP_MODULATE, 2},
    {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_MODULATE, 1},
    {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, D3DTOP_MODULATE, 0},
    {D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, D3DTOP_MODULATE, 3},
    {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DTOP_MODULATE2X, 0},
};

// Modes beyond the table draw as plain alpha blending.
uint32_t blend_row_of(uint32_t mode) {
    uint32_t row = mode & 0xFF;
    return row < blend_row_count ? row : 0;
}

constexpr D3DCOLOR stage_colors[4] = {0, 0xFF000000, 0xFFFFFFFF, 0xFF808080};

// One colour in a texel of the given format.
bool fill_texel_colour(graphic_texture& t, D3DCOLOR c) {
    uint8_t a = c >> 24, r = c >> 16, g = c >> 8, b = c;
    uint32_t texel;
    uint32_t size;
    switch (t.format()) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8:
        texel = c; size = 4; break;
    case D3DFMT_A1R5G5B5: case D3DFMT_X1R5G5B5:
        texel = ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3); size = 2; break;
    case D3DFMT_A4R4G4B4:
        texel = ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4); size = 2; break;
    default:
        return true;  // left as created
    }
    uint8_t* bits = static_cast<uint8_t*>(t.bits());
    for (uint32_t y = 0; y < t.real_height(); ++y) {
        uint8_t* row = bits + size_t(y) * t.pitch();
        for (uint32_t x = 0; x < t.real_width(); ++x) {
            if (size == 4)
                reinterpret_cast<uint32_t*>(row)[x] = texel;
            else
                reinterpret_cast<uint16_t*>(row)[x] = uint16_t(texel);
        }
    }
    return true;
}

// True when the quad's texels land one to one on whole pixels: unscaled
// (mirroring aside), unturned, with its corner on a pixel boundary. D3DX's
// projection already puts texel centres on pixel centres for such quads.
bool maps_texels_to_pixels(const graphic_sprite::quad& q) {
    const D3DXMATRIX& m = q.transform;
    if (std::fabs(m._11) != 1.0f || std::fabs(m._22) != 1.0f || m._12 != 0.0f ||
        m._21 != 0.0f || m._31 != 0.0f || m._32 != 0.0f || m._14 != 0.0f || m._24 != 0.0f ||
        m._34 != 0.0f || m._44 != 1.0f)
        return false;
    const bool centred = !(q.flags & graphic_sprite::quad_no_center);
    const float x = m._41 - (centred ? q.center.x : 0.0f) * m._11;
    const float y = m._42 - (centred ? q.center.y : 0.0f) * m._22;
    return x == std::floor(x) && y == std::floor(y);
}

}  // namespace

graphic_sprite::graphic_sprite(graphic* owner) : graphic_object(owner) {
    D3DXMatrixIdentity(&transform);
}

graphic_sprite::~graphic_sprite() {
    graphic_sprite::release(false);
}

bool graphic_sprite::create() {
    const char* label = "graphic_sprite::create";
    release(false);
    HRESULT hr = D3DXCreateSprite(graphic_->device(), &sprite_);
    if (FAILED(hr)) {
        sprite_ = nullptr;
        TRACE_ERROR(label, "D3DXCreateSprite", hr);
        return false;
    }
    for (int i = 1; i <= 3; ++i) {
        // A second create reuses the registered textures it made before.
        graphic_texture* t = stage_[i] ? stage_[i] : graphic_->new_texture(true);
        if (!t) {
            TRACE_ERROR(label, "create AlphaTexture object", i);
            return false;
        }
        stage_[i] = t;
        if (!t->create_blank(32, 32, graphic_->render_format(), D3DPOOL_MANAGED,
                             D3DUSAGE_AUTOGENMIPMAP)) {
            TRACE_ERROR(label, "create AlphaTexture", i);
            return false;
        }
        if (!t->lock(nullptr, 0)) {
            TRACE_ERROR(label, "lock AlphaTexture", i);
            return false;
        }
        fill_texel_colour(*t, stage_colors[i]);
        t->unlock();
    }
    return true;
}

bool graphic_sprite::release(bool all) {
    (void)all;
    for (quad* q : pool_) delete q;
    pool_.clear();
    order_.clear();
    next_ = 0;
    if (sprite_) sprite_->Release();
    sprite_ = nullptr;
    // The stage textures are registered objects: the graphic deletes them.
    return true;
}

bool graphic_sprite::onlost() {
    if (!sprite_) return true;
    HRESULT hr = sprite_->OnLostDevice();
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_sprite::onlost", "OnLostDevice", hr);
        return false;
    }
    return true;
}

bool graphic_sprite::restore() {
    if (!sprite_) return true;
    HRESULT hr = sprite_->OnResetDevice();
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_sprite::restore", "OnResetDevice", hr);
        return false;
    }
    return true;
}

HRESULT graphic_sprite::begin(uint32_t flags) {
    next_ = 0;
    D3DXMatrixIdentity(&transform);
    blend = 0;
    if (!sprite_) return E_POINTER;
    return sprite_->Begin(flags & ~sprite_sort_flags);
}

HRESULT graphic_sprite::draw(const RECT* rect, IDirect3DTexture9* texture,
                             const D3DXVECTOR3* center, D3DCOLOR color) {
    if (next_ == pool_.size()) {
        quad* q = new (std::nothrow) quad;
        if (!q) return E_OUTOFMEMORY;
        pool_.push_back(q);
    }
    quad& q = *pool_[next_++];
    q.texture = texture;
    q.flags = 0;
    if (rect)
        q.rect = *rect;
    else
        q.flags |= quad_whole_texture;
    if (center)
        q.center = *center;
    else
        q.flags |= quad_no_center;
    q.color = color;
    q.transform = transform;
    q.blend = blend;
    return S_OK;
}

void graphic_sprite::apply_row(IDirect3DDevice9* device, uint32_t row) {
    const blend_row& b = blend_rows[row];
    device->SetRenderState(D3DRS_SRCBLEND, b.src);
    device->SetRenderState(D3DRS_DESTBLEND, b.dest);
    device->SetRenderState(D3DRS_BLENDOP, b.op);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, b.alpha_op);
    if (!b.stage_texture || !stage_[b.stage_texture]) {
        device->SetTexture(1, nullptr);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        return;
    }
    // Where the drawn texel is transparent the colour fades to the stage
    // texture's neutral colour, which leaves the target unchanged.
    device->SetTexture(1, stage_[b.stage_texture]->d3d_texture());
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
}

HRESULT graphic_sprite::end() {
    row_changes_.clear();
    if (!sprite_) return E_POINTER;
    IDirect3DDevice9* device = graphic_->device();
    order_.assign(pool_.begin(), pool_.begin() + next_);
    // Back to front; equal depths keep the order they were queued in.
    std::stable_sort(order_.begin(), order_.end(),
                     [](const quad* a, const quad* b) { return a->transform._43 > b->transform._43; });
    DWORD zenable = FALSE;
    device->GetRenderState(D3DRS_ZENABLE, &zenable);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    // Quads drawn one to one sample by point: each pixel then shows its own
    // texel whatever the layer's filters. Anisotropic filtering (D3DX's own
    // choice for minification) may otherwise reach across a sheet cell's
    // edge into its neighbour. Other quads keep the layer's filters.
    DWORD mag_filter = D3DTEXF_LINEAR, min_filter = D3DTEXF_LINEAR;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &mag_filter);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &min_filter);
    uint32_t current = 0;
    bool point = false;
    for (const quad* q : order_) {
        uint32_t row = blend_row_of(q->blend);
        bool one_to_one = maps_texels_to_pixels(*q);
        if (row != current || one_to_one != point) sprite_->Flush();
        if (row != current) {
            current = row;
            apply_row(device, row);
            row_changes_.push_back(row);
        }
        if (one_to_one != point) {
            point = one_to_one;
            device->SetSamplerState(0, D3DSAMP_MAGFILTER, point ? D3DTEXF_POINT : mag_filter);
            device->SetSamplerState(0, D3DSAMP_MINFILTER, point ? D3DTEXF_POINT : min_filter);
        }
        sprite_->SetTransform(&q->transform);
        sprite_->Draw(q->texture, (q->flags & quad_whole_texture) ? nullptr : &q->rect,
                      (q->flags & quad_no_center) ? nullptr : &q->center, nullptr, q->color);
    }
    // Everything queued is drawn before depth testing comes back.
    sprite_->Flush();
    device->SetRenderState(D3DRS_ZENABLE, zenable);
    if (point) {
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, mag_filter);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, min_filter);
    }
    HRESULT hr = sprite_->End();
    next_ = 0;
    return hr;
}
