#include "engine/system_log.h"

#include <cstdio>

namespace {
const char* const named_levels[] = {
    "fatal-error", "error",       "warning",    "important",
    "normal-error", "normal-warning", "information", "light-error",
    "light-warning", "light-info",  "debuginfo",
};
constexpr int32_t named_level_count = sizeof named_levels / sizeof named_levels[0];

// "debug1" to "debug99", built once.
struct debug_level_names {
    char names[system_log_level_count - named_level_count][8];
    debug_level_names() {
        for (int32_t i = 0; i < system_log_level_count - named_level_count; ++i)
            snprintf(names[i], sizeof names[i], "debug%d", i + 1);
    }
};
}  // namespace

const char* system_log_level_name(int32_t level) {
    static const debug_level_names debug_names;
    if (level < 0 || level >= system_log_level_count) return nullptr;
    if (level < named_level_count) return named_levels[level];
    return debug_names.names[level - named_level_count];
}

system_log_file::~system_log_file() {
    if (system_log() == this) set_system_log(nullptr);
}

bool system_log_file::open(const wstring& path, bool overwrite) {
    uint32_t flags = trace_no_location | trace_no_flush | (overwrite ? trace_overwrite : 0);
    set_system_log(this);
    if (!trace_.open(path.empty() ? system_log_default_name : path.c_str(), flags)) {
        TRACE_ERROR("system_manager::init_trace", "trace::open", -1);
        return false;
    }
    return true;
}

void system_log_file::close() { trace_.close(); }

void system_log_file::write(int32_t level, const char* origin, const char* message) {
    const char* name = system_log_level_name(level);
    if (!name || level > level_ || !trace_.is_open()) return;
    // Origin and message go in as arguments: a '%' in them is printed as is.
    log_printf(trace_, "%s: %s: %s [%llu]", name, origin ? origin : "",
               message ? message : "", static_cast<unsigned long long>(current_frame()));
}

system_log_file& engine_system_log() {
    static system_log_file the_log;
    return the_log;
}
