#include "engine/image_drawable.h"

#include <d3d9.h>

#include "graphics/texture.h"

namespace {
// The pixel test of one format over a locked surface.
struct pixel_reader {
    const uint8_t* bits;
    int32_t pitch;
    uint32_t format;

    bool drawn(int32_t x, int32_t y) const {
        const uint8_t* row = bits + static_cast<intptr_t>(y) * pitch;
        switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            return row[x * 4 + 3] != 0;
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
            return (reinterpret_cast<const uint16_t*>(row)[x] & 0x8000) != 0;
        case D3DFMT_A4R4G4B4:
            return (reinterpret_cast<const uint16_t*>(row)[x] & 0xF000) != 0;
        default:
            return false;
        }
    }
    bool row_drawn(int32_t y, int32_t left, int32_t right) const {
        for (int32_t x = left; x < right; ++x)
            if (drawn(x, y)) return true;
        return false;
    }
    bool column_drawn(int32_t x, int32_t top, int32_t bottom) const {
        for (int32_t y = top; y < bottom; ++y)
            if (drawn(x, y)) return true;
        return false;
    }
};

// Steps 3 to 6: top, bottom, left, right. False when nothing is drawn.
bool shrink(const pixel_reader& r, image_scan& s) {
    int32_t y = s.top;
    while (y < s.bottom && !r.row_drawn(y, s.left, s.right)) ++y;
    if (y == s.bottom) return false;
    s.out_top = y;
    y = s.bottom - 1;
    while (y > s.out_top && !r.row_drawn(y, s.left, s.right)) --y;
    s.out_bottom = y + 1;
    int32_t x = s.left;
    while (x < s.right && !r.column_drawn(x, s.out_top, s.out_bottom)) ++x;
    s.out_left = x;
    x = s.right - 1;
    while (x > s.out_left && !r.column_drawn(x, s.out_top, s.out_bottom)) --x;
    s.out_right = x + 1;
    return true;
}
}  // namespace

bool image_format_has_alpha(uint32_t format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return true;
    default:
        return false;
    }
}

void image_drawable_scan(image_scan& s) {
    s.out_left = s.left;
    s.out_top = s.top;
    s.out_right = s.right;
    s.out_bottom = s.bottom;
    s.done = 0;
    s.lock_failed = 0;
    s.no_alpha = 0;
    graphic_texture* t = s.texture;
    if (!t || !image_format_has_alpha(t->format())) {
        s.no_alpha = 1;
        return;
    }
    bool locked_here = false;
    if (!t->bits()) {
        if (!t->lock(nullptr, D3DLOCK_READONLY)) {
            s.lock_failed = 1;
            return;
        }
        locked_here = true;
    }
    pixel_reader reader{static_cast<const uint8_t*>(t->bits()), t->pitch(), static_cast<uint32_t>(t->format())};
    if (s.left < s.right && s.top < s.bottom && shrink(reader, s)) s.done = 1;
    if (locked_here) t->unlock();
}
