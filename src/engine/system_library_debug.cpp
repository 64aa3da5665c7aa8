// The debugging aids of the `system` library: the debug routine,
// breakpoints, stack traces and the abnormal end.
#include <windows.h>

#include "core/script.h"
#include "core/trace.h"
#include "engine/script_breakpoints.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lua.h"

namespace {
script_breakpoints& breakpoints() { return system_manager::instance()->breakpoints(); }
}  // namespace

// system.set_debug_routine(name): the global function that breakpoints
// call; an empty name (or none) switches it off.
int system_set_debug_routine(lua_State* L) {
    breakpoints().set_routine(lua_type(L, 1) == LUA_TSTRING ? lua_tostring(L, 1) : "");
    return 0;
}

// system.breakpoint(): the breakpoint action for the calling function.
int system_breakpoint(lua_State* L) {
    breakpoints().hit(L, 1);
    return 0;
}

// system.set_breakpoint(source, line): source is the script's path below
// the script folder. Answers the number of breakpoints.
int system_set_breakpoint(lua_State* L) {
    script_breakpoints& list = breakpoints();
    if (lua_type(L, 1) != LUA_TSTRING || !lua_isnumber(L, 2)) {
        system_manager::trace(1, "system.set_breakpoint", "invalid argument");
        lua_pushnumber(L, static_cast<lua_Number>(list.size()));
        return 1;
    }
    // The hook belongs on the main state: coroutines made from it later
    // inherit it.
    size_t count = list.add(system_manager::instance()->lua(), lua_tostring(L, 1), system_arg_int(L, 2));
    lua_pushnumber(L, static_cast<lua_Number>(count));
    return 1;
}

// system.unset_breakpoint(source, line) or (index, 0-based).
int system_unset_breakpoint(lua_State* L) {
    script_breakpoints& list = breakpoints();
    lua_State* main = system_manager::instance()->lua();
    if (lua_type(L, 1) == LUA_TSTRING && lua_isnumber(L, 2)) {
        list.remove(main, lua_tostring(L, 1), system_arg_int(L, 2));
    } else if (lua_type(L, 1) == LUA_TNUMBER && lua_gettop(L) == 1) {
        if (!list.remove_at(main, system_arg_int(L, 1)))
            system_manager::trace(1, "system.unset_breakpoint", "invalid argument");
    } else {
        system_manager::trace(1, "system.unset_breakpoint", "invalid argument");
    }
    return 0;
}

// system.stack_trace(level): the locals of one call level.
int system_stack_trace(lua_State* L) {
    script_level_trace(L, system_arg_int(L, 1));
    return 0;
}

// system.call_stack_trace([with locals]): every call level.
int system_call_stack_trace(lua_State* L) {
    if (lua_toboolean(L, 1)) script_call_stack_trace_locals(script_error_trace_target(), L, nullptr);
    else script_call_stack_trace(L, nullptr, "system.call_stack_trace");
    return 0;
}

// system.abort(): ends the process at once, with no shut-down step. The
// logs are closed first so their last lines are on disk; the save file
// keeps the running marker, so the next run sees an abnormal end.
int system_abort(lua_State*) {
    trace::close_all();
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(-1));
    return 0;
}
