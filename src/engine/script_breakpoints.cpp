#include "engine/script_breakpoints.h"

#include <cctype>
#include <cstring>

#include "core/paths.h"
#include "core/script.h"
#include "core/string_ops.h"
#include "engine/system_manager.h"
#include "world/script_link.h"

#include "lua.h"

namespace {
char folded(char c) { return c == '/' ? '\\' : static_cast<char>(tolower(static_cast<unsigned char>(c))); }

wstring script_folder() {
    wstring folder;
    make_absolute_path(folder, system_manager::instance()->paths().builtin[0].path.c_str());
    return folder;
}

void breakpoint_hook(lua_State* L, lua_Debug* ar) {
    // A line event covers every line a function reaches, its last one
    // included, so one pass over a breakpoint acts once.
    if (ar->event != LUA_HOOKLINE || !lua_getinfo(L, "Sl", ar)) return;
    if (!ar->source || ar->source[0] != '@') return;
    script_breakpoints& list = system_manager::instance()->breakpoints();
    // Every line of every file passes here: naming the source waits until
    // some breakpoint sits on this line number.
    if (!list.has_line(ar->currentline)) return;
    string name = breakpoint_source_name(ar->source, script_folder().c_str());
    if (list.listed(name.c_str(), ar->currentline)) list.hit(L, 0);
}

void install(lua_State* L) { lua_sethook(L, breakpoint_hook, LUA_MASKCALL | LUA_MASKRET | LUA_MASKLINE, 0); }
void uninstall(lua_State* L) { lua_sethook(L, nullptr, 0, 0); }

// The frame's named locals as a table on the stack.
void push_locals(lua_State* L, lua_Debug& ar) {
    lua_newtable(L);
    for (int n = 1;; ++n) {
        const char* name = lua_getlocal(L, &ar, n);
        if (!name) return;
        if (name[0] == '(') {
            lua_pop(L, 1);  // Lua's own temporaries
            continue;
        }
        lua_setfield(L, -2, name);
    }
}

const char* or_empty(const char* s) { return s ? s : ""; }
}  // namespace

string breakpoint_source_name(const char* source, const wchar_t* folder) {
    if (!source || source[0] != '@') return string(source);
    const char* path = source + 1;
    string prefix;
    wstring_to_multibyte(wstring(folder), prefix);
    size_t n = prefix.length();
    while (n > 0 && (prefix.c_str()[n - 1] == '\\' || prefix.c_str()[n - 1] == '/')) --n;
    if (n == 0 || strlen(path) <= n + 1) return string(path);
    for (size_t i = 0; i < n; ++i)
        if (folded(path[i]) != folded(prefix.c_str()[i])) return string(path);
    if (path[n] != '\\' && path[n] != '/') return string(path);
    return string(path + n + 1);
}

bool breakpoint_source_matches(const char* listed, const char* source) {
    if (!listed || !source) return false;
    for (; *listed && *source; ++listed, ++source)
        if (folded(*listed) != folded(*source)) return false;
    return *listed == *source;
}

size_t script_breakpoints::add(lua_State* L, const char* source, int32_t line) {
    if (entries_.empty() && L) install(L);
    entries_.push_back({string(source), line});
    return entries_.size();
}

void script_breakpoints::remove(lua_State* L, const char* source, int32_t line) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->line == line && breakpoint_source_matches(it->source.c_str(), source)) it = entries_.erase(it);
        else ++it;
    }
    if (entries_.empty() && L) uninstall(L);
}

bool script_breakpoints::remove_at(lua_State* L, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return false;
    entries_.erase(entries_.begin() + index);
    if (entries_.empty() && L) uninstall(L);
    return true;
}

void script_breakpoints::attach(lua_State* L) {
    if (!entries_.empty() && L) install(L);
}

bool script_breakpoints::has_line(int32_t line) const {
    for (const entry& e : entries_)
        if (e.line == line) return true;
    return false;
}

bool script_breakpoints::listed(const char* source, int32_t line) const {
    for (const entry& e : entries_)
        if (e.line == line && breakpoint_source_matches(e.source.c_str(), source)) return true;
    return false;
}

void script_breakpoints::hit(lua_State* L, int level) {
    lua_Debug ar;
    if (!lua_getstack(L, level, &ar) || !lua_getinfo(L, "nSlu", &ar)) {
        system_manager::trace(10, "system.breakpoint", "stack frame [%d] is broken", level);
        return;
    }
    if (routine_.empty()) {
        system_manager::trace(10, "system.breakpoint",
                              "name=[%s] namewhat=[%s] what=[%s] source=[%s] short_src=[%s] currentline=%d "
                              "nups=%d linedefined=%d lastlinedefined=%d",
                              or_empty(ar.name), or_empty(ar.namewhat), or_empty(ar.what),
                              or_empty(ar.source), ar.short_src, ar.currentline, ar.nups, ar.linedefined,
                              ar.lastlinedefined);
        return;
    }
    if (!lua_checkstack(L, 8)) return;
    string name = breakpoint_source_name(ar.source, script_folder().c_str());
    lua_getglobal(L, routine_.c_str());
    lua_pushstring(L, name.c_str());
    lua_pushnumber(L, ar.currentline);
    push_locals(L, ar);
    script_error_info info;
    if (!script(L).call(3, 0, info)) script_report_error_text(info, "system.breakpoint");
}
