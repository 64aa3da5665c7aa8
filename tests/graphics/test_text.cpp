// Text layout into glyph records (pens, tabs, wrapping, alignment, fitted
// boxes) and text drawn on the device, with edges and alpha.
#include <cmath>

#include "font_fixture.h"
#include "graphics/text.h"

namespace {

class text_test : public font_test {
protected:
    void SetUp() override {
        font_test::SetUp();
        manager_ = std::make_unique<graphic_font_manager>(&g(), L"Z:\\nonexistent\\vy_fonts");
        font_ = manager_->get_font_handle(L"IPAGothic", 16, 400, gray8_sjis, 0);
        ASSERT_TRUE(font_.is_valid());
    }
    void TearDown() override {
        font_.release();
        manager_.reset();
        font_test::TearDown();
    }

    // The glyph records of a layout, line records left out.
    static std::vector<glyph_record> glyphs_of(const glyph_record_list& list) {
        std::vector<glyph_record> out;
        for (const glyph_record& r : list)
            if (r.code != glyph_code_line) out.push_back(r);
        return out;
    }

    // Renders one object alone on a black screen and reads it back.
    pixels draw(graphic_render_object* o) {
        int32_t id = g().create_render_layer<graphic_alpha_sprite_render_layer>();
        g().set_layer_target(id, nullptr);
        g().attach_render_object(o, id);
        EXPECT_TRUE(g().render());
        delete g().remove_render_layer(id);
        return read_target(g(), g().back_buffer());
    }

    // Red channel of a screen rectangle.
    static std::vector<uint32_t> reds(const pixels& p, int x, int y, int w, int h) {
        std::vector<uint32_t> out;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) out.push_back((p.at(i, j) >> 16) & 0xFF);
        return out;
    }

    std::unique_ptr<graphic_font_manager> manager_;
    font_handle font_;
};

TEST_F(text_test, CharacterReaderJoinsDoubleByteCodes) {
    struct read_case {
        const char* text;
        std::vector<uint32_t> codes;
    } cases[] = {
        {"Ab", {'A', 'b'}},
        {"\x82\xA0" "A\x81\x40", {0x82A0, 'A', 0x8140}},
        {"\xB1\xDF", {0xB1, 0xDF}},      // half-width katakana: single bytes
        {"\xE0\x40" "Z", {0xE040, 'Z'}},
        {"A\x82", {'A'}},                // a lead byte cut off by the end
        {"", {}},
    };
    for (auto& c : cases) {
        std::vector<uint32_t> got;
        const char* p = c.text;
        for (uint32_t code; (code = text_next_char(p));) got.push_back(code);
        EXPECT_EQ(got, c.codes) << c.text;
    }
}

TEST_F(text_test, PenPositionsFollowSpacingTabsAndWidths) {
    // IPAGothic 16: half-width advance 8, full-width 16, lines 16 high.
    struct pen_case {
        const char* text;
        uint32_t flags;
        int32_t letter_spacing;
        std::vector<std::pair<float, float>> at;
    } cases[] = {
        {"AB", 0, 2, {{0, 0}, {10, 0}}},                            // no spacing before the first
        {"A\nB", 0, 2, {{0, 0}, {0, 16}}},                          // nor on a new line
        {"abc\tX", 0, 0, {{0, 0}, {8, 0}, {16, 0}, {64, 0}}},       // column 3: 5 steps
        {"ab\tX", 0x3004, 0, {{0, 0}, {8, 0}, {48, 0}}},             // fixed 4 columns
        {"ab\tX", 0x1000, 0, {{0, 0}, {8, 0}, {64, 0}}},             // width 0: the default 8
        {"ab\tX", 0x1004, 0, {{0, 0}, {8, 0}, {32, 0}}},             // next stop of 4
        {"\x82\xA0\tX", 0, 0, {{0, 0}, {64, 0}}},                   // a double-byte character is 2 columns
        {"A B\x81\x40" "C", 0, 0, {{0, 0}, {16, 0}, {40, 0}}},      // space 8, full-width space 16
        {"A B", 0, 3, {{0, 0}, {22, 0}}},                           // spaces carry the spacing
        {"A\n\nB", 0, 0, {{0, 0}, {0, 32}}},
        {"AB\x82", 0, 0, {{0, 0}, {8, 0}}},                          // a cut-off lead byte ends the text
    };
    graphic_font_object o(&g());
    o.style.font = font_;
    o.rect = RECT{0, 0, 200, 100};
    for (auto& c : cases) {
        o.format_flags = c.flags;
        o.letter_spacing = c.letter_spacing;
        o.format(c.text, nullptr);
        std::vector<glyph_record> got = glyphs_of(o.list());
        ASSERT_EQ(got.size(), c.at.size()) << c.text;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.at[i].first) << c.text << " #" << i;
            EXPECT_EQ(got[i].y, c.at[i].second) << c.text << " #" << i;
            EXPECT_EQ(got[i].state, 8u);
        }
    }
}

