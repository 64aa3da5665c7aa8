// system.lock and system.is_locked: images held in the graphic's texture
// cache, loaded now or on its loader thread.
#include <list>

#include "core/search_path.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"

#include "lua.h"

namespace {
// The only kind that reaches a cache: images.
constexpr int32_t lock_type_image = 1;

// Background loads still running: their iterators must live until the
// load has been finished.
std::list<graphic_texture_manager::iterator>& pending_loads() {
    static std::list<graphic_texture_manager::iterator> loads;
    return loads;
}

// The cache entry of an image name, found through the graphic path where
// every image is looked for.
bool find_image(lua_State* L, graphic_texture_manager::iterator& it) {
    graphic* g = graphic::instance();
    const char* name = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : nullptr;
    if (!g || !name || system_arg_int(L, 1) != lock_type_image) return false;
    wstring path;
    string entry;
    if (!search_path_resolve(system_manager::instance()->paths(), -2, name, path, entry)) return false;
    return g->textures().find(it, path.c_str(), entry);
}

std::list<graphic_texture_manager::iterator>::iterator pending_of(const graphic_texture_manager::iterator& it) {
    auto& loads = pending_loads();
    for (auto p = loads.begin(); p != loads.end(); ++p)
        if (p->entry() == it.entry()) return p;
    return loads.end();
}
}  // namespace

// system.lock(type, name [, background]): one use of the image, loaded now
// or queued on the loader thread.
int system_lock(lua_State* L) {
    graphic_texture_manager::iterator it;
    bool ok = false;
    if (find_image(L, it)) {
        graphic_texture_manager& cache = graphic::instance()->textures();
        if (lua_toboolean(L, 3)) {
            if (pending_of(it) != pending_loads().end()) {
                ok = true;  // already on its way
            } else {
                pending_loads().push_back(it);
                ok = cache.load_async(pending_loads().back()) >= 0;
                if (!ok || !pending_loads().back().pending()) pending_loads().pop_back();
            }
        } else {
            ok = cache.acquire(it) != nullptr;
        }
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.is_locked(type, name): true once loaded, false while not (yet),
// nil for no such image or a failed load.
int system_is_locked(lua_State* L) {
    graphic_texture_manager::iterator it;
    if (!find_image(L, it)) {
        lua_pushnil(L);
        return 1;
    }
    auto pending = pending_of(it);
    if (pending != pending_loads().end()) {
        int rc = graphic::instance()->textures().finish_load(*pending);
        if (rc != 0) pending_loads().erase(pending);
        if (rc < 0) lua_pushnil(L);
        else lua_pushboolean(L, rc > 0 ? 1 : 0);
        return 1;
    }
    resource_entry* e = it.entry();
    lua_pushboolean(L, e && e->loaded && e->use_count > 0 ? 1 : 0);
    return 1;
}
