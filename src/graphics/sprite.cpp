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

// ps_2_0: texld r0, t0, s0 / mul r0, r0, v0 / mov oC0, r0. The texel times
// the vertex colour: stage 0's plain modulate, without the specular and fog
// terms a fixed-function pipeline may still work out in every pixel.
constexpr DWORD modulate_shader[] = {
    0xFFFF0200,                                      // ps_2_0
    0x0200001F, 0x80000000, 0xB0030000,              // dcl t0.xy
    0x0200001F, 0x80000000, 0x900F0000,              // dcl v0
    0x0200001F, 0x90000000, 0xA00F0800,              // dcl_2d s0
    0x03000042, 0x800F0000, 0xB0E40000, 0xA0E40800,  // texld r0, t0, s0
    0x03000005, 0x800F0000, 0x80E40000, 0x90E40000,  // mul r0, r0, v0
    0x02000001, 0x800F0800, 0x80E40000,              // mov oC0, r0
    0x0000FFFF,
};

// ps_2_0: texld r0, t0, s0 / mov oC0, r0. The same modulate where every
// corner of a run is white: the texel times one is the texel, and the
// rasteriser then has no colour to carry across each quad.
constexpr DWORD texel_shader[] = {
    0xFFFF0200,                                      // ps_2_0
    0x0200001F, 0x80000000, 0xB0030000,              // dcl t0.xy
    0x0200001F, 0x90000000, 0xA00F0800,              // dcl_2d s0
    0x03000042, 0x800F0000, 0xB0E40000, 0xA0E40800,  // texld r0, t0, s0
    0x02000001, 0x800F0800, 0x80E40000,              // mov oC0, r0
    0x0000FFFF,
};

// Quads a device is given to draw before it is made to start on them, so
// that it draws one part of a long batch while it takes in the next.
constexpr size_t quads_per_hand_over = 2048;

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
    IDirect3DDevice9* device = graphic_->device();
    D3DCAPS9 caps;
    HRESULT hr = device ? device->GetDeviceCaps(&caps) : E_POINTER;
    if (FAILED(hr)) {
        TRACE_ERROR(label, "GetDeviceCaps", hr);
        return false;
    }
    filter_caps_ = caps.TextureFilterCaps;
    max_anisotropy_ = caps.MaxAnisotropy;
    alpha_compare_caps_ = caps.AlphaCmpCaps;
    if (caps.PixelShaderVersion >= D3DPS_VERSION(2, 0) &&
        (FAILED(device->CreatePixelShader(modulate_shader, &modulate_)) ||
         FAILED(device->CreatePixelShader(texel_shader, &texel_)))) {
        if (modulate_) modulate_->Release();
        modulate_ = nullptr;
        texel_ = nullptr;
    }
    static const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    hr = device->CreateVertexDeclaration(elements, &declaration_);
    if (FAILED(hr)) {
        declaration_ = nullptr;
        TRACE_ERROR(label, "CreateVertexDeclaration", hr);
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

void graphic_sprite::release_device_objects() {
    if (saved_) saved_->Release();
    saved_ = nullptr;
    if (handed_) handed_->Release();
    handed_ = nullptr;
    quads_held_ = 0;
    begun_ = false;
}

bool graphic_sprite::release(bool all) {
    (void)all;
    pool_.clear();
    order_.clear();
    next_ = 0;
    release_device_objects();
    if (declaration_) declaration_->Release();
    declaration_ = nullptr;
    if (modulate_) modulate_->Release();
    modulate_ = nullptr;
    if (texel_) texel_->Release();
    texel_ = nullptr;
    // The stage textures are registered objects: the graphic deletes them.
    return true;
}

// A reset wants no state block alive; the next begin records it again.
bool graphic_sprite::onlost() {
    release_device_objects();
    next_ = 0;
    return true;
}

bool graphic_sprite::restore() { return true; }

// The states a batch draws with, as D3DX's sprite sets them.
void graphic_sprite::apply_states(IDirect3DDevice9* d) {
    d->SetVertexShader(nullptr);
    d->SetPixelShader(nullptr);
    d->SetNPatchMode(0.0f);
    static const DWORD render_states[][2] = {
        {D3DRS_ALPHABLENDENABLE, TRUE},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
        {D3DRS_ALPHAREF, 0},
        {D3DRS_ALPHATESTENABLE, 0},  // from the caps, below
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_CLIPPING, TRUE},
        {D3DRS_CLIPPLANEENABLE, 0},
        {D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_ALPHA | D3DCOLORWRITEENABLE_BLUE |
                                     D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_RED},
        {D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_FOGENABLE, FALSE},
        {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
        {D3DRS_LIGHTING, FALSE},
        {D3DRS_RANGEFOGENABLE, FALSE},
        {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_SRGBWRITEENABLE, FALSE},
        {D3DRS_STENCILENABLE, FALSE},
        {D3DRS_VERTEXBLEND, FALSE},
        {D3DRS_WRAP0, 0},
    };
    for (const auto& rs : render_states)
        d->SetRenderState(D3DRENDERSTATETYPE(rs[0]),
                          rs[0] == D3DRS_ALPHATESTENABLE ? alpha_compare_caps_ : rs[1]);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, (filter_caps_ & D3DPTFILTERCAPS_MAGFANISOTROPIC)
                                                 ? D3DTEXF_ANISOTROPIC : D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
    d->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, max_anisotropy_);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, (filter_caps_ & D3DPTFILTERCAPS_MINFANISOTROPIC)
                                                 ? D3DTEXF_ANISOTROPIC : D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, (filter_caps_ & D3DPTFILTERCAPS_MIPFLINEAR)
                                                 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, 0);
    d->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, 0);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    d->SetTransform(D3DTS_WORLD, &m);
    d->SetTransform(D3DTS_VIEW, &m);
    // Texel centres on pixel centres.
    D3DVIEWPORT9 vp;
    d->GetViewport(&vp);
    D3DXMatrixOrthoOffCenterLH(&m, vp.X + 0.5f, float(vp.Width) + vp.X + 0.5f,
                               float(vp.Height) + vp.Y + 0.5f, vp.Y + 0.5f, vp.MinZ, vp.MaxZ);
    d->SetTransform(D3DTS_PROJECTION, &m);
}

