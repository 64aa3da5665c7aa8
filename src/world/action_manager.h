// The action framework's manager: the map of named actions, the list of
// extend actions, and the Lua state that every action calls into.
#ifndef VY_WORLD_ACTION_MANAGER_H
#define VY_WORLD_ACTION_MANAGER_H

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "core/singleton.h"
#include "world/action_slot.h"

class extend_action;

// Process-wide: set to -1 by the first failing Lua init or per-frame action;
// the frame step fails while it is not 0.
extern int32_t script_error_status;

class action_manager : public singleton<action_manager> {
public:
    action_manager() = default;
    ~action_manager() override;

    lua_State* lua() const { return lua_; }
    void set_lua(lua_State* L) { lua_ = L; }

    const native_action* find_named(const char* name) const;
    bool add_named(const char* name, const native_action& entry);

    // Extend actions in creation order. Entries of actions deleted during a
    // walk are emptied and dropped once the walk is over.
    std::list<extend_action*>& extend_list() { return extend_list_; }
    int32_t walking = 0;
    bool has_holes = false;
    void drop_holes();

    int32_t embed_count = 0;
    // While set, progress counters never yield (their slices never run out).
    bool slicing_off = false;

    // Lua-function actions (see the definitions made by actions_parse).
    static int32_t script_action(actor_object* actor, void* context, action_slot* slot,
                                 int32_t event, script_value value);
    static int32_t script_init_action(actor_object* owner, action_slot* slot, script_value value);
    int32_t call_act_init(actor_object* actor, action_slot* slot, script_value value);
    void call_act_dead(actor_object* actor, action_slot* slot);
    void leave_embed();

private:
    lua_State* lua_ = nullptr;
    std::map<std::string, native_action> named_;
    std::list<extend_action*> extend_list_;
};

// Enters a native named action {0, parser, none, entry}; false when the
// name is taken (the first entry stays).
bool native_action_register(const char* name, action_manager* manager,
                            action_param_parser parser, action_entry entry);
// Binds a definition into a slot: init data and parameter copied, state
// cleared, the init entry run (non-zero fails the bind), then the per-frame
// entry installed. Without an init entry a table value is copied into the
// slot's state.
bool action_slot_bind(action_manager* manager, actor_object* owner,
                      const action_definition* definition, action_slot* slot, script_value value);

#endif
