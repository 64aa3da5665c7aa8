// Lua states with a bounded heap. A 32-bit process could never give one
// state more than about a gigabyte; a 64-bit one would let a script's
// string.rep, a concatenation or a table pre-sized from a script's count
// take the whole machine. Past the ceiling Lua raises its own "not enough
// memory" error, which scripts and the engine already handle.
#ifndef VY_CORE_SCRIPT_HEAP_H
#define VY_CORE_SCRIPT_HEAP_H

#include <cstddef>

struct lua_State;

constexpr size_t script_heap_ceiling = size_t(1) << 30;

// A new state whose allocations together stay within the ceiling, with a
// panic handler that logs; null when not even that can be allocated.
lua_State* script_new_state();

// The state's ceiling, changed (a state not made here answers false).
bool script_set_heap_ceiling(lua_State* state, size_t ceiling);
// What the state holds now (0 for a state not made here).
size_t script_heap_used(lua_State* state);

#endif
