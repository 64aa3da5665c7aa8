// The small named native actions of the library: the init value keeper
// and the two test movers.
#ifndef VY_ACTIONS_NATIVE_ACTIONS_H
#define VY_ACTIONS_NATIVE_ACTIONS_H

#include <cstdint>

#include "world/action_slot.h"

class action_manager;

int32_t init_action(actor_object* actor, void* context, action_slot* slot, int32_t event,
                    script_value value);
int32_t test_action(actor_object* actor, void* context, action_slot* slot, int32_t event,
                    script_value value);
int32_t test_player_action(actor_object* actor, void* context, action_slot* slot, int32_t event,
                           script_value value);

// "init_action", "test_action", "test_player_action"; the AND of the three.
bool native_actions_register(action_manager* manager);

#endif
