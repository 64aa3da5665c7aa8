// The devices the start-up opens on the main window: graphics, sound and
// the inputs, and their release at shut-down.
#ifndef VY_ENGINE_STARTUP_DEVICES_H
#define VY_ENGINE_STARTUP_DEVICES_H

#include "core/strings.h"

struct startup_settings;

// Creates the Direct3D device; a failure throws the entry's exception
// (abort_message receives the text of a failed texture-size check).
void open_graphic_device(startup_settings& s, wstring& abort_message);
// A missing sound device does not stop the engine.
void open_sound_device(startup_settings& s);
void open_inputs(startup_settings& s);
void release_startup_devices();

// What shut-down writes back.
double startup_master_volume_percent();
bool startup_scaling();

#endif
