// Gives the action library what it reads of the engine: the frame period
// and the first input.
#ifndef VY_ENGINE_ACTION_HOOKS_H
#define VY_ENGINE_ACTION_HOOKS_H

void install_action_hooks();

#endif
