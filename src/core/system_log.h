// The system log "log\system.log" belongs to the engine shell, but every
// subsystem writes to it. Lower libraries call system_log_trace; the engine
// plugs its log in at start-up, so the libraries never link upwards.
#ifndef VY_CORE_SYSTEM_LOG_H
#define VY_CORE_SYSTEM_LOG_H

#include <cstdint>

class i_system_log {
public:
    virtual ~i_system_log() = default;
    // Current level: lines of a level above it are not written.
    virtual int32_t level() const = 0;
    // One line; message is finished text, never a format.
    virtual void write(int32_t level, const char* origin, const char* message) = 0;
};

// The log in use, or null (nothing is written then).
void set_system_log(i_system_log* log);
i_system_log* system_log();

// Formats and writes one line when the level is at most the current level.
void system_log_trace(int32_t level, const char* origin, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));

// The engine's frame counter as the libraries see it (0 until the engine
// plugs its counter in).
void set_frame_counter(const uint64_t* counter);
uint64_t current_frame();

#endif
