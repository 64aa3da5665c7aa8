#include "world/object_container.h"

#include "core/trace.h"
#include "world/actor_object.h"
#include "world/sprite_object.h"

template <uint32_t max_slots, uint32_t grow_step>
uint32_t icontainer<max_slots, grow_step>::grow() {
    const size_t n = slots_.size();
    if (n >= max_slots) return 0;
    const size_t add = (max_slots - n < grow_step) ? max_slots - n : grow_step;
    slots_.resize(n + add, slot{0, 0});
    if (add > 1) {
        free_head_ = static_cast<uint32_t>(n + 2);
        slots_[n + 1].state = -static_cast<int32_t>(add - 1);
    }
    return static_cast<uint32_t>(n + 1);
}

template <uint32_t max_slots, uint32_t grow_step>
uint32_t icontainer<max_slots, grow_step>::take_free() {
    const uint32_t id = free_head_;
    slot& s = slots_[id - 1];
    s.state += 1;
    if (s.state >= 0) {
        free_head_ = static_cast<uint32_t>(s.word);
    } else {
        // The head of a run: the rest of the run starts at the next slot.
        free_head_ = id + 1;
        slots_[id].state = s.state;
    }
    return id;
}

template <uint32_t max_slots, uint32_t grow_step>
uint32_t icontainer<max_slots, grow_step>::insert_object(int32_t state, void* object) {
    if (!object) return 0;
    const uint32_t id = free_head_ ? take_free() : grow();
    if (id == 0) {
        TRACE_ERROR("icontainer::insert", "object table is full", -1);
        return 0;
    }
    slots_[id - 1] = slot{state, reinterpret_cast<uintptr_t>(object)};
    return id;
}

template <uint32_t max_slots, uint32_t grow_step>
void icontainer<max_slots, grow_step>::erase(uint32_t id) {
    if (id == 0 || id > slots_.size()) return;
    slot& s = slots_[id - 1];
    if (s.state <= 0) return;  // free, or never handed out (inside a run)
    s.state = -1;
    s.word = free_head_;
    free_head_ = id;
}

template class icontainer<16777216, 256>;
template class icontainer<512, 256>;  // small table for tests of the full case
template class icontainer<5, 2>;

uint32_t object_container::insert(sprite_object* sprite) {
    const uint32_t id = insert_object(object_slot_sprite, sprite);
    if (sprite) sprite->id = id;
    return id;
}

uint32_t object_container::insert(actor_object* actor) {
    const uint32_t id = insert_object(object_slot_actor, actor);
    if (actor) actor->id = id;
    return id;
}

actor_object* object_container::find_actor(uint32_t id) const {
    if (id == 0 || id > size() || at(id).state != object_slot_actor) return nullptr;
    return reinterpret_cast<actor_object*>(at(id).word);
}

sprite_object* object_container::find_sprite(uint32_t id) const {
    if (id == 0 || id > size() || at(id).state != object_slot_sprite) return nullptr;
    return reinterpret_cast<sprite_object*>(at(id).word);
}
