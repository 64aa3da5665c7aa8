// The engine's system log "log\system.log": leveled script and system
// messages, one line each, "level-name: origin: message [frame]". It plugs
// itself into the core seam so every library writes through it.
#ifndef VY_ENGINE_SYSTEM_LOG_H
#define VY_ENGINE_SYSTEM_LOG_H

#include <cstdint>

#include "core/strings.h"
#include "core/system_log.h"
#include "core/trace.h"

constexpr int32_t system_log_level_count = 110;
// Level before the settings are read, and in debug mode.
constexpr int32_t system_log_debug_level = 99;
constexpr int32_t system_log_default_level = 6;
constexpr const wchar_t* system_log_default_name = L"log\\system.log";

// "fatal-error" ... "debuginfo", "debug1" ... "debug99"; null outside 0-109.
const char* system_log_level_name(int32_t level);

class system_log_file : public i_system_log {
public:
    system_log_file() = default;
    ~system_log_file() override;
    system_log_file(const system_log_file&) = delete;
    system_log_file& operator=(const system_log_file&) = delete;

    // Opens the log (empty path: "log\system.log") and makes it the system
    // log. A failure leaves it closed: lines are then dropped.
    bool open(const wstring& path, bool overwrite);
    void close();

    int32_t level() const override { return level_; }
    void set_level(int32_t level) { level_ = level; }
    // Levels outside 0-109 are refused; the message is never a format.
    void write(int32_t level, const char* origin, const char* message) override;

    trace& file() { return trace_; }

private:
    trace trace_;
    int32_t level_ = system_log_debug_level;
};

// The engine's one system log (a static object of the program).
system_log_file& engine_system_log();

#endif
