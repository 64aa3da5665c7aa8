#include "world/sprite_class.h"

#include <windows.h>

#include <cmath>

#include "core/system_log.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "graphics/texture_cache.h"
#include "lua.h"
#include "world/live_objects.h"
#include "world/sprite_manager.h"

namespace {
bool file_system_path(const char* name, wstring& path, string& entry) {
    entry = string();
    return name && *name && string_to_wstring(name, path);
}

sprite_image_resolver image_resolver = file_system_path;

graphic_texture_manager* texture_cache() {
    graphic* g = graphic::instance();
    return g ? &g->textures() : nullptr;
}

// A pending background load is seen through before its entry's uses
// change: the loader thread works on the class's own iterator. Local
// files load in milliseconds; the wait is bounded all the same.
void settle(graphic_texture_manager::iterator& image) {
    graphic_texture_manager* cache = texture_cache();
    for (int i = 0; cache && image.pending() && i < 5000; ++i) {
        if (cache->finish_load(image) != 0) break;
        Sleep(1);
    }
}

// One use of the image, loaded now or queued on the loader thread (the
// queued load counts its use when it is finished). Without a device
// (tools, tests) nothing is drawn: the use is only counted.
int32_t acquire(graphic_texture_manager::iterator& image, bool background) {
    graphic_texture_manager* cache = texture_cache();
    resource_entry* entry = image.entry();
    if (!cache || !entry) return -1;
    graphic* g = graphic::instance();
    if (!g->device()) {
        if (entry->use_count < 0) entry->use_count = 0;
        ++entry->use_count;
        return 1;
    }
    if (background && !image.pending()) {
        const int32_t queued = cache->load_async(image);
        // An image in use is not queued; the lock still takes its use.
        if (queued != 1) return queued;
    }
    return cache->acquire(image) ? 1 : -1;
}

void release(graphic_texture_manager::iterator& image) {
    graphic_texture_manager* cache = texture_cache();
    if (!cache || !image.valid()) return;
    settle(image);
    cache->release_entry(image);
}

// A background load's answer once it is finished; 1 with nothing pending.
int32_t load_state(graphic_texture_manager::iterator& image) {
    graphic_texture_manager* cache = texture_cache();
    return cache ? cache->finish_load(image) : -1;
}
}  // namespace

void set_sprite_image_resolver(sprite_image_resolver resolver) {
    image_resolver = resolver ? resolver : file_system_path;
}

bool resolve_world_image(const char* name, wstring& path, string& entry) {
    return image_resolver(name, path, entry);
}

bool sprite_image_resolve(const char* name, wstring& path, string& entry) {
    return image_resolver(name, path, entry);
}

st_sprite_class::st_sprite_class(const char* n) : name(n) { live_object_add(this, live_sprite_class); }

st_sprite_class::~st_sprite_class() {
    live_object_remove(this);
    // The loader thread must not be left working on this class's iterator.
    settle(image);
    delete state_classes;
    shape_list_release(owned_shapes);
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
    graphic_texture_manager* cache = texture_cache();
    wstring path;
    string entry;
    if (!cache || !image_resolver(name, path, entry)) return false;
    return cache->find(cls->image, path.c_str(), entry) && cls->image.get() != nullptr;
}

bool sprite_class::image_size(st_sprite_class* cls, uint32_t& width, uint32_t& height) {
    graphic_texture_manager* cache = texture_cache();
    graphic_texture::image_info_t* info = cache ? cache->get_info(cls->image) : nullptr;
    if (!info) return false;
    width = info->width;
    height = info->height;
    return true;
}

bool sprite_class::lock(st_sprite_class* cls, bool background) {
    if (cls->image.use_count() <= 0) {
        system_log_trace(10, "sprite_class::lock", "lock: %s", cls->name.c_str());
    }
    int32_t result = acquire(cls->image, background);
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other) result = sprite_load_combine(result, acquire(other->image, background));
        }
    }
    ++cls->lock_count;
    return result >= 0;
}

int32_t sprite_class::finish_lock(st_sprite_class* cls) {
    int32_t result = load_state(cls->image);
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other) result = sprite_load_combine(result, load_state(other->image));
        }
    }
    return result;
}

void sprite_class::unlock(st_sprite_class* cls) {
    release(cls->image);
    if (cls->image.valid() && cls->image.use_count() <= 0) {
        system_log_trace(10, "sprite_class::unlock", "unlock: %s", cls->name.c_str());
    }
    if (cls->state_classes) {
        for (st_sprite_class* other : *cls->state_classes) {
            if (other) release(other->image);
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
