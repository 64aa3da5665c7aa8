// The start-up steps between reading the settings and opening the window:
// the single-instance guard, the debug check, the debugger, search paths,
// companions, the install step and the update question.
#ifndef VY_ENGINE_STARTUP_STEPS_H
#define VY_ENGINE_STARTUP_STEPS_H

#include "core/mutex.h"
#include "core/strings.h"

struct startup_settings;

// Holds the instance mutex for the run.
class single_instance_guard {
public:
    // False when another engine owns the name.
    bool acquire(const wchar_t* name);

private:
    single_instance mutex_;
};

// The DEBUG text scrambled with the program's key equals the stored value.
bool debug_access_granted(const wstring& text);

// Starts a command line, not waiting for it.
bool exec_cmd(const wstring& command);
void start_debugger(const wstring& command);

void read_network_use(startup_settings& s);
void start_companions(startup_settings& s);

// The first-run install step; false stops the start-up.
bool run_install(startup_settings& s);
// Whether the update client has a patch list to ask for.
bool update_url_known(const startup_settings& s);
// True when the updater has been started (the engine then ends with 0).
bool check_update(startup_settings& s);

void probe_processor();
class statistics;
// STATISTICS non-zero: the statistics log; the render counter in any case.
void open_statistics(startup_settings& s, statistics& stats);

#endif
