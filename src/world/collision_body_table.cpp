// The body attribute keys of a table, in the plain or the packed layout.
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lua.h"
#include "world/collision_body.h"
#include "world/collision_manager.h"

namespace {
void read_uint(lua_State* L, int t, const char* key, uint32_t& out, const char* message) {
    lua_getfield(L, t, key);
    if (!lua_isnil(L, -1)) {
        if (lua_type(L, -1) != LUA_TNUMBER) throw message;
        out = script_truncate_uint(lua_tonumber(L, -1));
    }
    lua_pop(L, 1);
}

void read_float(lua_State* L, int t, const char* key, float& out, const char* message) {
    lua_getfield(L, t, key);
    if (!lua_isnil(L, -1)) {
        if (lua_type(L, -1) != LUA_TNUMBER) throw message;
        out = float(lua_tonumber(L, -1));
    }
    lua_pop(L, 1);
}
}  // namespace

bool load_body_attribute(lua_State* L, int index, st_body_attr& attr, bool keep) {
    collision_manager* m = collision_manager::instance();
    if (!keep) attr = m ? m->defaults : st_body_attr{0, 0, 0, 0, 100.0f, 1.0f, 0.0f, 0.0f};
    const int top = lua_gettop(L);
    const int t = script_abs_index(L, index);
    try {
        if (!lua_istable(L, t)) throw "invalid body.id";
        if (m && m->attr_format) {
            read_uint(L, t, "id", attr.type, "invalid body.id");
            read_uint(L, t, "type", attr.cond, "invalid body.type");
            attr.attr = attr.cond & 0x37FF0000u;
            attr.cond &= 0xFFFFu;
        } else {
            read_uint(L, t, "id", attr.id, "invalid body.id");
            read_uint(L, t, "type", attr.type, "invalid body.type");
            read_uint(L, t, "cond", attr.cond, "invalid body.cond");
            read_uint(L, t, "attr", attr.attr, "invalid body.attr");
        }
        read_float(L, t, "mass", attr.mass, "invalid body.mass");
        read_float(L, t, "resist", attr.resist, "invalid body.resist");
        read_float(L, t, "reflect", attr.reflect, "invalid body.reflect");
        read_float(L, t, "frict", attr.frict, "invalid body.frict");
    } catch (const char* message) {
        system_log_trace(1, "load body attribute", "%s", message);
        lua_settop(L, top);
        return false;
    }
    return true;
}
