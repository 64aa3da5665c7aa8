// The `images` library: images of the texture cache held loaded and
// locked by scripts, their sizes and their drawn areas.
#include "core/lua_readers.h"
#include "core/search_path.h"
#include "engine/image_drawable.h"
#include "engine/math_library.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
// The cache entry of the image named at argument 1 (not loaded by this).
bool find_image(lua_State* L, graphic::texture_iterator& it) {
    graphic* g = graphic::instance();
    system_manager* sm = system_manager::instance();
    if (!g || !sm || lua_type(L, 1) != LUA_TSTRING) return false;
    wstring path;
    string entry;
    return search_path_resolve(sm->paths(), -2, lua_tostring(L, 1), path, entry) &&
           g->textures().find(it, path.c_str(), entry);
}

int fail(lua_State* L, const char* origin, const char* message) {
    system_manager::trace(1, origin, "%s", message);
    lua_pushnil(L);
    return 1;
}

int refuse(lua_State* L, const char* origin, const char* message) {
    system_manager::trace(1, origin, "%s", message);
    lua_pushboolean(L, 0);
    return 1;
}

bool loaded(const graphic::texture_iterator& it) {
    resource_entry* e = it.entry();
    return e && e->loaded && e->use_count > 0 && it.get();
}

// images.lock(name [, buffer]): one use of the image, and its pixels
// locked when buffer is true.
int images_lock(lua_State* L) {
    const char* origin = "images.lock";
    graphic::texture_iterator it;
    if (!find_image(L, it)) return refuse(L, origin, "invalid image name");
    graphic_texture_manager& cache = graphic::instance()->textures();
    graphic_texture* t = cache.acquire(it);
    if (!t || !t->d3d_texture()) {
        if (t) cache.release_entry(it);
        return refuse(L, origin, "image cannot lock");
    }
    if (lua_toboolean(L, 2) && !t->bits() && !t->lock()) {
        // The use goes with the failed lock: nobody will unlock it.
        cache.release_entry(it);
        return refuse(L, origin, "image buffer cannot lock");
    }
    lua_pushboolean(L, 1);
    return 1;
}

// images.unlock(name [, buffer]): the pixels unlocked when buffer is true,
// and the use of images.lock given back.
int images_unlock(lua_State* L) {
    const char* origin = "images.unlock";
    graphic::texture_iterator it;
    if (!find_image(L, it)) return refuse(L, origin, "invalid image name");
    // More unlocks than locks would take a use that belongs to someone else.
    if (!loaded(it)) return refuse(L, origin, "image is not loaded");
    graphic_texture* t = it.get();
    if (lua_toboolean(L, 2) && !t->unlock()) return refuse(L, origin, "image buffer cannot unlock");
    if (!graphic::instance()->textures().release_entry(it)) return refuse(L, origin, "image cannot unlock");
    lua_pushboolean(L, 1);
    return 1;
}

// images.size(name): width and height.
int images_size(lua_State* L) {
    graphic::texture_iterator it;
    graphic_texture::image_info_t* info = find_image(L, it) ? graphic::instance()->textures().get_info(it) : nullptr;
    if (!info) return fail(L, "images.size", "invalid image name");
    lua_pushnumber(L, info->width);
    lua_pushnumber(L, info->height);
    return 2;
}

// The rectangle of images.drawable's arguments 2 on, in image pixels.
bool read_rect(lua_State* L, const char* origin, int32_t rect[4]) {
    if (lua_istable(L, 2)) {
        static const char* const missing[4] = {"no rect.left", "no rect.top", "no rect.right", "no rect.bottom"};
        for (int i = 0; i < 4; ++i) {
            lua_rawgeti(L, 2, i + 1);
            bool ok = lua_isnumber(L, -1) != 0;
            if (ok) rect[i] = script_truncate_int(lua_tonumber(L, -1));
            lua_pop(L, 1);
            if (!ok) {
                system_manager::trace(1, origin, "%s", missing[i]);
                return false;
            }
        }
    } else if (lua_isnumber(L, 2)) {
        rect[0] = script_truncate_int(lua_tonumber(L, 2));
        rect[1] = script_truncate_int(lua_tonumber(L, 3));
        rect[2] = rect[0] + script_truncate_int(lua_tonumber(L, 4));
        rect[3] = rect[1] + script_truncate_int(lua_tonumber(L, 5));
    }
    return true;
}

// images.drawable(name [, {left, top, right, bottom} | left, top, width,
// height]): the drawn part as left, top, right, bottom (right and bottom
// exclusive); nil when nothing in the rectangle is drawn.
int images_drawable(lua_State* L) {
    const char* origin = "images.drawable";
    graphic::texture_iterator it;
    if (!find_image(L, it)) return fail(L, origin, "invalid image name");
    graphic_texture_manager& cache = graphic::instance()->textures();
    graphic_texture* t = cache.acquire(it);
    if (!t || !t->d3d_texture()) {
        if (t) cache.release_entry(it);
        return fail(L, origin, "cannot load image");
    }
    const int32_t width = static_cast<int32_t>(t->width()), height = static_cast<int32_t>(t->height());
    int32_t rect[4] = {0, 0, width, height};
    if (!read_rect(L, origin, rect)) {
        cache.release_entry(it);
        lua_pushnil(L);
        return 1;
    }
    image_scan scan;
    scan.texture = t;
    scan.left = rect[0] < 0 ? 0 : rect[0];
    scan.top = rect[1] < 0 ? 0 : rect[1];
    scan.right = rect[2] > width ? width : rect[2];
    scan.bottom = rect[3] > height ? height : rect[3];
    if (scan.left < scan.right && scan.top < scan.bottom) image_drawable_scan(scan);
    cache.release_entry(it);
    if (scan.lock_failed) return fail(L, origin, "error occured");
    // A format without alpha draws every pixel of the rectangle.
    if (!scan.done && !(scan.no_alpha && scan.left < scan.right && scan.top < scan.bottom)) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushnumber(L, scan.out_left);
    lua_pushnumber(L, scan.out_top);
    lua_pushnumber(L, scan.out_right);
    lua_pushnumber(L, scan.out_bottom);
    return 4;
}

const luaL_Reg images_functions[] = {
    {"lock", images_lock},
    {"unlock", images_unlock},
    {"size", images_size},
    {"drawable", images_drawable},
    {nullptr, nullptr},
};
}  // namespace

void register_images_library(lua_State* L) {
    luaL_register(L, "images", images_functions);
    lua_pop(L, 1);
}
