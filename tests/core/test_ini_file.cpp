// Settings read and written through the private-profile functions on real
// files.
#include <gtest/gtest.h>

#include <string>

#include "core/ini_file.h"
#include "scratch_dir.h"

TEST(IniFile, ReadsValuesWithDefaultsAtTheCall) {
    scratch_dir dir;
    std::wstring path = dir.path(L"system.ini");
    const std::string long_value(300, 'x');
    const std::string edge_value(255, 'y');
    ASSERT_TRUE(write_whole(path, "[Vy]\r\nTITLE=Sample Game\r\nWIDTH=800\r\nNEG=-1\r\nTWO=2\r\nZERO=0\r\n"
                                  "WORD=abc\r\nLONG=" + long_value + "\r\nEDGE=" + edge_value + "\r\n"));
    const wchar_t* file = path.c_str();

    struct string_case {
        const wchar_t *section, *key, *fallback;
        std::string expected;
    };
    const string_case strings[] = {
        {L"Vy", L"TITLE", L"Vy Engine", "Sample Game"},
        {L"Vy", L"MISSING", L"Vy Engine", "Vy Engine"},
        {L"Nope", L"TITLE", L"fallback", "fallback"},
        {L"Vy", L"MISSING", L"", ""},
        {L"Vy", L"LONG", L"", long_value},  // grows past 256 characters
        {L"Vy", L"EDGE", L"", edge_value},  // exactly fills the first buffer
    };
    for (const auto& c : strings) {
        wstring got = get_profile_string(c.section, c.key, c.fallback, file);
        std::wstring w = got.c_str();
        EXPECT_EQ(std::string(w.begin(), w.end()), c.expected) << std::wstring(c.key);
    }

    struct number_case {
        const wchar_t* key;
        int32_t fallback;
        int32_t as_int;
        bool fallback_bool, as_bool;
    };
    const number_case numbers[] = {
        {L"WIDTH", 640, 800, false, true}, {L"NEG", 5, -1, true, false}, {L"TWO", 0, 2, false, true},
        {L"ZERO", 7, 0, true, false},      {L"WORD", 9, 0, true, false}, {L"MISSING", 640, 640, true, true},
        {L"MISSING", -3, -3, false, false},
    };
    for (const auto& c : numbers) {
        EXPECT_EQ(read_profile_int(L"Vy", c.key, c.fallback, file), c.as_int) << std::wstring(c.key);
        EXPECT_EQ(read_profile_bool(L"Vy", c.key, c.fallback_bool, file), c.as_bool) << std::wstring(c.key);
    }

    ini_file ini(file);
    EXPECT_EQ(ini.get_int(L"Vy", L"WIDTH", 640), 800);
    EXPECT_TRUE(ini.get_bool(L"Vy", L"TWO", false));
    EXPECT_FALSE(ini.modified());
}

TEST(IniFile, WritesReachTheFileWhenClosed) {
    scratch_dir dir;
    std::wstring path = dir.path(L"save.ini");
    ASSERT_TRUE(write_whole(path, "[STATUS]\r\nEXITCODE=0\r\n"));
    {
        ini_file ini(path.c_str());
        EXPECT_TRUE(ini.write_int(L"STATUS", L"EXITCODE", -32768));
        EXPECT_TRUE(ini.write_string(L"SETTINGS", L"NAME", L"player one"));
        EXPECT_TRUE(ini.modified());
        EXPECT_EQ(ini.get_int(L"STATUS", L"EXITCODE", 0), -32768);
        ini.close();
        EXPECT_FALSE(ini.modified());
        EXPECT_TRUE(ini.path().empty());
        EXPECT_FALSE(ini.write_string(L"X", L"Y", L"after close"));
    }
    std::string text = read_whole(path);
    EXPECT_NE(text.find("EXITCODE=-32768"), std::string::npos) << text;
    EXPECT_NE(text.find("[SETTINGS]"), std::string::npos) << text;
    EXPECT_NE(text.find("NAME=player one"), std::string::npos) << text;
    EXPECT_EQ(text.find("after close"), std::string::npos);
}
