#include "actions/call_action.h"

#include "world/action_manager.h"

call_action::~call_action() {
    action_manager* manager = action_manager::instance();
    lua_State* L = manager ? manager->lua() : nullptr;
    if (!L) return;  // the state is gone, and its references with it
    action_slot_release(slot, L);
    action_definition_release(definition, L);
}

bool call_action::parse(lua_State* L) { return actions_parse(L, &definition); }

bool call_action::bind_slot(actor_object* owner) {
    return action_slot_bind(action_manager::instance(), owner, &definition, &slot, script_value{0, 0});
}

int32_t call_action::call() {
    if (!slot.entry || !owner) return 0;
    // The called function may release this action: the slot stays until it returns.
    action_hold hold(this);
    return slot.entry(owner, nullptr, &slot, 0, script_value{0, 0});
}
