// GDI bitmap descriptions of texture formats, for moving texels between
// textures and GDI bitmaps.
#ifndef VY_GRAPHICS_BITMAP_INFO_H
#define VY_GRAPHICS_BITMAP_INFO_H

#include <windows.h>
#include <d3d9.h>

#include <cstdint>

struct BitmapInfo {
    BITMAPINFOHEADER header;
    DWORD masks[4];  // red, green, blue, alpha (bit fields)

    // Top-down description of width x height texels of the format; false
    // (and a log line) for a format GDI can't take.
    bool init(D3DFORMAT format, int32_t width, int32_t height);
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(this); }
    uint32_t bytes_per_texel() const { return header.biBitCount / 8; }
};

#endif
