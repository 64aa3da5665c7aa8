// Handle ids of sprites and actors: small positive integers from one table,
// 1-based (id k lives in slot k-1), so scripts and saved data can name an
// object without holding its address.
#ifndef VY_WORLD_OBJECT_CONTAINER_H
#define VY_WORLD_OBJECT_CONTAINER_H

#include <cstdint>
#include <vector>

#include "core/singleton.h"

class sprite_object;
class actor_object;

// Slot states: 0 never handed out, 2 sprite, 6 actor, -1 a single free slot
// (second word: next free id), -n the head of a run of n free slots left by
// growth (the slots after it are still 0).
enum : int32_t {
    object_slot_unused = 0,
    object_slot_sprite = 2,
    object_slot_actor = 6,
};

template <uint32_t max_slots, uint32_t grow_step>
class icontainer {
public:
    struct slot {
        int32_t state;
        uintptr_t word;  // the object, or the next free id
    };
    static_assert(sizeof(void*) != 4 || sizeof(slot) == 8, "slots are two 32-bit words");

    // The id of a new slot holding the object, 0 for a null object or a
    // full table (logged).
    uint32_t insert_object(int32_t state, void* object);
    // Frees an id. Ids never handed out, already free or out of range are
    // ignored, so a stale id can never put a slot into the free chain twice.
    void erase(uint32_t id);
    // Id of the first new slot, 0 when the table can't grow.
    uint32_t grow();

    size_t size() const { return slots_.size(); }
    const slot& at(uint32_t id) const { return slots_[id - 1]; }
    uint32_t free_head() const { return free_head_; }

private:
    uint32_t take_free();

    std::vector<slot> slots_;
    uint32_t free_head_ = 0;
};

class object_container : public icontainer<16777216, 256>, public singleton<object_container> {
public:
    // Write the id into the object as well.
    uint32_t insert(sprite_object* sprite);
    uint32_t insert(actor_object* actor);
    // The live object behind an id, null when the id holds no such object.
    actor_object* find_actor(uint32_t id) const;
    sprite_object* find_sprite(uint32_t id) const;
};

#endif
