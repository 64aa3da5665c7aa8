#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/system_log.h"

namespace {
struct recording_log : i_system_log {
    int32_t current = 6;
    std::vector<std::string> lines;
    int32_t level() const override { return current; }
    void write(int32_t level, const char* origin, const char* message) override {
        lines.push_back(std::to_string(level) + "|" + origin + "|" + message);
    }
};
}  // namespace

TEST(SystemLog, FormatsAndFiltersByLevel) {
    recording_log log;
    set_system_log(&log);
    system_log_trace(1, "actors.create", "bad %s %d", "key", 7);
    system_log_trace(7, "actors.create", "too verbose");
    system_log_trace(6, "x", "%s", "100% literal");
    set_system_log(nullptr);
    system_log_trace(1, "x", "dropped");
    ASSERT_EQ(2u, log.lines.size());
    EXPECT_EQ("1|actors.create|bad key 7", log.lines[0]);
    EXPECT_EQ("6|x|100% literal", log.lines[1]);
}

TEST(SystemLog, FrameCounterIsPluggedIn) {
    EXPECT_EQ(0u, current_frame());
    uint64_t frame = 42;
    set_frame_counter(&frame);
    EXPECT_EQ(42u, current_frame());
    frame = 43;
    EXPECT_EQ(43u, current_frame());
    set_frame_counter(nullptr);
}
