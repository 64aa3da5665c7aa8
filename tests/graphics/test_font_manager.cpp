// Shared fonts by key through counted handles, and private font files.
#include "font_fixture.h"

namespace {

class font_manager_test : public font_test {
protected:
    const wchar_t* no_folder = L"Z:\\nonexistent\\vy_fonts";

    bool in_object_list(graphic_font* f) {
        for (graphic_object* o : g().objects())
            if (o == f) return true;
        return false;
    }
};

TEST_F(font_manager_test, SameDescriptionSharesOneFontUntilTheLastRelease) {
    graphic_font_manager m(&g(), no_folder);
    EXPECT_EQ(graphic_font_manager::instance(), &m);
    font_handle a = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 0);
    font_handle b = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 0);
    ASSERT_TRUE(a.is_valid());
    EXPECT_EQ(a.font(), b.font());
    EXPECT_EQ(a.ref().entry->second.count, 2);
    EXPECT_EQ(m.fonts().size(), 2u);  // the none entry and this one
    graphic_font* f = a.font();
    EXPECT_TRUE(in_object_list(f));
    a.release();
    EXPECT_FALSE(a.is_valid());
    EXPECT_TRUE(b.is_valid());
    EXPECT_EQ(b.ref().entry->second.count, 1);
    {
        font_handle c(b);  // copies count
        EXPECT_EQ(b.ref().entry->second.count, 2);
        c = c;  // self-assignment keeps the reference
        EXPECT_EQ(b.ref().entry->second.count, 2);
    }
    EXPECT_EQ(b.ref().entry->second.count, 1);
    b.release();
    EXPECT_FALSE(in_object_list(f));
    EXPECT_EQ(m.fonts().size(), 1u);
}

TEST_F(font_manager_test, KeyBitsDecideWhichRequestsShare) {
    graphic_font_manager m(&g(), no_folder);
    struct key_case {
        const wchar_t* face;
        int32_t height, weight;
        uint32_t flags;
        bool shares;
    } cases[] = {
        {L"IPAGothic", 16, 400, gray8_sjis | 0x00800000u, false},  // edge font
        {L"IPAGothic", 16, 400, 0x03010000u, false},               // another glyph format
        {L"IPAGothic", 16, 400, gray8_sjis | 0x10000000u, false},  // italic
        {L"IPAGothic", 16, 700, gray8_sjis, false},
        {L"IPAGothic", 17, 400, gray8_sjis, false},
        {L"IPAGothic", 16, 400, gray8_sjis | 0xFFFFu, true},       // low bits are not part of a key
    };
    font_handle base = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 0);
    ASSERT_TRUE(base.is_valid());
    for (auto& c : cases) {
        font_handle h = m.get_font_handle(c.face, c.height, c.weight, c.flags, 0);
        ASSERT_TRUE(h.is_valid());
        EXPECT_EQ(h.font() == base.font(), c.shares) << std::hex << c.flags << " " << c.weight;
    }
    EXPECT_EQ(m.fonts().size(), 2u);  // every other font went with its handle
}

TEST_F(font_manager_test, KeysCarryTheDescription) {
    font_key k;
    graphic_font::make_logfont(k, L"IPAGothic", -12, 700, 0x73560000u);
    EXPECT_EQ(k.logfont.lfHeight, -12);
    EXPECT_EQ(k.logfont.lfWeight, 700);
    EXPECT_EQ(k.logfont.lfItalic, 1);
    EXPECT_EQ(k.logfont.lfUnderline, 1);
    EXPECT_EQ(k.logfont.lfStrikeOut, 1);
    EXPECT_EQ(k.logfont.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(k.logfont.lfOutPrecision, OUT_TT_PRECIS);
    EXPECT_EQ(k.logfont.lfPitchAndFamily, FF_SWISS | VARIABLE_PITCH);
    EXPECT_EQ(k.flags, 0x00020000u);
    EXPECT_STREQ(k.logfont.lfFaceName, L"IPAGothic");
    // Long faces are cut at 31 characters; charset indexes past 3 are default.
    graphic_font::make_logfont(k, L"0123456789012345678901234567890123456789", 0, 0, 0x0C700000u);
    EXPECT_EQ(wcslen(k.logfont.lfFaceName), 31u);
    EXPECT_EQ(k.logfont.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(k.logfont.lfPitchAndFamily, FF_DONTCARE);
}

TEST_F(font_manager_test, LaterLargerRequestsGrowThePage) {
    graphic_font_manager m(&g(), no_folder);
    font_handle a = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 16);
    ASSERT_TRUE(a.is_valid());
    const uint32_t first = a.font()->capacity();
    font_handle b = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 8);
    EXPECT_EQ(a.font()->capacity(), first);
    font_handle c = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 1000);
    EXPECT_EQ(c.font(), a.font());
    EXPECT_GE(a.font()->capacity(), 1000u);
}

