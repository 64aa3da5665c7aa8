// Fonts described by script tables, read in a real Lua state and made by
// the font manager on the test device.
#include <string>

#include "../peak_memory.h"
#include "font_fixture.h"
#include "graphics/font_table.h"

#include "lauxlib.h"
#include "lualib.h"

namespace {
class font_table_test : public font_test {
protected:
    void SetUp() override {
        font_test::SetUp();
        L = luaL_newstate();
    }
    void TearDown() override {
        lua_close(L);
        font_test::TearDown();
    }

    // Evaluates a Lua expression onto the stack.
    int push(const char* expression) {
        std::string chunk = std::string("return ") + expression;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << expression;
        return lua_gettop(L);
    }

    // The message the table's reading throws, or "" when it makes a font.
    std::string failure_of(graphic_font_manager& m, const char* expression) {
        int table = push(expression);
        try {
            font_handle h = create_font_from_table(L, table, m, gray8_sjis);
            lua_settop(L, 0);
            return h.is_valid() ? "" : "no font";
        } catch (const char* message) {
            lua_settop(L, 0);
            return message;
        }
    }

    lua_State* L = nullptr;
    const wchar_t* no_folder = L"Z:\\nonexistent\\vy_fonts";
};

TEST_F(font_table_test, KeysMakeTheFontAndTheDefaultsFillTheRest) {
    graphic_font_manager m(&g(), no_folder);
    m.set_default_face(L"IPAGothic");
    int table = push("{size = 20, weight = 700, face = 'IPAGothic', cache = 64, flags = 0x10000000}");
    font_handle h = create_font_from_table(L, table, m, gray8_sjis);
    ASSERT_TRUE(h.is_valid());
    const LOGFONTW& lf = h.font()->logfont();
    EXPECT_EQ(20, lf.lfHeight);
    EXPECT_EQ(700, lf.lfWeight);
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_EQ(SHIFTJIS_CHARSET, lf.lfCharSet) << "the caller's flags are added";
    EXPECT_EQ(std::wstring(L"IPAGothic"), lf.lfFaceName);
    EXPECT_EQ(64u, h.font()->capacity());
    EXPECT_EQ(1, h.ref().entry->second.count) << "one use, the caller's";
    EXPECT_EQ(table, lua_gettop(L)) << "the stack is left as it was";

    // A numeric string counts as a number; the face falls back to the
    // manager's default and the weight to normal.
    font_handle d = create_font_from_table(L, push("{size = '20.9'}"), m, gray8_sjis);
    ASSERT_TRUE(d.is_valid());
    EXPECT_EQ(20, d.font()->logfont().lfHeight);
    EXPECT_EQ(400, d.font()->logfont().lfWeight);
    EXPECT_EQ(std::wstring(L"IPAGothic"), d.font()->logfont().lfFaceName);
    EXPECT_FALSE(d.font()->logfont().lfItalic);
}

TEST_F(font_table_test, HugeSizesAndCachesCostNoMoreThanTheirCeilings) {
    graphic_font_manager m(&g(), no_folder);
    m.set_default_face(L"IPAGothic");
    // GDI may bound a huge size itself; a cache past the page limit makes
    // no font at all.
    const struct {
        const char* table;
        bool must_fail;
    } cases[] = {
        {"{size = 100000}", false},
        {"{size = -100000}", false},
        {"{size = 2^31 - 1}", false},
        {"{size = 20, cache = 2^32 - 1}", true},
        {"{size = 4000, cache = 2^20}", true},
    };
    for (const auto& c : cases) {
        const size_t peak_before = peak_memory();
        const std::string failure = failure_of(m, c.table);
        if (c.must_fail) EXPECT_EQ("fail to create font", failure) << c.table;
        EXPECT_LT(peak_memory(), peak_before + (size_t(64) << 20)) << c.table;
    }
    EXPECT_EQ("", failure_of(m, "{size = 200, cache = 16}"));
}

TEST_F(font_table_test, EachBadKeyIsNamed) {
    graphic_font_manager m(&g(), no_folder);
    const std::pair<const char*, const char*> cases[] = {
        {"{}", "no font.size"},
        {"{size = 'big'}", "no font.size"},
        {"{size = 12, weight = 'bold'}", "invalid font.weight"},
        {"{size = 12, face = 3}", "invalid font.face"},
        {"{size = 12, cache = {}}", "invalid font.cache"},
        {"{size = 12, flags = true}", "invalid font.flags"},
        {"{size = 12, face = 'IPAGothic'}", ""},
    };
    for (auto& c : cases) EXPECT_EQ(c.second, failure_of(m, c.first)) << c.first;
}
}  // namespace
