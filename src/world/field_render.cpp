#include "world/field_render.h"

#include <cmath>

#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "world/field_manager.h"

field_render::field_render(graphic* owner, field_manager* manager) : graphic_sprite_object(owner), manager_(manager) {}

field_render::~field_render() {
    if (graphic_ && layer_id >= 0) {
        if (graphic_render_layer* layer = graphic_->get_layer(layer_id)) {
            layer->objects.remove(this);
            layer->flags |= layer_flag_object_removed;
        }
    }
}

bool field_render::render() {
    const field* f = manager_->current_field();
    graphic_sprite* batch = graphic_->sprite();
    if (!f || !batch) return true;
    const int32_t w = int32_t(graphic_->client_width()), h = int32_t(graphic_->client_height());
    const float ox = graphic_->draw_offset_x(), oy = graphic_->draw_offset_y();
    HRESULT result = S_OK;
    for (size_t k = 0; k < f->layers.size(); ++k) {
        const field_layer& l = f->layers[k];
        if (l.state & field_hidden) continue;
        // A set whose image is not loaded (yet) shows nothing.
        graphic_texture* t = l.cells->texture.get();
        IDirect3DTexture9* texture = t ? t->d3d_texture() : nullptr;
        if (!texture) continue;
        for (const field_placed_cell& pc : l.placed) {
            const field_cell& c = *pc.cell;
            if ((pc.state & field_hidden) || !c.drawn()) continue;
            const float p[3] = {float(pc.x), float(pc.y), float(k)};
            float v[3];
            field::position_to_view(0, p, v);
            const int32_t ix = int32_t(v[0]), iy = int32_t(v[1]);
            if (ix >= w || ix + (c.rect[2] - c.rect[0]) <= 0 || iy >= h || iy + (c.rect[3] - c.rect[1]) <= 0) continue;
            D3DXMatrixTranslation(&batch->transform, std::floor(ox + v[0] + 0.5f), std::floor(oy + v[1] + 0.5f), v[2]);
            const RECT rect{c.rect[0], c.rect[1], c.rect[2], c.rect[3]};
            const D3DXVECTOR3 centre(c.pivot[0], c.pivot[1], 0.0f);
            result = batch->draw(&rect, texture, &centre, 0xFFFFFFFF);
        }
    }
    return SUCCEEDED(result);
}
