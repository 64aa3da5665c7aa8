// The shell's part of every frame, seen from runs of VyEngine.exe: the
// debug overlay, the frame rate setting and threads forked by threads.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "image_files.h"

namespace {
std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

int lit_pixels(const picture& p) {
    int n = 0;
    for (uint32_t c : p.rgb) n += c != 0;
    return n;
}

TEST(EngineFrameShell, DrawFpsShowsTheOverlayTextOverTheScene) {
    const char* const script =
        "system.fork(function()\n"
        "  for i = 1, 40 do coroutine.yield() end\n"
        "  system.snapshot('shot.bmp')\n"
        "  system.exit(0)\n"
        "end)\n";
    struct run_case {
        const char* ini;
        bool text;
    };
    for (const run_case& c : {run_case{"DRAWFPS=1\r\n", true}, run_case{"", false}}) {
        SCOPED_TRACE(c.ini);
        game_folder game(std::string("[Vy]\r\nFPS=60\r\nWIDTH=320\r\nHEIGHT=240\r\n") + c.ini, script);
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code) << game.read(L"log\\vytrace.log");
        picture shot = read_bmp(game.read(L"shot.bmp"));
        ASSERT_EQ(320, shot.width);
        if (!c.text) {
            EXPECT_EQ(0, lit_pixels(shot));
            continue;
        }
        // Four lines of text, centred, at the bottom of the screen.
        int top = shot.height, bottom = -1, left = shot.width, right = -1;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                if (shot.at(x, y) != 0) {
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, x), right = std::max(right, x);
                }
        ASSERT_GT(lit_pixels(shot), 200);
        EXPECT_GT(bottom, 200);
        EXPECT_GT(bottom - top, 40) << "several lines";
        EXPECT_LT(std::abs((left + right) - 320), 40) << "centred";
    }
}

TEST(EngineFrameShell, AFrameRateOfZeroOrLessRunsAtSixty) {
    // 180 frames at 60 per second take three seconds; an unpaced loop
    // takes a fraction of one.
    const char* const script =
        "local start = os.time()\n"
        "system.trace(6, 'fps ' .. system.fps() .. ' ' .. system.fps('x'))\n"
        "system.fork(function()\n"
        "  for i = 1, 180 do coroutine.yield() end\n"
        "  system.trace(6, 'seconds ' .. os.difftime(os.time(), start))\n"
        "  system.exit(0)\n"
        "end)\n";
    for (const char* fps : {"0", "-5"}) {
        SCOPED_TRACE(fps);
        game_folder game(std::string("[Vy]\r\nFPS=") + fps + "\r\n", script);
        engine_outcome out = run_engine(game.dir(), L"", 30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        const std::vector<std::string> log = game.script_log();
        ASSERT_GE(log.size(), 3u) << joined(log);
        EXPECT_EQ("information: trace: fps 60 60 [0]", log[1]);
        EXPECT_TRUE(log[2] == "information: trace: seconds 2 [180]" || log[2] == "information: trace: seconds 3 [180]" ||
                    log[2] == "information: trace: seconds 4 [180]")
            << log[2];
        EXPECT_NE(std::string::npos, game.read(L"log\\vytrace.log").find("WinMain: invalid FPS, 60 is used"));
    }
}

TEST(EngineFrameShell, AThreadForkedByAThreadStartsInTheNextFrame) {
    game_folder game("[Vy]\r\nFPS=60\r\n",
                     "local function count(name)\n"
                     "  return function()\n"
                     "    for i = 1, 3 do system.trace(6, name .. ' ' .. i) coroutine.yield() end\n"
                     "  end\n"
                     "end\n"
                     "system.fork(function()\n"
                     "  coroutine.yield()\n"
                     "  system.fork(count('inner'))\n"
                     "  coroutine.yield() coroutine.yield() coroutine.yield()\n"
                     "  system.exit(0)\n"
                     "end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    const std::vector<std::string> log = game.script_log();
    // Resumed once by the fork in frame 1, then once in each later frame.
    const std::vector<std::string> inner = {"information: trace: inner 1 [1]", "information: trace: inner 2 [2]",
                                            "information: trace: inner 3 [3]"};
    std::vector<std::string> got;
    for (const std::string& l : log)
        if (l.find("inner") != std::string::npos) got.push_back(l);
    EXPECT_EQ(inner, got) << joined(log);
}
}  // namespace
