// Image files for engine tests: a solid BMP to load and a reader of the
// BMP pictures the engine writes.
#ifndef VY_TESTS_ENGINE_IMAGE_FILES_H
#define VY_TESTS_ENGINE_IMAGE_FILES_H

#include <cstdint>
#include <string>
#include <vector>

inline uint32_t u32_at(const std::string& b, size_t at) {
    if (at + 4 > b.size()) return 0;
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// A 24-bit BMP of one colour (0xRRGGBB).
inline std::string solid_bmp(int width, int height, uint32_t rgb) {
    const int row = (width * 3 + 3) & ~3;
    std::string bytes(54 + size_t(row) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char* p = &bytes[54 + size_t(y) * row + size_t(x) * 3];
            p[0] = char(rgb & 0xFF);
            p[1] = char((rgb >> 8) & 0xFF);
            p[2] = char((rgb >> 16) & 0xFF);
        }
    return bytes;
}

// The pixels of an uncompressed 24- or 32-bit BMP at the start of bytes,
// as 0xRRGGBB, top row first.
struct picture {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[size_t(y) * width + x]; }
    int count(uint32_t colour) const {
        int n = 0;
        for (uint32_t c : rgb) n += c == colour;
        return n;
    }
};

inline picture read_bmp(const std::string& b) {
    picture p;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return p;
    int32_t w = int32_t(u32_at(b, 18)), h = int32_t(u32_at(b, 22));
    int bits = uint8_t(b[28]) | uint8_t(b[29]) << 8;
    if (bits != 24 && bits != 32) return p;
    bool top_down = h < 0;
    if (top_down) h = -h;
    const size_t bytes_per = size_t(bits / 8), row = (size_t(w) * bytes_per + 3) & ~size_t(3);
    const size_t data = u32_at(b, 10);
    if (data + row * size_t(h) > b.size()) return p;
    p.width = w;
    p.height = h;
    p.rgb.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const size_t src_row = data + row * size_t(top_down ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const uint8_t* px = reinterpret_cast<const uint8_t*>(&b[src_row + size_t(x) * bytes_per]);
            p.rgb[size_t(y) * w + x] = uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
        }
    }
    return p;
}

#endif
