// Frame counters sampled over real frames and dumped to a real log file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/statistics.h"
#include "scratch_dir.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(Statistics, CountersSampleByPeriod) {
    statistics stats;
    EXPECT_EQ(statistics::instance(), &stats);
    struct counter_case {
        const char* name;
        uint32_t period;
        uint32_t samples, minimum, maximum, total;
    };
    // Frame f adds f to every counter, over frames 1 to 8.
    const counter_case cases[] = {
        {"every", 0, 8, 1, 8, 36},
        {"one", 1, 8, 1, 8, 36},
        {"four", 4, 2, 10, 26, 36},  // 1+2+3+4, 5+6+7+8
        {"three", 3, 2, 6, 15, 21},  // frames 7 and 8 still running
    };
    std::vector<statistics::counter*> counters;
    for (const auto& c : cases) {
        statistics::counter* counter = statistics_counter_create(stats, c.name);
        ASSERT_NE(counter, nullptr);
        counter->period = c.period;
        counters.push_back(counter);
    }
    EXPECT_EQ(stats.objects().size(), 4u);
    for (uint32_t frame = 1; frame <= 8; ++frame) {
        stats.begin_frame();
        for (auto* c : counters) c->current += frame;
        stats.end_frame();
    }
    EXPECT_EQ(stats.frames(), 8u);
    for (size_t i = 0; i < counters.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(counters[i]->minimum, cases[i].minimum);
        EXPECT_EQ(counters[i]->maximum, cases[i].maximum);
        EXPECT_EQ(counters[i]->total, cases[i].total);
    }
    EXPECT_EQ(counters[3]->current, 15u);  // 7 + 8, not yet a sample
    EXPECT_DOUBLE_EQ(counters[2]->average(8), 36.0 / 8 * 4);

    // A sample of 0 is the minimum only until the next one.
    statistics::counter zero("zero");
    zero.end_frame(1);
    EXPECT_EQ(zero.minimum, 0u);
    zero.current = 5;
    zero.end_frame(2);
    EXPECT_EQ(zero.minimum, 5u);
}

TEST(Statistics, DumpWritesOneLinePerCounterAndResets) {
    scratch_dir dir;
    std::wstring path = dir.path(L"log\\statistics.log");
    {
        statistics stats;
        ASSERT_TRUE(stats.open_log(path.c_str(), trace_overwrite | trace_no_time));
        statistics::counter* sprites = statistics_counter_create(stats, "sprites");
        statistics::counter* idle = statistics_counter_create(stats, "idle");
        // No frame yet: the average is 0.0, not a division by zero.
        ASSERT_TRUE(stats.dump("start "));
        for (uint32_t v : {10u, 20u, 30u, 40u}) {
            stats.begin_frame();
            sprites->current = v;
            stats.end_frame();
        }
        ASSERT_TRUE(stats.dump(""));
        EXPECT_EQ(sprites->total, 0u);  // reset by the dump
        EXPECT_EQ(sprites->maximum, 0u);
        (void)idle;
        stats.log().close();
    }
    std::vector<std::string> lines = lines_of(read_whole(path));
    ASSERT_EQ(lines.size(), 4u) << read_whole(path);
    const char* expected[] = {
        "start                          sprites: avg=         0.0, min=         0, max=         0",
        "start                             idle: avg=         0.0, min=         0, max=         0",
        "                         sprites: avg=        25.0, min=        10, max=        40",
        "                            idle: avg=         0.0, min=         0, max=         0",
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(ends_with(lines[i], std::string(": ") + expected[i]) ||
                    ends_with(lines[i], std::string(": ") + expected[i] + "\r"))
            << lines[i];
        EXPECT_EQ(lines[i].rfind("statistics.cpp(", 0), 0u) << lines[i];  // the location prefix
    }
}
