#include "core/frame_timer.h"

#include <windows.h>

#include "core/system_timer.h"
#include "core/trace.h"

bool frame_timer::clock_running() const {
    return clock_ != nullptr || system_timer::instance().running();
}

uint64_t frame_timer::now() const {
    return clock_ ? clock_() : system_timer::instance().read();
}

void frame_timer::set_fps(uint32_t fps) {
    fps_ = fps;
    rate_ = fps;
    if (fps == 0) return;
    period_ = 1000000000ull / fps;
    if (clock_running()) start();
}

void frame_timer::start() {
    if (fps_ < 1) {
        TRACE_ERROR("frame_timer::start", "fps isnot setuped.", -1);
        return;
    }
    if (!clock_) system_timer::instance().start();
    due_ = now();
}

int32_t frame_timer::wait() {
    uint64_t t = now();
    if (due_ > t) {
        SleepEx(0, TRUE);
        return 0;
    }
    due_ += period_;
    add_sample(t);
    if (t < due_) return 1;
    if (t >= due_ + resync_lag) {
        due_ = t + period_;
        return 1;
    }
    return -1;
}

void frame_timer::add_sample(uint64_t time) {
    samples_[count_ % sample_slots] = time;
    ++count_;
    // Spans over the newest reading and the one 15 (or 31) before it.
    uint32_t window = count_ >= sample_slots ? sample_slots : count_ >= 16 ? 16 : 0;
    if (window == 0) return;
    uint64_t oldest = samples_[(count_ - window) % sample_slots];
    uint64_t span = time - oldest;
    if (span != 0) rate_ = (window - 1) * 1e9 / static_cast<double>(span);
}
