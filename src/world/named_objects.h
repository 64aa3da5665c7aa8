// Named objects: per name, the class of its last actor, the live actor and a
// stored value that outlives the actor and greets the next one of that name.
#ifndef VY_WORLD_NAMED_OBJECTS_H
#define VY_WORLD_NAMED_OBJECTS_H

#include <cstdint>

#include "core/strings.h"
#include "world/script_link.h"

class st_actor_class;
class actor_object;

struct named_object_entry {
    string name;
    st_actor_class* cls = nullptr;
    actor_object* actor = nullptr;
    script_value stored = {0, 0};
    int32_t users = 0;  // actors whose record points here
};

#endif
