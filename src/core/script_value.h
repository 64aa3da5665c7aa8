// `script_value`: a tagged value passed between engine code and Lua
// handlers, and the typed reader of the top of a Lua stack.
#ifndef VY_CORE_SCRIPT_VALUE_H
#define VY_CORE_SCRIPT_VALUE_H

#include <cstdint>

#include "lua.h"

enum : uint32_t {
    script_value_none = 0,       // pushes nothing
    script_value_pointer = 1,    // pushed as light userdata
    script_value_stack = 2,      // index of a value on a source stack
    script_value_integer = 4,    // signed 32-bit, pushed as a number
    script_value_object = 129,   // an owned engine object, deleted on release
    script_value_reference = 130,  // a registry reference, released on release
};

// Engine objects a script_value can own (kind 129).
class script_value_object_base {
public:
    virtual ~script_value_object_base() = default;
};

struct script_value {
    uint32_t kind = script_value_none;
    uintptr_t data = 0;

    static script_value pointer(void* p) { return {script_value_pointer, reinterpret_cast<uintptr_t>(p)}; }
    static script_value stack(int index) { return {script_value_stack, static_cast<uintptr_t>(index)}; }
    static script_value integer(int32_t n) { return {script_value_integer, static_cast<uintptr_t>(n)}; }
    static script_value object(script_value_object_base* o) {
        return {script_value_object, reinterpret_cast<uintptr_t>(o)};
    }
    static script_value reference(int ref) { return {script_value_reference, static_cast<uintptr_t>(ref)}; }
};

// Pushes the value on dest (kind 0 and unknown kinds push nothing). A stack
// value is read from source when given, else from dest; a value from
// another Lua universe arrives as a copy.
void script_value_push(const script_value& value, lua_State* dest, lua_State* source = nullptr);
// Frees what the value owns and leaves it none. The state is needed for
// references only.
void script_value_release(script_value& value, lua_State* state);

// Accepted kinds of script_value_from_stack, tried in this order.
enum : uint32_t {
    script_typed_nil = 0x1,
    script_typed_number = 0x2,    // double
    script_typed_truncated = 0x4, // integer toward zero
    script_typed_rounded = 0x8,   // integer to nearest
    script_typed_boolean = 0x10,  // 0.0 or 1.0
    script_typed_string = 0x20,   // characters (a number converted in place)
    script_typed_userdata = 0x40, // pointer
    script_typed_thread = 0x80,   // thread state
    script_typed_function = 0x10000,  // absolute stack index
    script_typed_table = 0x20000,     // absolute stack index
};

struct script_typed_value {
    uint32_t kinds = 0;  // accepted kinds on entry, the matched kind on return
    union {
        double number;
        int32_t integer;
        const char* text;
        void* pointer;
        lua_State* thread;
        int32_t index;
    } data = {0.0};
};

// Reads the top value as the first accepted kind that matches; answers the
// kind, or 0 (record unchanged) when none does.
uint32_t script_value_from_stack(lua_State* state, script_typed_value& value);

#endif
