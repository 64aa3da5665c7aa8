// Stored script values: one Lua value, with everything a table holds, as a
// byte stream (save data, input recordings, script environments and the
// channel to companion processes all carry it), and back.
//
// Each item is a code byte and its payload; lengths are 32-bit
// little-endian, numbers 8-byte little-endian doubles. The engine is built
// with SSE arithmetic, so the doubles are exact whatever precision the x87
// control word has been set to (Direct3D lowers it).
#include <cstring>
#include <exception>

#include "core/chunk_check.h"
#include "core/lua_readers.h"
#include "core/script.h"
#include "core/trace.h"

namespace {

enum : uint8_t {
    code_nil = 0,
    code_false = 1,
    code_true = 2,
    code_number = 3,
    code_string = 4,
    code_table = 5,
    code_table_end = 6,
    code_function = 7,
    code_native_function = 8,
    code_userdata = 9,
    code_light_userdata = 10,
    code_thread = 11,
};

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put_sized(std::vector<uint8_t>& out, uint8_t code, const void* bytes, size_t size) {
    out.push_back(code);
    put_u32(out, static_cast<uint32_t>(size));
    const auto* p = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), p, p + size);
}

uint32_t get_u32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The running result of a table: -1 sticks, warnings add up.
int combine(int result, int item) {
    if (result < 0 || item < 0) return -1;
    return result + item;
}

void report_shortage(int32_t needed, size_t length, int32_t settled) {
    TRACE_ERROR("script::restore", "short of buffer length", needed);
    TRACE_ERROR("script::restore", "     buffer length", static_cast<int32_t>(length));
    TRACE_ERROR("script::restore", "    settled length", settled);
}

bool is_dropped_key(lua_State* state) {
    if (lua_isnil(state, -2)) return true;
    if (lua_type(state, -2) != LUA_TNUMBER) return false;
    lua_Number key = lua_tonumber(state, -2);
    return key != key;  // NaN can't index a table
}

}  // namespace

int script::store(std::vector<uint8_t>& out, int index) {
    index = script_abs_index(state_, index);
    int top = lua_gettop(state_);
    std::vector<const void*> path;
    try {
        return store_value(out, index, path);
    } catch (const std::exception&) {
        lua_settop(state_, top);
        TRACE_ERROR("script::store", "error is throwed", -1);
        return -1;
    }
}

int script::store_table(std::vector<uint8_t>& out, int index) {
    index = script_abs_index(state_, index);
    if (index == 0 || lua_type(state_, index) != LUA_TTABLE) {
        TRACE_ERROR("script::store", "invalid value type", -1);
        return -1;
    }
    int top = lua_gettop(state_);
    std::vector<const void*> path;
    try {
        return store_pairs(out, index, path);
    } catch (const std::exception&) {
        lua_settop(state_, top);
        TRACE_ERROR("script::store", "error is throwed", -1);
        return -1;
    }
}

int script::store_value(std::vector<uint8_t>& out, int index, std::vector<const void*>& path) {
    int type = index == 0 ? LUA_TNONE : lua_type(state_, index);
    switch (type) {
    case LUA_TNIL: out.push_back(code_nil); return 0;
    case LUA_TBOOLEAN: out.push_back(lua_toboolean(state_, index) ? code_true : code_false); return 0;
    case LUA_TNUMBER: {
        lua_Number number = lua_tonumber(state_, index);
        uint8_t bytes[sizeof number];
        std::memcpy(bytes, &number, sizeof number);
        out.push_back(code_number);
        out.insert(out.end(), bytes, bytes + sizeof bytes);
        return 0;
    }
    case LUA_TSTRING: {
        size_t length = 0;
        const char* text = lua_tolstring(state_, index, &length);
        put_sized(out, code_string, text, length);
        return 0;
    }
    case LUA_TTABLE: {
        int result = store_pairs(out, index, path);
        if (result < 0) {
            TRACE_ERROR("script::store", "storing of table is failed", -1);
            return -1;
        }
        if (result > 0) TRACE_ERROR("script::store", "warning in storing of table", result);
        return result;
    }
    case LUA_TFUNCTION: {
        if (lua_iscfunction(state_, index)) {
            TRACE_ERROR("script::store", "warning: C-function exists", 1);
            out.push_back(code_native_function);
            return 1;
        }
        size_t start = out.size();
        out.push_back(code_function);
        put_u32(out, 0);
        if (!script_dump_function(state_, index, out)) {
            out.resize(start);
            TRACE_ERROR("script::store", "compiling of function is failed", -1);
            return -1;
        }
        uint32_t length = static_cast<uint32_t>(out.size() - start - 5);
        for (int i = 0; i < 4; ++i) out[start + 1 + i] = static_cast<uint8_t>(length >> (8 * i));
        return 0;
    }
    case LUA_TUSERDATA:
        put_sized(out, code_userdata, lua_touserdata(state_, index), lua_objlen(state_, index));
        return 0;
    case LUA_TLIGHTUSERDATA:
        TRACE_ERROR("script::store", "warning: light user data exists", 1);
        out.push_back(code_light_userdata);
        return 1;
    case LUA_TTHREAD:
        TRACE_ERROR("script::store", "warning: thread exists", 1);
        out.push_back(code_thread);
        return 1;
    default:
        TRACE_ERROR("script::store", "invalid value type", -1);
        script_stack_trace(nullptr, state_, "script::store");
        return -1;
    }
}

