// The script host: the engine's one road into Lua 5.1.
//
// Every engine path that runs Lua goes through here: chunks are loaded from
// text, bytes or files, functions are called under protection, coroutines are
// resumed, and every failure is reported the same way: one line
// "label: message, code=N(0xN)" in the default trace, the message handed
// back in the caller's script_error_info.
//
// Lua is built as C++: a Lua error is a C++ exception that unwinds native
// frames. Code between Lua and the engine must therefore never swallow
// exceptions with catch (...), or Lua's own error recovery is cut short.
#ifndef VY_CORE_SCRIPT_H
#define VY_CORE_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/strings.h"

#include "lua.h"

class trace;

// What a call, resume or load hands back to its caller.
struct script_error_info {
    string message;     // the Lua error message of a failed operation
    string trace_text;  // what the debug hook appended while this record was current
    int32_t handler_index = 0;   // stack index of the message handler of script::call (0: none)
    trace* error_trace = nullptr;  // where the message handler writes; null: the script-error trace

    void clear();
};

// Modes of script::open.
enum : int {
    script_all_libs = 0,         // the main state: every standard library
    script_restricted_libs = 1,  // script environments: see open_restricted_libs
};

// Tables nested deeper than this are neither copied, stored nor restored:
// the walks recurse on the C stack, and crafted data must not overflow it.
constexpr int script_max_depth = 1000;

// A handle of one Lua state or coroutine. It owns nothing: whoever opens a
// state closes it.
class script {
public:
    script() = default;
    script(lua_State* state) : state_(state) {}  // NOLINT: a handle converts freely

    lua_State* state() const { return state_; }
    explicit operator bool() const { return state_ != nullptr; }

    // A new state with the standard libraries of the mode. False (and no
    // state) when Lua can't allocate one.
    bool open(int mode);
    // Closes the state and forgets it.
    void close();

    // Protected call of the function below nargs arguments. nresults may be
    // LUA_MULTRET. On failure reports "script::call" with the Lua status.
    bool call(int nargs, int nresults, script_error_info& info);
    // Resumes this coroutine: 1 finished, 0 yielded, otherwise the negated
    // Lua status after reporting "script::resume".
    int resume(int nargs, script_error_info* info = nullptr);
    // Compiles NUL-terminated source; the chunk name is the text itself.
    bool load(const char* text, script_error_info& info);
    // Compiles source or bytecode from memory under the chunk name "script::load".
    bool load_buffer(const void* bytes, size_t size, script_error_info& info);
    // Compiles a file through Lua's own loader (narrow path).
    bool load_file(const char* path, script_error_info& info);

    // A new coroutine anchored in the registry. Answers the registry
    // reference (0 on failure) and the coroutine's state through out.
    int create_thread(lua_State*& out);

    // Pushes exactly one value on dest: a copy of the value at index.
    // Booleans, numbers, strings (zero bytes kept) and tables (a table met
    // twice is copied once, so shared and self-referencing tables keep
    // their shape) are copied; everything else arrives as nil. False when
    // part of the value could not be copied (too deep, or no stack room);
    // that part arrives as nil.
    bool copy_value(lua_State* dest, int index);

    // Appends the stored form of the value at index (relative indices are
    // made absolute; 0 is the top). Answers -1 on an error, else the number
    // of warnings (values stored as a bare code: native functions, light
    // userdata, threads). The stack is left as it was.
    int store(std::vector<uint8_t>& out, int index);
    int store_table(std::vector<uint8_t>& out, int index);
    // Pushes the value stored at bytes; end (when given) receives the
    // address just behind it. On failure nothing is pushed.
    bool restore(const void* bytes, size_t length, const uint8_t** end = nullptr);
    bool restore_table(const void* bytes, size_t length, const uint8_t** end = nullptr);

    // Checks at the end of a native function's scope that the stack is as
    // deep as at its start, and reports where it is not.
    class stack_checker {
    public:
        stack_checker(lua_State* state, const char* file, int line);
        ~stack_checker();
        stack_checker(const stack_checker&) = delete;
        stack_checker& operator=(const stack_checker&) = delete;

    private:
        lua_State* state_;
        int depth_;
        const char* file_;
        int line_;
    };

private:
    int store_value(std::vector<uint8_t>& out, int index, std::vector<const void*>& path);
    int store_pairs(std::vector<uint8_t>& out, int index, std::vector<const void*>& path);
    bool restore_value(const uint8_t* bytes, size_t length, const uint8_t** end, int depth);
    bool restore_pairs(const uint8_t* bytes, size_t length, const uint8_t** end, int depth);

    lua_State* state_ = nullptr;
};

#define SCRIPT_STACK_CHECK(state) \
    script::stack_checker vy_stack_checker_((state), __FILE__, __LINE__)

// The record of the operation in progress (null between operations). A
// nested operation makes its own record current and puts the outer one
// back when it returns.
script_error_info* script_current_error_info();

// Where the message handler writes when the current record names no trace;
// the engine points it at its system log at script start. Null: the
// default trace.
void set_script_error_trace(trace* t);
trace* script_error_trace_target();

// The one error report: takes the message from the top of the stack (a
// string, or a number converted in place), writes "label: message, code=..."
// to the default trace, copies the message into info and pops it.
void script_report_error(lua_State* state, const char* label, int code, script_error_info* info);

// Appends the bytecode of the Lua function at index. False for native
// functions and every other value.
bool script_dump_function(lua_State* state, int index, std::vector<uint8_t>& out);

// Opens the base, table, string, math and debug libraries; package, io and
// os stay closed.
void open_restricted_libs(lua_State* state);

// Diagnostics. A null trace means the default trace; the "system log"
// writers go to the script-error trace.
void script_value_text(lua_State* state, int index, string& out);
void script_stack_trace(trace* t, lua_State* state, const char* title);
void script_level_trace(lua_State* state, int level);
void script_call_stack_trace(lua_State* state, const char* title, const char* origin = nullptr);
void script_call_stack_trace_locals(trace* t, lua_State* state, const char* title);
// Message handler for script::call: writes the error and every call level
// with its locals, then answers "script.call error".
int script_error_trace(lua_State* state);
// Debug hook: appends the event and the call stack to the current record.
void script_debug_hook(lua_State* state, lua_Debug* ar);

#endif
