#include "core/system_log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {
i_system_log* the_log = nullptr;
const uint64_t* the_frame_counter = nullptr;
}  // namespace

void set_system_log(i_system_log* log) { the_log = log; }
i_system_log* system_log() { return the_log; }

void system_log_trace(int32_t level, const char* origin, const char* format, ...) {
    if (!the_log || level > the_log->level()) return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int n = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n < 0) {
        va_end(args);
        return;
    }
    std::vector<char> text(static_cast<size_t>(n) + 1);
    vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    the_log->write(level, origin ? origin : "", text.data());
}

void set_frame_counter(const uint64_t* counter) { the_frame_counter = counter; }
uint64_t current_frame() { return the_frame_counter ? *the_frame_counter : 0; }