TEST_F(text_test, WrappingMovesWholeCharactersAndSpacesEndLines) {
    struct wrap_case {
        const char* text;
        LONG width;
        std::vector<std::pair<float, float>> at;
    } cases[] = {
        {"ABCDEFG", 40, {{0, 0}, {8, 0}, {16, 0}, {24, 0}, {32, 0}, {0, 16}, {8, 16}}},
        {"ABCDE FG", 40, {{0, 0}, {8, 0}, {16, 0}, {24, 0}, {32, 0}, {0, 16}, {8, 16}}},
        {"ABC D", 40, {{0, 0}, {8, 0}, {16, 0}, {32, 0}}},
        {"AB\x82\xA0\x82\xA0", 40, {{0, 0}, {8, 0}, {16, 0}, {0, 16}}},
        {"ABCDE \nF", 40, {{0, 0}, {8, 0}, {16, 0}, {24, 0}, {32, 0}, {0, 16}}},  // one break, not two
        {"ABCDEFG", 0, {{0, 0}, {8, 0}, {16, 0}, {24, 0}, {32, 0}, {40, 0}, {48, 0}}},  // empty box: no wrap
    };
    graphic_font_object o(&g());
    o.style.font = font_;
    for (auto& c : cases) {
        o.rect = RECT{0, 0, c.width, c.width ? 200 : 0};
        o.format_flags = text_wrap;
        o.format(c.text, nullptr);
        std::vector<glyph_record> got = glyphs_of(o.list());
        ASSERT_EQ(got.size(), c.at.size()) << c.text;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.at[i].first) << c.text << " #" << i;
            EXPECT_EQ(got[i].y, c.at[i].second) << c.text << " #" << i;
        }
    }
}

