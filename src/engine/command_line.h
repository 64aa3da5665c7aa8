// The engine's command line: a positional ini path and the options D, I, M
// and U.
#ifndef VY_ENGINE_COMMAND_LINE_H
#define VY_ENGINE_COMMAND_LINE_H

#include <cstdint>

struct startup_settings;

struct command_options {
    bool choose_folder = false;  // I
    bool skip_update = false;    // U
};

enum : int32_t {
    command_line_go_on = 0,
    command_line_quit = 1,  // D: end at once with 0
};

// Scans the runtime's arguments; a bad one throws the fatal exception.
int32_t parse_command_line(startup_settings& s, command_options& options);

// Option I: the working directory from the folder dialog (the ini file's
// folder when none is chosen); the base directory follows it.
void choose_working_folder(startup_settings& s);

#endif
