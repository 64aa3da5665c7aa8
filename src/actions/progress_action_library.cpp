// The Lua face of progress actions: new_progress and the counter methods.
#include "actions/action_constructor.h"
#include "actions/progress_action.h"
#include "actions/progress_action_library.h"
#include "core/lua_readers.h"

namespace {
// Numbers may come as numeric strings; anything else counts as 0.
int32_t int_arg(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }

int term(lua_State* L) {
    if (progress_action* action = action_arg<progress_action>(L)) action->term(lua_tonumber(L, 2));
    return 0;
}

int init(lua_State* L) {
    if (progress_action* action = action_arg<progress_action>(L)) action->init(int_arg(L, 2));
    return 0;
}

int progress(lua_State* L) {
    progress_action* action = action_arg<progress_action>(L);
    if (!action) return 0;
    action->count_up(int_arg(L, 2));
    return action->used_up() ? lua_yield(L, 0) : 0;
}

int count_up(lua_State* L) {
    if (progress_action* action = action_arg<progress_action>(L)) action->count_up(int_arg(L, 2));
    return 0;
}

int check(lua_State* L) {
    progress_action* action = action_arg<progress_action>(L);
    return action && action->used_up() ? lua_yield(L, 0) : 0;
}

int finish(lua_State* L) {
    if (progress_action* action = action_arg<progress_action>(L)) action->finish();
    return 0;
}

int max(lua_State* L) {
    progress_action* action = action_arg<progress_action>(L);
    if (action) {
        lua_pushnumber(L, action->maximum);
    } else {
        lua_pushnil(L);
    }
    return 1;
}

int count(lua_State* L) {
    progress_action* action = action_arg<progress_action>(L);
    if (action) {
        lua_pushnumber(L, action->count);
    } else {
        lua_pushnil(L);
    }
    return 1;
}

const luaL_Reg methods[] = {
    {"term", term},         {"init", init},     {"progress", progress}, {"count_up", count_up},
    {"check", check},       {"finish", finish}, {"max", max},           {"count", count},
    {"release", action_release}, {nullptr, nullptr},
};

int new_progress(lua_State* L) {
    return construct_action<progress_action>(
        L, methods, [](progress_action* action, actor_object* owner) { action->attach(owner); });
}
}  // namespace

void progress_action_register(lua_State* L) { lua_register(L, "new_progress", new_progress); }
