// The hook of the waiting actions into their owner's coroutine: one wait
// entry added at creation and removed when the action goes.
#ifndef VY_ACTIONS_ACTION_WAITS_H
#define VY_ACTIONS_ACTION_WAITS_H

#include <cstdint>

#include "world/coaction.h"

class actor_object;

// The coroutine record of the owner's default mode slot, when its class
// starts it as a coroutine; else none.
coaction* owner_coroutine(actor_object* owner);

void wait_entry_add(coaction* co, coaction_wait_test test, const void* action);
// Only while the record is still the owner's: a rebound slot has freed it.
void wait_entry_remove(actor_object* owner, coaction* co, const void* action);

#endif
