#include <gtest/gtest.h>

#include "engine/startup_settings.h"

TEST(VersionText, CompactVersionsReadAsMajorMinorPatch) {
    struct {
        const wchar_t* compact;
        bool ok;
        const wchar_t* text;
    } cases[] = {
        {L"", false, L""},          {L"1", true, L"1.0"},        {L"01", true, L"1.0"},
        {L"0102", true, L"1.2"},    {L"0102003", true, L"1.2.3"}, {L"1203", true, L"12.3"},
        {L"12030", true, L"12.3"},  {L"120345", true, L"12.3.45"}, {L"010", true, L"1.0"},
    };
    for (auto& c : cases) {
        wstring out;
        EXPECT_EQ(c.ok, version_text(c.compact, out)) << c.compact;
        if (c.ok) EXPECT_STREQ(c.text, out.c_str()) << c.compact;
    }
}
