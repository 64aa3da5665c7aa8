// The creation table of a bare sprite (sprites.create).
#include "core/system_log.h"
#include "world/sprite_manager.h"
#include "world/sprite_object.h"
#include "world/table_readers.h"

// The creation table is on the top of the stack; pushes the sprite or nil.
int sprite_create(lua_State* L) {
    const int t = lua_gettop(L);
    sprite_manager* manager = sprite_manager::instance();
    try {
        if (!manager) throw "no sprite manager";
        string name;
        read_field_string(L, t, "name", name, true, "invalid sprite name");
        string class_name;
        lua_get_index_string(L, t, 1, class_name, false, "no spriteclass name");
        system_log_trace(6, "sprites.create", "create sprite from %s", class_name.c_str());
        st_sprite_class* cls = manager->find_class(class_name.c_str());
        if (!cls) throw "invalid class name";
        float x = 0, y = 0, z = 0;
        lua_get_index_float(L, t, 2, x, false, "invalid position.x");
        lua_get_index_float(L, t, 3, y, false, "invalid position.y");
        lua_get_index_float(L, t, 4, z, false, "invalid position.layer");
        int32_t state = 0, way = 0, layer = 1, zorder = 0;
        lua_get_index_int(L, t, 5, state, false, "invalid state");
        lua_get_index_int(L, t, 6, way, false, "invalid way");
        lua_get_index_int(L, t, 7, layer, true, "invalid layer");
        lua_get_field_int(L, t, "zorder", zorder, true, "invalid actor zorder");
        // The layer index goes through the render-layer table once, there.
        sprite_object* sprite = manager->create_object(layer, cls, state, way, true);
        if (!sprite) throw "initialization of sprite is failed";
        sprite->x = x;
        sprite->y = y;
        sprite->z = z;
        sprite->zorder = zorder;
        lua_settop(L, t);
        lua_pushlightuserdata(L, sprite);
        system_log_trace(6, "sprites.create", "%s<%s> is created successfully",
                         name.empty() ? "*anonymous*" : name.c_str(), class_name.c_str());
    } catch (const char* message) {
        system_log_trace(1, "sprites.create", "%s", message);
        lua_settop(L, t);
        lua_pushnil(L);
    }
    return 1;
}
