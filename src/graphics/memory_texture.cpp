// Textures backed by a registered system-memory copy that refills them
// after a device reset.
#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

graphic_memory_texture::~graphic_memory_texture() {
    graphic_memory_texture::release(false);
}

bool graphic_memory_texture::create_blank(uint32_t width, uint32_t height, D3DFORMAT format,
                                          D3DPOOL pool, uint32_t usage) {
    if (!graphic_texture::create_blank(width, height, format, pool, usage)) return false;
    if (copy_) graphic_->delete_object(copy_);
    copy_ = graphic_->new_texture(true);
    if (!copy_ || !copy_->create_blank(width, height, format_, D3DPOOL_SYSTEMMEM, 0)) {
        TRACE_ERROR("graphic_texture::create", "memory copy", -1);
        if (copy_) graphic_->delete_object(copy_);
        copy_ = nullptr;
        return false;
    }
    return true;
}

bool graphic_memory_texture::release(bool all) {
    if (copy_ && !all) graphic_->delete_object(copy_);
    copy_ = nullptr;
    return graphic_texture::release(all);
}

bool graphic_memory_texture::restore() {
    if (pool_ == D3DPOOL_DEFAULT) {
        release(false);
        if (!create()) return false;
    }
    lost_ = false;
    return copy_ ? update(copy_) : true;
}
