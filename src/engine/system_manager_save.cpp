// The system manager's save-data file and its snapshot list: pictures of
// the screen (or of an image) kept in system memory, so they outlive a
// device loss, used as save-file thumbnails and written as image files.
#include <windows.h>

#include "core/folders.h"
#include "core/trace.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

namespace {
// The image file format a path's extension asks for; BMP for the rest.
int32_t image_format_of(const wstring& path) {
    wstring extension;
    if (!extension_of(path.c_str(), extension)) return image_format_bmp;
    if (wstring_compare(extension, wstring(L"jpg")) == 0 || wstring_compare(extension, wstring(L"jpeg")) == 0)
        return image_format_jpg;
    if (wstring_compare(extension, wstring(L"png")) == 0) return image_format_png;
    if (wstring_compare(extension, wstring(L"dds")) == 0) return image_format_dds;
    return image_format_bmp;
}

// Copies source into target, scaled to target's size. Two render targets
// stretch on the device; a render target read back at another size is
// stretched into a device-side target of that size first.
bool copy_picture(graphic& g, graphic_texture& target, graphic_texture* source) {
    bool same_size = source->width() == target.width() && source->height() == target.height();
    if (same_size || !(source->usage() & D3DUSAGE_RENDERTARGET)) return target.duplicate(source);
    graphic_render_target scaled(&g);
    if (!scaled.create(int32_t(target.width()), int32_t(target.height()))) return false;
    return scaled.duplicate(source) && target.duplicate(&scaled);
}
}  // namespace

bool system_manager::open_save_data(const wstring& path, graphic_texture* thumbnail, bool read) {
    graphic_buffer picture;
    if (!read && thumbnail && !thumbnail->save(image_format_bmp, picture)) {
        TRACE_ERROR("system_manager::open_save_data", "graphic_texture::save", -1);
        save_.close();
        return false;
    }
    return save_.open(path, picture.data, picture.size, read);
}

bool system_manager::open_save_with_thumbnail(const wstring& path, int32_t slot, bool read) {
    if (slot >= 0 && static_cast<size_t>(slot) >= snapshots_.size()) return false;
    return open_save_data(path, slot < 0 ? nullptr : snapshots_[static_cast<size_t>(slot)], read);
}

bool system_manager::restore_next(lua_State* state) { return save_.restore(state ? state : lua_); }

bool system_manager::close_save() { return save_.close(); }

graphic_texture* system_manager::snapshot_at(int32_t slot) const {
    if (slot < 0 || static_cast<size_t>(slot) >= snapshots_.size()) return nullptr;
    return snapshots_[static_cast<size_t>(slot)];
}

bool system_manager::snapshot(int32_t slot, graphic_texture* source, uint32_t width, uint32_t height) {
    const char* label = "system_manager::snapshot";
    graphic* g = graphic::instance();
    if (slot < 0 || !g) return false;
    if (slot > max_snapshot_slot) {
        trace(1, "system.snapshot", "invalid slot: %d", slot);
        return false;
    }
    if (snapshots_.size() <= static_cast<size_t>(slot)) snapshots_.resize(static_cast<size_t>(slot) + 1, nullptr);
    graphic_texture*& held = snapshots_[static_cast<size_t>(slot)];
    delete held;
    held = nullptr;
    if (!source) source = g->back_buffer();
    if (!source || !source->d3d_texture()) {
        TRACE_ERROR(label, "graphic_texture::duplicate", -1);
        return false;
    }
    if (width == 0 || height == 0) {
        width = source->width();
        height = source->height();
    }
    graphic_texture* picture = g->new_texture(false);
    if (!picture) {
        TRACE_ERROR(label, "graphic::create_object", -1);
        return false;
    }
    if (!picture->create_blank(width, height, source->format(), D3DPOOL_SYSTEMMEM, 0)) {
        TRACE_ERROR(label, "graphic_texture::create", -1);
        delete picture;
        return false;
    }
    if (!copy_picture(*g, *picture, source)) {
        TRACE_ERROR(label, "graphic_texture::duplicate", -1);
        delete picture;
        return false;
    }
    held = picture;
    return true;
}

bool system_manager::save_snapshot(int32_t slot, const wstring& path) {
    graphic_texture* picture = snapshot_at(slot);
    return picture && picture->save(path.c_str(), image_format_of(path));
}

bool system_manager::snapshot_to_file(uint32_t width, uint32_t height, const wstring& path) {
    return snapshot(0, nullptr, width, height) && save_snapshot(0, path);
}

void system_manager::release_snapshots() {
    for (graphic_texture*& t : snapshots_) {
        delete t;
        t = nullptr;
    }
    snapshots_.clear();
}
