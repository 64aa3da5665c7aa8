#include "world/sprite_class.h"

#include <windows.h>

#include <cmath>

#include "core/system_log.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "lua.h"
#include "world/live_objects.h"
#include "world/sprite_manager.h"

namespace {
bool read_file(const char* name, std::vector<uint8_t>& bytes) {
    wchar_t path[MAX_PATH];
    if (!name || !*name || !MultiByteToWideChar(CP_ACP, 0, name, -1, path, MAX_PATH)) return false;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(h, nullptr);
    bool ok = size != INVALID_FILE_SIZE;
    if (ok) {
        bytes.resize(size);
        DWORD done = 0;
        ok = size == 0 || (ReadFile(h, bytes.data(), size, &done, nullptr) && done == size);
    }
    CloseHandle(h);
    return ok;
}

sprite_image_reader image_reader = read_file;

// One use of the image: loaded when nobody held it yet. Without a device
// (tools, tests) nothing is drawn, so nothing needs loading.
int32_t acquire(sprite_image* image) {
    if (image->use_count++ > 0 && image->state != 0) return image->state;
    graphic* g = graphic::instance();
    if (!g || !g->device()) {
        image->state = 1;
        return 1;
    }
    std::vector<uint8_t> bytes;
    graphic_texture* texture = nullptr;
    if (sprite_image_read(image->name.c_str(), bytes) && !bytes.empty()) {
        texture = g->new_texture(true);
        if (texture && !texture->create_from_image(bytes.data(), uint32_t(bytes.size()),
                                                   D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0)) {
            g->delete_object(texture);
            texture = nullptr;
        }
    }
    image->texture = texture;
    image->state = texture ? 1 : -1;
    return image->state;
}

void release(sprite_image* image) {
    if (--image->use_count > 0) return;
    image->use_count = 0;
    if (image->texture) {
        if (graphic* g = graphic::instance()) g->delete_object(image->texture);
    }
    image->texture = nullptr;
    image->state = 0;
}
}  // namespace

void set_sprite_image_reader(sprite_image_reader reader) { image_reader = reader ? reader : read_file; }

bool sprite_image_read(const char* name, std::vector<uint8_t>& bytes) { return image_reader(name, bytes); }

st_sprite_class::st_sprite_class(const char* n) : name(n) { live_object_add(this, live_sprite_class); }

st_sprite_class::~st_sprite_class() {
    live_object_remove(this);
    delete state_classes;
}

void st_sprite_class::release_values(lua_State* L) {
    for (st_sprite_frame& f : frames) script_value_release(f.extend, L);
}

st_sprite_class* st_sprite_class::state_class(int32_t ref) const {
    if (ref <= 0 || !state_classes || size_t(ref) > state_classes->size()) return nullptr;
    return (*state_classes)[size_t(ref) - 1];
}

int32_t sprite_load_combine(int32_t r, int32_t n) {
    if (r == 0) return n;
    if (r < 0) return (n < 0 && n < r) ? n : r;
    return (n <= 0 || n > r) ? n : r;
}

bool sprite_class::load_image(st_sprite_class* cls, const char* name) {
    sprite_manager* manager = sprite_manager::instance();
    if (!manager) return false;
    sprite_image* image = manager->image(name);
    if (!image) return false;
    if (image->width == 0) {
        std::vector<uint8_t> bytes;
        if (!sprite_image_read(name, bytes)) return false;
        graphic_texture::image_info_t info;
        if (!bytes.empty() && graphic_texture::get_image_info(bytes.data(), uint32_t(bytes.size()), info)) {
            image->width = info.width;
            image->height = info.height;
        }
    }
    cls->image = image;
    return true;
}

bool sprite_class::lock(st_sprite_class* cls, bool background) {
    // Background loads finish at once until images get a loader thread.
    (void)background;
    if (!cls->image) {
        ++cls->lock_count;
        return false;
    }
    if (cls->image->use_count <= 0) {
        system_log_trace(10, "sprite_class::lock", "lock: %s", cls->name.c_str());
    }
    int32_t result = acquire(cls->image);
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other && other->image) result = sprite_load_combine(result, acquire(other->image));
        }
    }
    ++cls->lock_count;
    return result >= 0;
}

int32_t sprite_class::finish_lock(st_sprite_class* cls) {
    int32_t result = cls->image ? cls->image->state : -1;
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other) result = sprite_load_combine(result, other->image ? other->image->state : -1);
        }
    }
    return result;
}

void sprite_class::unlock(st_sprite_class* cls) {
    if (cls->image) {
        release(cls->image);
        if (cls->image->use_count <= 0) {
            system_log_trace(10, "sprite_class::unlock", "unlock: %s", cls->name.c_str());
        }
    }
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other && other->image) release(other->image);
        }
    }
    --cls->lock_count;
}

st_sprite_class* to_sprite_class(lua_State* L, int index) {
    void* p = nullptr;
    switch (lua_type(L, index)) {
    case LUA_TLIGHTUSERDATA:
        p = lua_touserdata(L, index);
        break;
    case LUA_TUSERDATA:
        if (lua_objlen(L, index) >= sizeof(void*)) p = *static_cast<void**>(lua_touserdata(L, index));
        break;
    case LUA_TSTRING: {
        sprite_manager* manager = sprite_manager::instance();
        return manager ? manager->find_class(lua_tostring(L, index)) : nullptr;
    }
    default:
        return nullptr;
    }
    return live_object_is(p, live_sprite_class) ? static_cast<st_sprite_class*>(p) : nullptr;
}

int32_t sprite_class_reach(const st_sprite_class* cls, float scale_x, float scale_y) {
    int32_t reach = 0;
    for (int w = 0; w < way_count; ++w) {
        // The farther frame edge from the pivot, wherever the pivot lies.
        const float px = cls->centers[w][0], py = cls->centers[w][1];
        const float ex = std::fmax(std::fabs(px), std::fabs(float(cls->cx) - px)) * scale_x;
        const float ey = std::fmax(std::fabs(py), std::fabs(float(cls->cy) - py)) * scale_y;
        const int32_t r = int32_t(std::ceil(std::sqrt(ex * ex + ey * ey)));
        if (r > reach) reach = r;
    }
    return reach;
}
