// Texture pixel operations: alpha images in and out of textures, opaque
// textures, and GDI contexts on textures that keep transparency through
// the colour key.
#include <cstring>
#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

namespace {

uint8_t brightness(uint32_t r, uint32_t g, uint32_t b) {
    return uint8_t((76 * r + 150 * g + 30 * b) >> 8);
}

// The colour key as GDI draws it on an X8R8G8B8 or X1R5G5B5 surface.
constexpr uint32_t key_32 = graphic::color_key & 0x00FFFFFFu;
constexpr uint16_t key_16 = uint16_t((((graphic::color_key >> 16) & 0xFF) >> 3) << 10 |
                                     (((graphic::color_key >> 8) & 0xFF) >> 3) << 5 |
                                     ((graphic::color_key & 0xFF) >> 3));

bool is_32_bit(D3DFORMAT f) { return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8; }

}  // namespace

bool graphic_texture::alpha_image::create(uint32_t w, uint32_t h) {
    const uint32_t p = (w + 3) & ~3u;
    try {
        pixels.assign(size_t(p) * h, 0);
    } catch (const std::bad_alloc&) {
        TRACE_ERROR("graphic_texture::alpha_image::create", "no memory", int32_t(size_t(p) * h));
        pixels.clear();
        width = height = pitch = 0;
        return false;
    }
    width = w;
    height = h;
    pitch = p;
    return true;
}

bool graphic_texture::set_alpha_image(const alpha_image& image) {
    if (!lock(nullptr, 0)) {
        TRACE_ERROR("graphic_texture::set_alpha_image", "lock", -1);
        return false;
    }
    // Only where both have pixels: a smaller image must not be read past
    // its end.
    const uint32_t w = width_ < image.width ? width_ : image.width;
    const uint32_t h = height_ < image.height ? height_ : image.height;
    uint8_t* bits = static_cast<uint8_t*>(bits_);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* in = image.row(y);
        uint8_t* row = bits + size_t(y) * pitch_;
        if (is_32_bit(format_)) {
            for (uint32_t x = 0; x < w; ++x) row[x * 4 + 3] = in[x];
        } else if (format_ == D3DFMT_A4R4G4B4) {
            uint16_t* t = reinterpret_cast<uint16_t*>(row);
            for (uint32_t x = 0; x < w; ++x) t[x] = uint16_t((t[x] & 0x0FFF) | (in[x] & 0xF0) << 8);
        }
    }
    return unlock();
}

bool graphic_texture::get_alpha_image(alpha_image& image) {
    const char* label = "graphic_texture::get_alpha_image";
    if (!lock(nullptr, D3DLOCK_READONLY)) {
        TRACE_ERROR(label, "lock", -1);
        return false;
    }
    if (!image.create(width_, height_)) {
        unlock();
        TRACE_ERROR(label, "alpha_image::create", -1);
        return false;
    }
    const uint8_t* bits = static_cast<const uint8_t*>(bits_);
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* row = bits + size_t(y) * pitch_;
        uint8_t* out = image.row(y);
        if (is_32_bit(format_)) {
            for (uint32_t x = 0; x < width_; ++x)
                out[x] = brightness(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
        } else if (format_ == D3DFMT_X1R5G5B5 || format_ == D3DFMT_A1R5G5B5) {
            const uint16_t* t = reinterpret_cast<const uint16_t*>(row);
            for (uint32_t x = 0; x < width_; ++x)
                out[x] = brightness((t[x] >> 10 & 0x1F) << 3, (t[x] >> 5 & 0x1F) << 3, (t[x] & 0x1F) << 3);
        } else if (format_ == D3DFMT_A4R4G4B4) {
            const uint16_t* t = reinterpret_cast<const uint16_t*>(row);
            for (uint32_t x = 0; x < width_; ++x)
                out[x] = uint8_t((150 * ((t[x] >> 4 & 0xF) << 4) + 106 * ((t[x] & 0xF) << 4)) >> 8);
        }
    }
    unlock();
    return true;
}

bool graphic_texture::make_opaque() {
    if (!lock(nullptr, 0)) {
        TRACE_ERROR("graphic_texture::get_alpha_image", "lock", -1);
        return false;
    }
    uint8_t* bits = static_cast<uint8_t*>(bits_);
    for (uint32_t y = 0; y < height_; ++y) {
        uint8_t* row = bits + size_t(y) * pitch_;
        if (is_32_bit(format_)) {
            for (uint32_t x = 0; x < width_; ++x) row[x * 4 + 3] = 0xFF;
        } else if (format_ == D3DFMT_A4R4G4B4) {
            uint16_t* t = reinterpret_cast<uint16_t*>(row);
            for (uint32_t x = 0; x < width_; ++x) t[x] |= 0xF000;
        }
    }
    return unlock();
}

graphic_texture::dc* graphic_texture::create_dc() {
    return new (std::nothrow) dc(this);
}

