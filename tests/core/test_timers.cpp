// The nanosecond system clock and the fixed-rate frame timer, driven both
// by a clock of the test's own and by the real clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/frame_timer.h"
#include "core/system_timer.h"
#include "core/trace.h"
#include "scratch_dir.h"

namespace {

constexpr uint64_t ms = 1000000u;

TEST(SystemTimer, ReadingsAreMonotonicAndFollowSleep) {
    system_timer& clock = system_timer::instance();
    clock.start();
    ASSERT_TRUE(clock.running());

    uint64_t before = clock.read();
    uint64_t last = before;
    for (int i = 0; i < 100000; ++i) {
        uint64_t t = clock.read();
        ASSERT_GE(t, last) << "reading " << i;
        last = t;
    }
    Sleep(30);
    uint64_t after = clock.read();
    EXPECT_GE(after - before, 25 * ms);
    EXPECT_LT(after - before, 5000 * ms);
    EXPECT_EQ(clock.elapsed(), after) << "elapsed keeps the last reading";

    clock.start();
    EXPECT_GE(clock.read(), after) << "starting again keeps the running clock";
}

TEST(SystemTimer, CounterScalingNeverOverflows) {
    struct row {
        uint64_t counter, frequency, want;
    };
    const row rows[] = {
        {10000000, 10000000, 1000000000},               // one second at 10 MHz
        {15, 10000000, 1500},                           // below one second
        {UINT64_MAX, 10000000, 0xFFFFFFFFFFFFFFFFull / 10000000 * 1000000000 +
                                   (0xFFFFFFFFFFFFFFFFull % 10000000) * 100},
        {3579545ull * 86400 * 365, 3579545, 86400ull * 365 * 1000000000},  // a year of ACPI ticks
        {7, 3, 2333333333},
        {5, 0, 0},                                      // no frequency: no time
    };
    for (const row& r : rows)
        EXPECT_EQ(counter_to_nanoseconds(r.counter, r.frequency), r.want)
            << r.counter << " at " << r.frequency;
}

// A clock the test moves by hand.
uint64_t fake_now = 0;
uint64_t fake_clock() { return fake_now; }

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override { fake_now = 1000 * ms; }
    frame_timer timer{fake_clock};
};

TEST_F(FrameTimer, SixtyFramesOnTime) {
    timer.set_fps(60);
    EXPECT_EQ(timer.period(), 16666666u);
    EXPECT_EQ(timer.due(), fake_now) << "setting the rate on a running clock starts it";
    const uint64_t first = timer.due();

    for (int frame = 0; frame < 60; ++frame) {
        EXPECT_EQ(timer.wait(), 1) << "frame " << frame;
        EXPECT_EQ(timer.wait(), 0) << "the next one is not due yet";
        fake_now = timer.due() - 1;
        EXPECT_EQ(timer.wait(), 0) << "one nanosecond early";
        fake_now = timer.due();
    }
    EXPECT_EQ(timer.due() - first, 999999960u);
    EXPECT_EQ(timer.sample_count(), 60u);
}

TEST_F(FrameTimer, LateFramesCatchUpOrResynchronise) {
    struct row {
        const char* name;
        uint64_t lag;
        // What the calls answer while the clock stands still.
        std::vector<int32_t> answers;
    };
    // At 100 fps a frame lasts 10 ms.
    const row rows[] = {
        {"just inside the frame", 9 * ms, {1, 0}},
        {"a frame and a half behind", 15 * ms, {-1, 1, 0}},
        {"100 ms behind", 100 * ms, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 0}},
        {"a quarter second after the step", 260 * ms, {1, 0}},
        {"a second's pause", 1000 * ms, {1, 0}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        timer.set_fps(100);
        fake_now += r.lag;
        std::vector<int32_t> got;
        for (size_t i = 0; i < r.answers.size(); ++i) got.push_back(timer.wait());
        EXPECT_EQ(got, r.answers);
        EXPECT_GT(timer.due(), fake_now) << "caught up";
        EXPECT_LE(timer.due(), fake_now + 10 * ms) << "no frame skipped ahead";
    }
}

