// Fonts on the shared test device: IPAGothic descriptions, kanji codes to
// fill glyph pages with, and the pixels of a font's page.
#ifndef VY_TESTS_GRAPHICS_FONT_FIXTURE_H
#define VY_TESTS_GRAPHICS_FONT_FIXTURE_H

#include <vector>

#include "device_fixture.h"
#include "graphics/font.h"
#include "graphics/font_manager.h"

// Gray-8 glyphs, Shift-JIS charset, edge-font bit clear.
constexpr uint32_t gray8_sjis = 0x03030000u;

inline LOGFONTW ipa_logfont(int32_t height) {
    font_key key;
    graphic_font::make_logfont(key, L"IPAGothic", height, FW_NORMAL, gray8_sjis);
    return key.logfont;
}

// The i-th level-1 kanji of CP932 (all have pixels).
inline uint32_t kanji(uint32_t i) {
    static const uint32_t per_lead = (0x7E - 0x40 + 1) + (0xFC - 0x80 + 1);
    uint32_t lead = 0x89 + i / per_lead, t = i % per_lead;
    uint32_t trail = t < 0x3F ? 0x40 + t : 0x80 + (t - 0x3F);
    return lead << 8 | trail;
}

// The device page (level 0) as A8R8G8B8 words.
inline pixels read_page(graphic_font& f) {
    pixels p;
    IDirect3DTexture9* t = f.d3d_texture();
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT lr;
    if (!t || FAILED(t->GetLevelDesc(0, &desc)) || desc.Format != D3DFMT_A8R8G8B8 ||
        FAILED(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY)))
        return p;
    p.width = desc.Width;
    p.height = desc.Height;
    p.data.resize(size_t(p.width) * p.height);
    for (uint32_t y = 0; y < p.height; ++y)
        std::memcpy(&p.data[size_t(y) * p.width], static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch,
                    p.width * 4);
    t->UnlockRect(0);
    return p;
}

// The texels of one rectangle of a page.
inline std::vector<uint32_t> cut(const pixels& p, const RECT& r) {
    std::vector<uint32_t> out;
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) out.push_back(p.at(x, y));
    return out;
}

inline RECT glyph_rect(const graphic_glyph& g) {
    return RECT{g.left, g.top, g.right, g.bottom};
}

class font_test : public device_test {
protected:
    // A font of its own (not shared), registered with the graphic.
    graphic_font* make_font(int32_t height, uint32_t capacity, uint32_t flags = gray8_sjis) {
        auto* f = new graphic_font(&g());
        g().add_object(f);
        font_key key;
        graphic_font::make_logfont(key, L"IPAGothic", height, FW_NORMAL, flags);
        if (!f->create(&key.logfont, key.flags, capacity)) return nullptr;
        return f;
    }
};

#endif
