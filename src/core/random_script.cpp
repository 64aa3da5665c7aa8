// math.randgen and the methods of the generator objects it returns.
#include "core/lua_readers.h"
#include "core/random_manager.h"
#include "core/script.h"

#include "lua.h"

namespace {

int randgen_seed(lua_State* state);
int randgen_get(lua_State* state);
int randgen_status(lua_State* state);

void push_object(lua_State* state, irandom* generator) {
    lua_createtable(state, 0, 4);
    lua_pushlightuserdata(state, generator);
    lua_setfield(state, -2, "object");
    lua_pushcfunction(state, randgen_seed);
    lua_setfield(state, -2, "seed");
    lua_pushcfunction(state, randgen_get);
    lua_setfield(state, -2, "get");
    lua_pushcfunction(state, randgen_status);
    lua_setfield(state, -2, "status");
}

// Any value names a generator, in the form tostring gives it; nil is "".
void name_of(lua_State* state, int index, string& name) {
    switch (lua_type(state, index)) {
    case LUA_TNONE:
    case LUA_TNIL:
        name = "";
        break;
    case LUA_TSTRING:
    case LUA_TNUMBER:
        lua_get_string(state, index, name);
        break;
    case LUA_TBOOLEAN:
        name = lua_toboolean(state, index) ? "true" : "false";
        break;
    default:
        string_printf(name, "%s: %p", lua_typename(state, lua_type(state, index)),
                      lua_topointer(state, index));
        break;
    }
}

// math.randgen(name [, type])
int randgen(lua_State* state) {
    string name;
    name_of(state, 1, name);
    random_manager* manager = random_manager::instance();
    irandom* generator = nullptr;
    if (manager) {
        if (lua_is_none_or_nil(state, 2))
            generator = manager->find(name);
        else
            generator = manager->create(lua_to_uint(state, 2), name);
    }
    if (generator)
        push_object(state, generator);
    else
        lua_pushnil(state);
    return 1;
}

// g:seed([seed]): seeds with a number, else answers the seed.
int randgen_seed(lua_State* state) {
    irandom* g = random_manager::get_object(state);
    if (!g) return 0;
    if (lua_type(state, 2) == LUA_TNUMBER) {
        g->seed(lua_to_uint(state, 2));
        return 0;
    }
    lua_pushnumber(state, g->seed_value());
    return 1;
}

// g:get([a [, b]]): the next number, below a, or within [a, b).
int randgen_get(lua_State* state) {
    irandom* g = random_manager::get_object(state);
    if (!g) return 0;
    uint32_t result;
    if (!lua_isnumber(state, 2)) {
        result = g->next();
    } else if (!lua_isnumber(state, 3)) {
        uint32_t bound = lua_to_uint(state, 2);
        result = bound == 0 ? 0 : g->next() % bound;
    } else {
        uint32_t lo = lua_to_uint(state, 2);
        uint32_t range = lua_to_uint(state, 3) - lo;
        result = (range == 0 ? 0 : g->next() % range) + lo;
    }
    lua_pushnumber(state, result);
    return 1;
}

// g:status([state]): restores from a table of words, or saves into a new one.
int randgen_status(lua_State* state) {
    irandom* g = random_manager::get_object(state);
    if (!g) return 0;
    std::vector<uint32_t> words;
    if (lua_istable(state, 2)) {
        for (int n = 1;; ++n) {
            lua_rawgeti(state, 2, n);
            if (lua_isnil(state, -1)) {
                lua_pop(state, 1);
                break;
            }
            words.push_back(lua_isnumber(state, -1) ? lua_to_uint(state, -1) : 0);
            lua_pop(state, 1);
        }
        lua_pushboolean(state, g->restore(words));
        return 1;
    }
    g->save(words);
    lua_createtable(state, static_cast<int>(words.size()), 0);
    for (size_t i = 0; i < words.size(); ++i) {
        lua_pushnumber(state, words[i]);
        lua_rawseti(state, -2, static_cast<int>(i + 1));
    }
    return 1;
}

}  // namespace

irandom* random_manager::get_object(lua_State* state) {
    void* pointer = nullptr;
    if (lua_istable(state, 1)) {
        lua_getfield(state, 1, "object");
        pointer = lua_to_pointer(state, -1);
        lua_pop(state, 1);
    }
    random_manager* manager = instance();
    irandom* generator = static_cast<irandom*>(pointer);
    if (manager && manager->owns(generator)) return generator;
    script_call_stack_trace_locals(script_error_trace_target(), state, "random_manager::get_object");
    return nullptr;
}

void randgen_register(lua_State* state) {
    lua_getglobal(state, "math");
    if (!lua_istable(state, -1)) {
        lua_pop(state, 1);
        lua_newtable(state);
        lua_pushvalue(state, -1);
        lua_setglobal(state, "math");
    }
    lua_pushcfunction(state, randgen);
    lua_setfield(state, -2, "randgen");
    lua_pop(state, 1);
}
