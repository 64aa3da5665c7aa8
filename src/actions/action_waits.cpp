#include "actions/action_waits.h"

#include <algorithm>

#include "world/actor_class.h"
#include "world/actor_object.h"

coaction* owner_coroutine(actor_object* owner) {
    if (!owner || !owner->cls || !(owner->cls->flags & class_start_key)) return nullptr;
    const script_value& state = owner->slots[slot_mode].state;
    if (state.kind != script_value_object) return nullptr;
    return value_pointer_of<coaction>(state);
}

void wait_entry_add(coaction* co, coaction_wait_test test, const void* action) {
    if (!co) return;
    co->waits.push_back(coaction_wait{test, 0, reinterpret_cast<uintptr_t>(action)});
}

void wait_entry_remove(actor_object* owner, coaction* co, const void* action) {
    if (!co || owner_coroutine(owner) != co) return;
    const uintptr_t argument = reinterpret_cast<uintptr_t>(action);
    auto& waits = co->waits;
    waits.erase(std::remove_if(waits.begin(), waits.end(),
                               [&](const coaction_wait& w) { return w.argument == argument; }),
                waits.end());
}
