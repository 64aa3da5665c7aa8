// The action library: the named native actions and the constructor globals
// through which scripts attach extend actions (mailboxes, progress
// counters, call actions, ...) to their actors.
#ifndef VY_ACTIONS_ACTION_LIBRARY_H
#define VY_ACTIONS_ACTION_LIBRARY_H

#include <cstdint>

struct lua_State;

// Enters the native actions into the action manager's map and sets the
// constructor globals in the state. Runs once per script start.
void action_library_register(lua_State* L);

// The first input as the player mover reads it.
struct player_input_reading {
    float axis[2];          // analogue x, y
    int32_t direction[2];   // direction counters x, y: negative, 0 or positive
    const int32_t* codes;   // the 128 counters of the digital logical codes
};

// What the library needs of the engine, which fills it in at start-up (the
// library sits below the engine and the input subsystem).
struct action_library_hooks {
    uint64_t (*frame_period)() = nullptr;  // nanoseconds; none or 0: 1/60 s
    // False when there is no input.
    bool (*first_input)(player_input_reading& out) = nullptr;
    // Text keys: the value of a logical code of input [index]; false when
    // there is no such input or code.
    bool (*input_code)(int32_t input, int32_t code, int32_t& value) = nullptr;
};
void set_action_library_hooks(const action_library_hooks& hooks);
const action_library_hooks& action_hooks();

#endif
