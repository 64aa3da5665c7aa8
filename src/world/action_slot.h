// Actions: what an actor does, held in its nine slots. A class holds nine
// definitions; binding one into an actor's slot gives the bound slot that
// the frame and the events call.
#ifndef VY_WORLD_ACTION_SLOT_H
#define VY_WORLD_ACTION_SLOT_H

#include <cstdint>

#include "world/script_link.h"

class actor_object;
struct action_slot;
struct action_definition;

// 0 is success for both entries. A per-frame entry gets context 0 from the
// frame and from system events, event id 0 from the frame.
using action_init_entry = int32_t (*)(actor_object* owner, action_slot* slot, script_value value);
using action_entry = int32_t (*)(actor_object* actor, void* context, action_slot* slot,
                                 int32_t event, script_value value);
// Takes the parameter from the top of the stack into the definition.
using action_param_parser = int32_t (*)(action_definition* definition, lua_State* L);

struct action_definition {
    action_init_entry init;
    uint32_t init_data;
    action_entry entry;
    uint32_t data;
    script_value param;  // owned by the definition
};

struct action_slot {
    action_entry entry;
    uint32_t data;
    script_value param;  // borrowed from the class's definition
    script_value state;  // owned: a coroutine record or a registry reference
};

enum : uint32_t { slot_count = 9 };
enum : uint32_t {
    slot_init = 0,
    slot_dead = 1,
    slot_save = 2,
    slot_collide = 3,
    slot_catch = 4,
    slot_mode = 5,  // mode m runs slot 5 + m
};

// An entry of the map of named actions. Kind 1 (defined by a script): init
// and entry are registry references of Lua functions; else native entries.
struct native_action {
    uint32_t kind;
    action_param_parser parser;
    uintptr_t init;
    uintptr_t entry;
};

// Turns the value on top of the stack (nil, a name, a Lua function, or a
// table {action, parameter}) into a definition and pops it.
bool actions_parse(lua_State* L, action_definition* definition);
// Fills the definition from the named action; a parser takes the parameter
// from the top of the stack (popped unread without one).
bool native_action_find(const char* name, action_definition* definition, lua_State* L);
// The parameter is on top, the function below it; both are taken.
bool lua_function_action(action_definition* definition, lua_State* L);

// Releases the references and the parameter a definition owns.
void action_definition_release(action_definition& definition, lua_State* L);
// Releases a bound slot's state and clears the slot.
void action_slot_release(action_slot& slot, lua_State* L);

#endif