TEST_F(font_manager_test, NoneHandleStaysWhateverIsDoneWithIt) {
    graphic_font_manager m(&g(), no_folder);
    font_handle none = m.none_handle();
    EXPECT_FALSE(none.is_valid());
    font_handle copy(none);
    copy.release();
    none.release();
    m.release(m.none_handle().ref());
    EXPECT_EQ(m.fonts().size(), 1u);
    EXPECT_EQ(m.fonts().begin()->second.font, nullptr);
    // A font that can't be made (a page beyond any texture) is the none handle.
    trace_capture trace;
    font_handle huge = m.get_font_handle(L"IPAGothic", 20000, 400, gray8_sjis, 0);
    EXPECT_FALSE(huge.is_valid());
    EXPECT_EQ(huge.ref().entry, m.none_entry());
    EXPECT_EQ(m.fonts().size(), 1u);
    EXPECT_GE(trace.count("graphic_font::create"), 1u);
    // An empty handle (no manager) is harmless too.
    font_handle empty;
    EXPECT_FALSE(empty.is_valid());
    empty.release();
}

TEST_F(font_manager_test, FindHandleCountsTheFontsEntry) {
    graphic_font_manager m(&g(), no_folder);
    font_handle a = m.get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 0);
    font_handle found = m.find_handle(a.font());
    EXPECT_EQ(found.font(), a.font());
    EXPECT_EQ(a.ref().entry->second.count, 2);
    graphic_font stranger(&g());
    EXPECT_FALSE(m.find_handle(&stranger).is_valid());
    EXPECT_FALSE(m.find_handle(nullptr).is_valid());
}

TEST_F(font_manager_test, PrivateFontFilesAreInstalledAndLogged) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vy_fonts_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const wchar_t* system_font = L"Z:\\usr\\share\\fonts\\opentype\\ipafont-gothic\\ipag.ttf";
    ASSERT_TRUE(CopyFileW(system_font, (dir + L"\\game.ttf").c_str(), FALSE));
    HANDLE h = CreateFileW((dir + L"\\readme.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(h, "not a font", 10, &written, nullptr);
    CloseHandle(h);
    CreateDirectoryW((dir + L"\\sub").c_str(), nullptr);
    {
        trace_capture trace;
        graphic_font_manager m(&g(), dir.c_str());
        std::string log = trace.text();
        // The code is the number of fonts the file added.
        EXPECT_NE(log.find("graphic_font_manager::install_fonts: game.ttf, code="), std::string::npos)
            << log;
        EXPECT_EQ(log.find("game.ttf, code=-1"), std::string::npos);
        EXPECT_EQ(log.find("game.ttf, code=0("), std::string::npos);
        EXPECT_NE(log.find("graphic_font_manager::install_fonts: AddFontResourceEx"), std::string::npos);
        EXPECT_NE(log.find("graphic_font_manager::install_fonts: readme.txt, code=-1("), std::string::npos);
        EXPECT_EQ(log.find("sub"), std::string::npos);
        EXPECT_EQ(trace.count("install_fonts"), 3u);
    }
    {
        trace_capture trace;
        graphic_font_manager m(&g(), (dir + L"\\missing").c_str());
        EXPECT_EQ(trace.count("install_fonts"), 0u);
    }
    RemoveFontResourceExW((dir + L"\\game.ttf").c_str(), FR_PRIVATE, nullptr);
    DeleteFileW((dir + L"\\game.ttf").c_str());
    DeleteFileW((dir + L"\\readme.txt").c_str());
    RemoveDirectoryW((dir + L"\\sub").c_str());
    RemoveDirectoryW(dir.c_str());
}

}  // namespace
