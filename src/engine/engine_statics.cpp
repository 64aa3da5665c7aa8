// The engine's process-wide objects, built before the entry runs and
// destroyed in reverse order at exit. One file keeps their order: the
// managers built later find the ones they stand on.
#include <objbase.h>

#include "core/com_thread.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"
#include "graphics/graphic3d.h"
#include "sound/sound.h"

graphic engine_graphic;
graphic_mesh_manager engine_meshes(&engine_graphic);
sound engine_sound;
system_manager engine_system_manager;

namespace {
// The main thread joins COM before the entry runs: the shell's folder
// dialog needs it. Counted per thread, so a later initialisation on this
// thread adds nothing, and balanced at exit.
struct main_thread_com {
    main_thread_com() { com_initialize_thread(COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE); }
    ~main_thread_com() { com_uninitialize_thread(); }
} engine_main_thread_com;
}  // namespace

system_manager& engine_system_manager_object() { return engine_system_manager; }
