// Table-driven runs of the `system` library: each case is a piece of main
// script and the system-log lines it must leave, in order. One engine run
// takes every case of a table.
#ifndef VY_TESTS_ENGINE_SCRIPT_CASES_H
#define VY_TESTS_ENGINE_SCRIPT_CASES_H

#include <string>
#include <vector>

#include "engine_run.h"

struct script_case {
    std::string lua;                 // run in the main script, frame 0
    // Without the " [0]" frame mark, which is added; "{dir}" is the game
    // folder. A line starting with "|" is a raw diagnostic line (no level,
    // no frame mark); a "*" in a line matches any text.
    std::vector<std::string> lines;
};

// The main script's prelude: show(label, ...) writes the values, each
// tostring'ed and joined by ",", as an information line under label.
extern const char* const show_prelude;

// Writes main.lua from the cases (then system.exit(0)), runs the engine and
// checks the exit code and the script's own lines (the start-up's search
// path lines and the initialize/release lines are left out).
void expect_cases(game_folder& game, const std::vector<script_case>& cases);

// The lines of the system log that the script wrote.
std::vector<std::string> script_lines(const game_folder& game);

#endif
