// Creating, locking, copying and resizing device textures.
#include "graphics/texture.h"

#include <cstring>
#include <new>

#include "core/trace.h"
#include "graphics/dds_writer.h"
#include "graphics/graphic.h"

namespace {

uint32_t next_pow2(uint32_t v) {
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}

}  // namespace

void graphic_buffer::clear() {
    if (buffer) buffer->Release();
    buffer = nullptr;
    data = nullptr;
    size = 0;
}

graphic_texture::~graphic_texture() {
    graphic_texture::release(false);
}

void graphic_texture::adjust_request(uint32_t& width, uint32_t& height, D3DFORMAT& format,
                                     D3DPOOL& pool, uint32_t& usage) const {
    const D3DCAPS9& caps = graphic_->caps();
    if (caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) {
        width = next_pow2(width);
        height = next_pow2(height);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) width = height = (width > height ? width : height);
    if (format == D3DFMT_UNKNOWN) format = graphic_->render_format();
    if (graphic_->device_type() == D3DDEVTYPE_REF && !(usage & D3DUSAGE_RENDERTARGET))
        pool = D3DPOOL_SYSTEMMEM;
    if (!(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES)) usage &= ~uint32_t(D3DUSAGE_DYNAMIC);
}

bool graphic_texture::get_desc() {
    D3DSURFACE_DESC desc;
    HRESULT hr = texture_->GetLevelDesc(0, &desc);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_texture::get_real_size", "GetLevelDesc", hr);
        return false;
    }
    format_ = desc.Format;
    real_width_ = desc.Width;
    real_height_ = desc.Height;
    return true;
}

bool graphic_texture::create_blank(uint32_t width, uint32_t height, D3DFORMAT format, D3DPOOL pool,
                                   uint32_t usage) {
    const char* label = "graphic_texture::create";
    IDirect3DDevice9* device = graphic_->device();
    if (!device) {
        TRACE_ERROR(label, "no device", -1);
        return false;
    }
    release_device_objects();
    uint32_t w = width, h = height;
    adjust_request(w, h, format, pool, usage);
    // Sizes come from scripts and files. The device refuses oversized
    // textures of its own pools but makes system-memory ones of any size.
    const D3DCAPS9& caps = graphic_->caps();
    if ((pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH) &&
        (w > caps.MaxTextureWidth || h > caps.MaxTextureHeight)) {
        TRACE_ERROR(label, "size beyond the device's limit", static_cast<int32_t>(w > h ? w : h));
        return false;
    }
    HRESULT hr = device->CreateTexture(w, h, 1, usage, format, pool, &texture_, nullptr);
    if (FAILED(hr)) {
        texture_ = nullptr;
        TRACE_ERROR(label, "CreateTexture", hr);
        return false;
    }
    pool_ = pool;
    usage_ = usage;
    width_ = width;
    height_ = height;
    if (!get_desc()) {
        TRACE_ERROR(label, "get_desc", -1);
        release_device_objects();
        return false;
    }
    return true;
}

// The image as a texture of its own size (padded where D3DX pads), with
// texels of the key colour made transparent (key 0: none).
// A width and height of D3DX_DEFAULT leave the size to D3DX.
static bool create_from_image_keyed(graphic* g, const void* data, uint32_t size,
                                    D3DFORMAT format, D3DPOOL pool, uint32_t usage,
                                    D3DCOLOR key, IDirect3DTexture9** out, D3DXIMAGE_INFO& info,
                                    UINT width = D3DX_DEFAULT, UINT height = D3DX_DEFAULT) {
    HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        g->device(), data, size, width, height, D3DX_DEFAULT, usage, format, pool,
        D3DX_FILTER_NONE, D3DX_DEFAULT, key, &info, nullptr, out);
    if (FAILED(hr)) {
        *out = nullptr;
        TRACE_ERROR("graphic_texture::create", "D3DXCreateTextureFromFileInMemoryEx", hr);
        return false;
    }
    return true;
}

