// system.exit, frame, last_exit_code, trace, is_tool, is_debug, msgloop and
// crypt: the engine's run as a script sees and steers it.
#include <windows.h>

#include <vector>

#include "core/cipher.h"
#include "core/system_timer.h"
#include "engine/frame_services.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/system_library_functions.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"

#include "lua.h"

namespace {
// Handles the waiting window messages until none is left or the quit
// message is next (the frame loop takes that); with a budget other than
// -1 it also stops once that many milliseconds have passed. Runs no frame.
void run_message_loop(int32_t ms) {
    const uint64_t start = system_timer::source();
    const uint64_t budget = ms > 0 ? static_cast<uint64_t>(ms) * 1000000u : 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {
            // A quit posted meanwhile stays for the frame loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!dialog_message_consumed(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms != -1 && system_timer::source() - start >= budget) break;
    }
}

// The expected bytes of system.crypt: a string's UTF-16LE bytes, or a
// table's numbers from index 1 up to the first non-number, 8 bits each.
std::vector<uint8_t> expected_bytes(lua_State* L, int index) {
    std::vector<uint8_t> out;
    if (lua_type(L, index) == LUA_TSTRING) {
        wstring wide;
        string_to_wstring(lua_tostring(L, index), wide);
        const wchar_t* p = wide.c_str();
        for (size_t i = 0; i < wide.length(); ++i) {
            out.push_back(static_cast<uint8_t>(p[i] & 0xFF));
            out.push_back(static_cast<uint8_t>(p[i] >> 8));
        }
    } else if (lua_istable(L, index)) {
        for (int i = 1;; ++i) {
            lua_rawgeti(L, index, i);
            bool number = lua_type(L, -1) == LUA_TNUMBER;
            if (number) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(system_arg_int(L, -1))));
            lua_pop(L, 1);
            if (!number) break;
        }
    }
    return out;
}
}  // namespace

// system.exit(code [, force]): a non-zero code always forces the close; an
// unforced one asks the close callback first.
int system_exit(lua_State* L) {
    int32_t code = system_arg_int(L, 1);
    bool force = lua_toboolean(L, 2) || code != 0;
    request_exit(code, force);
    return 0;
}

int system_frame(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(system_manager::instance()->frame()));
    return 1;
}

int system_last_exit_code(lua_State* L) {
    startup_settings* s = current_settings();
    lua_pushnumber(L, s ? s->last_exit_code : 0);
    return 1;
}

// system.trace() reads the level, (level) sets it, (level, message) and
// (level, origin, message) write a line. The level must be a number (not
// a numeric string) from 0 to 109; the texts are printed as they stand.
int system_trace(lua_State* L) {
    system_log_file& log = engine_system_log();
    int count = lua_gettop(L);
    if (count == 0) {
        lua_pushnumber(L, log.level());
        return 1;
    }
    double value = lua_type(L, 1) == LUA_TNUMBER ? lua_tonumber(L, 1) : -1;
    if (!(value >= 0 && value < system_log_level_count)) {
        system_manager::trace(1, "system.trace", "invalid trace level");
        return 0;
    }
    int32_t level = static_cast<int32_t>(value);
    if (count == 1) {
        log.set_level(level);
        return 0;
    }
    const char* origin = count >= 3 ? lua_tostring(L, 2) : "trace";
    const char* message = lua_tostring(L, count >= 3 ? 3 : 2);
    system_manager::trace(level, origin ? origin : "", "%s", message ? message : "");
    return 0;
}

int system_is_tool(lua_State* L) {
    lua_pushboolean(L, 0);
    return 1;
}

int system_is_debug(lua_State* L) {
    lua_pushboolean(L, system_manager::instance()->debug() ? 1 : 0);
    return 1;
}

// system.msgloop([ms]): keeps the window answering while a script runs
// long inside one frame.
int system_msgloop(lua_State* L) {
    run_message_loop(lua_isnumber(L, 1) ? system_arg_int(L, 1) : -1);
    return 0;
}

// system.crypt(expected [, text [, key]]): whether the text scrambled with
// the key is exactly the expected bytes. The text defaults to the product
// name, an empty or missing key to the engine's own key.
int system_crypt(lua_State* L) {
    std::vector<uint8_t> expected = expected_bytes(L, 1);
    wstring text, key;
    if (lua_type(L, 2) == LUA_TSTRING) string_to_wstring(lua_tostring(L, 2), text);
    else if (current_settings()) text = current_settings()->product_name;
    if (lua_type(L, 3) == LUA_TSTRING) string_to_wstring(lua_tostring(L, 3), key);
    if (key.empty()) key = cipher_default_key;
    bool same = cipher_compare(text.c_str(), key.c_str(), expected.data(),
                               static_cast<uint32_t>(expected.size()));
    lua_pushboolean(L, same ? 1 : 0);
    return 1;
}
