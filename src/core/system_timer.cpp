#include "core/system_timer.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>

#include "core/trace.h"

namespace {

uint64_t (*time_source)() = nullptr;
uint64_t counter_frequency = 0;
uint32_t period_ms = 0xFFFFFFFFu;

uint64_t performance_counter_ns() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return counter_to_nanoseconds(static_cast<uint64_t>(c.QuadPart), counter_frequency);
}

uint64_t multimedia_time_ns() { return static_cast<uint64_t>(timeGetTime()) * 1000000u; }

uint64_t tick_count_ns() { return static_cast<uint64_t>(GetTickCount()) * 1000000u; }

void restore_timer_period() {
    if (period_ms != 0xFFFFFFFFu) timeEndPeriod(period_ms);
}

}  // namespace

uint64_t counter_to_nanoseconds(uint64_t counter, uint64_t frequency) {
    if (frequency == 0) return 0;
    const uint64_t giga = 1000000000u;
    uint64_t whole = counter / frequency * giga;
    uint64_t rest = counter % frequency;
    // rest < frequency; scaling it by 10^9 fits in 64 bits for every
    // frequency below 1.8e10 counts a second, which covers real counters.
    if (frequency <= UINT64_MAX / giga) return whole + rest * giga / frequency;
    return whole + static_cast<uint64_t>(static_cast<long double>(rest) * giga / frequency);
}

void system_timer::initialize() {
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
        period_ms = caps.wPeriodMin;
        timeBeginPeriod(period_ms);
        TRACE_ERROR("system_timer", "time period", period_ms);
    } else {
        period_ms = 0xFFFFFFFFu;
    }

    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
        counter_frequency = static_cast<uint64_t>(frequency.QuadPart);
        time_source = performance_counter_ns;
        TRACE_ERROR("system_timer", "use QueryPerformanceCounter",
                    static_cast<uint32_t>(counter_frequency));
    } else if (period_ms >= 10) {
        // Also taken when the caps are unknown: then nothing says the
        // multimedia time is any finer than the tick count.
        time_source = tick_count_ns;
        TRACE_ERROR("system_timer", "use GetTickCount", 0);
    } else {
        time_source = multimedia_time_ns;
        TRACE_ERROR("system_timer", "use timeGetTime", period_ms);
    }
}

system_timer::system_timer() {
    initialize();
    atexit(restore_timer_period);
}

system_timer& system_timer::instance() {
    static system_timer timer;
    return timer;
}

uint64_t system_timer::source() {
    instance();
    return time_source();
}

uint32_t system_timer::timer_period() {
    instance();
    return period_ms;
}

void system_timer::start() {
    if (running_) return;
    start_ = time_source();
    elapsed_ = 0;
    running_ = true;
}

uint64_t system_timer::read() {
    if (running_) elapsed_ = time_source() - start_;
    return elapsed_;
}