// Keyed texels are transparent black, whatever D3DX left in their colour
// channels (some builds keep the key's green there, which bleeds into
// filtered edges).
static void clear_transparent_texels(IDirect3DTexture9* texture, D3DFORMAT format, D3DPOOL pool,
                                     uint32_t usage) {
    if (pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC)) return;  // not lockable
    uint32_t alpha_mask, bytes;
    switch (format) {
    case D3DFMT_A8R8G8B8: alpha_mask = 0xFF000000u; bytes = 4; break;
    case D3DFMT_A4R4G4B4: alpha_mask = 0xF000u; bytes = 2; break;
    case D3DFMT_A1R5G5B5: alpha_mask = 0x8000u; bytes = 2; break;
    default: return;
    }
    for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        D3DLOCKED_RECT lr;
        if (FAILED(texture->GetLevelDesc(level, &desc)) ||
            FAILED(texture->LockRect(level, &lr, nullptr, 0)))
            continue;
        for (UINT y = 0; y < desc.Height; ++y) {
            uint8_t* row = static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch;
            if (bytes == 4) {
                uint32_t* t = reinterpret_cast<uint32_t*>(row);
                for (UINT x = 0; x < desc.Width; ++x)
                    if (!(t[x] & alpha_mask)) t[x] = 0;
            } else {
                uint16_t* t = reinterpret_cast<uint16_t*>(row);
                for (UINT x = 0; x < desc.Width; ++x)
                    if (!(t[x] & alpha_mask)) t[x] = 0;
            }
        }
        texture->UnlockRect(level);
    }
}

bool graphic_texture::create_from_image(const void* data, uint32_t size, D3DFORMAT format,
                                        D3DPOOL pool, uint32_t usage) {
    if (!graphic_->device()) {
        TRACE_ERROR("graphic_texture::create", "no device", -1);
        return false;
    }
    release_device_objects();
    uint32_t w = 1, h = 1;
    adjust_request(w, h, format, pool, usage);
    D3DXIMAGE_INFO info{};
    if (!create_from_image_keyed(graphic_, data, size, format, pool, usage,
                                 graphic::color_key, &texture_, info))
        return false;
    pool_ = pool;
    usage_ = usage;
    width_ = info.Width;
    height_ = info.Height;
    if (!get_desc()) {
        TRACE_ERROR("graphic_texture::create", "get_desc", -1);
        release_device_objects();
        return false;
    }
    clear_transparent_texels(texture_, format_, pool_, usage_);
    return true;
}

bool graphic_texture::create() {
    uint32_t w = lost_ ? width_ : graphic_->client_width();
    uint32_t h = lost_ ? height_ : graphic_->client_height();
    return create_blank(w, h, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
}

void graphic_texture::release_device_objects() {
    delete staging_;
    staging_ = nullptr;
    if (surface_) surface_->Release();
    surface_ = nullptr;
    unlock();
    if (texture_) texture_->Release();
    texture_ = nullptr;
}

bool graphic_texture::release(bool all) {
    (void)all;
    release_device_objects();
    return true;
}

bool graphic_texture::onlost() {
    lost_ = true;
    if (pool_ == D3DPOOL_DEFAULT) release(false);
    return true;
}

bool graphic_texture::restore() {
    if (pool_ != D3DPOOL_DEFAULT) {
        lost_ = false;
        return true;
    }
    release(false);
    if (!create()) return false;
    lost_ = false;
    return true;
}

bool graphic_texture::get_image_info(const void* data, uint32_t size, image_info_t& info) {
    D3DXIMAGE_INFO i{};
    HRESULT hr = D3DXGetImageInfoFromFileInMemory(data, size, &i);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_texture::get_image_info", "D3DXGetImageInfoFromFileInMemory", hr);
        return false;
    }
    info.width = i.Width;
    info.height = i.Height;
    return true;
}

