#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../core/scratch_dir.h"
#include "engine/system_log.h"

namespace {
// The lines of a log file with their time stamps cut off.
std::vector<std::string> log_lines(const std::wstring& path) {
    std::vector<std::string> out;
    std::string text = read_whole(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        // "2026/12/08 02:06:41.123 " is 24 characters.
        out.push_back(line.size() >= 24 ? line.substr(24) : line);
        pos = end + 1;
    }
    return out;
}

struct written_line {
    int32_t level;
    const char* origin;
    const char* message;
};
}  // namespace

TEST(SystemLogNames, CoverEveryLevelAndNothingElse) {
    struct { int32_t level; const char* name; } cases[] = {
        {0, "fatal-error"}, {1, "error"}, {5, "normal-warning"}, {6, "information"},
        {7, "light-error"}, {10, "debuginfo"}, {11, "debug1"}, {99, "debug89"}, {109, "debug99"},
    };
    for (auto& c : cases) {
        ASSERT_NE(nullptr, system_log_level_name(c.level)) << c.level;
        EXPECT_STREQ(c.name, system_log_level_name(c.level)) << c.level;
    }
    EXPECT_EQ(nullptr, system_log_level_name(-1));
    EXPECT_EQ(nullptr, system_log_level_name(110));
}

TEST(SystemLogFile, WritesLinesAtOrBelowTheLevel) {
    struct {
        int32_t current;
        std::vector<written_line> in;
        std::vector<std::string> out;
    } cases[] = {
        {system_log_default_level,
         {{6, "system", "initialize"}, {7, "system", "too verbose"}, {1, "actors.kill", "invalid actor"}},
         {"information: system: initialize [0]", "error: actors.kill: invalid actor [0]"}},
        {system_log_debug_level,
         {{99, "x", "deep"}, {100, "x", "deeper"}, {109, "x", "deepest"}},
         {"debug89: x: deep [0]"}},
        {109, {{109, "x", "deepest"}}, {"debug99: x: deepest [0]"}},
        // Composed text is never a format, and levels outside the table
        // are refused whatever the current level.
        {200,
         {{1, "origin %s %n", "100% done %d"}, {-1, "x", "negative"}, {110, "x", "too high"}},
         {"error: origin %s %n: 100% done %d [0]"}},
    };
    for (auto& c : cases) {
        scratch_dir dir;
        std::wstring path = dir.path(L"system.log");
        {
            system_log_file log;
            ASSERT_TRUE(log.open(path.c_str(), true));
            EXPECT_EQ(&log, system_log());
            log.set_level(c.current);
            for (auto& l : c.in) log.write(l.level, l.origin, l.message);
            log.close();
        }
        EXPECT_EQ(nullptr, system_log()) << "a dead log must not stay plugged in";
        EXPECT_EQ(c.out, log_lines(path)) << "level " << c.current;
    }
}

TEST(SystemLogFile, LibrariesWriteThroughTheSeamWithTheFrameNumber) {
    scratch_dir dir;
    std::wstring path = dir.path(L"system.log");
    uint64_t frame = 0;
    set_frame_counter(&frame);
    {
        system_log_file log;
        ASSERT_TRUE(log.open(path.c_str(), true));
        log.set_level(system_log_default_level);
        system_log_trace(6, "system", "frame %d", 1);
        frame = 12345678901ull;
        system_log_trace(1, "actors.create", "no %s", "class");
        system_log_trace(7, "actors.create", "dropped");
        log.close();
    }
    set_frame_counter(nullptr);
    std::vector<std::string> want = {"information: system: frame 1 [0]",
                                     "error: actors.create: no class [12345678901]"};
    EXPECT_EQ(want, log_lines(path));
}

TEST(SystemLogFile, OverwriteOrAppend) {
    scratch_dir dir;
    std::wstring path = dir.path(L"system.log");
    for (bool overwrite : {true, false}) {
        write_whole(path, "old line\n");
        {
            system_log_file log;
            ASSERT_TRUE(log.open(path.c_str(), overwrite));
            log.write(6, "system", "new");
        }
        std::string text = read_whole(path);
        EXPECT_EQ(!overwrite, text.find("old line") != std::string::npos) << overwrite;
        EXPECT_NE(std::string::npos, text.find("information: system: new [0]"));
    }
}