// The block that puts back, at `end`, every state a batch touches.
bool graphic_sprite::make_state_block(IDirect3DDevice9* d) {
    if (FAILED(d->BeginStateBlock())) return false;
    apply_states(d);
    d->SetVertexDeclaration(declaration_);
    d->SetStreamSource(0, nullptr, 0, sizeof(vertex));
    d->SetIndices(nullptr);
    d->SetTexture(0, nullptr);
    HRESULT hr = d->EndStateBlock(&saved_);
    if (FAILED(hr)) {
        saved_ = nullptr;
        TRACE_ERROR("graphic_sprite::begin", "EndStateBlock", hr);
        return false;
    }
    return true;
}

HRESULT graphic_sprite::begin(uint32_t flags) {
    (void)flags;  // every batch blends by alpha; the sort is the batch's own
    next_ = 0;
    D3DXMatrixIdentity(&transform);
    blend = 0;
    IDirect3DDevice9* device = graphic_->device();
    if (!declaration_ || !device) return E_POINTER;
    if (begun_) return D3DERR_INVALIDCALL;
    if (!saved_ && !make_state_block(device)) return E_FAIL;
    saved_->Capture();
    apply_states(device);
    begun_ = true;
    return S_OK;
}

HRESULT graphic_sprite::draw(const RECT* rect, IDirect3DTexture9* texture,
                             const D3DXVECTOR3* center, D3DCOLOR color) {
    if (next_ == pool_.size()) {
        try {
            pool_.emplace_back();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    quad& q = pool_[next_++];
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

// Two triangles (0 1 2, 3 0 2) of the quad's four corners, with the same float
// operations in the same order as D3DX's sprite, so that the picture is
// the same to the bit.
void graphic_sprite::put_quad(const quad& q, uint32_t tw, uint32_t th) {
    RECT r = q.rect;
    if (q.flags & quad_whole_texture) r = RECT{0, 0, LONG(tw), LONG(th)};
    D3DXVECTOR3 c(0.0f, 0.0f, 0.0f);
    if (!(q.flags & quad_no_center)) c = q.center;
    const float w = float(r.right) - float(r.left), h = float(r.bottom) - float(r.top);
    const float x0 = 0.0f - c.x, y0 = 0.0f - c.y, z = 0.0f - c.z;
    const float x1 = w + 0.0f - c.x, y1 = h + 0.0f - c.y;
    const float u0 = float(r.left) / float(tw), u1 = float(r.right) / float(tw);
    const float v0 = float(r.top) / float(th), v1 = float(r.bottom) / float(th);
    const size_t at = vertices_.size();
    run_white_ = (at == 0 || run_white_) && q.color == 0xFFFFFFFF;
    vertices_.resize(at + 4);
    vertex* v = &vertices_[at];
    v[0] = vertex{{x0, y0, z}, q.color, {u0, v0}};
    v[1] = vertex{{x1, y0, z}, q.color, {u1, v0}};
    v[2] = vertex{{x1, y1, z}, q.color, {u1, v1}};
    v[3] = vertex{{x0, y1, z}, q.color, {u0, v1}};
    const D3DXMATRIX& m = q.transform;
    const bool plain = (m._11 == 1.0f || m._11 == -1.0f) && (m._22 == 1.0f || m._22 == -1.0f) &&
                       m._33 == 1.0f && m._44 == 1.0f && m._12 == 0.0f && m._13 == 0.0f &&
                       m._14 == 0.0f && m._21 == 0.0f && m._23 == 0.0f && m._24 == 0.0f &&
                       m._31 == 0.0f && m._32 == 0.0f && m._34 == 0.0f;
    if (plain) {
        // Mirroring and moving only: one rounding each, as the full product.
        for (int i = 0; i < 4; ++i) {
            v[i].position.x = m._11 * v[i].position.x + m._41;
            v[i].position.y = m._22 * v[i].position.y + m._42;
            v[i].position.z = v[i].position.z + m._43;
        }
    } else {
        D3DXVec3TransformCoordArray(&v[0].position, sizeof(vertex), &v[0].position,
                                    sizeof(vertex), &m, 4);
    }
}

// The alpha test drops texels of alpha 0. Where the blend already leaves
// the target as it was for such texels (source scaled by its alpha, added to
// or taken from the whole target) the test changes no pixel, so it is left
// off: a shader that may discard costs the rasteriser in every pixel.
void graphic_sprite::fit_alpha_test(IDirect3DDevice9* device) {
    DWORD blending = FALSE, src = 0, dest = 0, op = 0, func = 0, ref = 1;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    device->GetRenderState(D3DRS_SRCBLEND, &src);
    device->GetRenderState(D3DRS_DESTBLEND, &dest);
    device->GetRenderState(D3DRS_BLENDOP, &op);
    device->GetRenderState(D3DRS_ALPHAFUNC, &func);
    device->GetRenderState(D3DRS_ALPHAREF, &ref);
    const bool unchanged_at_zero = blending && src == D3DBLEND_SRCALPHA &&
                                   (dest == D3DBLEND_INVSRCALPHA || dest == D3DBLEND_ONE) &&
                                   (op == D3DBLENDOP_ADD || op == D3DBLENDOP_REVSUBTRACT) &&
                                   func == D3DCMP_GREATER && ref == 0;
    device->SetRenderState(D3DRS_ALPHATESTENABLE, unchanged_at_zero ? FALSE : alpha_test_);
}

// Stage 0's plain modulate with stage 1 off draws through the modulate
// shader: the same arithmetic, so the same pixels; anything else stays with
// the fixed-function stages.
void graphic_sprite::fit_pixel_shader(IDirect3DDevice9* device) {
    if (!modulate_) return;
    DWORD colour_op = 0, colour1 = 0, colour2 = 0, alpha_op = 0, alpha1 = 0, alpha2 = 0;
    DWORD next_op = 0, index = 1, transform = 1, fog = TRUE, specular = TRUE;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &colour_op);
    device->GetTextureStageState(0, D3DTSS_COLORARG1, &colour1);
    device->GetTextureStageState(0, D3DTSS_COLORARG2, &colour2);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alpha_op);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alpha1);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG2, &alpha2);
    device->GetTextureStageState(0, D3DTSS_TEXCOORDINDEX, &index);
    device->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &transform);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &next_op);
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    device->GetRenderState(D3DRS_SPECULARENABLE, &specular);
    const bool plain = colour_op == D3DTOP_MODULATE && colour1 == D3DTA_TEXTURE &&
                       colour2 == D3DTA_DIFFUSE && alpha_op == D3DTOP_MODULATE &&
                       alpha1 == D3DTA_TEXTURE && alpha2 == D3DTA_DIFFUSE &&
                       next_op == D3DTOP_DISABLE && index == 0 &&
                       transform == D3DTTFF_DISABLE && !fog && !specular;
    // The shader itself is chosen per run, when its colours are known.
    if (!plain) use_pixel_shader(device, nullptr);
    shading_ = plain;
}