TEST_F(text_test, LinesAndBlocksAlignInTheRectangle) {
    struct align_case {
        const char* text;
        uint32_t flags;
        RECT rect;
        std::vector<std::pair<float, float>> at;
        RECT box;
    } cases[] = {
        {"AB", 0x200, {0, 0, 26, 50}, {{5, 0}, {13, 0}}, {0, 0, 26, 50}},     // 10 shorter: 5 in
        {"AB\nABCD", 0x200, {0, 0, 100, 50}, {{42, 0}, {50, 0}, {34, 16}, {42, 16}, {50, 16}, {58, 16}},
         {0, 0, 100, 50}},
        {"AB", 0x100, {10, 0, 110, 50}, {{94, 0}, {102, 0}}, {10, 0, 110, 50}},
        {"A", 0x400, {0, 20, 100, 120}, {{0, 104}}, {0, 20, 100, 120}},
        {"A", 0x800, {0, 20, 100, 120}, {{0, 62}}, {0, 20, 100, 120}},
        {"A\nB", 0x800, {0, 0, 100, 33}, {{0, 0}, {0, 16}}, {0, 0, 100, 33}},  // (33 - 32) >> 1
        {"ABC", text_fit, {10, 20, 110, 220}, {{10, 20}, {18, 20}, {26, 20}}, {10, 20, 34, 36}},
        {"ABC", text_fit | text_fit_keep_right | text_fit_keep_bottom, {10, 20, 110, 220},
         {{86, 204}, {94, 204}, {102, 204}}, {86, 204, 110, 220}},
        {"ABC", text_fit | text_fit_center_x | text_fit_center_y, {10, 20, 111, 221},
         {{48, 112}, {56, 112}, {64, 112}}, {48, 112, 72, 128}},
        {"ABC", text_fit | text_fit_center_x, {0, 0, 10, 16}, {{-7, 0}, {1, 0}, {9, 0}}, {-7, 0, 17, 16}},
    };
    graphic_font_object o(&g());
    o.style.font = font_;
    for (auto& c : cases) {
        o.rect = c.rect;
        o.format_flags = c.flags;
        RECT box{};
        o.format(c.text, &box);
        std::vector<glyph_record> got = glyphs_of(o.list());
        ASSERT_EQ(got.size(), c.at.size()) << c.text << " " << c.flags;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.at[i].first) << c.text << " " << std::hex << c.flags << " #" << i;
            EXPECT_EQ(got[i].y, c.at[i].second) << c.text << " " << std::hex << c.flags << " #" << i;
        }
        EXPECT_EQ(box.left, c.box.left) << std::hex << c.flags;
        EXPECT_EQ(box.top, c.box.top) << std::hex << c.flags;
        EXPECT_EQ(box.right, c.box.right) << std::hex << c.flags;
        EXPECT_EQ(box.bottom, c.box.bottom) << std::hex << c.flags;
    }
}

TEST_F(text_test, RecordsNameTheStylesFontWithoutCountingIt) {
    graphic_font_object o(&g());
    o.style.font = font_;
    EXPECT_EQ(font_.ref().entry->second.count, 2);
    o.format("ABC\nDEF", nullptr);
    EXPECT_EQ(font_.ref().entry->second.count, 2);
    for (const glyph_record& r : o.list()) EXPECT_EQ(r.font.font(), font_.font());
    // Line records start every line and carry its width and bottom.
    ASSERT_EQ(o.list().front().code, glyph_code_line);
    EXPECT_EQ(o.list().front().state, 0u);
    EXPECT_EQ(o.list().front().x, 24.0f);
    EXPECT_EQ(o.list().front().y, 16.0f);
}

TEST_F(text_test, StylesChangeBetweenAddsAndLaterTextStartsANewLine) {
    graphic_font_object o(&g());
    o.rect = RECT{0, 0, 200, 100};
    o.output->clear();
    o.style.font = font_;
    o.format("AB", nullptr);
    o.style.scale = 2.0f;
    o.style.face_color = 0xFF00FF00;
    o.add_text("C");
    o.style.scale = 1.0f;
    o.add_text("D\nE");
    o.finish(nullptr);
    std::vector<glyph_record> got = glyphs_of(o.list());
    ASSERT_EQ(got.size(), 5u);
    // "C" and "D" share a line 32 high: both sit on its bottom.
    EXPECT_EQ(got[2].x, 0.0f);
    EXPECT_EQ(got[2].y, 16.0f);
    EXPECT_EQ(got[2].face_color, 0xFF00FF00u);
    EXPECT_EQ(got[2].scale, 2.0f);
    EXPECT_EQ(got[3].x, 16.0f);
    EXPECT_EQ(got[3].y, 32.0f);
    EXPECT_EQ(got[4].x, 0.0f);
    EXPECT_EQ(got[4].y, 48.0f);
    // The first line kept its place.
    EXPECT_EQ(got[0].y, 0.0f);
    EXPECT_EQ(got[1].x, 8.0f);
}

