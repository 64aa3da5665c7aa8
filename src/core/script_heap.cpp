#include "core/script_heap.h"

#include <cstdlib>

#include "core/trace.h"

#include "lua.h"

namespace {

struct heap {
    size_t used;
    size_t ceiling;
};

// The record goes with the state: the last block Lua frees on close is the
// state itself, and then nothing is held.
void* bounded_alloc(void* ud, void* block, size_t old_size, size_t new_size) {
    heap* h = static_cast<heap*>(ud);
    if (new_size == 0) {
        std::free(block);
        h->used -= old_size;
        if (block && h->used == 0) std::free(h);
        return nullptr;
    }
    if (new_size > old_size && (h->used > h->ceiling || new_size - old_size > h->ceiling - h->used))
        return nullptr;
    void* moved = std::realloc(block, new_size);
    if (moved) h->used = h->used - old_size + new_size;
    return moved;
}

int log_panic(lua_State* state) {
    const char* message = lua_tostring(state, -1);
    TRACE_ERROR("script", message ? message : "unprotected error", -1);
    return 0;
}

heap* heap_of(lua_State* state) {
    void* ud = nullptr;
    if (!state || lua_getallocf(state, &ud) != bounded_alloc) return nullptr;
    return static_cast<heap*>(ud);
}

}  // namespace

lua_State* script_new_state() {
    heap* h = static_cast<heap*>(std::malloc(sizeof(heap)));
    if (!h) return nullptr;
    *h = {0, script_heap_ceiling};
    // A failed open has freed every block it took, the record with them
    // (or never took one: then the record is a few bytes lost to a
    // process already out of memory).
    lua_State* state = lua_newstate(bounded_alloc, h);
    if (state) lua_atpanic(state, log_panic);
    return state;
}

bool script_set_heap_ceiling(lua_State* state, size_t ceiling) {
    heap* h = heap_of(state);
    if (!h) return false;
    h->ceiling = ceiling;
    return true;
}

size_t script_heap_used(lua_State* state) {
    heap* h = heap_of(state);
    return h ? h->used : 0;
}