void graphic_sprite::use_pixel_shader(IDirect3DDevice9* device, IDirect3DPixelShader9* shader) {
    if (shader == shader_in_use_) return;
    device->SetPixelShader(shader);
    shader_in_use_ = shader;
}

// Makes the device start on what it holds once a long stretch of quads has
// been given to it (an event query asked with a flush), instead of taking
// the whole batch before drawing any of it.
void graphic_sprite::hand_over(IDirect3DDevice9* device, size_t quads) {
    quads_held_ += quads;
    if (quads_held_ < quads_per_hand_over) return;
    quads_held_ = 0;
    if (!handed_ && FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, &handed_))) {
        handed_ = nullptr;
        return;
    }
    handed_->Issue(D3DISSUE_END);
    handed_->GetData(nullptr, 0, D3DGETDATA_FLUSH);
}

// Quads share their corners through indices: a third fewer vertices for the
// device to take and transform than two separate triangles.
void graphic_sprite::draw_run(IDirect3DDevice9* device) {
    if (vertices_.empty()) return;
    const size_t quads = vertices_.size() / 4;
    if (quad_indices_.size() < quads * 6) {
        const size_t had = quad_indices_.size() / 6;
        quad_indices_.resize(quads * 6);
        for (size_t i = had; i < quads; ++i) {
            const uint16_t first = uint16_t(i * 4);
            const uint16_t corners[6] = {0, 1, 2, 3, 0, 2};
            for (int k = 0; k < 6; ++k) quad_indices_[i * 6 + k] = uint16_t(first + corners[k]);
        }
    }
    if (shading_) use_pixel_shader(device, run_white_ ? texel_ : modulate_);
    device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(vertices_.size()), UINT(quads * 2),
                                   quad_indices_.data(), D3DFMT_INDEX16, vertices_.data(),
                                   sizeof(vertex));
    ++draw_calls_;
    if (shading_) ++shaded_draws_;
    if (shading_ && run_white_) ++texel_draws_;
    vertices_.clear();
    hand_over(device, quads);
}