int script::store_pairs(std::vector<uint8_t>& out, int index, std::vector<const void*>& path) {
    // The stream has no form for a table inside itself, and the walk
    // recurses on the C stack: refuse cycles and runaway nesting.
    const void* id = lua_topointer(state_, index);
    for (const void* open : path)
        if (open == id) return -1;
    if (path.size() >= static_cast<size_t>(script_max_depth) || !lua_checkstack(state_, 3)) return -1;
    path.push_back(id);
    out.push_back(code_table);
    int result = 0;
    int pair = 0;
    lua_pushnil(state_);
    while (lua_next(state_, index)) {
        int top = lua_gettop(state_);
        result = combine(result, store_value(out, top - 1, path));
        if (result != 0) TRACE_ERROR("script::store_table", "storing of table key is failed", pair);
        result = combine(result, store_value(out, top, path));
        if (result != 0) TRACE_ERROR("script::store_table", "storing of table value is failed", pair);
        lua_pop(state_, 1);
        ++pair;
    }
    out.push_back(code_table_end);
    path.pop_back();
    return result;
}

bool script::restore(const void* bytes, size_t length, const uint8_t** end) {
    int top = lua_gettop(state_);
    if (restore_value(static_cast<const uint8_t*>(bytes), length, end, 0)) return true;
    lua_settop(state_, top);
    return false;
}

bool script::restore_table(const void* bytes, size_t length, const uint8_t** end) {
    int top = lua_gettop(state_);
    if (restore_pairs(static_cast<const uint8_t*>(bytes), length, end, 0)) return true;
    lua_settop(state_, top);
    return false;
}

bool script::restore_value(const uint8_t* bytes, size_t length, const uint8_t** end, int depth) {
    if (length == 0) {
        report_shortage(1, length, 0);
        return false;
    }
    const uint8_t code = bytes[0];
    if (code == code_table) return restore_pairs(bytes, length, end, depth);
    if (!lua_checkstack(state_, 2)) {
        TRACE_ERROR("script::restore", "lua_checkstack", -1);
        return false;
    }
    size_t used = 1;
    switch (code) {
    case code_nil:
    case code_native_function:
    case code_light_userdata:
    case code_thread:
        lua_pushnil(state_);
        break;
    case code_false: lua_pushboolean(state_, 0); break;
    case code_true: lua_pushboolean(state_, 1); break;
    case code_number: {
        if (length < 9) {
            report_shortage(8, length, 1);
            return false;
        }
        lua_Number number;
        std::memcpy(&number, bytes + 1, sizeof number);
        lua_pushnumber(state_, number);
        used = 9;
        break;
    }
    case code_string:
    case code_function:
    case code_userdata: {
        if (length < 5) {
            report_shortage(4, length, 1);
            return false;
        }
        const uint32_t size = get_u32(bytes + 1);
        if (size > length - 5) {
            report_shortage(static_cast<int32_t>(size), length, 5);
            return false;
        }
        const uint8_t* payload = bytes + 5;
        if (code == code_string) {
            lua_pushlstring(state_, reinterpret_cast<const char*>(payload), size);
        } else if (code == code_function) {
            // Lua 5.1 does not fully verify bytecode: a crafted chunk can
            // misbehave when it runs. Save files and companion processes
            // carry functions this way, so streams are trusted that far.
            script_error_info info;
            if (!load_buffer(payload, size, info)) {
                TRACE_ERROR("script::restore", info.message.c_str(), -1);
                // Bytecode of the other build (32/64-bit) has a header Lua
                // refuses; its length is known, so the rest still restores.
                if (script_check_chunk(payload, size) != chunk_kind::foreign) return false;
                lua_pushnil(state_);
            }
        } else {
            lua_pushnil(state_);  // userdata blocks can't be rebuilt
        }
        used = 5 + size;
        break;
    }
    default:
        TRACE_ERROR("script::restore", "invalid code", code);
        return false;
    }
    if (end) *end = bytes + used;
    return true;
}

bool script::restore_pairs(const uint8_t* bytes, size_t length, const uint8_t** end, int depth) {
    if (length == 0 || bytes[0] != code_table) {
        TRACE_ERROR("script::restore_table", "invalid table data", -1);
        return false;
    }
    // Nesting is bounded so crafted streams can't exhaust the C stack.
    if (depth >= script_max_depth || !lua_checkstack(state_, 3)) {
        TRACE_ERROR("script::restore_table", "invalid table data", depth);
        return false;
    }
    lua_newtable(state_);
    const uint8_t* p = bytes + 1;
    size_t left = length - 1;
    for (int pair = 0;; ++pair) {
        if (left == 0) {
            TRACE_ERROR("script::restore_table", "invalid table data", pair);
            lua_pop(state_, 1);
            return false;
        }
        if (*p == code_table_end) {
            if (end) *end = p + 1;
            return true;
        }
        const uint8_t* next = nullptr;
        if (!restore_value(p, left, &next, depth + 1)) {
            TRACE_ERROR("script::restore_table", "invalid table key", pair);
            lua_pop(state_, 1);
            return false;
        }
        left -= static_cast<size_t>(next - p);
        p = next;
        if (!restore_value(p, left, &next, depth + 1)) {
            TRACE_ERROR("script::restore_table", "invalid table value", pair);
            lua_pop(state_, 2);
            return false;
        }
        left -= static_cast<size_t>(next - p);
        p = next;
        if (is_dropped_key(state_))
            lua_pop(state_, 2);
        else
            lua_settable(state_, -3);
    }
}
