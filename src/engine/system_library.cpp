#include "engine/system_library.h"

#include "core/lua_readers.h"
#include "engine/system_library_functions.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
// The library's one table, in the order scripts have always seen it.
const luaL_Reg system_functions[] = {
    {"path", system_path},
    {"set_path", system_set_path},
    {"makedir", system_makedir},
    {"enum_files", system_enum_files},
    {"open_dialog", system_open_dialog},
    {"save_dialog", system_save_dialog},
    {"lock", system_lock},
    {"is_locked", system_is_locked},
    {"load", system_load},
    {"exec", system_exec},
    {"fork", system_fork},
    {"callback", system_callback},
    {"environ", system_environ},
    {"env_open", system_env_open},
    {"env_close", system_env_close},
    {"env_set", system_env_set},
    {"env_get", system_env_get},
    {"env_exec_file", system_env_exec_file},
    {"env_exec", system_env_exec},
    {"open_save", system_open_save},
    {"close_save", system_close_save},
    {"save_data", system_save_data},
    {"load_data", system_load_data},
    {"snapshot", system_snapshot},
    {"set_layer_state", system_set_layer_state},
    {"transit", system_transit},
    {"update_transit", system_update_transit},
    {"suspend_transit", system_suspend_transit},
    {"finish_transit", system_finish_transit},
    {"bgcolor", system_bgcolor},
    {"image_size", system_image_size},
    {"font", system_font},
    {"is_tool", system_is_tool},
    {"size", system_size},
    {"resize", system_resize},
    {"active", system_active},
    {"window", system_size},
    {"enable", system_enable},
    {"store_window", system_store_window},
    {"restore_window", system_restore_window},
    {"msgloop", system_msgloop},
    {"fps", system_fps},
    {"cursor", system_cursor},
    {"capture_cursor", system_capture_cursor},
    {"clip_cursor", system_clip_cursor},
    {"cursor_pos", system_cursor_pos},
    {"fullscreen", system_fullscreen},
    {"exit", system_exit},
    {"trace", system_trace},
    {"frame", system_frame},
    {"last_exit_code", system_last_exit_code},
    {"msgbox", system_msgbox},
    {"beep", system_beep},
    {"info", system_info},
    {"init_menu", system_init_menu},
    {"menu", system_menu},
    {"set_menu", system_set_menu},
    {"del_menu", system_del_menu},
    {"menu_state", system_menu_state},
    {"send_menu", system_send_menu},
    {"is_debug", system_is_debug},
    {"set_debug_routine", system_set_debug_routine},
    {"breakpoint", system_breakpoint},
    {"set_breakpoint", system_set_breakpoint},
    {"unset_breakpoint", system_unset_breakpoint},
    {"stack_trace", system_stack_trace},
    {"call_stack_trace", system_call_stack_trace},
    {"abort", system_abort},
    {"crypt", system_crypt},
    {nullptr, nullptr},
};
}  // namespace

int32_t system_arg_int(lua_State* L, int index, int32_t fallback) {
    if (!lua_isnumber(L, index)) return fallback;
    return script_truncate_int(lua_tonumber(L, index));
}

void register_system_library(lua_State* L) { luaL_register(L, "system", system_functions); }