TEST_F(text_test, LaidOutLineDrawsWhereItWasPlacedWithItsAlpha) {
    graphic_glyph gl;
    ASSERT_TRUE(font_.font()->get_char('A', gl));
    pixels page = read_page(*font_.font());
    std::vector<uint32_t> coverage;
    for (uint32_t texel : cut(page, glyph_rect(gl))) coverage.push_back(texel >> 24);
    struct alpha_case {
        float alpha;
        D3DCOLOR face;
        float scale_of_red;
    } cases[] = {{1.0f, 0xFFFFFFFF, 1.0f}, {0.5f, 0xFFFFFFFF, 0.5f}, {1.0f, 0x80FFFFFF, 0.5f},
                 {0.0f, 0xFFFFFFFF, 0.0f}, {1.0f, 0xFF0000FF, 0.0f}};
    for (auto& c : cases) {
        graphic_font_object o(&g());
        o.style.font = font_;
        o.style.alpha = c.alpha;
        o.style.face_color = c.face;
        o.rect = RECT{0, 0, 100, 50};
        o.format("A", nullptr);
        o.x = 20.4f;
        o.y = 30.2f;
        pixels p = draw(&o);
        std::vector<uint32_t> got = reds(p, 20, 30, gl.advance, gl.height);
        int off = 0;
        for (size_t i = 0; i < got.size(); ++i)
            if (std::abs(int(got[i]) - int(std::lround(coverage[i] * c.scale_of_red))) > 2) ++off;
        EXPECT_EQ(off, 0) << c.alpha << " " << std::hex << c.face;
        // Nothing outside the glyph's quad.
        uint32_t outside = 0;
        for (uint32_t y = 0; y < p.height; ++y)
            for (uint32_t x = 0; x < p.width; ++x) {
                bool inside = x >= 20 && x < 20u + gl.advance && y >= 30 && y < 30u + gl.height;
                if (!inside && (p.at(x, y) & 0xFFFFFF)) ++outside;
            }
        EXPECT_EQ(outside, 0u);
    }
}

TEST_F(text_test, DoubleByteTextDrawsEachGlyphAtItsPen) {
    graphic_font_object o(&g());
    o.style.font = font_;
    o.rect = RECT{0, 0, 150, 50};
    o.format("\x82\xA0" "A\x88\x9F", nullptr);  // hiragana a, A, a kanji
    pixels p = draw(&o);
    const float xs[3] = {0, 16, 24};
    const uint32_t codes[3] = {0x82A0, 'A', 0x889F};
    pixels page = read_page(*font_.font());
    for (int i = 0; i < 3; ++i) {
        graphic_glyph gl;
        ASSERT_TRUE(font_.font()->get_char(codes[i], gl));
        std::vector<uint32_t> want;
        for (uint32_t texel : cut(page, glyph_rect(gl))) want.push_back(texel >> 24);
        std::vector<uint32_t> got = reds(p, int(xs[i]), 0, gl.advance, gl.height);
        int off = 0;
        for (size_t k = 0; k < got.size(); ++k)
            if (std::abs(int(got[k]) - int(want[k])) > 2) ++off;
        EXPECT_EQ(off, 0) << i;
    }
}

TEST_F(text_test, EdgesSurroundTheFaceOnlyWhenAsked) {
    for (bool edged : {false, true}) {
        graphic_font_object o(&g());
        o.style.font = font_;
        o.style.face_color = 0xFF0000FF;
        o.style.edge_color = 0xFFFF0000;
        o.format_flags = edged ? text_edge : 0;
        o.rect = RECT{0, 0, 100, 50};
        o.format("I", nullptr);
        o.x = 40;
        o.y = 40;
        pixels p = draw(&o);
        int red = 0, blue = 0, both = 0;
        for (uint32_t y = 30; y < 70; ++y)
            for (uint32_t x = 30; x < 60; ++x) {
                uint32_t c = p.at(x, y);
                bool r = ((c >> 16) & 0xFF) > 200, b = (c & 0xFF) > 200;
                red += r;
                blue += b;
                both += r && b;
            }
        EXPECT_GT(blue, 10) << edged;
        EXPECT_EQ(red > 10, edged);
        EXPECT_EQ(both, 0);  // faces are drawn over their edges
    }
}

