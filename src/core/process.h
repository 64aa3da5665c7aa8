// Starting other programs: command templates with numbered placeholders
// ("<0>", "<1>", ...), companion processes started suspended, and the
// archive-tool runner that expands an archive with an external program
// named in an ini section.
#ifndef VY_CORE_PROCESS_H
#define VY_CORE_PROCESS_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/strings.h"

class ini_file;

// Copies the template with <0> replaced by value0 and <1> by the first of
// values. A placeholder number is read with its base prefix ("0x1" is 1).
// False, the output incomplete, for a "<" without ">", a malformed number
// or a number without a value.
bool expand_command_template(wstring& out, const wstring& templ, const wstring& value0,
                             const std::vector<wstring>& values);

// CreateProcessW of the command line, suspended, sharing nothing, with this
// process's environment, directory and start-up information. The caller
// resumes the thread once it has connected, and closes both handles.
bool start_process(const wstring& command, PROCESS_INFORMATION& info);

// An archive tool's settings as read from its ini section.
struct archive_tool_settings {
    wstring tool;  // TOOL: the program; must be an existing file
    int32_t shell = 0;  // SHELL: non-zero runs the command through the interpreter
    wstring args;  // ARGS: <0> the tool, <N> the N-th value
};

// Runs the tool on the values (1-based in the template) and waits for it
// without a time limit. Every failure writes one "error: ..." line to the
// standard error stream; true only when the tool ran and answered 0.
// section names the archive kind in the messages.
bool run_archive_command(const archive_tool_settings& settings, const wchar_t* section,
                         const std::vector<wstring>& values);

// TOOL, SHELL (default 0) and ARGS of the section, ARGS with the quotes
// it was written with.
archive_tool_settings read_archive_tool_settings(const ini_file& ini, const wchar_t* section);

// Reads TOOL, SHELL (default 0) and ARGS from the section of the archive
// kind and runs the tool as run_archive_command does.
bool run_archive_tool(const ini_file& ini, const wchar_t* section, const std::vector<wstring>& values);
// The tool on a source archive and a destination (<1> and <2>).
bool run_archive_tool_pair(const ini_file& ini, const wchar_t* section, const wstring& source,
                           const wstring& destination);

#endif
