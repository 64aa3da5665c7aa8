// system.open_save, close_save, save_data, load_data and snapshot: the
// script side of the system manager's save-data file and snapshot list.
#include "core/search_path.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"

#include "lua.h"

namespace {
const char* type_name(lua_State* L, int index) {
    return lua_type(L, index) == LUA_TNONE ? "no value" : lua_typename(L, lua_type(L, index));
}

// The image as the thumbnail in snapshot slot 0; the failure's message
// when it can't be had.
const char* thumbnail_from_image(const char* name) {
    system_manager* sm = system_manager::instance();
    wstring path;
    string entry;
    if (!search_path_resolve(sm->paths(), -2, name, path, entry)) return "invalid image name: %s";
    graphic* g = graphic::instance();
    graphic::texture_iterator it = g->load_texture(path.c_str(), entry);
    graphic_texture* t = it.get();
    if (!t || !t->d3d_texture()) return "fail to load image: %s";
    bool ok = sm->snapshot(0, t, 0, 0);
    g->textures().release_entry(it);
    return ok ? nullptr : "fail to snapshot: %s";
}

// A size argument: truncated, and never negative.
bool size_arg(lua_State* L, int index, uint32_t& out) {
    int32_t v = system_arg_int(L, index, -1);
    out = static_cast<uint32_t>(v);
    return v >= 0;
}
}  // namespace

// system.open_save(path [, read | slot [, read] | image [, read]])
int system_open_save(lua_State* L) {
    const char* label = "system.open_save";
    if (lua_type(L, 1) != LUA_TSTRING) {
        system_manager::trace(1, label, "invalid 1st argument type: %s", type_name(L, 1));
        lua_pushboolean(L, 0);
        return 1;
    }
    const char* name = lua_tostring(L, 1);
    int32_t slot = -1;
    bool read = false;
    switch (lua_type(L, 2)) {
    case LUA_TNONE:
    case LUA_TNIL:
        break;
    case LUA_TBOOLEAN:
        read = lua_toboolean(L, 2) != 0;
        break;
    case LUA_TNUMBER:
        slot = system_arg_int(L, 2, -1);
        read = lua_toboolean(L, 3) != 0;
        break;
    case LUA_TSTRING: {
        const char* image = lua_tostring(L, 2);
        if (const char* failure = thumbnail_from_image(image)) {
            system_manager::trace(1, label, failure, image);
            lua_pushboolean(L, 0);
            return 1;
        }
        slot = 0;
        read = lua_toboolean(L, 3) != 0;
        break;
    }
    default:
        system_manager::trace(1, label, "invalid 2nd argument type: %s", type_name(L, 2));
        lua_pushboolean(L, 0);
        return 1;
    }
    system_manager* sm = system_manager::instance();
    wstring path;
    string entry;
    // Saves live in files of their own: never in a package, never in a patch.
    bool ok = search_path_get(sm->paths(), -4, name, path, entry, true) && entry.empty() &&
              sm->open_save_with_thumbnail(path, slot, read);
    if (!ok) system_manager::trace(1, label, "fail to open: %s", name);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

int system_close_save(lua_State* L) {
    lua_pushboolean(L, system_manager::instance()->close_save() ? 1 : 0);
    return 1;
}

// system.save_data(...): every value in order; false at the first refused.
int system_save_data(lua_State* L) {
    int n = lua_gettop(L);
    system_manager* sm = system_manager::instance();
    bool ok = true;
    for (int i = 1; i <= n && ok; ++i) ok = sm->saves().store(L, i);
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}

// system.load_data([count = 1]): count values, nil for each one missing.
int system_load_data(lua_State* L) {
    int32_t count = lua_gettop(L) == 0 ? 1 : (lua_isnumber(L, 1) ? system_arg_int(L, 1) : 0);
    if (count <= 0) return 0;
    // A count beyond what the stack can hold would overflow it.
    if (count > 0x7FFF || !lua_checkstack(L, count + LUA_MINSTACK)) {
        system_manager::trace(1, "system.load_data", "too many values: %d", count);
        return 0;
    }
    int top = lua_gettop(L);
    system_manager* sm = system_manager::instance();
    for (int32_t i = 0; i < count; ++i) {
        if (!sm->restore_next(L)) lua_pushnil(L);
    }
    return lua_gettop(L) - top;
}

// system.snapshot([slot] [, width, height]) or (path [, slot | width, height])
int system_snapshot(lua_State* L) {
    system_manager* sm = system_manager::instance();
    int n = lua_gettop(L);
    bool ok = false;
    uint32_t width = 0, height = 0;
    if (n == 0) {
        ok = sm->snapshot(0, nullptr, 0, 0);
    } else if (lua_type(L, 1) == LUA_TNUMBER) {
        if (n == 1) {
            ok = sm->snapshot(system_arg_int(L, 1, -1), nullptr, 0, 0);
        } else if (n == 2) {
            ok = size_arg(L, 1, width) && size_arg(L, 2, height) && sm->snapshot(0, nullptr, width, height);
        } else {
            ok = size_arg(L, 2, width) && size_arg(L, 3, height) &&
                 sm->snapshot(system_arg_int(L, 1, -1), nullptr, width, height);
        }
    } else if (lua_type(L, 1) == LUA_TSTRING) {
        wstring path;
        if (!string_to_wstring(lua_tostring(L, 1), path)) {
            ok = false;
        } else if (n == 1) {
            ok = sm->snapshot_to_file(0, 0, path);
        } else if (n == 2) {
            ok = sm->save_snapshot(system_arg_int(L, 2, -1), path);
        } else {
            ok = size_arg(L, 2, width) && size_arg(L, 3, height) && sm->snapshot_to_file(width, height, path);
        }
    } else {
        lua_pushnil(L);
        return 1;
    }
    lua_pushboolean(L, ok ? 1 : 0);
    return 1;
}
