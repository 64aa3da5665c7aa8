#include "engine/window_sound.h"

namespace {
double master_volume = 1.0;
bool muted = false;
}  // namespace

double window_sound_master_volume() { return master_volume; }

void window_sound_set_volume(double volume) {
    if (volume < 0.0) volume = 0.0;
    if (volume > 1.0) volume = 1.0;
    if (volume == master_volume) return;
    master_volume = volume;
}

bool window_sound_muted() { return muted; }

void window_sound_set_mute(bool on) {
    if (on == muted) return;
    muted = on;
}
