// The standard textured quad drawn through the sprite batch.
#include <cmath>
#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

graphic_sprite_object::graphic_sprite_object(graphic* owner) : graphic_render_object(owner) {}

graphic_sprite_object::~graphic_sprite_object() {
    free_texture();
}

void graphic_sprite_object::free_texture() {
    if (texture_kind_ == texture_owned && texture_)
        graphic_->delete_object(texture_);
    else if (texture_kind_ == texture_shared && shared_.valid())
        graphic_->textures().release_entry(shared_);
    texture_ = nullptr;
    shared_ = graphic_texture_manager::iterator();
    texture_kind_ = texture_borrowed;
}

bool graphic_sprite_object::create() {
    free_texture();
    graphic_texture* t = graphic_->new_texture(true);
    if (!t) {
        TRACE_ERROR("graphic_sprite_object::create", "create_object", -1);
        return false;
    }
    texture_ = t;
    texture_kind_ = texture_owned;
    if (!t->create()) {
        TRACE_ERROR("graphic_sprite_object::create", "create texture", -1);
        return false;
    }
    return true;
}

bool graphic_sprite_object::create(uint32_t width, uint32_t height) {
    free_texture();
    graphic_texture* t = graphic_->new_texture(true);
    if (!t) {
        TRACE_ERROR("graphic_sprite_object::create", "create_object", -1);
        return false;
    }
    texture_ = t;
    texture_kind_ = texture_owned;
    if (!t->create_blank(width, height, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC)) {
        TRACE_ERROR("graphic_sprite_object::create", "create texture", -1);
        return false;
    }
    return true;
}

bool graphic_sprite_object::create(const wchar_t* path, const char* entry) {
    free_texture();
    graphic_texture_manager::iterator it = graphic_->load_texture(path, string(entry));
    graphic_texture* t = it.get();
    if (t && t->d3d_texture()) {
        shared_ = it;
        texture_kind_ = texture_shared;
    } else {
        t = nullptr;  // a failed load counts no use
    }
    if (!t) {
        TRACE_ERROR("graphic_sprite_object::create", "graphic::load_texture", -1);
        return false;
    }
    texture_ = t;
    return true;
}

bool graphic_sprite_object::release(bool all) {
    if (!all) {
        free_texture();
    } else {
        texture_ = nullptr;
        shared_ = graphic_texture_manager::iterator();
        texture_kind_ = texture_borrowed;
    }
    return true;
}

void graphic_sprite_object::set_texture(graphic_texture* texture) {
    free_texture();
    texture_ = texture;
    texture_kind_ = texture_borrowed;
}

void graphic_sprite_object::update_bound() {
    float w = float(rect.right - rect.left);
    float h = float(rect.bottom - rect.top);
    float ex = std::fmax(std::fabs(center.x), std::fabs(w - center.x));
    float ey = std::fmax(std::fabs(center.y), std::fabs(h - center.y));
    bound = int32_t(ex * std::fabs(scale_x) + ey * std::fabs(scale_y) + 1.0f);
}

void graphic_sprite_object::fit_texture(float z) {
    uint32_t w = texture_ ? texture_->width() : 0;
    uint32_t h = texture_ ? texture_->height() : 0;
    rect = RECT{0, 0, LONG(w), LONG(h)};
    center.x = float(w) * 0.5f;
    center.y = float(h) * 0.5f;
    position = D3DXVECTOR3(float(graphic_->client_width()) * 0.5f,
                           float(graphic_->client_height()) * 0.5f, z);
    update_bound();
}

void sprite_object_transform(const graphic_sprite_object& s, float ox, float oy,
                             D3DXMATRIX& world, D3DXVECTOR3& center) {
    D3DXMATRIX scale, rotation, translation;
    D3DXMatrixScaling(&scale, s.scale_x, s.scale_y, 1.0f);
    if (s.angle != 0.0f) D3DXMatrixRotationZ(&rotation, s.angle);
    if (s.flags & render_flag_exact_position) {
        D3DXMatrixTranslation(&translation, s.position.x + ox, s.position.y + oy, s.position.z);
        center = s.center;
    } else {
        // Pivot and position on whole pixels keep unscaled sprites sharp.
        D3DXMatrixTranslation(&translation, std::floor(s.position.x + ox + 0.5f),
                              std::floor(s.position.y + oy + 0.5f), s.position.z);
        center.x = s.scale_x != 0.0f ? std::floor(s.center.x * s.scale_x + 0.5f) / s.scale_x
                                     : s.center.x;
        center.y = s.scale_y != 0.0f ? std::floor(s.center.y * s.scale_y + 0.5f) / s.scale_y
                                     : s.center.y;
        center.z = s.center.z;
    }
    if (s.angle != 0.0f) {
        D3DXMatrixMultiply(&world, &scale, &rotation);
        D3DXMatrixMultiply(&world, &world, &translation);
    } else {
        // Most sprites don't turn: scale then translate is the same matrix.
        D3DXMatrixMultiply(&world, &scale, &translation);
    }
}

bool graphic_sprite_object::render() {
    if (flags & render_flag_hidden) return true;
    const int32_t px = int32_t(position.x), py = int32_t(position.y), b = bound;
    const int32_t w = int32_t(graphic_->client_width()), h = int32_t(graphic_->client_height());
    if ((px - b > 0 && px - b >= w) || px + b <= 0 || (py - b > 0 && py - b >= h) || py + b <= 0)
        return true;
    graphic_sprite* batch = graphic_->sprite();
    if (!batch) return false;
    D3DXVECTOR3 c;
    sprite_object_transform(*this, graphic_->draw_offset_x(), graphic_->draw_offset_y(),
                            batch->transform, c);
    batch->blend = blend & 0xFF;
    HRESULT hr = batch->draw(&rect, texture_ ? texture_->d3d_texture() : nullptr, &c, color);
    batch->blend = 0;
    return SUCCEEDED(hr);
}