int32_t graphic_texture::locking(const RECT* rect, uint32_t flags) {
    const char* label = "graphic_texture::locking";
    if (pool_ != D3DPOOL_DEFAULT) return lock_direct;
    if ((usage_ & D3DUSAGE_DYNAMIC) && !rect && (flags & D3DLOCK_DISCARD)) return lock_direct;
    if (usage_ & D3DUSAGE_RENDERTARGET) {
        if (!staging_) {
            staging_ = graphic_->new_texture(false);
            if (!staging_) {
                TRACE_ERROR(label, "graphic::create_object", -1);
                return lock_none;
            }
            if (!staging_->create_blank(width_, height_, graphic_->render_format(),
                                        D3DPOOL_SYSTEMMEM, 0)) {
                TRACE_ERROR(label, "graphic_texture::create", -1);
                delete staging_;
                staging_ = nullptr;
                return lock_none;
            }
        }
        if (!staging_->get_surface()) {
            TRACE_ERROR(label, "graphic_texture::get_surface", -1);
            return lock_none;
        }
        if (!get_surface()) {
            TRACE_ERROR(label, "graphic_texture::get_surface(own)", -1);
            return lock_none;
        }
        HRESULT hr = graphic_->device()->GetRenderTargetData(surface_, staging_->surface_);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "GetRenderTargetData", hr);
            return lock_none;
        }
        return lock_target_copy;
    }
    // Any other DEFAULT texture: a system-memory copy through a DDS image,
    // kept free of the colour key so every texel survives the round trip.
    delete staging_;
    staging_ = nullptr;
    graphic_buffer dds;
    if (!save(image_format_dds, dds)) {
        TRACE_ERROR(label, "graphic_texture::save", -1);
        return lock_none;
    }
    staging_ = graphic_->new_texture(false);
    if (!staging_) {
        TRACE_ERROR(label, "graphic::create_object", -1);
        return lock_none;
    }
    D3DXIMAGE_INFO info{};
    // The copy has the texture's real size (D3DX would round a size of its
    // own choosing up to a power of two), or UpdateTexture refuses it.
    if (!create_from_image_keyed(graphic_, dds.data, dds.size, format_,
                                 D3DPOOL_SYSTEMMEM, 0, 0, &staging_->texture_, info,
                                 real_width_, real_height_) ||
        !staging_->get_desc()) {
        TRACE_ERROR(label, "graphic_texture::create", -1);
        delete staging_;
        staging_ = nullptr;
        return lock_none;
    }
    staging_->pool_ = D3DPOOL_SYSTEMMEM;
    staging_->width_ = info.Width;
    staging_->height_ = info.Height;
    return lock_file_copy;
}

bool graphic_texture::lock(const RECT* rect, uint32_t flags) {
    const char* label = "graphic_texture::lock";
    unlock();
    if (!texture_) {
        TRACE_ERROR(label, "cannot lock", -1);
        return false;
    }
    int32_t mode = locking(rect, flags);
    D3DLOCKED_RECT lr{};
    if (mode == lock_direct) {
        HRESULT hr = texture_->LockRect(0, &lr, rect, flags);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "LockRect", hr);
            return false;
        }
        bits_ = lr.pBits;
        pitch_ = lr.Pitch;
    } else if (mode == lock_target_copy || mode == lock_file_copy) {
        if (!staging_->lock(rect, flags & ~uint32_t(D3DLOCK_DISCARD))) {
            TRACE_ERROR(label, "graphic_texture::lock", -1);
            return false;
        }
        bits_ = staging_->bits_;
        pitch_ = staging_->pitch_;
    } else {
        TRACE_ERROR(label, "cannot lock", -1);
        return false;
    }
    mode_ = mode;
    return true;
}

