// Settings read at start-up and written back at shut-down, seen through
// real runs of the engine.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
std::string ini_value(const game_folder& game, const wchar_t* file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256] = {};
    GetPrivateProfileStringW(section, key, L"<none>", buf, 256, game.path(file).c_str());
    return to_utf8(buf);
}
}  // namespace

TEST(EngineSettings, SystemLogLevelFromTraceLevelAndDebugMode) {
    struct {
        std::string ini;
        const char* level;
    } cases[] = {
        {"[Vy]\r\n", "6"},
        {"[TRACE]\r\nLEVEL=3\r\n", "3"},
        {"[Vy]\r\nDEBUG=vydebug\r\n", "99"},
        {"[Vy]\r\nDEBUG=vydebug\r\n[TRACE]\r\nLEVEL=109\r\n", "109"},
        {"[Vy]\r\nDEBUG=wrong\r\n", "6"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.ini);
        game_folder game(c.ini, "system.trace(0, 'level ' .. system.trace())\nsystem.exit(0)\n");
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_TRUE(game.log_has(L"log\\system.log", std::string("fatal-error: trace: level ") + c.level + " [0]"))
            << game.read(L"log\\system.log");
    }
}

TEST(EngineSettings, VolumeIsStoredAsAMultipleOfTenWithoutCreepingUp) {
    struct {
        const char* stored;
        const char* written;
    } cases[] = {{"55", "60"}, {"50", "50"}, {"100", "100"}, {"0", "0"}, {"1", "10"}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.stored);
        game_folder game("[Vy]\r\n", "system.exit(0)\n");
        game.write(L"save.ini", std::string("[SETTINGS]\r\nVOLUME=") + c.stored + "\r\nDISPLAY_WIDTH=800\r\n");
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_EQ(c.written, ini_value(game, L"save.ini", L"SETTINGS", L"VOLUME"));
        // A size with a 0 in it takes the full-screen size.
        EXPECT_NE("800", ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_WIDTH"));
        EXPECT_NE("0", ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_HEIGHT"));
    }
}

TEST(EngineSettings, EarlyFailureKeepsTheUsersStoredSettings) {
    // A missing icon file fails before the user's settings are read: the
    // exit code is recorded, but SETTINGS and NETWORK stay as they were.
    game_folder game("[Vy]\r\nICON=missing.ico\r\n", "system.exit(0)\n");
    game.write(L"save.ini",
               "[SETTINGS]\r\nVOLUME=35\r\n[NETWORK]\r\nPROXY=1\r\nADDRESS=proxy.example\r\nPORT=8080\r\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(-1, out.exit_code);
    EXPECT_EQ(1u, out.boxes.size());
    EXPECT_TRUE(game.log_has(L"log\\trace.log", "WinMain: LoadIcon, code="));
    EXPECT_EQ("-1", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    EXPECT_EQ("35", ini_value(game, L"save.ini", L"SETTINGS", L"VOLUME"));
    EXPECT_EQ("proxy.example", ini_value(game, L"save.ini", L"NETWORK", L"ADDRESS"));
    EXPECT_EQ("8080", ini_value(game, L"save.ini", L"NETWORK", L"PORT"));
}

TEST(EngineSettings, ReadOnlyConfigBecomesWritableAndAMissingOneStopsTheInstall) {
    {
        game_folder game("[Vy]\r\n", "system.exit(0)\n");
        SetFileAttributesW(game.path(L"config.ini").c_str(), FILE_ATTRIBUTE_READONLY);
        engine_outcome out = run_engine(game.dir());
        EXPECT_EQ(0, out.exit_code);
        EXPECT_EQ(0u, GetFileAttributesW(game.path(L"config.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
    }
    {
        game_folder game("[Vy]\r\n", "system.exit(0)\n");
        DeleteFileW(game.path(L"config.ini").c_str());
        engine_outcome out = run_engine(game.dir());
        EXPECT_EQ(-1, out.exit_code);
        EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "WinMain: install, code=-1"));
        EXPECT_EQ("<none>", ini_value(game, L"save.ini", L"SETTINGS", L"INSTALL"));
    }
}

TEST(EngineSettings, StatisticsLogCountsDrawnFramesWhenAPeriodIsSet) {
    for (const char* period : {"0", "30"}) {
        SCOPED_TRACE(period);
        game_folder game(std::string("[Vy]\r\nSTATISTICS=") + period + "\r\n",
                         "system.fork(function() for i = 1, 60 do coroutine.yield() end system.exit(0) end)\n");
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        if (std::string(period) == "0") {
            EXPECT_FALSE(exists(game.path(L"log\\statistics.log")));
        } else {
            std::vector<std::string> lines = game.log_lines(L"log\\statistics.log");
            // The frame's render counter, then the collision world's twelve.
            ASSERT_EQ(13u, lines.size());
            EXPECT_EQ(0u, lines[0].find("             main render counter: avg=")) << lines[0];
            EXPECT_EQ(0u, lines[1].find("     collision body test counter: avg=")) << lines[1];
            EXPECT_NE(std::string::npos, lines[12].find("collision polygon-to-circle collide counter: avg="))
                << lines[12];
        }
    }
}
