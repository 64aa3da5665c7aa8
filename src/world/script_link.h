// The script-host services the world uses, gathered: values handed to Lua
// handlers, calls and resumes whose failures come back as a message, and
// registry references.
#ifndef VY_WORLD_SCRIPT_LINK_H
#define VY_WORLD_SCRIPT_LINK_H

#include <cstdint>

#include "core/script.h"
#include "core/script_value.h"

// The empty polymorphic base of engine objects that a value may own.
class igeneric : public script_value_object_base {};

inline script_value make_value(uint32_t kind, uintptr_t data) { return script_value{kind, data}; }
inline script_value make_value(uint32_t kind, const void* p) {
    return script_value{kind, reinterpret_cast<uintptr_t>(p)};
}
template <class T>
T* value_pointer_of(const script_value& v) {
    return reinterpret_cast<T*>(v.data);
}

// Registry references: 0 for none (nil and failures included).
int32_t world_ref_take(lua_State* L);  // pops the top value
void world_ref_push(lua_State* L, int32_t ref);
void world_ref_release(lua_State* L, int32_t ref);

// A failed script call on the system log: the message at level 1 under the
// label ("script.call" when none), and the debug hook's trace text, when
// there is any, on a line of its own.
void script_report_error_text(const script_error_info& info, const char* label);

#endif