HDC graphic_texture::dc::get_dc() {
    const char* label = "graphic_texture::dc::get_dc";
    if (dc_) return dc_;
    const D3DFORMAT format = texture_->format();
    switch (format) {
    case D3DFMT_R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: {
        if (!texture_->get_surface()) {
            TRACE_ERROR(label, "IDirect3DTexture9::GetSurfaceLevel", -1);
            return nullptr;
        }
        surface_ = texture_->surface();
        surface_->AddRef();
        HRESULT hr = surface_->GetDC(&dc_);
        if (FAILED(hr)) {
            dc_ = nullptr;
            surface_->Release();
            surface_ = nullptr;
            TRACE_ERROR(label, "IDirect3DSurface9::GetDC", hr);
            return nullptr;
        }
        converted_ = false;
        return dc_;
    }
    case D3DFMT_A8R8G8B8:
        return open_converted(D3DFMT_X8R8G8B8) ? dc_ : nullptr;
    case D3DFMT_A1R5G5B5:
        return open_converted(D3DFMT_X1R5G5B5) ? dc_ : nullptr;
    default:
        TRACE_ERROR(label, "Unsupport format", format);
        return nullptr;
    }
}

// Texels below half alpha go to the surface as the colour key.
bool graphic_texture::dc::open_converted(D3DFORMAT surface_format) {
    const char* label = "graphic_texture::dc::get_dc";
    const uint32_t w = texture_->width(), h = texture_->height();
    HRESULT hr = texture_->owner()->device()->CreateOffscreenPlainSurface(
        w, h, surface_format, D3DPOOL_SYSTEMMEM, &surface_, nullptr);
    if (FAILED(hr)) {
        surface_ = nullptr;
        TRACE_ERROR(label, "CreateOffscreenPlainSurface", hr);
        return false;
    }
    D3DLOCKED_RECT lr;
    hr = surface_->LockRect(&lr, nullptr, 0);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "IDirect3DSurface9::LockRect", hr);
        surface_->Release();
        surface_ = nullptr;
        return false;
    }
    if (!texture_->lock(nullptr, 0)) {
        TRACE_ERROR(label, "graphic_texture::lock", -1);
        surface_->UnlockRect();
        surface_->Release();
        surface_ = nullptr;
        return false;
    }
    const uint8_t* from = static_cast<const uint8_t*>(texture_->bits());
    uint8_t* into = static_cast<uint8_t*>(lr.pBits);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* s = from + size_t(y) * texture_->pitch();
        uint8_t* d = into + size_t(y) * lr.Pitch;
        if (surface_format == D3DFMT_X8R8G8B8) {
            const uint32_t* in = reinterpret_cast<const uint32_t*>(s);
            uint32_t* out = reinterpret_cast<uint32_t*>(d);
            for (uint32_t x = 0; x < w; ++x) out[x] = (in[x] >> 24) < 0x80 ? key_32 : in[x] & 0xFFFFFF;
        } else {
            const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
            uint16_t* out = reinterpret_cast<uint16_t*>(d);
            for (uint32_t x = 0; x < w; ++x) out[x] = (in[x] & 0x8000) ? in[x] & 0x7FFF : key_16;
        }
    }
    surface_->UnlockRect();
    hr = surface_->GetDC(&dc_);
    if (FAILED(hr)) {
        dc_ = nullptr;
        TRACE_ERROR(label, "IDirect3DSurface9::GetDC", hr);
        texture_->unlock();
        surface_->Release();
        surface_ = nullptr;
        return false;
    }
    converted_ = true;
    return true;
}

// Key-coloured pixels become transparent, all others opaque.
bool graphic_texture::dc::write_back() {
    D3DLOCKED_RECT lr;
    HRESULT hr = surface_->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_texture::dc::release", "LPDIRECT3DSURFACE9::LockRect", hr);
        texture_->unlock();
        return false;
    }
    const uint32_t w = texture_->width(), h = texture_->height();
    const bool wide = texture_->format() == D3DFMT_A8R8G8B8;
    const uint8_t* from = static_cast<const uint8_t*>(lr.pBits);
    uint8_t* into = static_cast<uint8_t*>(texture_->bits());
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* s = from + size_t(y) * lr.Pitch;
        uint8_t* d = into + size_t(y) * texture_->pitch();
        if (wide) {
            const uint32_t* in = reinterpret_cast<const uint32_t*>(s);
            uint32_t* out = reinterpret_cast<uint32_t*>(d);
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t c = in[x] & 0xFFFFFF;
                out[x] = c == key_32 ? 0 : c | 0xFF000000u;
            }
        } else {
            const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
            uint16_t* out = reinterpret_cast<uint16_t*>(d);
            for (uint32_t x = 0; x < w; ++x) {
                const uint16_t c = in[x] & 0x7FFF;
                out[x] = c == key_16 ? 0 : uint16_t(c | 0x8000);
            }
        }
    }
    surface_->UnlockRect();
    return texture_->unlock();
}

bool graphic_texture::dc::release() {
    if (!surface_) return true;
    bool ok = true;
    if (dc_) surface_->ReleaseDC(dc_);
    dc_ = nullptr;
    if (converted_) ok = write_back();
    converted_ = false;
    surface_->Release();
    surface_ = nullptr;
    return ok;
}
