// Groups of actors and actor classes: scripts purge, store, restore and
// enumerate them by name, together with the groups listed inside them.
#ifndef VY_WORLD_ACTOR_GROUPS_H
#define VY_WORLD_ACTOR_GROUPS_H

#include <cstdint>
#include <string>
#include <vector>

class actor_object;
class st_actor_class;

struct actor_group {
    std::vector<std::string> subgroups;    // each once, in the order added
    std::vector<st_actor_class*> classes;  // classes of the class map, each once
    std::vector<actor_object*> members;    // each holds one reference
    uint8_t busy = 0;                      // a walk is inside the group
};

// Called for each member of an enumeration; false stops it.
using actor_group_callback = bool (*)(actor_object* actor, const char* group, void* user);

#endif
