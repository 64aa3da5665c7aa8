// Readers of Lua values for engine code: predicates and converters on a
// stack index, getters that answer whether the value had the right type,
// and the readers of t[n] and t.name used by the parsers of script tables.
//
// The element readers throw their message (a const char* to the text) when
// an element is missing or of the wrong type, leaving the element on the
// stack; the parser catches it at its edge, reports it and resets the
// stack. Catch it before control returns to Lua.
#ifndef VY_CORE_LUA_READERS_H
#define VY_CORE_LUA_READERS_H

#include <cstdint>

#include "core/strings.h"

#include "lua.h"

// Predicates. An index past the top is "none".
bool lua_is_none_or_nil(lua_State* state, int index);
bool lua_is_number(lua_State* state, int index);  // the number type only
bool lua_is_string(lua_State* state, int index);  // the string type only
bool lua_is_table(lua_State* state, int index);

// Converters.
// The characters of a string; a number becomes a string in place; else null.
const char* lua_get_cstring(lua_State* state, int index);
// lua_tonumber truncated toward zero, low 32 bits (0 outside the 64-bit range).
uint32_t lua_to_uint(lua_State* state, int index);
bool lua_to_bool(lua_State* state, int index);
// A light userdata's pointer or a full userdata's block, else null.
void* lua_to_pointer(lua_State* state, int index);

// Whole-number conversions shared by every reader. Values outside the
// 64-bit range and NaN give 0.
int32_t script_round_int(double value);     // to nearest, ties to even
int32_t script_truncate_int(double value);  // toward zero
uint32_t script_truncate_uint(double value);

// Stack helpers.
// 0 gives the depth; positive indices and pseudo-indices stay; other
// negative indices become absolute.
int script_abs_index(lua_State* state, int index);
void script_remove(lua_State* state, int index);
// Pushes the registry value of a reference; nil for 0 or negative.
void script_ref_push(lua_State* state, int ref);

// Getters: true and the value stored only when the type is accepted.
// Numbers and numeric strings are accepted as numbers.
bool lua_get_int(lua_State* state, int index, int32_t& out);    // rounds, ties to even
bool lua_get_uint(lua_State* state, int index, uint32_t& out);  // truncates
bool lua_get_double(lua_State* state, int index, double& out);
bool lua_get_float(lua_State* state, int index, float& out);
// Strings and numbers (converted in place); the text ends at the first NUL.
bool lua_get_string(lua_State* state, int index, string& out);
bool lua_get_bool(lua_State* state, int index, bool& out);  // booleans only
bool lua_get_pointer(lua_State* state, int index, void*& out);

// Table access (ordinary gets and sets: metamethods apply).
void lua_get_index(lua_State* state, int table, int n);
void lua_set_index_number(lua_State* state, int table, int n, double value);

// A table on the stack that engine code fills or reads.
struct script_table {
    lua_State* state;
    int index;  // absolute

    script_table(lua_State* s, int table) : state(s), index(script_abs_index(s, table)) {}
    void get_index(int n) { lua_get_index(state, index, n); }
    // t[k] = v with k and v on top of the stack; pops both.
    void set() { lua_settable(state, index); }
};

// Element readers. On success the element is popped and true answered. A
// nil element with optional set answers false quietly (out untouched);
// otherwise a message is thrown when given, else false is answered.
bool lua_get_index_uint(lua_State* state, int table, int n, uint32_t& out, bool optional, const char* message);
bool lua_get_index_int(lua_State* state, int table, int n, int32_t& out, bool optional, const char* message);
bool lua_get_index_long(lua_State* state, int table, int n, long& out, bool optional, const char* message);
bool lua_get_index_float(lua_State* state, int table, int n, float& out, bool optional, const char* message);
bool lua_get_index_double(lua_State* state, int table, int n, double& out, bool optional, const char* message);
bool lua_get_index_string(lua_State* state, int table, int n, string& out, bool optional, const char* message);
bool lua_get_field_int(lua_State* state, int table, const char* name, int32_t& out, bool optional, const char* message);
bool lua_get_field_uint(lua_State* state, int table, const char* name, uint32_t& out, bool optional, const char* message);
bool lua_get_field_float(lua_State* state, int table, const char* name, float& out, bool optional, const char* message);
// nil reads as false (answer true); another non-boolean throws the message
// when given, else answers false.
bool lua_get_field_bool(lua_State* state, int table, const char* name, bool& out, const char* message);
// On success the element table stays pushed (the caller pops it). Without
// a message a failure pops the element whatever it holds.
bool lua_get_field_table(lua_State* state, int table, const char* name, bool optional, const char* message);
bool lua_get_index_table(lua_State* state, int table, int n, bool optional, const char* message);

// Field "set" of argument 2 as a pointer: false when absent (nil), throws
// "invalid other set" for anything else that is not a userdata.
bool lua_get_other_set(lua_State* state, void*& out);
// Element [5] of a rect table as a boolean: false when nil, throws
// "invalid rect.attribute" for a non-boolean.
bool lua_get_rect_attribute(lua_State* state, int table, bool& out);

#endif
