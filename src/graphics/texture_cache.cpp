#include "graphics/texture_cache.h"

#include <new>

#include "graphics/graphic.h"

graphic_texture* graphic_texture_creator::create() {
    return new (std::nothrow) graphic_texture(owner);
}

bool graphic_texture_creator::load(graphic_texture& t, const void* bytes, uint32_t size) {
    return t.create_from_image(bytes, size, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
}

void graphic_texture_creator::release(graphic_texture& t) {
    t.release(false);
}

graphic_texture::image_info_t* graphic_texture_creator::create_info(const void* bytes,
                                                                    uint32_t size) {
    auto* info = new (std::nothrow) graphic_texture::image_info_t;
    if (info && !graphic_texture::get_image_info(bytes, size, *info)) {
        delete info;
        info = nullptr;
    }
    return info;
}

graphic_texture::image_info_t* graphic_texture_creator::copy_info(graphic_texture& t) {
    if (!t.d3d_texture()) return nullptr;
    auto* info = new (std::nothrow) graphic_texture::image_info_t;
    if (info) {
        info->width = t.width();
        info->height = t.height();
    }
    return info;
}

graphic::texture_iterator graphic::load_texture(const wchar_t* path, const string& name) {
    texture_iterator it;
    if (textures_.find(it, path, name)) textures_.acquire(it);
    return it;
}
