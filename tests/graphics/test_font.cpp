// Fonts: glyphs rasterised into the page, the result rectangles, eviction,
// growth, device loss, and the coverage levels of each glyph format.
#include <algorithm>
#include <set>

#include "font_fixture.h"

namespace {

// GDI's own view of a glyph, for comparing with what reached the page.
struct gdi_glyph {
    GLYPHMETRICS gm{};
    std::vector<uint8_t> levels;  // one byte a pixel, black box rows
};

gdi_glyph gray8_glyph(const LOGFONTW& lf, uint32_t code) {
    gdi_glyph out;
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const MAT2 m = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    DWORD size = GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &out.gm, 0, nullptr, &m);
    if (size && size != GDI_ERROR) {
        std::vector<uint8_t> raw(size);
        GetGlyphOutlineA(dc, code, GGO_GRAY8_BITMAP, &out.gm, size, raw.data(), &m);
        uint32_t pitch = (out.gm.gmBlackBoxX + 3) & ~3u;
        for (uint32_t y = 0; y < out.gm.gmBlackBoxY; ++y)
            for (uint32_t x = 0; x < out.gm.gmBlackBoxX; ++x) out.levels.push_back(raw[y * pitch + x]);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return out;
}

TEST(font_pixels, LevelsBecomeCoverage) {
    struct level_case {
        uint32_t format, level;
        uint8_t alpha;
    } cases[] = {
        {GGO_GRAY8_BITMAP, 27, 108}, {GGO_GRAY8_BITMAP, 64, 255}, {GGO_GRAY8_BITMAP, 0, 0},
        {GGO_GRAY4_BITMAP, 3, 48},   {GGO_GRAY4_BITMAP, 16, 255}, {GGO_GRAY2_BITMAP, 1, 64},
        {GGO_GRAY2_BITMAP, 4, 255},  {GGO_BITMAP, 1, 255},        {GGO_BITMAP, 0, 0},
    };
    for (auto& c : cases)
        EXPECT_EQ(glyph_level_alpha(c.format, c.level), c.alpha) << c.format << "/" << c.level;
}

TEST(font_pixels, TexelsAreWhiteWithTheCoverageInEachFormat) {
    struct texel_case {
        D3DFORMAT format;
        uint8_t alpha;
        bool written;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x9C, true, {0xFF, 0xFF, 0xFF, 0x9C}},
        {D3DFMT_X8R8G8B8, 0x10, true, {0xFF, 0xFF, 0xFF, 0x10}},
        {D3DFMT_A4R4G4B4, 0x9C, true, {0xFF, 0x9F}},
        // 1-5-5-5 pages: white, opaque from half coverage on.
        {D3DFMT_A1R5G5B5, 0x9C, true, {0xFF, 0xFF}},
        {D3DFMT_A1R5G5B5, 0x40, true, {0xFF, 0x7F}},
        {D3DFMT_X1R5G5B5, 0x80, true, {0xFF, 0xFF}},
        {D3DFMT_R5G6B5, 0xFF, false, {0, 0}},
    };
    for (auto& c : cases) {
        uint8_t texel[4] = {0, 0, 0, 0};
        EXPECT_EQ(write_glyph_texel(c.format, texel, c.alpha), c.written) << c.format;
        EXPECT_EQ(std::vector<uint8_t>(texel, texel + c.bytes.size()), c.bytes) << c.format;
    }
}

