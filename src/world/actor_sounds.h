// What actors need of sound: finding a sound class by name when a class
// table lists it, and playing it. The sound subsystem, above the world,
// installs the two functions; without them no name is a sound.
#ifndef VY_WORLD_ACTOR_SOUNDS_H
#define VY_WORLD_ACTOR_SOUNDS_H

class actor_object;

struct actor_sound_hooks {
    void* (*find_class)(const char* name);
    bool (*play)(actor_object* actor, void* sound_class);
};

void set_actor_sound_hooks(const actor_sound_hooks* hooks);
void* actor_find_sound(const char* name);
bool actor_play_sound(actor_object* actor, void* sound_class);

#endif