bool graphic_texture::unlock() {
    const char* label = "graphic_texture::unlock";
    if (mode_ == lock_none) return true;
    bool ok = true;
    if (mode_ == lock_direct) {
        HRESULT hr = texture_->UnlockRect(0);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "UnlockRect", hr);
            ok = false;
        }
    } else if (staging_) {
        staging_->unlock();
        HRESULT hr = graphic_->device()->UpdateTexture(staging_->texture_, texture_);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "UpdateTexture", hr);
            ok = false;
        }
    }
    bits_ = nullptr;
    pitch_ = 0;
    mode_ = lock_none;
    return ok;
}

bool graphic_texture::get_surface() {
    if (surface_) return true;
    if (!texture_) return false;
    HRESULT hr = texture_->GetSurfaceLevel(0, &surface_);
    if (FAILED(hr)) {
        surface_ = nullptr;
        TRACE_ERROR("graphic_texture::get_surface", "IDirect3DTexture9::GetSurfaceLevel", hr);
        return false;
    }
    return true;
}

bool graphic_texture::fill(D3DCOLOR color) {
    if (!get_surface()) {
        TRACE_ERROR("graphic_texture::fill", "GetSurfaceLevel", -1);
        return false;
    }
    HRESULT hr = graphic_->device()->ColorFill(surface_, nullptr, color);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_texture::fill", "ColorFill", hr);
        return false;
    }
    return true;
}

bool graphic_texture::update(graphic_texture* source) {
    HRESULT hr = source && source->texture_ && texture_
                     ? graphic_->device()->UpdateTexture(source->texture_, texture_)
                     : E_POINTER;
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_texture::update", "UpdateTexture", hr);
        return false;
    }
    return true;
}

// Rows copied with each side's own pitch (the two locks need not agree).
static void copy_rows(const graphic_texture& src, graphic_texture& dst, uint32_t row_bytes,
                      uint32_t rows) {
    const uint8_t* s = static_cast<const uint8_t*>(src.bits());
    uint8_t* d = static_cast<uint8_t*>(dst.bits());
    for (uint32_t y = 0; y < rows; ++y) std::memcpy(d + size_t(y) * dst.pitch(), s + size_t(y) * src.pitch(), row_bytes);
}

static uint32_t bytes_per_texel(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10: case D3DFMT_A2B10G10R10:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: case D3DFMT_A8R3G3B2:
        return 2;
    case D3DFMT_A8: case D3DFMT_R3G3B2: case D3DFMT_L8:
        return 1;
    default:
        return 0;
    }
}

bool graphic_texture::duplicate(graphic_texture* source) {
    const char* label = "graphic_texture::duplicate";
    if (!source || !source->texture_ || !texture_) {
        TRACE_ERROR(label, "no texture", -1);
        return false;
    }
    if (pool_ == D3DPOOL_DEFAULT && source->pool_ == D3DPOOL_DEFAULT &&
        (usage_ & D3DUSAGE_RENDERTARGET) && (source->usage_ & D3DUSAGE_RENDERTARGET)) {
        if (!source->get_surface()) {
            TRACE_ERROR(label, "graphic_texture::get_surface(src)", -1);
            return false;
        }
        if (!get_surface()) {
            TRACE_ERROR(label, "graphic_texture::get_surface(tex)", -1);
            return false;
        }
        HRESULT hr = graphic_->device()->StretchRect(source->surface_, nullptr, surface_, nullptr,
                                                     D3DTEXF_LINEAR);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "StretchRect", hr);
            return false;
        }
        return true;
    }
    uint32_t bpp = bytes_per_texel(format_);
    if (real_width_ == source->real_width_ && real_height_ == source->real_height_ &&
        format_ == source->format_ && bpp) {
        if (!source->lock(nullptr, D3DLOCK_READONLY)) {
            TRACE_ERROR(label, "graphic_texture::lock(src)", -1);
            return false;
        }
        if (!lock(nullptr, 0)) {
            source->unlock();
            TRACE_ERROR(label, "graphic_texture::lock(tex)", -1);
            return false;
        }
        copy_rows(*source, *this, real_width_ * bpp, real_height_);
        source->unlock();
        return unlock();
    }
    return duplicate_through_gdi(*source);
}

