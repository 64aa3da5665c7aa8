// The engine's process-wide objects, built before the entry runs and
// destroyed in reverse order at exit. One file keeps their order: the
// managers built later find the ones they stand on.
#include "engine/system_manager.h"
#include "graphics/graphic.h"
#include "graphics/graphic3d.h"
#include "sound/sound.h"

graphic engine_graphic;
graphic_mesh_manager engine_meshes(&engine_graphic);
sound engine_sound;
system_manager engine_system_manager;

system_manager& engine_system_manager_object() { return engine_system_manager; }
