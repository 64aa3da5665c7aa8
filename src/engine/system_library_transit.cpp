// system.transit and its siblings: screen transitions from script.
#include "core/lua_readers.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"
#include "graphics/transition.h"

#include "lua.h"

namespace {
system_manager& manager() { return *system_manager::instance(); }
}  // namespace

// (type, object, duration, parameter): the object is the transitions' own
// business and none of them reads it.
int system_transit(lua_State* L) {
    int32_t type = system_arg_int(L, 1, -1);
    uint32_t duration = lua_isnumber(L, 3) ? script_truncate_uint(lua_tonumber(L, 3)) : 0;
    int params = lua_gettop(L) >= 4 ? 4 : 0;
    manager().start_transition(type, L, params, duration);
    return 0;
}

// (id[, value]): the value is the last argument, so one argument is both.
int system_update_transit(lua_State* L) {
    transition* t = manager().current_transition();
    if (t && lua_gettop(L) > 0) t->update(L, system_arg_int(L, 1));
    return 0;
}

int system_suspend_transit(lua_State* L) {
    manager().suspend_transit(lua_toboolean(L, 1) != 0);
    return 0;
}

int system_finish_transit(lua_State* L) {
    (void)L;
    manager().set_transition(nullptr);
    return 0;
}
