#include "updater/update_report.h"

#include <windows.h>

#include <cstdarg>

#include "core/folders.h"
#include "core/trace.h"

namespace {

// Lives until exit so that the last messages of a failing run reach it.
trace update_log;

// Dated logs accumulate, one a run; this many are kept.
constexpr int32_t log_generations = 40;

void write_out(FILE* stream, const string& text) {
    if (!text.empty()) fwrite(text.c_str(), 1, text.length(), stream);
    fflush(stream);
}

}  // namespace

string console_text(const wchar_t* text) {
    string out;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return out;
    std::vector<char> buffer(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), n, nullptr, nullptr);
    out.assign(buffer.data());
    return out;
}

void console_print(FILE* stream, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    wstring text;
    format_wstring_v(text, format, args);
    va_end(args);
    write_out(stream, console_text(text.c_str()));
}

void report(int level, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    wstring text;
    format_wstring_v(text, format, args);
    va_end(args);
    string line = console_text(text.c_str());
    FILE* stream = level > 0 ? stderr : stdout;
    write_out(stream, line);
    write_out(stream, string("\n"));
    if (update_log.is_open()) log_printf(update_log, "%s", line.c_str());
}

bool open_update_log(const wchar_t* folder) {
    wstring path(folder);
    path_join(path, L"VyUpdate.log");
    trace::set_backups(true, log_generations);
    return update_log.open(path.c_str(), trace_dated | trace_no_location);
}

void close_update_log() { update_log.close(); }
