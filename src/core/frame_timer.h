// `frame_timer`: turns the system clock into a fixed frame rate. The frame
// loop asks it on every idle turn whether the next frame is not yet due,
// due on time, or late, and it keeps a ring of recent frame times from
// which it measures the rate actually achieved.
#ifndef VY_CORE_FRAME_TIMER_H
#define VY_CORE_FRAME_TIMER_H

#include <cstdint>

class frame_timer {
public:
    // A clock in nanoseconds; null reads the system timer. A clock of the
    // caller's counts as always running.
    using clock_reader = uint64_t (*)();

    static constexpr uint32_t sample_slots = 32;
    // Further behind than this, the timer drops the missed frames.
    static constexpr uint64_t resync_lag = 250000000u;

    explicit frame_timer(clock_reader clock = nullptr) : clock_(clock) {}

    // period = 10^9 / fps nanoseconds; restarts at once when the clock is
    // already running. fps 0 leaves the period alone and starts nothing.
    void set_fps(uint32_t fps);
    // The first frame is due at once. Without a rate it logs and does
    // nothing.
    void start();
    // 0 not yet due (the rest of the time slice is given up), 1 due on
    // time, -1 due but late by less than resync_lag.
    int32_t wait();

    // Records a frame time; from 16 samples on the measured rate follows
    // the last 16, from 32 on the last 32.
    void add_sample(uint64_t time);

    uint32_t fps() const { return fps_; }
    uint64_t period() const { return period_; }
    uint64_t due() const { return due_; }
    double rate() const { return rate_; }
    uint32_t sample_count() const { return count_; }
    const uint64_t* samples() const { return samples_; }

private:
    bool clock_running() const;
    uint64_t now() const;

    clock_reader clock_;
    uint64_t period_ = 0;
    uint64_t due_ = 0;
    uint64_t samples_[sample_slots] = {};
    uint32_t count_ = 0;
    uint32_t fps_ = 0;
    double rate_ = 0.0;
};

#endif
