// What the sound subsystem reads of the field view, through the hooks it
// owns: the engine plugs them in while the field manager lives.
#ifndef VY_ENGINE_FIELD_VIEW_HOOKS_H
#define VY_ENGINE_FIELD_VIEW_HOOKS_H

#include "sound/sound_manager.h"

const sound_view_hooks* field_sound_view_hooks();

#endif
