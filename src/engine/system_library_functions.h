// The functions of the `system` script library, one group a file; the
// registration table in system_library.cpp puts them in order.
#ifndef VY_ENGINE_SYSTEM_LIBRARY_FUNCTIONS_H
#define VY_ENGINE_SYSTEM_LIBRARY_FUNCTIONS_H

#include <cstdint>

struct lua_State;

// Search paths and files.
int system_path(lua_State* L);
int system_set_path(lua_State* L);
int system_makedir(lua_State* L);
int system_enum_files(lua_State* L);
int system_info(lua_State* L);
int system_open_dialog(lua_State* L);
int system_save_dialog(lua_State* L);

// Resources.
int system_lock(lua_State* L);
int system_is_locked(lua_State* L);

// Scripts, threads and callbacks.
int system_load(lua_State* L);
int system_exec(lua_State* L);
int system_fork(lua_State* L);
int system_callback(lua_State* L);

// Save data and snapshots.
int system_open_save(lua_State* L);
int system_close_save(lua_State* L);
int system_save_data(lua_State* L);
int system_load_data(lua_State* L);
int system_snapshot(lua_State* L);
// Window placements.
int system_store_window(lua_State* L);
int system_restore_window(lua_State* L);

// Exit, counters, logging and the engine's state.
int system_exit(lua_State* L);
int system_frame(lua_State* L);
int system_last_exit_code(lua_State* L);
int system_trace(lua_State* L);
int system_is_tool(lua_State* L);
int system_is_debug(lua_State* L);
int system_msgloop(lua_State* L);
int system_crypt(lua_State* L);

// Debugging aids.
int system_set_debug_routine(lua_State* L);
int system_breakpoint(lua_State* L);
int system_set_breakpoint(lua_State* L);
int system_unset_breakpoint(lua_State* L);
int system_stack_trace(lua_State* L);
int system_call_stack_trace(lua_State* L);
int system_abort(lua_State* L);

// Screen transitions.
int system_transit(lua_State* L);
int system_update_transit(lua_State* L);
int system_suspend_transit(lua_State* L);
int system_finish_transit(lua_State* L);

// Screen, window and cursor.
int system_set_layer_state(lua_State* L);
int system_bgcolor(lua_State* L);
int system_image_size(lua_State* L);
int system_font(lua_State* L);
int system_size(lua_State* L);
int system_resize(lua_State* L);
int system_active(lua_State* L);
int system_enable(lua_State* L);
int system_fps(lua_State* L);
int system_fullscreen(lua_State* L);
int system_cursor(lua_State* L);
int system_capture_cursor(lua_State* L);
int system_clip_cursor(lua_State* L);
int system_cursor_pos(lua_State* L);

// Messages to the player.
int system_msgbox(lua_State* L);
int system_beep(lua_State* L);

// Script menu items.
int system_init_menu(lua_State* L);
int system_menu(lua_State* L);
int system_set_menu(lua_State* L);
int system_del_menu(lua_State* L);
int system_menu_state(lua_State* L);
int system_send_menu(lua_State* L);

// Script environments.
int system_environ(lua_State* L);
int system_env_open(lua_State* L);
int system_env_close(lua_State* L);
int system_env_set(lua_State* L);
int system_env_get(lua_State* L);
int system_env_exec_file(lua_State* L);
int system_env_exec(lua_State* L);

// Script numbers: Lua's conversion (a numeric string counts), truncated
// toward zero; anything else gives the fallback.
int32_t system_arg_int(lua_State* L, int index, int32_t fallback = 0);

#endif
