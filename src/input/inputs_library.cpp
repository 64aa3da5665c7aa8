// The inputs script library: axes, pointer, code states, clears, input
// events, binding modes, joysticks, physical detection and bindings.
// Inputs are addressed by their 0-based index in the input list.
#include <algorithm>

#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/script.h"
#include "core/system_log.h"
#include "input/input.h"
#include "input/input_manager.h"
#include "input/inputs_library.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_manager.h"

namespace {
int32_t int_arg(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }

input* input_arg(lua_State* L, int index) {
    const int32_t n = int_arg(L, index);
    return n < 0 ? nullptr : input_at(static_cast<size_t>(n));
}

// The axis readers take the input from their last argument.
input* last_input(lua_State* L) { return lua_gettop(L) > 0 ? input_arg(L, -1) : input_at(0); }

// What a reader gives for an index that names no input.
int no_input(lua_State* L) {
    lua_pushnil(L);
    return 1;
}

template <int axis>
int axis_value(lua_State* L) {
    input* in = last_input(L);
    if (!in) return no_input(L);
    lua_pushnumber(L, in->state.axes[axis].value);
    return 1;
}

template <int axis>
int axis_counter(lua_State* L) {
    input* in = last_input(L);
    if (!in) return no_input(L);
    lua_pushnumber(L, in->state.axes[axis].counter);
    return 1;
}

void move_pointer(int32_t x, int32_t y) {
    POINT p = {x, y};
    if (HWND w = input_shared().main_window) ClientToScreen(w, &p);
    if (input_manager* m = input_manager::instance()) m->set_pointer(x, y);
    SetCursorPos(p.x, p.y);
}

int set_pointer(lua_State* L) {
    if (!input_arg(L, 1)) return 0;
    move_pointer(int_arg(L, 2), int_arg(L, 3));
    return 0;
}

int pointer(lua_State* L) {
    if (lua_gettop(L) >= 3) return set_pointer(L);
    input* in = input_arg(L, 1);
    if (!in) return no_input(L);
    lua_pushnumber(L, in->state.pointer[1]);
    lua_pushnumber(L, in->state.pointer[2]);
    return 2;
}

int button(lua_State* L) {
    input* in = input_arg(L, 1);
    if (!in) return no_input(L);
    int32_t r = 0;
    for (int i = 2, top = lua_gettop(L); i <= top; ++i) {
        const int32_t w = input::code_state(in, static_cast<uint32_t>(int_arg(L, i)));
        if (w < 0 || w > r) r = w;
    }
    lua_pushnumber(L, r);
    return 1;
}

void clear_whole(input* in, bool all) {
    if (all) in->state = input_state();
    else input::clear(in);
}

int clear(lua_State* L) {
    int next = 1;
    input* one = nullptr;
    const bool single = lua_isnumber(L, 1) != 0;
    if (single) {
        one = input_arg(L, 1);
        next = 2;
    }
    const bool has_code = single && lua_isnumber(L, next);
    const int32_t code = has_code ? int_arg(L, next) : -1;
    const bool all = lua_toboolean(L, has_code ? next + 1 : next) != 0;
    if (!single) {
        for (input* in : input_list()) {
            if (!in) break;
            clear_whole(in, all);
        }
        return 0;
    }
    if (!one) return 0;
    if (!has_code) {
        clear_whole(one, all);
        return 0;
    }
    if (code < 0 || code >= input_digital_count) return 0;
    int32_t& w = one->state.codes[code];
    if (all || w == -1) w = 0;
    else if (w > 0) w = input_held_cleared;
    return 0;
}

// An object argument that is given but names no live actor.
bool unknown_object(lua_State* L) { return !lua_isnoneornil(L, 4) && !to_actor(L, 4); }

input_event event_args(lua_State* L) {
    input_event e;
    e.input = lua_isnoneornil(L, 1) ? -1 : int_arg(L, 1);
    e.code = lua_isnoneornil(L, 2) ? -1 : int_arg(L, 2);
    e.value = lua_isnoneornil(L, 3) ? 0 : int_arg(L, 3);
    // Only actors can be held, thrown at and killed.
    e.object = lua_isnoneornil(L, 4) ? nullptr : to_actor(L, 4);
    e.id = lua_isnoneornil(L, 5) ? 0 : int_arg(L, 5);
    return e;
}

int events(lua_State* L) {
    const input_event f = event_args(L);
    lua_newtable(L);
    // A filter naming a gone object matches nothing rather than everything.
    if (unknown_object(L)) return 1;
    if (input_manager* m = input_manager::instance()) {
        int n = 0;
        for (const input_event& e : m->find_events(f.input, f.code, f.value, f.object, f.id)) {
            lua_createtable(L, 5, 0);
            lua_pushnumber(L, e.input);
            lua_rawseti(L, -2, 1);
            lua_pushnumber(L, e.code);
            lua_rawseti(L, -2, 2);
            lua_pushnumber(L, e.value);
            lua_rawseti(L, -2, 3);
            if (e.object) lua_pushlightuserdata(L, e.object);
            else lua_pushnil(L);
            lua_rawseti(L, -2, 4);
            lua_pushnumber(L, e.id);
            lua_rawseti(L, -2, 5);
            lua_rawseti(L, -2, ++n);
        }
    }
    return 1;
}

int add_event(lua_State* L) {
    if (input_manager* m = input_manager::instance()) m->add_event(event_args(L));
    return 0;
}

int remove_event(lua_State* L) {
    // Removing the events of a gone object must not remove every event.
    if (unknown_object(L)) return 0;
    const input_event f = event_args(L);
    if (input_manager* m = input_manager::instance()) m->remove_events(f.input, f.code, f.value, f.object, f.id);
    return 0;
}

int set_mode(lua_State* L) {
    if (input_manager* m = input_manager::instance()) m->set_mode(int_arg(L, 1));
    return 0;
}

int mode(lua_State* L) {
    if (lua_gettop(L) >= 1) return set_mode(L);
    input_manager* m = input_manager::instance();
    lua_pushnumber(L, m ? m->mode() : 0);
    return 1;
}

int joystick(lua_State* L) {
    input* in = input_arg(L, 1);
    if (!in) return no_input(L);
    const int top = lua_gettop(L);
    if (top == 1) {
        lua_pushnumber(L, in->joystick.number);
        return 1;
    }
    if (top != 2) return no_input(L);
    lua_pushboolean(L, input::check_joystick(in, static_cast<uint32_t>(int_arg(L, 2))));
    return 1;
}

int joysticks(lua_State* L) {
    int32_t count = lua_isnoneornil(L, 1) ? 16 : int_arg(L, 1);
    // There are at most sixteen joystick ids; a larger count only waits.
    count = std::min(count, 256);
    lua_newtable(L);
    for (int32_t i = 1; i <= count; ++i) {
        if (!input::joystick_attached(static_cast<uint32_t>(i))) continue;
        lua_pushstring(L, "");
        lua_rawseti(L, -2, i);
    }
    return 1;
}

void push_name_or_nil(lua_State* L, const string& name) {
    if (name.empty()) lua_pushnil(L);
    else lua_pushstring(L, name.c_str());
}

int detect(lua_State* L) {
    uint32_t mask = lua_isnoneornil(L, 1) ? 0 : lua_to_uint(L, 1);
    if (mask == 0) mask = 0xFF00;
    const uint32_t entry = input::detect_physical(mask);
    if (entry == 0) {
        lua_pushnil(L);
        lua_pushnil(L);
        lua_pushnil(L);
        return 3;
    }
    string logical, name, other;
    input::convert_to_key(entry, logical, name);
    lua_pushnumber(L, entry & 0xFF00);
    push_name_or_nil(L, name);
    if (entry_key(entry) == 0) {
        input::convert_to_key(entry ^ 0x80, logical, other);
        push_name_or_nil(L, other);
    } else {
        lua_pushnil(L);
    }
    return 3;
}

input::mode* mode_of(input* in, int32_t m) {
    if (m < 0) m = in->current_mode;
    if (m < 0 || static_cast<size_t>(m) >= in->modes.size()) return nullptr;
    return &in->modes[static_cast<size_t>(m)];
}

// The sets of a table, all or nothing: a malformed set leaves the mode as it was.
bool parse_sets(lua_State* L, int table, input::mode& out) {
    for (int i = 1;; ++i) {
        lua_rawgeti(L, table, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return true;
        }
        const char* message = nullptr;
        uint32_t entry = 0;
        if (!lua_istable(L, -1)) {
            message = "invalid set";
        } else {
            lua_getfield(L, -1, "key");
            lua_getfield(L, -2, "pair");
            const double key = lua_tonumber(L, -2);
            if (lua_type(L, -2) != LUA_TNUMBER || key < 0 || key >= 256) message = "no set.key";
            else if (lua_type(L, -1) != LUA_TSTRING) message = "no set.pair";
            else if (!input::convert_to_set(nullptr, lua_tostring(L, -1), entry)) message = "invalid set.pair";
            else entry = make_entry(entry_device(entry), static_cast<uint32_t>(key), entry_key(entry));
            lua_pop(L, 2);
        }
        lua_pop(L, 1);
        if (message) {
            system_log_trace(1, "inputs.config", "%s", message);
            return false;
        }
        out.push_back(entry);
    }
}

int config(lua_State* L) {
    input* in = input_arg(L, 1);
    if (!in) return no_input(L);
    input::mode* m = mode_of(in, int_arg(L, 2));
    if (!m) {
        system_log_trace(1, "inputs.config", "invalid mode %d", int_arg(L, 2));
        return no_input(L);
    }
    if (lua_istable(L, 3)) {
        input::mode rebuilt;
        if (!parse_sets(L, 3, rebuilt)) return no_input(L);
        *m = std::move(rebuilt);
    }
    lua_createtable(L, static_cast<int>(m->size()), 0);
    int n = 0;
    for (uint32_t entry : *m) {
        string logical, physical;
        input::convert_to_key(entry, logical, physical);
        lua_createtable(L, 0, 2);
        lua_pushnumber(L, entry_code(entry));
        lua_setfield(L, -2, "key");
        lua_pushstring(L, physical.c_str());
        lua_setfield(L, -2, "pair");
        lua_rawseti(L, -2, ++n);
    }
    return 1;
}

int save(lua_State* L) {
    if (lua_gettop(L) >= 1) {
        if (input* in = input_arg(L, 1)) input::save_config(in);
        return 0;
    }
    for (input* in : input_list())
        if (in) input::save_config(in);
    return 0;
}

bool replay_path(const char* name, wstring& path) {
    if (auto resolve = input_shared().resolve_replay) return resolve(name, path);
    wstring wide;
    if (!string_to_wstring(name, wide)) return false;
    make_absolute_path(path, wide.c_str());
    return true;
}

// record(n, name, value): the recording and the value behind it.
int record_save(lua_State* L, input* in) {
    wstring path;
    std::vector<uint8_t> value;
    bool ok = !in->replay.records.empty() && replay_path(lua_tostring(L, 2), path) &&
              script(L).store(value, 3) >= 0 && input_replay_save(in->replay, path.c_str(), value);
    lua_pushboolean(L, ok);
    return 1;
}

// record(n, name): the recording of a file; the value behind it.
int record_load(lua_State* L, input* in) {
    wstring path;
    std::vector<uint8_t> value;
    if (!replay_path(lua_tostring(L, 2), path) || !input_replay_load(in->replay, path.c_str(), value) ||
        !script(L).restore(value.data(), value.size()))
        return no_input(L);
    return 1;
}

int record(lua_State* L) {
    const int32_t index = int_arg(L, 1);
    input* in = input_arg(L, 1);
    if (!in) return no_input(L);
    input::record_info& r = in->replay;
    const bool same_mode = in->current_mode == static_cast<int32_t>(r.id2);
    const int kind = lua_type(L, 2);
    if (kind == LUA_TNONE || kind == LUA_TNIL || (kind == LUA_TBOOLEAN && !lua_toboolean(L, 2))) {
        if (same_mode) r.record(in->state);
        lua_pushboolean(L, 1);
        return 1;
    }
    if (kind == LUA_TNUMBER) {
        r.start(static_cast<uint32_t>(index), lua_to_uint(L, 2));
        if (lua_istable(L, 3)) {
            for (int i = 1;; ++i) {
                lua_rawgeti(L, 3, i);
                const bool more = lua_type(L, -1) == LUA_TNUMBER;
                if (more) {
                    const int32_t code = int_arg(L, -1);
                    // Only codes of the state block can be recorded.
                    if (code >= 0 && code < 256) r.add_code(static_cast<uint32_t>(code));
                }
                lua_pop(L, 1);
                if (!more) break;
            }
        }
        lua_pushboolean(L, 1);
        return 1;
    }
    if (kind == LUA_TSTRING) return lua_gettop(L) >= 3 ? record_save(L, in) : record_load(L, in);
    lua_pushboolean(L, same_mode ? r.restore(in->state) : 1);
    return 1;
}

const luaL_Reg functions[] = {
    {"x", axis_value<0>},    {"y", axis_value<1>},       {"z", axis_value<2>},
    {"r", axis_value<3>},    {"u", axis_value<4>},       {"v", axis_value<5>},
    {"dx", axis_counter<0>}, {"dy", axis_counter<1>},    {"dz", axis_counter<2>},
    {"dr", axis_counter<3>}, {"du", axis_counter<4>},    {"dv", axis_counter<5>},
    {"pointer", pointer},    {"set_pointer", set_pointer}, {"button", button},
    {"clear", clear},        {"events", events},         {"add_event", add_event},
    {"remove_event", remove_event}, {"mode", mode},      {"set_mode", set_mode},
    {"joystick", joystick},  {"joysticks", joysticks},   {"input", detect},
    {"config", config},      {"save", save},             {"record", record},
    {nullptr, nullptr},
};
}  // namespace

void inputs_library_register(lua_State* L) {
    if (input_manager* m = input_manager::instance()) m->set_lua(L);
    luaL_register(L, "inputs", functions);
    lua_pop(L, 1);
}