bool graphic_texture::resize(uint32_t width, uint32_t height) {
    const char* label = "graphic_texture::resize";
    if (!texture_) {
        TRACE_ERROR(label, "lock(1)", -1);
        return false;
    }
    // The new texture is built beside this one and swapped in only once it
    // holds the copied texels, so any failure leaves this texture as it was.
    graphic_texture fresh(graphic_);
    if (!fresh.create_blank(width, height, format_, pool_, usage_)) {
        TRACE_ERROR(label, "create", -1);
        return false;
    }
    if (fresh.format_ != format_) {
        TRACE_ERROR(label, "invalid format", fresh.format_);
        return false;
    }
    uint32_t bpp = bytes_per_texel(format_);
    if (!bpp) {
        TRACE_ERROR(label, "invalid format", format_);
        return false;
    }
    if (!lock(nullptr, D3DLOCK_READONLY)) {
        TRACE_ERROR(label, "lock(1)", -1);
        return false;
    }
    if (!fresh.lock(nullptr, 0)) {
        unlock();
        TRACE_ERROR(label, "lock(2)", -1);
        return false;
    }
    uint32_t w = width_ < width ? width_ : width;
    uint32_t h = height_ < height ? height_ : height;
    copy_rows(*this, fresh, w * bpp, h);
    unlock();
    if (!fresh.unlock()) return false;
    release_device_objects();
    texture_ = fresh.texture_;
    fresh.texture_ = nullptr;
    width_ = width;
    height_ = height;
    real_width_ = fresh.real_width_;
    real_height_ = fresh.real_height_;
    return true;
}

// Level 0 as far as the asked size goes: padding is not part of the image.
bool graphic_texture::save(int32_t file_format, graphic_buffer& out) {
    const char* label = "graphic_texture::save";
    out.clear();
    if (!get_surface()) {
        TRACE_ERROR(label, "get_surface", -1);
        return false;
    }
    RECT r{0, 0, LONG(width_), LONG(height_)};
    HRESULT hr = D3DXSaveSurfaceToFileInMemory(&out.buffer, D3DXIMAGE_FILEFORMAT(file_format),
                                               surface_, nullptr, &r);
    if (hr == E_NOTIMPL && file_format == image_format_dds) {
        std::vector<uint8_t> bytes;
        if (!write_dds(*this, bytes)) {
            TRACE_ERROR(label, "D3DXSaveTextureToFileInMemory", hr);
            return false;
        }
        hr = D3DXCreateBuffer(DWORD(bytes.size()), &out.buffer);
        if (FAILED(hr)) {
            out.buffer = nullptr;
            TRACE_ERROR(label, "D3DXCreateBuffer", hr);
            return false;
        }
        std::memcpy(out.buffer->GetBufferPointer(), bytes.data(), bytes.size());
    } else if (FAILED(hr)) {
        out.buffer = nullptr;
        TRACE_ERROR(label, "D3DXSaveTextureToFileInMemory", hr);
        return false;
    }
    out.data = out.buffer->GetBufferPointer();
    out.size = out.buffer->GetBufferSize();
    return true;
}

bool graphic_texture::save(const wchar_t* path, int32_t file_format) {
    const char* label = "graphic_texture::save";
    graphic_buffer image;
    if (!save(file_format, image)) return false;
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        TRACE_ERROR(label, "D3DXSaveTextureToFile", GetLastError());
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(h, image.data, image.size, &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok || written != image.size) {
        DeleteFileW(path);
        TRACE_ERROR(label, "D3DXSaveTextureToFile", ok ? -1 : int32_t(error));
        return false;
    }
    return true;
}
