// What the updater tells its user: lines on the console and, once the log
// in the work folder is open, the same lines in the log.
#ifndef VY_UPDATER_UPDATE_REPORT_H
#define VY_UPDATER_UPDATE_REPORT_H

#include <cstdio>

#include "core/strings.h"

// Wide text in the code page of the user's locale; characters it lacks
// become "?" rather than cutting the text short.
string console_text(const wchar_t* text);

// printf-style wide text to a console stream, as console_text converts it.
void console_print(FILE* stream, const wchar_t* format, ...);

// One message and a line end: level 0 to stdout, above 0 to stderr; also a
// line of the log when it is open.
void report(int level, const wchar_t* format, ...);

// The dated log "VyUpdate.YYYYMMDD.hhmmss.log" in the folder (the current
// directory when empty).
bool open_update_log(const wchar_t* folder);
void close_update_log();

#endif
