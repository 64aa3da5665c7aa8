// Copying values from one Lua state to another.
#include "core/lua_readers.h"
#include "core/script.h"

namespace {

class value_copier {
public:
    value_copier(lua_State* source, lua_State* dest, int copies)
        : source_(source), dest_(dest), copies_(copies) {}

    // Pushes one value on dest for the source value at an absolute index.
    void copy(int index, int depth) {
        switch (lua_type(source_, index)) {
        case LUA_TBOOLEAN: lua_pushboolean(dest_, lua_toboolean(source_, index)); return;
        case LUA_TNUMBER: lua_pushnumber(dest_, lua_tonumber(source_, index)); return;
        case LUA_TSTRING: {
            size_t length = 0;
            const char* text = lua_tolstring(source_, index, &length);
            lua_pushlstring(dest_, text, length);
            return;
        }
        case LUA_TTABLE: copy_table(index, depth); return;
        default: lua_pushnil(dest_); return;
        }
    }

    bool complete() const { return complete_; }

private:
    void copy_table(int index, int depth) {
        const void* id = lua_topointer(source_, index);
        lua_pushlightuserdata(dest_, const_cast<void*>(id));
        lua_rawget(dest_, copies_);
        if (!lua_isnil(dest_, -1)) return;  // met before: the same copy
        lua_pop(dest_, 1);
        if (depth >= script_max_depth || !lua_checkstack(dest_, 4) || !lua_checkstack(source_, 3)) {
            complete_ = false;
            lua_pushnil(dest_);
            return;
        }
        lua_newtable(dest_);
        lua_pushlightuserdata(dest_, const_cast<void*>(id));
        lua_pushvalue(dest_, -2);
        lua_rawset(dest_, copies_);
        lua_pushnil(source_);
        while (lua_next(source_, index)) {
            int top = lua_gettop(source_);
            copy(top - 1, depth + 1);
            copy(top, depth + 1);
            if (lua_isnil(dest_, -2))
                lua_pop(dest_, 2);  // a key that can't cross
            else
                lua_settable(dest_, -3);
            lua_pop(source_, 1);
        }
    }

    lua_State* source_;
    lua_State* dest_;
    int copies_;  // dest table: source table's address -> its copy
    bool complete_ = true;
};

}  // namespace

bool script::copy_value(lua_State* dest, int index) {
    index = script_abs_index(state_, index);
    if (dest == state_) {
        // The walk keeps its place on the source stack: copy through a
        // stack of its own.
        if (!lua_checkstack(dest, 1)) return false;
        lua_State* temp = lua_newthread(dest);
        bool complete = copy_value(temp, index);
        lua_xmove(temp, dest, 1);
        lua_remove(dest, -2);
        return complete;
    }
    if (lua_type(state_, index) != LUA_TTABLE) {
        if (!lua_checkstack(dest, 1)) return false;
        value_copier(state_, dest, 0).copy(index, 0);
        return true;
    }
    if (!lua_checkstack(dest, 2)) return false;
    lua_newtable(dest);
    int copies = lua_gettop(dest);
    value_copier copier(state_, dest, copies);
    copier.copy(index, 0);
    lua_remove(dest, copies);
    return copier.complete();
}