HRESULT graphic_sprite::end() {
    row_changes_.clear();
    draw_calls_ = 0;
    shaded_draws_ = 0;
    texel_draws_ = 0;
    shading_ = false;
    shader_in_use_ = nullptr;  // as begin left the device
    IDirect3DDevice9* device = graphic_->device();
    if (!begun_ || !device) return D3DERR_INVALIDCALL;
    // Back to front; equal depths keep the order they were queued in. A
    // layer's quads mostly come in order already.
    order_.resize(next_);
    bool sorted = true;
    for (size_t i = 0; i < next_; ++i) {
        order_[i] = uint32_t(i);
        if (i && pool_[i].transform._43 > pool_[i - 1].transform._43) sorted = false;
    }
    if (!sorted)
        std::stable_sort(order_.begin(), order_.end(), [this](uint32_t a, uint32_t b) {
            return pool_[a].transform._43 > pool_[b].transform._43;
        });
    DWORD zenable = FALSE;
    device->GetRenderState(D3DRS_ZENABLE, &zenable);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexDeclaration(declaration_);
    // Quads drawn one to one sample by point: each pixel then shows its own
    // texel whatever the layer's filters. Anisotropic filtering (D3DX's own
    // choice for minification) may otherwise reach across a sheet cell's
    // edge into its neighbour. Other quads keep the layer's filters.
    // Such quads also read the top level only: the level of detail there is
    // 0, and sampling no other level saves the rasteriser the blend of two.
    DWORD mag_filter = D3DTEXF_LINEAR, min_filter = D3DTEXF_LINEAR, mip_filter = D3DTEXF_NONE;
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &mag_filter);
    device->GetSamplerState(0, D3DSAMP_MINFILTER, &min_filter);
    device->GetSamplerState(0, D3DSAMP_MIPFILTER, &mip_filter);
    alpha_test_ = FALSE;
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &alpha_test_);
    fit_alpha_test(device);
    fit_pixel_shader(device);
    uint32_t current = 0;
    bool point = false;
    IDirect3DTexture9* bound = nullptr;
    uint32_t tw = 0, th = 0;
    vertices_.clear();
    // Long runs go to the device in parts (16-bit indices would reach
    // 16,384 quads a draw).
    const size_t run_limit = 4 * quads_per_hand_over;
    for (uint32_t index : order_) {
        const quad& q = pool_[index];
        if (!q.texture) continue;
        const uint32_t row = blend_row_of(q.blend);
        const bool one_to_one = maps_texels_to_pixels(q);
        if (row != current || one_to_one != point || q.texture != bound ||
            vertices_.size() >= run_limit)
            draw_run(device);
        if (row != current) {
            current = row;
            apply_row(device, row);
            fit_alpha_test(device);
            fit_pixel_shader(device);
            row_changes_.push_back(row);
        }
        if (one_to_one != point) {
            point = one_to_one;
            device->SetSamplerState(0, D3DSAMP_MAGFILTER, point ? D3DTEXF_POINT : mag_filter);
            device->SetSamplerState(0, D3DSAMP_MINFILTER, point ? D3DTEXF_POINT : min_filter);
            device->SetSamplerState(0, D3DSAMP_MIPFILTER, point ? D3DTEXF_NONE : mip_filter);
        }
        if (q.texture != bound) {
            bound = q.texture;
            D3DSURFACE_DESC desc{};
            bound->GetLevelDesc(0, &desc);
            tw = desc.Width;
            th = desc.Height;
            device->SetTexture(0, bound);
        }
        put_quad(q, tw, th);
    }
    // Everything queued is drawn before depth testing comes back.
    draw_run(device);
    device->SetRenderState(D3DRS_ZENABLE, zenable);
    if (point) {
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, mag_filter);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, min_filter);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, mip_filter);
    }
    device->SetRenderState(D3DRS_ALPHATESTENABLE, alpha_test_);
    saved_->Apply();
    begun_ = false;
    next_ = 0;
    return S_OK;
}
