// Diagnostic traces of Lua stacks: stack dumps, call levels with their
// locals, the message handler of protected calls and the debug hook.
#include "core/script.h"

#include "core/trace.h"

namespace {

const char* text_or_null(const char* s) { return s ? s : "(null)"; }

trace& pick(trace* t) { return t ? *t : default_trace(); }

// Where the "system log" diagnostics go.
trace& script_log() { return pick(script_error_trace_target()); }

void format_level(string& out, const lua_Debug& ar) {
    string_printf(out,
                  "name=[%s] namewhat=[%s] what=[%s] source=[%s] short_src=[%s] currentline=%d "
                  "nups=%d linedefined=%d lastlinedefined=%d",
                  text_or_null(ar.name), text_or_null(ar.namewhat), text_or_null(ar.what),
                  text_or_null(ar.source), ar.short_src, ar.currentline, ar.nups, ar.linedefined,
                  ar.lastlinedefined);
}

// Every local of one call level, "(*temporary)" slots included.
void write_locals(trace& t, lua_State* state, lua_Debug& ar, int level) {
    string value;
    for (int n = 1;; ++n) {
        if (!lua_checkstack(state, 1)) return;
        const char* name = lua_getlocal(state, &ar, n);
        if (!name) return;
        script_value_text(state, -1, value);
        log_printf(t, "\t\t[%d]-[%d]: name=[%s] value=[%s]", level, n, name, value.c_str());
        lua_pop(state, 1);
    }
}

void write_levels(trace& t, lua_State* state, bool locals) {
    lua_Debug ar;
    string line;
    for (int level = 0; lua_getstack(state, level, &ar) && lua_getinfo(state, "nSlu", &ar); ++level) {
        format_level(line, ar);
        log_printf(t, "\t[%d]: %s", level, line.c_str());
        if (locals) write_locals(t, state, ar, level);
    }
}

const char* hook_event_name(int event) {
    switch (event) {
    case LUA_HOOKCALL: return "function call";
    case LUA_HOOKRET: return "function return";
    case LUA_HOOKLINE: return "step line";
    case LUA_HOOKCOUNT: return "step count";
    case LUA_HOOKTAILRET: return "last function return";
    default: return "unknown";
    }
}

}  // namespace

void script_value_text(lua_State* state, int index, string& out) {
    switch (lua_type(state, index)) {
    case LUA_TNIL: out = "nil"; return;
    case LUA_TNUMBER: string_printf(out, "number = %f", lua_tonumber(state, index)); return;
    case LUA_TSTRING:
        if (lua_isnumber(state, index))
            string_printf(out, "number = %f", lua_tonumber(state, index));
        else
            string_printf(out, "string = %s", lua_tostring(state, index));
        return;
    case LUA_TBOOLEAN:
        string_printf(out, "boolean = %s", lua_toboolean(state, index) ? "true" : "false");
        return;
    case LUA_TFUNCTION:
        string_printf(out, lua_iscfunction(state, index) ? "cfunction = %p" : "function = %p",
                      lua_topointer(state, index));
        return;
    case LUA_TLIGHTUSERDATA:
        string_printf(out, "lightuserdata = %p", lua_touserdata(state, index));
        return;
    case LUA_TUSERDATA: string_printf(out, "userdata = %p", lua_touserdata(state, index)); return;
    case LUA_TTHREAD: string_printf(out, "thread = %p", static_cast<void*>(lua_tothread(state, index))); return;
    case LUA_TTABLE: string_printf(out, "table = %p", lua_topointer(state, index)); return;
    default: out = "unlnown"; return;
    }
}

void script_stack_trace(trace* t, lua_State* state, const char* title) {
    trace& out = pick(t);
    int depth = lua_gettop(state);
    log_printf(out, "stack_trace: %s (%d)", title ? title : "", depth);
    string value;
    for (int i = depth; i >= 1; --i) {
        script_value_text(state, i, value);
        log_printf(out, "\t[%d]: %s", i, value.c_str());
    }
}

void script_level_trace(lua_State* state, int level) {
    trace& out = script_log();
    log_printf(out, "[%d] %s", level, "system.stack_trace");
    lua_Debug ar;
    if (!lua_getstack(state, level, &ar)) return;
    string value;
    for (int n = 1;; ++n) {
        if (!lua_checkstack(state, 1)) return;
        const char* name = lua_getlocal(state, &ar, n);
        if (!name) return;
        script_value_text(state, -1, value);
        log_printf(out, "\t[%d]: name=[%s] value=[%s]", level, name, value.c_str());
        lua_pop(state, 1);
    }
}

void script_call_stack_trace(lua_State* state, const char* title, const char* origin) {
    trace& out = script_log();
    if (origin) out.write_origin(0, origin);
    log_printf(out, "%s", title ? title : "call stack trace:");
    write_levels(out, state, false);
}

void script_call_stack_trace_locals(trace* t, lua_State* state, const char* title) {
    trace& out = pick(t);
    log_printf(out, "%s", title ? title : "call stack trace:");
    write_levels(out, state, true);
}

int script_error_trace(lua_State* state) {
    script_error_info* info = script_current_error_info();
    trace& out = pick(info && info->error_trace ? info->error_trace : script_error_trace_target());
    log_printf(out, "script-error: %s", text_or_null(lua_tostring(state, 1)));
    write_levels(out, state, true);
    lua_pushstring(state, "script.call error");
    return 1;
}

void script_debug_hook(lua_State* state, lua_Debug* ar) {
    script_error_info* info = script_current_error_info();
    if (!info) return;
    string line;
    string_printf(line, "event = %s\n", hook_event_name(ar->event));
    info->trace_text += line;
    string_printf(line, "stack top = %d\n", lua_gettop(state));
    info->trace_text += line;
    if (ar->event == LUA_HOOKTAILRET || !lua_getinfo(state, "nSlu", ar)) return;
    format_level(line, *ar);
    info->trace_text += line;
    info->trace_text += "\n";
    lua_Debug level_ar;
    for (int level = 0; lua_getstack(state, level, &level_ar) && lua_getinfo(state, "nSlu", &level_ar);
         ++level) {
        format_level(line, level_ar);
        string entry;
        string_printf(entry, "[%d] %s\n", level, line.c_str());
        info->trace_text += entry;
    }
}

script::stack_checker::stack_checker(lua_State* state, const char* file, int line)
    : state_(state), depth_(lua_gettop(state)), file_(file), line_(line) {}

script::stack_checker::~stack_checker() {
    int depth = lua_gettop(state_);
    if (depth == depth_) return;
    trace& out = default_trace();
    out.write_origin(static_cast<uint32_t>(line_), file_);
    log_printf(out, "script::stack_checker: current stack=%d, right stack=%d", depth, depth_);
    script_stack_trace(&out, state_, "script::stack_checker error");
    script_call_stack_trace_locals(&out, state_, "script::stack_checker error");
}
