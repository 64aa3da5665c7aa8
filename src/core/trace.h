// `trace`: a plain-text log written one line at a time, each line stamped
// with the local time and the caller's source location. Every trace opened
// in the run joins a process-wide registry, so the logs can be backed up
// together and closed at exit.
//
// Error lines follow one form everywhere:
//   2026/12/08 02:06:41.123 graphic.cpp(120): graphic::create: Direct3DCreate9, code=-1(0xFFFFFFFF)
// written with TRACE_ERROR("graphic::create", "Direct3DCreate9", -1).
#ifndef VY_CORE_TRACE_H
#define VY_CORE_TRACE_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/file.h"
#include "core/strings.h"

struct _SYSTEMTIME;

// Flags of trace::open.
enum : uint32_t {
    trace_overwrite = 0x01,    // start empty (else append)
    trace_dated = 0x08,        // date and time of opening in the name; always appends
    trace_no_time = 0x10,      // no time stamp at the start of a line
    trace_no_location = 0x20,  // no location prefix
    trace_no_flush = 0x40,     // no flush after each line
    trace_no_backup = 0x80,    // no back-up of the previous file at open
};

// Room for a short source name (caller-owned cache of write_location).
constexpr size_t trace_short_name_size = 260;

class trace;

struct trace_registry_entry {
    trace* owner;  // null once that trace was closed or destroyed
    wstring name;  // the name actually opened (the dated one for dated traces)
    bool dated;
};

class trace : public textfile {
public:
    trace() = default;
    ~trace() override;

    // Opens (or reopens) on a file; see the flags above. Makes a back-up of
    // the previous file first when back-ups are on and trace_no_backup is
    // clear. The registry gets an entry whether or not the open succeeds.
    bool open(const wchar_t* name, uint32_t flags);
    using textfile::open;  // reopen with a file mode word

    // Closes the file and, when it was open and backup_all is not at work,
    // clears the first registry entry that names this trace.
    bool close() override;

    // Sets the location prefix "name(line): " from the last component of
    // source_path. cache holds the short name once computed (first byte 0:
    // not yet). Nothing happens while closed or with trace_no_location.
    void write_location(const char* source_path, char* cache, size_t cache_size, uint32_t line);
    // Prefix "name(line): ", or "name: " when line is 0, from the last
    // component of name; a null name clears the prefix.
    void write_origin(uint32_t line, const char* name);
    // One line: time stamp, location prefix, text, "\n"; then a flush.
    void write_line(const char* format, va_list args);

    uint32_t flags() const { return flags_; }
    const string& location() const { return location_; }

    // Keeps a copy of the log `name` (time null: now). Non-dated logs are
    // pruned first. False only when the copy failed.
    static bool backup(const _SYSTEMTIME* time, const wchar_t* name, bool dated, bool copy_only);
    // Deletes the oldest back-ups of `name` beyond the generation count.
    static bool remove_old_backups(const wchar_t* name);
    // Copies every registered log, reopening the open ones to append.
    static bool backup_all();
    // Closes every registered trace that is still open.
    static void close_all();

    // Back-ups at open happen only once switched on (the engine does it when
    // the previous run failed). generations <= 0 keeps every back-up.
    static void set_backups(bool enabled, int32_t generations);
    static bool backups_enabled();
    static int32_t backup_generations();

    static const std::vector<trace_registry_entry>& registry();

private:
    string location_;
    uint32_t flags_ = 0;
};

// Variadic entry of trace::write_line.
void log_printf(trace& t, const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

// The process-wide error trace: opened on "log\trace.log" (flags 0x81) on
// first use, closed at exit.
trace& default_trace();
constexpr const wchar_t* default_trace_name = L"log\\trace.log";
// The engine's start-up moves the default trace to "log\vytrace.log"
// (overwrite, back-ups allowed).
constexpr const wchar_t* engine_trace_name = L"log\\vytrace.log";
bool reopen_engine_trace();

// One error line "label: message, code=%d(0x%08X)" with the given source
// location on the trace.
void trace_error(trace& t, const char* source_path, char* cache, size_t cache_size,
                 uint32_t line, const char* label, const char* message, int32_t code);

// The usual way to report a failing step on the default trace; code -1
// when there is none.
#define TRACE_ERROR(label, message, code)                                             \
    do {                                                                              \
        static char vy_trace_short_name_[trace_short_name_size];                      \
        trace_error(default_trace(), __FILE__, vy_trace_short_name_,                  \
                    sizeof vy_trace_short_name_, __LINE__, (label), (message),        \
                    static_cast<int32_t>(code));                                      \
    } while (0)

// Sets the location prefix of a trace to the calling line.
#define TRACE_LOCATION(t)                                                             \
    do {                                                                              \
        static char vy_trace_short_name_[trace_short_name_size];                      \
        (t).write_location(__FILE__, vy_trace_short_name_, sizeof vy_trace_short_name_, \
                           __LINE__);                                                 \
    } while (0)

// printf-style text plus "\n" to the debugger's output.
void debug_print(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));

#endif
