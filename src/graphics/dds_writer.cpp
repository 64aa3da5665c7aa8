#include "graphics/dds_writer.h"

#include <d3d9.h>

#include <cstring>

#include "graphics/graphic.h"
#include "graphics/texture.h"

namespace {

struct pixel_layout {
    uint32_t bits, r, g, b, a;
};

bool layout_of(D3DFORMAT f, pixel_layout& l) {
    switch (f) {
    case D3DFMT_A8R8G8B8: l = {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}; return true;
    case D3DFMT_X8R8G8B8: l = {32, 0xFF0000, 0xFF00, 0xFF, 0}; return true;
    case D3DFMT_R8G8B8: l = {24, 0xFF0000, 0xFF00, 0xFF, 0}; return true;
    case D3DFMT_R5G6B5: l = {16, 0xF800, 0x7E0, 0x1F, 0}; return true;
    case D3DFMT_X1R5G5B5: l = {16, 0x7C00, 0x3E0, 0x1F, 0}; return true;
    case D3DFMT_A1R5G5B5: l = {16, 0x7C00, 0x3E0, 0x1F, 0x8000}; return true;
    case D3DFMT_A4R4G4B4: l = {16, 0xF00, 0xF0, 0xF, 0xF000}; return true;
    case D3DFMT_X4R4G4B4: l = {16, 0xF00, 0xF0, 0xF, 0}; return true;
    default: return false;
    }
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Level 0 readable by the CPU: the texture itself where it can be locked,
// else a system-memory copy of a render target.
struct readable_level {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DLOCKED_RECT locked{};

    ~readable_level() {
        if (copy) {
            copy->UnlockRect();
            copy->Release();
        } else if (texture) {
            texture->UnlockRect(0);
        }
    }

    bool open(graphic_texture& t) {
        if (t.pool() != D3DPOOL_DEFAULT || (t.usage() & D3DUSAGE_DYNAMIC)) {
            if (FAILED(t.d3d_texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
                return false;
            texture = t.d3d_texture();
            return true;
        }
        if (!t.get_surface()) return false;
        IDirect3DDevice9* device = t.owner()->device();
        // A plain DEFAULT texture can't be locked at all: it is first
        // copied onto a render target, which can be read back.
        IDirect3DSurface9* source = t.surface();
        IDirect3DSurface9* target = nullptr;
        if (!(t.usage() & D3DUSAGE_RENDERTARGET)) {
            if (FAILED(device->CreateRenderTarget(t.real_width(), t.real_height(), t.format(),
                                                  D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                                  nullptr)))
                return false;
            if (FAILED(device->StretchRect(source, nullptr, target, nullptr, D3DTEXF_POINT))) {
                target->Release();
                return false;
            }
            source = target;
        }
        HRESULT hr = device->CreateOffscreenPlainSurface(t.real_width(), t.real_height(),
                                                         t.format(), D3DPOOL_SYSTEMMEM, &copy,
                                                         nullptr);
        if (FAILED(hr)) copy = nullptr;
        if (copy) hr = device->GetRenderTargetData(source, copy);
        if (target) target->Release();
        if (!copy) return false;
        if (FAILED(hr) ||
            FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            copy->Release();
            copy = nullptr;
            return false;
        }
        return true;
    }
};

}  // namespace

bool write_dds(graphic_texture& texture, std::vector<uint8_t>& out) {
    pixel_layout l;
    if (!texture.d3d_texture() || !layout_of(texture.format(), l)) return false;
    if (texture.mode() != graphic_texture::lock_none) return false;
    readable_level level;
    if (!level.open(texture)) return false;

    const uint32_t w = texture.width(), h = texture.height();
    const uint32_t row = w * (l.bits / 8);
    out.clear();
    out.reserve(128 + size_t(row) * h);
    put32(out, 0x20534444);  // "DDS "
    put32(out, 124);
    put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
    put32(out, h);
    put32(out, w);
    put32(out, row);
    put32(out, 0);  // depth
    put32(out, 0);  // mip levels
    for (int i = 0; i < 11; ++i) put32(out, 0);
    put32(out, 32);
    put32(out, 0x40 | (l.a ? 0x1 : 0));  // RGB, alpha pixels
    put32(out, 0);
    put32(out, l.bits);
    put32(out, l.r);
    put32(out, l.g);
    put32(out, l.b);
    put32(out, l.a);
    put32(out, 0x1000);  // texture
    for (int i = 0; i < 4; ++i) put32(out, 0);
    const uint8_t* bits = static_cast<const uint8_t*>(level.locked.pBits);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* src = bits + size_t(y) * level.locked.Pitch;
        out.insert(out.end(), src, src + row);
    }
    return true;
}
