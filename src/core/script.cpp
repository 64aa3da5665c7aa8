// Calls, resumes, loads and coroutines: every road into Lua, and the one
// error report they share.
#include "core/script.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/chunk_check.h"
#include "core/script_heap.h"
#include "core/trace.h"

#include "lauxlib.h"
#include "lualib.h"

namespace {

script_error_info* current_info = nullptr;
trace* error_trace_target = nullptr;

// Makes a record current for one operation and puts the previous one back
// when the operation returns or a Lua error unwinds through it, so a nested
// operation leaves the outer call its record.
class current_info_scope {
public:
    explicit current_info_scope(script_error_info* info) : saved_(current_info) {
        current_info = info;
    }
    ~current_info_scope() { current_info = saved_; }
    current_info_scope(const current_info_scope&) = delete;
    current_info_scope& operator=(const current_info_scope&) = delete;

private:
    script_error_info* saved_;
};

}  // namespace

void script_error_info::clear() {
    message = string();
    trace_text = string();
}

script_error_info* script_current_error_info() { return current_info; }

void set_script_error_trace(trace* t) { error_trace_target = t; }
trace* script_error_trace_target() { return error_trace_target; }

void script_report_error(lua_State* state, const char* label, int code, script_error_info* info) {
    const char* message = nullptr;
    int type = lua_type(state, -1);
    if (type == LUA_TSTRING || type == LUA_TNUMBER) message = lua_tostring(state, -1);
    TRACE_ERROR(label, message ? message : "(null)", code);
    if (info) info->message = message;
    lua_pop(state, 1);
}

bool script::open(int mode) {
    close();
    state_ = script_new_state();
    if (!state_) return false;
    if (mode == script_restricted_libs)
        open_restricted_libs(state_);
    else
        luaL_openlibs(state_);
    return true;
}

void script::close() {
    if (state_) lua_close(state_);
    state_ = nullptr;
}

bool script::call(int nargs, int nresults, script_error_info& info) {
    current_info_scope scope(&info);
    int status = lua_pcall(state_, nargs, nresults, info.handler_index);
    if (status == 0) return true;
    script_report_error(state_, "script::call", status, &info);
    return false;
}

int script::resume(int nargs, script_error_info* info) {
    current_info_scope scope(info);
    int status = lua_resume(state_, nargs);
    if (status == 0) return 1;
    if (status == LUA_YIELD) return 0;
    script_report_error(state_, "script::resume", status, info);
    return -status;
}

bool script::load(const char* text, script_error_info& info) {
    current_info_scope scope(&info);
    int status = luaL_loadstring(state_, text);
    if (status == 0) return true;
    script_report_error(state_, "script::load", status, &info);
    TRACE_ERROR("script::load", "luaL_loadstring", status);
    TRACE_ERROR("script::load", text, -1);
    return false;
}

namespace {

// Lua's own loader, after the chunk's counts have been checked against its
// size; a damaged chunk gets the message Lua gives a truncated one.
int load_checked(lua_State* state, const void* bytes, size_t size, const char* name) {
    if (script_check_chunk(bytes, size) == chunk_kind::damaged) {
        lua_pushfstring(state, "%s: unexpected end in precompiled chunk", name[0] == '@' ? name + 1 : name);
        return LUA_ERRSYNTAX;
    }
    return luaL_loadbuffer(state, static_cast<const char*>(bytes), size, name);
}

// Precompiled files are read whole and checked like buffers; source files
// go through Lua's file loader.
int load_file_checked(lua_State* state, const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return luaL_loadfile(state, path);
    int first = std::fgetc(file);
    if (first != LUA_SIGNATURE[0]) {
        std::fclose(file);
        return luaL_loadfile(state, path);
    }
    std::vector<char> bytes(1, static_cast<char>(first));
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    std::string name = std::string("@") + path;
    return load_checked(state, bytes.data(), bytes.size(), name.c_str());
}

}  // namespace

bool script::load_buffer(const void* bytes, size_t size, script_error_info& info) {
    current_info_scope scope(&info);
    int status = load_checked(state_, bytes, size, "script::load");
    if (status == 0) return true;
    script_report_error(state_, "script::load", status, &info);
    TRACE_ERROR("script::load", "luaL_loadbuffer", status);
    return false;
}

bool script::load_file(const char* path, script_error_info& info) {
    current_info_scope scope(&info);
    int status = load_file_checked(state_, path);
    if (status == 0) return true;
    script_report_error(state_, "script::load", status, &info);
    TRACE_ERROR("script::load", "luaL_loadfile", status);
    return false;
}

int script::create_thread(lua_State*& out) {
    out = lua_newthread(state_);
    if (!out) {
        TRACE_ERROR("script::create_thread", "lua_newthread",
                    static_cast<int32_t>(reinterpret_cast<uintptr_t>(state_)));
        return 0;
    }
    int ref = luaL_ref(state_, LUA_REGISTRYINDEX);
    return ref == LUA_REFNIL || ref == LUA_NOREF ? 0 : ref;
}

namespace {

int writer_append(lua_State*, const void* p, size_t size, void* ud) {
    auto* out = static_cast<std::vector<uint8_t>*>(ud);
    const auto* bytes = static_cast<const uint8_t*>(p);
    out->insert(out->end(), bytes, bytes + size);
    return 0;
}

}  // namespace

bool script_dump_function(lua_State* state, int index, std::vector<uint8_t>& out) {
    if (lua_type(state, index) != LUA_TFUNCTION || lua_iscfunction(state, index)) return false;
    bool on_top = index == -1 || index == lua_gettop(state);
    if (!on_top) {
        if (!lua_checkstack(state, 1)) return false;
        lua_pushvalue(state, index);
    }
    int status = lua_dump(state, writer_append, &out);
    if (!on_top) lua_pop(state, 1);
    return status == 0;
}

void open_restricted_libs(lua_State* state) {
    // The order of the standard set; only the allowed ones are opened.
    static const luaL_Reg libs[] = {
        {"", luaopen_base},          {LUA_LOADLIBNAME, luaopen_package},
        {LUA_TABLIBNAME, luaopen_table}, {LUA_IOLIBNAME, luaopen_io},
        {LUA_OSLIBNAME, luaopen_os}, {LUA_STRLIBNAME, luaopen_string},
        {LUA_MATHLIBNAME, luaopen_math}, {LUA_DBLIBNAME, luaopen_debug},
    };
    static const char* const allowed[] = {"table", "string", "math", "debug"};
    for (const luaL_Reg& lib : libs) {
        bool open = lib.name[0] == '\0';
        for (const char* name : allowed) open = open || std::strcmp(lib.name, name) == 0;
        if (!open) continue;
        lua_pushcfunction(state, lib.func);
        lua_pushstring(state, lib.name);
        lua_call(state, 1, 0);
    }
}
