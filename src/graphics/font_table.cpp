#include "graphics/font_table.h"

#include "core/lua_readers.h"

#include "lua.h"

namespace {
// t.name as a whole number; nil keeps the fallback, anything but a number
// (or a numeric string) throws the message.
double read_number(lua_State* L, int table, const char* name, double fallback, const char* message) {
    lua_getfield(L, table, name);
    double value = fallback;
    if (lua_isnumber(L, -1)) {
        value = lua_tonumber(L, -1);
    } else if (!lua_isnil(L, -1)) {
        lua_pop(L, 1);
        throw message;
    }
    lua_pop(L, 1);
    return value;
}

bool read_face(lua_State* L, int table, wstring& face) {
    lua_getfield(L, table, "face");
    int type = lua_type(L, -1);
    bool given = type == LUA_TSTRING;
    if (given) string_to_wstring(lua_tostring(L, -1), face);
    lua_pop(L, 1);
    if (type != LUA_TSTRING && type != LUA_TNIL) throw "invalid font.face";
    return given;
}
}  // namespace

font_handle create_font_from_table(lua_State* L, int table, graphic_font_manager& fonts, uint32_t extra_flags) {
    table = script_abs_index(L, table);
    lua_getfield(L, table, "size");
    bool has_size = lua_isnumber(L, -1) != 0;
    int32_t size = has_size ? script_truncate_int(lua_tonumber(L, -1)) : 0;
    lua_pop(L, 1);
    if (!has_size) throw "no font.size";
    int32_t weight = script_truncate_int(read_number(L, table, "weight", 400, "invalid font.weight"));
    wstring face;
    if (!read_face(L, table, face)) face = fonts.default_face();
    uint32_t cache = script_truncate_uint(read_number(L, table, "cache", 0, "invalid font.cache"));
    uint32_t flags = script_truncate_uint(read_number(L, table, "flags", 0, "invalid font.flags"));
    font_handle handle = fonts.get_font_handle(face.c_str(), size, weight, flags | extra_flags, cache);
    if (!handle.is_valid()) throw "fail to create font";
    return handle;
}