TEST_F(text_test, CharacterWithoutAGlyphTakesNoPlaceAndNoQuad) {
    // DejaVu Sans draws nothing for the no-break space 0xA0 of code page 1252.
    font_handle latin = manager_->get_font_handle(L"DejaVu Sans", 16, 400, 0x01030000u, 0);
    ASSERT_TRUE(latin.is_valid());
    graphic_glyph a;
    ASSERT_TRUE(latin.font()->get_char('A', a));
    graphic_font_object o(&g());
    o.style.font = latin;
    o.rect = RECT{0, 0, 100, 50};
    o.format("A\xA0" "A", nullptr);
    std::vector<glyph_record> got = glyphs_of(o.list());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].x, float(a.advance));
    EXPECT_EQ(latin.font()->glyphs().count(0xA0), 0u);
    pixels p = draw(&o);
    uint32_t lit_columns = 0;
    for (uint32_t x = 0; x < p.width; ++x)
        for (uint32_t y = 0; y < p.height; ++y)
            if (p.at(x, y) & 0xFFFFFF) {
                ++lit_columns;
                break;
            }
    EXPECT_GT(lit_columns, 0u);
    EXPECT_LE(lit_columns, uint32_t(2 * a.advance));
}

TEST_F(text_test, SmallGlyphCacheNeverRedrawsACellThatTheFrameStillSamples) {
    font_handle small = manager_->get_font_handle(L"IPAGothic", 20, 400, gray8_sjis, 4);
    ASSERT_TRUE(small.is_valid());
    const uint32_t n = small.font()->capacity();
    ASSERT_LT(n, 40u) << "the page must be small enough to overflow in one line";
    std::string text;
    for (uint32_t i = 0; i < n + 2; ++i) {
        text += char(kanji(i) >> 8);
        text += char(kanji(i) & 0xFF);
    }
    graphic_font_object o(&g());
    o.style.font = small;
    o.rect = RECT{0, 0, 1000, 40};
    o.format(text.c_str(), nullptr);
    const std::vector<glyph_record> placed = glyphs_of(o.list());
    ASSERT_EQ(placed.size(), size_t(n + 2));
    // The first frame has more glyphs than cells; the next one has a page
    // grown for them.
    pixels first = draw(&o);
    pixels second = draw(&o);
    EXPECT_GE(small.font()->capacity(), n + 2);
    auto strip = [](const pixels& p, float x) {
        std::vector<uint32_t> out;
        for (int y = 0; y < 24; ++y)
            for (int i = int(x); i < int(x) + 20; ++i) out.push_back(p.at(i, y) & 0xFFFFFF);
        return out;
    };
    auto lit = [](const std::vector<uint32_t>& v) {
        for (uint32_t c : v)
            if (c) return true;
        return false;
    };
    for (uint32_t i = 0; i < n + 2; ++i) EXPECT_TRUE(lit(strip(second, placed[i].x))) << i;
    // What the first frame drew is right; what did not fit waits a frame.
    for (uint32_t i = 0; i < n + 2; ++i) {
        const std::vector<uint32_t> a = strip(first, placed[i].x);
        if (lit(a)) EXPECT_EQ(a, strip(second, placed[i].x)) << i;
    }
    EXPECT_TRUE(lit(strip(first, placed[0].x)));
    small.release();
}

TEST_F(text_test, HiddenOrFontlessTextDrawsNothing) {
    graphic_font_object o(&g());
    o.style.font = font_;
    o.rect = RECT{0, 0, 100, 50};
    o.format("ABC", nullptr);
    o.set_flag(render_flag_hidden, true);
    pixels p = draw(&o);
    EXPECT_EQ(std::count_if(p.data.begin(), p.data.end(), [](uint32_t c) { return c & 0xFFFFFF; }), 0);
    graphic_font_object none(&g());
    none.style.font = manager_->none_handle();
    none.format("ABC", nullptr);
    EXPECT_TRUE(none.list().empty());
    p = draw(&none);
    EXPECT_EQ(std::count_if(p.data.begin(), p.data.end(), [](uint32_t c) { return c & 0xFFFFFF; }), 0);
}

}  // namespace
