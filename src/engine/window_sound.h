// What the main window and its menu ask of the sound device: the master
// volume and the mute switch.
#ifndef VY_ENGINE_WINDOW_SOUND_H
#define VY_ENGINE_WINDOW_SOUND_H

// The master volume, 0..1, whether muted or not.
double window_sound_master_volume();
// Clamps to 0..1; applied only when it changed.
void window_sound_set_volume(double volume);
bool window_sound_muted();
// Applied only when it changed.
void window_sound_set_mute(bool on);

#endif