TEST_F(FrameTimer, ResynchronisingMovesDueOnePeriodAhead) {
    timer.set_fps(60);
    fake_now += 1000 * ms;
    EXPECT_EQ(timer.wait(), 1);
    EXPECT_EQ(timer.due(), fake_now + 16666666u);
}

TEST_F(FrameTimer, ZeroRateNeitherDividesNorStarts) {
    scratch_dir scratch;
    std::wstring log = scratch.path(L"trace.log");
    ASSERT_TRUE(default_trace().open(log.c_str(), trace_overwrite | trace_no_backup));

    frame_timer fresh{fake_clock};
    fresh.set_fps(0);
    fresh.start();
    EXPECT_EQ(fresh.period(), 0u);
    EXPECT_EQ(fresh.due(), 0u) << "not started";

    timer.set_fps(50);
    uint64_t due = timer.due();
    timer.set_fps(0);
    fake_now += 5 * ms;
    timer.start();
    EXPECT_EQ(timer.period(), 20 * ms) << "the old period stays";
    EXPECT_EQ(timer.due(), due) << "no restart without a rate";

    default_trace().close();
    std::string text = read_whole(log);
    EXPECT_NE(text.find("frame_timer::start: fps isnot setuped., code=-1(0xFFFFFFFF)"),
              std::string::npos)
        << text;
}

TEST_F(FrameTimer, MeasuredRateFollowsTheLastSamples) {
    timer.set_fps(60);
    EXPECT_DOUBLE_EQ(timer.rate(), 60.0);

    frame_timer t;
    const uint64_t step = 1000000000ull / 60;  // 16,666,666 ns
    uint64_t now = 5000 * ms;
    for (int i = 0; i < 15; ++i) t.add_sample(now += step);
    EXPECT_DOUBLE_EQ(t.rate(), 0.0) << "fewer than 16 samples measure nothing";
    t.add_sample(now += step);
    EXPECT_NEAR(t.rate(), 60.0, 1e-4);

    // Slower frames: the 16-sample window sees them first.
    for (int i = 0; i < 8; ++i) t.add_sample(now += 2 * step);
    EXPECT_NEAR(t.rate(), 15e9 / (8 * 2 * step + 7 * step), 1e-6);
    for (int i = 0; i < 8; ++i) t.add_sample(now += 2 * step);
    EXPECT_EQ(t.sample_count(), 32u);
    EXPECT_NEAR(t.rate(), 31e9 / (16 * 2 * step + 15 * step), 1e-6) << "the 32-sample window";

    // A stalled clock: once the whole ring holds one time, nothing changes.
    for (int i = 0; i < 32; ++i) t.add_sample(now);
    double before = t.rate();
    for (int i = 0; i < 8; ++i) t.add_sample(now);
    EXPECT_DOUBLE_EQ(t.rate(), before) << "a span of zero keeps the old rate";
    EXPECT_EQ(t.samples()[(t.sample_count() - 1) % 32], now);
}

TEST(FrameTimerRealClock, HundredFramesASecond) {
    frame_timer timer;
    timer.set_fps(100);
    timer.start();
    ASSERT_TRUE(system_timer::instance().running());

    // Run 300 ms of frames; the loop has its own time limit.
    const uint64_t begin = system_timer::instance().read();
    const DWORD limit = GetTickCount() + 5000;
    int due = 0, idle = 0;
    while (system_timer::instance().read() - begin < 300 * ms && GetTickCount() < limit) {
        int32_t r = timer.wait();
        ASSERT_TRUE(r == 0 || r == 1 || r == -1);
        if (r == 0) ++idle; else ++due;
    }
    // 30 frames are due; a loaded machine may stall long enough to drop a few.
    EXPECT_GE(due, 15);
    EXPECT_LE(due, 32);
    EXPECT_GT(idle, 0);
    EXPECT_NEAR(timer.rate(), 100.0, 40.0);
}

}  // namespace
