#include "world/actor_sounds.h"

namespace {
const actor_sound_hooks* hooks = nullptr;
}

void set_actor_sound_hooks(const actor_sound_hooks* h) { hooks = h; }

void* actor_find_sound(const char* name) { return hooks && hooks->find_class ? hooks->find_class(name) : nullptr; }

bool actor_play_sound(actor_object* actor, void* sound_class) {
    return hooks && hooks->play && sound_class && hooks->play(actor, sound_class);
}
