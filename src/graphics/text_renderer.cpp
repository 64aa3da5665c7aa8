// Drawing glyph records through the sprite batch: an edge pass of four
// one-pixel offsets, then the faces.
#include <cmath>

#include "graphics/font.h"
#include "graphics/graphic.h"
#include "graphics/sprite.h"
#include "graphics/text.h"

namespace {

D3DCOLOR fade(D3DCOLOR color, float factor) {
    float a = float(color >> 24) * factor + 0.5f;
    uint32_t alpha = a >= 255.0f ? 255u : a <= 0.0f ? 0u : uint32_t(a);
    return (color & 0x00FFFFFFu) | alpha << 24;
}

bool drawable(const glyph_record& r) {
    return r.state > 2 && r.code != glyph_code_line && r.code != glyph_code_style &&
           r.alpha > 0.0f && r.font.is_valid();
}

const float edge_offsets[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

}  // namespace

bool draw_glyph(graphic& g, graphic_font& font, uint32_t code, float x, float y, float angle,
                float scale, D3DCOLOR color, uint32_t blend) {
    graphic_glyph glyph;
    if (!font.get_char(code, glyph)) return true;
    graphic_sprite* batch = g.sprite();
    if (!batch) return false;
    const RECT source{glyph.left, glyph.top, glyph.right, glyph.bottom};
    const D3DXVECTOR3 centre(float(glyph.advance) * 0.5f, float(glyph.height) * 0.5f, 0.0f);
    D3DXMATRIX rotation, scaling, translation;
    D3DXMatrixRotationZ(&rotation, angle);
    D3DXMatrixScaling(&scaling, scale, scale, 1.0f);
    D3DXMatrixTranslation(&translation, x + centre.x * scale, y + centre.y * scale, 0.0f);
    D3DXMatrixMultiply(&batch->transform, &rotation, &scaling);
    D3DXMatrixMultiply(&batch->transform, &batch->transform, &translation);
    batch->blend = blend & 0xFF;
    HRESULT hr = batch->draw(&source, font.d3d_texture(), &centre, color);
    batch->blend = 0;
    return SUCCEEDED(hr);
}

bool graphic_text_renderer::render() {
    if (hidden() || !records) return true;
    const float ox = std::floor(x + graphic_->draw_offset_x() + 0.5f);
    const float oy = std::floor(y + graphic_->draw_offset_y() + 0.5f);
    bool ok = true;
    for (const glyph_record& r : *records) {
        if (!drawable(r) || !r.edge_color) continue;
        const D3DCOLOR c = fade(r.edge_color, r.alpha);
        for (const auto& d : edge_offsets)
            ok &= draw_glyph(*graphic_, *r.font.font(), r.code, ox + r.x + d[0], oy + r.y + d[1],
                             r.angle, r.scale, c, blend);
    }
    for (const glyph_record& r : *records) {
        if (!drawable(r) || !r.face_color) continue;
        ok &= draw_glyph(*graphic_, *r.font.font(), r.code, ox + r.x, oy + r.y, r.angle, r.scale,
                         fade(r.face_color, r.alpha), blend);
    }
    return ok;
}

graphic_font_object::graphic_font_object(graphic* owner) : graphic_text_renderer(owner) {
    graphic_text_renderer::records = &list_;
    graphic_text_formalizer::output = &list_;
}
