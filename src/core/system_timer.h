// `system_timer`: the process-wide nanosecond clock. On first use it picks
// the finest time source the machine offers and raises the multimedia
// timer resolution (restored at exit); once started it measures the time
// elapsed since then.
#ifndef VY_CORE_SYSTEM_TIMER_H
#define VY_CORE_SYSTEM_TIMER_H

#include <cstdint>

class system_timer {
public:
    // The clock, set up on the first call.
    static system_timer& instance();

    // Starts the clock when it is not running yet; a running clock keeps
    // its start.
    void start();
    bool running() const { return running_; }

    // Nanoseconds since the start, read fresh while running; the last
    // reading (0 before the start) otherwise.
    uint64_t read();
    uint64_t elapsed() const { return elapsed_; }

    // The chosen source's current value in nanoseconds.
    static uint64_t source();

    // Minimum multimedia timer period in milliseconds, 0xFFFFFFFF when the
    // device caps could not be read.
    static uint32_t timer_period();

    system_timer(const system_timer&) = delete;
    system_timer& operator=(const system_timer&) = delete;

private:
    system_timer();
    static void initialize();

    uint64_t start_ = 0;
    uint64_t elapsed_ = 0;
    bool running_ = false;
};

// counter × 10^9 / frequency without overflowing for any counter value.
uint64_t counter_to_nanoseconds(uint64_t counter, uint64_t frequency);

#endif
