// Sets the global new_progress.
#ifndef VY_ACTIONS_PROGRESS_ACTION_LIBRARY_H
#define VY_ACTIONS_PROGRESS_ACTION_LIBRARY_H

struct lua_State;

void progress_action_register(lua_State* L);

#endif
