// The graphic's texture cache: images shared by key and counted by use,
// loaded from their package entry into DEFAULT-pool textures, on the
// loader thread when asked for in the background.
#ifndef VY_GRAPHICS_TEXTURE_CACHE_H
#define VY_GRAPHICS_TEXTURE_CACHE_H

#include "core/resource_manager.h"
#include "graphics/texture.h"

class graphic;

struct graphic_texture_creator {
    graphic* owner = nullptr;

    // Cache textures are not registered with the graphic: the cache itself
    // releases and reloads them around a device reset.
    graphic_texture* create();
    bool load(graphic_texture& t, const void* bytes, uint32_t size);
    void release(graphic_texture& t);
    graphic_texture::image_info_t* create_info(const void* bytes, uint32_t size);
    graphic_texture::image_info_t* copy_info(graphic_texture& t);
};

using graphic_texture_manager =
    resource_manager<graphic_texture, graphic_texture_creator, graphic_texture::image_info_t>;

#endif
