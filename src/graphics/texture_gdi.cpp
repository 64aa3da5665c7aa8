// Textures and GDI bitmaps: a bitmap of a texture's texels, and copies
// between textures of different sizes or formats through GDI.
#include <cstring>
#include <vector>

#include "core/trace.h"
#include "graphics/bitmap_info.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

bool BitmapInfo::init(D3DFORMAT format, int32_t width, int32_t height) {
    std::memset(this, 0, sizeof *this);
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    auto fields = [&](WORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
        header.biBitCount = bits;
        header.biCompression = BI_BITFIELDS;
        masks[0] = r;
        masks[1] = g;
        masks[2] = b;
        masks[3] = a;
    };
    switch (format) {
    case D3DFMT_R8G8B8:
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        return true;
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8:
        fields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        return true;
    case D3DFMT_R5G6B5:
        fields(16, 0xF800, 0x7E0, 0x1F, 0);
        return true;
    case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5:
        fields(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
        return true;
    case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
        fields(16, 0xF00, 0xF0, 0xF, 0xF000);
        return true;
    default:
        TRACE_ERROR("BitmapInfo::init", "unsupport texture format", format);
        return false;
    }
}

// Rows of the locked texture packed the way GDI wants them (each row a
// whole number of 32-bit words).
static std::vector<uint8_t> packed_rows(const graphic_texture& t, uint32_t texel_bytes) {
    const uint32_t row = t.width() * texel_bytes;
    const uint32_t stride = (row + 3) & ~3u;
    std::vector<uint8_t> out(size_t(stride) * t.height());
    const uint8_t* bits = static_cast<const uint8_t*>(t.bits());
    for (uint32_t y = 0; y < t.height(); ++y)
        std::memcpy(&out[size_t(y) * stride], bits + size_t(y) * t.pitch(), row);
    return out;
}

HBITMAP graphic_texture::create_bitmap(HDC dc) {
    const char* label = "graphic_texture::create_bitmap";
    BitmapInfo bi;
    if (!bi.init(format_, int32_t(width_), int32_t(height_))) return nullptr;
    HDC screen = dc ? dc : GetDC(nullptr);
    if (!screen) {
        TRACE_ERROR(label, "GetDC", GetLastError());
        return nullptr;
    }
    HBITMAP bitmap = CreateCompatibleBitmap(screen, int(width_), int(height_));
    if (!dc) ReleaseDC(nullptr, screen);
    if (!bitmap) {
        TRACE_ERROR(label, "CreateCompatibleBitmap", GetLastError());
        return nullptr;
    }
    if (!lock(nullptr, D3DLOCK_READONLY)) {
        TRACE_ERROR(label, "lock", -1);
        DeleteObject(bitmap);
        return nullptr;
    }
    std::vector<uint8_t> rows = packed_rows(*this, bi.bytes_per_texel());
    unlock();
    HDC target = dc ? dc : GetDC(nullptr);
    int lines = SetDIBits(target, bitmap, 0, height_, rows.data(), bi.info(), DIB_RGB_COLORS);
    if (!dc) ReleaseDC(nullptr, target);
    if (lines == 0) {
        TRACE_ERROR(label, "SetDIBits", GetLastError());
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

// The source stretched onto this texture's whole size by GDI. Alpha does
// not survive GDI; colours do.
bool graphic_texture::duplicate_through_gdi(graphic_texture& source) {
    const char* label = "graphic_texture::duplicate";
    BitmapInfo bi;
    if (!bi.init(format_, int32_t(width_), int32_t(height_))) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) {
        TRACE_ERROR(label, "GetDC", GetLastError());
        return false;
    }
    bool ok = false;
    HDC src_dc = nullptr, dst_dc = nullptr;
    HBITMAP src_bitmap = nullptr, dst_bitmap = nullptr;
    HGDIOBJ src_old = nullptr, dst_old = nullptr;
    do {
        if (!(src_dc = CreateCompatibleDC(screen))) {
            TRACE_ERROR(label, "CreateCompatibleDC(src)", GetLastError());
            break;
        }
        if (!(src_bitmap = source.create_bitmap(screen))) {
            TRACE_ERROR(label, "create_bitmap(src)", -1);
            break;
        }
        if (!(src_old = SelectObject(src_dc, src_bitmap))) {
            TRACE_ERROR(label, "SelectObject(src)", GetLastError());
            break;
        }
        if (!(dst_dc = CreateCompatibleDC(screen))) {
            TRACE_ERROR(label, "CreateCompatibleDC(dst)", GetLastError());
            break;
        }
        if (!(dst_bitmap = CreateCompatibleBitmap(screen, int(width_), int(height_)))) {
            TRACE_ERROR(label, "CreateCompatibleBitmap(dst)", GetLastError());
            break;
        }
        if (!(dst_old = SelectObject(dst_dc, dst_bitmap))) {
            TRACE_ERROR(label, "SelectObject(dst)", GetLastError());
            break;
        }
        SetStretchBltMode(dst_dc, COLORONCOLOR);
        if (!StretchBlt(dst_dc, 0, 0, int(width_), int(height_), src_dc, 0, 0,
                        int(source.width_), int(source.height_), SRCCOPY)) {
            TRACE_ERROR(label, "StretchBlt", GetLastError());
            break;
        }
        // The bitmap can't be read while selected.
        SelectObject(dst_dc, dst_old);
        dst_old = nullptr;
        const uint32_t row = width_ * bi.bytes_per_texel();
        const uint32_t stride = (row + 3) & ~3u;
        std::vector<uint8_t> rows(size_t(stride) * height_);
        if (!GetDIBits(screen, dst_bitmap, 0, height_, rows.data(), bi.info(), DIB_RGB_COLORS)) {
            TRACE_ERROR(label, "GetDIBits", GetLastError());
            break;
        }
        if (!lock(nullptr, 0)) {
            TRACE_ERROR(label, "graphic_texture::lock(dst)", -1);
            break;
        }
        uint8_t* bits = static_cast<uint8_t*>(bits_);
        const bool opaque_alpha = format_ == D3DFMT_A8R8G8B8;
        for (uint32_t y = 0; y < height_; ++y) {
            uint8_t* out = bits + size_t(y) * pitch_;
            std::memcpy(out, &rows[size_t(y) * stride], row);
            // GDI leaves the alpha byte zero: the copy is opaque.
            if (opaque_alpha)
                for (uint32_t x = 0; x < width_; ++x) out[x * 4 + 3] = 0xFF;
        }
        ok = unlock();
    } while (false);
    if (dst_old) SelectObject(dst_dc, dst_old);
    if (src_old) SelectObject(src_dc, src_old);
    if (dst_bitmap) DeleteObject(dst_bitmap);
    if (src_bitmap) DeleteObject(src_bitmap);
    if (dst_dc) DeleteDC(dst_dc);
    if (src_dc) DeleteDC(src_dc);
    ReleaseDC(nullptr, screen);
    return ok;
}
