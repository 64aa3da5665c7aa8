// Scripts hand engine objects back to us as bare pointers (light userdata).
// Every engine object that scripts can see is entered here while it lives,
// so a pointer from a script is trusted only when it names a live object of
// the kind the caller wants; a stale or foreign pointer resolves to nothing.
#ifndef VY_WORLD_LIVE_OBJECTS_H
#define VY_WORLD_LIVE_OBJECTS_H

#include <cstdint>

enum live_kind : uint32_t {
    live_none = 0,
    live_actor = 1,
    live_sprite = 2,
    live_actor_class = 3,
    live_extend_action = 4,
    live_sprite_class = 5,
    live_other = 6,  // kinds of the libraries above the world
};

void live_object_add(const void* object, live_kind kind);
void live_object_remove(const void* object);
// The kind a live object was entered with, live_none for anything else.
live_kind live_object_kind(const void* object);
inline bool live_object_is(const void* object, live_kind kind) {
    return object && live_object_kind(object) == kind;
}
uint32_t live_object_count();
// Asks for the memory a lookup of the object will read (loops that know
// which objects scripts will name next).
void live_object_prefetch(const void* object);

#endif