TEST_F(font_test, GlyphLandsInItsCellWithGdisCoverage) {
    graphic_font* f = make_font(16, 64);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->cell_width(), 22u + 2);  // IPAGothic 16: widest 22, height 16
    EXPECT_EQ(f->cell_height(), 16u + 2);
    EXPECT_EQ(f->space_advance(), 8u);
    EXPECT_EQ(f->wide_space_advance(), 16u);
    const LOGFONTW lf = ipa_logfont(16);
    struct glyph_case {
        uint32_t code;
        uint32_t index;  // cells are handed out in order
    } cases[] = {{'A', 0}, {'g', 1}, {0x82A0 /* hiragana a */, 2}, {0x889F, 3}, {0xB1 /* half-width */, 4}};
    for (auto& c : cases) {
        graphic_glyph gl;
        ASSERT_TRUE(f->get_char(c.code, gl)) << std::hex << c.code;
        const int32_t cell_x = int32_t(f->cell_width() * (c.index % f->columns()));
        const int32_t cell_y = int32_t(f->cell_height() * (c.index / f->columns()));
        gdi_glyph want = gray8_glyph(lf, c.code);
        EXPECT_EQ(gl.advance, want.gm.gmCellIncX);
        EXPECT_EQ(gl.height, 16);
        EXPECT_EQ(gl.left, cell_x + 1);
        EXPECT_EQ(gl.top, cell_y + 1);
        EXPECT_EQ(gl.right, gl.left + gl.advance);
        EXPECT_EQ(gl.bottom, gl.top + 16);

        pixels page = read_page(*f);
        ASSERT_FALSE(page.data.empty());
        const int32_t ox = cell_x + want.gm.gmptGlyphOrigin.x + 1;
        const int32_t oy = cell_y + int32_t(f->ascent()) - want.gm.gmptGlyphOrigin.y + 1;
        int mismatches = 0;
        for (int32_t y = cell_y; y < cell_y + int32_t(f->cell_height()); ++y) {
            for (int32_t x = cell_x; x < cell_x + int32_t(f->cell_width()); ++x) {
                int32_t bx = x - ox, by = y - oy;
                uint32_t level = 0;
                if (bx >= 0 && by >= 0 && bx < int32_t(want.gm.gmBlackBoxX) &&
                    by < int32_t(want.gm.gmBlackBoxY))
                    level = want.levels[by * want.gm.gmBlackBoxX + bx];
                uint32_t alpha = std::min<uint32_t>(level * 4, 255);
                uint32_t texel = page.at(x, y);
                if ((texel >> 24) != alpha || (alpha && (texel & 0xFFFFFF) != 0xFFFFFF)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << std::hex << c.code;
        EXPECT_FALSE(want.levels.empty());
    }
}

TEST_F(font_test, EachGlyphFormatUsesItsOwnLevels) {
    struct format_case {
        uint32_t index;
        std::set<uint32_t> allowed;
    } cases[] = {
        {0, {0, 255}},
        {1, {0, 64, 128, 192, 255}},
        {2, {}},  // 17 levels: 16 n
        {3, {}},  // 65 levels: 4 n
    };
    for (auto& c : cases) {
        graphic_font* f = make_font(24, 16, 0x03000000u | (c.index << 16));
        ASSERT_TRUE(f);
        graphic_glyph gl;
        ASSERT_TRUE(f->get_char(0x82A0, gl));
        pixels page = read_page(*f);
        uint32_t covered = 0;
        for (uint32_t texel : cut(page, glyph_rect(gl))) {
            uint32_t a = texel >> 24;
            if (a) ++covered;
            if (!c.allowed.empty())
                EXPECT_TRUE(c.allowed.count(a)) << c.index << ": " << a;
            else if (a != 255)
                EXPECT_EQ(a % (c.index == 2 ? 16 : 4), 0u) << c.index << ": " << a;
        }
        EXPECT_GT(covered, 20u) << c.index;
    }
}

TEST_F(font_test, BlankCharactersHaveNoGlyphAndNoEntry) {
    trace_capture trace;
    graphic_font* f = make_font(16, 16);
    ASSERT_TRUE(f);
    graphic_glyph gl;
    for (uint32_t code : {0x20u, 0x8140u}) {
        EXPECT_FALSE(f->get_char(code, gl)) << code;
        EXPECT_TRUE(f->glyphs().empty());
    }
    EXPECT_EQ(trace.count("graphic_font::get_char: GetGlyphOutline"), 2u);
    ASSERT_TRUE(f->get_char('A', gl));
    EXPECT_EQ(gl.left, 1);  // the failed requests took no cell
}

TEST_F(font_test, DefaultCapacityFillsTheRealPage) {
    graphic_font* f = make_font(16, 0);
    ASSERT_TRUE(f);
    const uint32_t side = 16;  // sqrt(256)
    EXPECT_EQ(f->width(), side * f->cell_width());
    if (f->real_width() == f->width() && f->real_height() == f->height()) {
        EXPECT_EQ(f->capacity(), 256u);
    } else {
        EXPECT_EQ(f->columns(), f->real_width() / f->cell_width());
        EXPECT_EQ(f->rows(), f->real_height() / f->cell_height());
        EXPECT_EQ(f->capacity(), f->columns() * f->rows());
    }
    EXPECT_GE(f->capacity(), 256u);
}

TEST_F(font_test, FullPageEvictsTheLeastRecentlyUsedGlyph) {
    graphic_font* f = make_font(16, 4);
    ASSERT_TRUE(f);
    const uint32_t n = f->capacity();
    ASSERT_GE(n, 4u);
    graphic_glyph gl;
    for (uint32_t i = 0; i < n; ++i) ASSERT_TRUE(f->get_char(kanji(i), gl));
    // Touch all but the second: it becomes the oldest.
    for (uint32_t i = 0; i < n; ++i)
        if (i != 1) ASSERT_TRUE(f->get_char(kanji(i), gl));
    const uint32_t freed_cell = f->glyphs().at(kanji(1)).cell;
    pixels before = read_page(*f);
    ASSERT_TRUE(f->get_char(kanji(n), gl));
    EXPECT_EQ(f->glyphs().size(), n);
    EXPECT_EQ(f->glyphs().count(kanji(1)), 0u);
    EXPECT_EQ(f->glyphs().at(kanji(n)).cell, freed_cell);
    EXPECT_EQ(f->glyphs().count(kanji(0)), 1u);
    // The reused cell now shows the new glyph, and only that cell changed.
    pixels after = read_page(*f);
    EXPECT_NE(cut(before, glyph_rect(gl)), cut(after, glyph_rect(gl)));
    const LONG cell_x = gl.left - 1, cell_y = gl.top - 1;
    int changed_elsewhere = 0;
    for (uint32_t y = 0; y < after.height; ++y)
        for (uint32_t x = 0; x < after.width; ++x) {
            bool inside = LONG(x) >= cell_x && LONG(x) < cell_x + LONG(f->cell_width()) &&
                          LONG(y) >= cell_y && LONG(y) < cell_y + LONG(f->cell_height());
            if (!inside && after.at(x, y) != before.at(x, y)) ++changed_elsewhere;
        }
    EXPECT_EQ(changed_elsewhere, 0);
    graphic_glyph again;
    ASSERT_TRUE(f->get_char(kanji(n), again));
    EXPECT_EQ(again.left, gl.left);
    EXPECT_EQ(again.top, gl.top);
}

TEST_F(font_test, GrowingThePageKeepsEveryCachedGlyph) {
    graphic_font* f = make_font(16, 4);
    ASSERT_TRUE(f);
    const uint32_t n = f->capacity();
    std::vector<std::vector<uint32_t>> shapes;
    graphic_glyph gl;
    pixels page;
    for (uint32_t i = 0; i < n; ++i) ASSERT_TRUE(f->get_char(kanji(i), gl));
    page = read_page(*f);
    for (uint32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(f->get_char(kanji(i), gl));
        shapes.push_back(cut(page, glyph_rect(gl)));
    }
    const uint32_t columns = f->columns(), drawn = f->rasterised();
    EXPECT_TRUE(f->resize_cache(n));  // not more: nothing happens
    EXPECT_EQ(f->columns(), columns);
    ASSERT_TRUE(f->resize_cache(300));
    EXPECT_GE(f->capacity(), 300u);
    EXPECT_NE(f->columns(), columns);
    page = read_page(*f);
    for (uint32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(f->get_char(kanji(i), gl));
        EXPECT_EQ(cut(page, glyph_rect(gl)), shapes[i]) << i;
    }
    EXPECT_EQ(f->rasterised(), drawn);
    // New glyphs go to fresh cells of the larger page.
    ASSERT_TRUE(f->get_char(kanji(n), gl));
    EXPECT_EQ(f->glyphs().size(), n + 1);
    EXPECT_TRUE(f->resize_cache(10));  // never shrinks
    EXPECT_GE(f->capacity(), 300u);
}

TEST_F(font_test, DeviceResetBringsTheGlyphsBackWithoutDrawingThemAgain) {
    graphic_font* f = make_font(16, 16);
    ASSERT_TRUE(f);
    graphic_glyph gl;
    for (uint32_t code : {uint32_t('A'), 0x82A0u, 0x889Fu}) ASSERT_TRUE(f->get_char(code, gl));
    pixels before = read_page(*f);
    const uint32_t drawn = f->rasterised();
    ASSERT_TRUE(g().reset());
    EXPECT_FALSE(f->lost());
    ASSERT_TRUE(f->d3d_texture());
    for (uint32_t code : {uint32_t('A'), 0x82A0u, 0x889Fu}) ASSERT_TRUE(f->get_char(code, gl));
    EXPECT_EQ(f->rasterised(), drawn);
    EXPECT_EQ(read_page(*f).data, before.data);
    ASSERT_TRUE(f->get_char('B', gl));  // the GDI objects are back too
    EXPECT_EQ(f->rasterised(), drawn + 1);
}

TEST_F(font_test, DefaultFontIsAGothicShiftJisFont) {
    auto* f = new graphic_font(&g());
    g().add_object(f);
    ASSERT_TRUE(f->create());
    EXPECT_EQ(f->key_flags(), 0x830A0000u);
    EXPECT_EQ(f->logfont().lfHeight, 10);
    EXPECT_EQ(f->logfont().lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(f->logfont().lfPitchAndFamily, FIXED_PITCH | FF_DONTCARE);
    EXPECT_GE(f->capacity(), 256u);
    graphic_glyph gl;
    EXPECT_TRUE(f->get_char(0x82A0, gl));
    EXPECT_GT(gl.advance, 0);
}

}  // namespace
