// The coroutine action: a Lua function run as a coroutine of its own,
// resumed once a step while nothing it waits for is pending.
#ifndef VY_WORLD_COACTION_H
#define VY_WORLD_COACTION_H

#include <cstdint>
#include <vector>

#include "world/action_slot.h"

// A wait is over when its test answers 0 for its argument.
using coaction_wait_test = int32_t (*)(uintptr_t argument);

struct coaction_wait {
    coaction_wait_test test;
    uintptr_t word;  // for the one who added the wait
    uintptr_t argument;
};

class coaction : public igeneric {
public:
    ~coaction() override;

    static int32_t act_init(actor_object* owner, action_slot* slot, script_value value);
    static int32_t act_main(actor_object* actor, void* context, action_slot* slot, int32_t event,
                            script_value value);

    lua_State* thread = nullptr;
    int32_t thread_ref = 0;
    std::vector<coaction_wait> waits;
};

bool coaction_is_ready(coaction* co);

#endif
