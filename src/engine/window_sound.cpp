#include "engine/window_sound.h"

#include "sound/sound.h"

// The device keeps the values; the fallbacks serve a process without one.
namespace {
double master_volume = 1.0;
bool muted = false;
}  // namespace

double window_sound_master_volume() {
    sound* device = sound::instance();
    return device ? device->master_volume() : master_volume;
}

void window_sound_set_volume(double volume) {
    if (volume < 0.0) volume = 0.0;
    if (volume > 1.0) volume = 1.0;
    master_volume = volume;
    if (sound* device = sound::instance()) device->set_volume(static_cast<float>(volume));
}

bool window_sound_muted() {
    sound* device = sound::instance();
    return device ? device->muted() : muted;
}

void window_sound_set_mute(bool on) {
    muted = on;
    if (sound* device = sound::instance()) device->set_mute(on);
}
