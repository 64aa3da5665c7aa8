// The GDI drawing table over a drawing action's blank image: each function
// checked by the texels read back once the context is released, and the
// colour key's pixels seen through on the screen.
#include <functional>

#include "draw_fixture.h"

namespace {
using DrawDc = draw_test;

struct texel_check {
    int x, y;
    uint32_t argb;
};

TEST_F(DrawDc, FunctionsPaintTheImageThroughGdi) {
    run("d = new_draw(hero, {64, 64}) t = d:get_dc()");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    ASSERT_TRUE(truth("type(t) == 'table' and type(t.dc) == 'userdata'"));
    EXPECT_TRUE(truth("d:get_dc().dc == t.dc")) << "the open context is reused";

    struct paint_case {
        const char* call;
        std::vector<texel_check> texels;
    };
    const paint_case cases[] = {
        {"t:fill(0, 0, 64, 16, 0x102030)", {{1, 1, 0xFF102030}, {63, 15, 0xFF102030}, {1, 17, 0}}},
        // No colour: the colour key, which reads back as transparent.
        {"t:point(3, 4)", {{3, 4, 0}, {4, 4, 0xFF102030}}},
        {"t:point(5, 5, 0xFF0000)", {{5, 5, 0xFFFF0000}}},
        {"t:point('6', 5.6, '0x00FF')", {{6, 6, 0xFF0000FF}}},
        {"t:line(0, 20, 10, 20, 10, 30, 0xFF0000)",
         {{0, 20, 0xFFFF0000}, {9, 20, 0xFFFF0000}, {10, 25, 0xFFFF0000}, {11, 25, 0}, {5, 21, 0}}},
        {"t:frame(20, 20, 30, 30, 0x0000FF, 0x00FFFF)",
         {{20, 25, 0xFF0000FF}, {29, 29, 0xFF0000FF}, {25, 25, 0xFF00FFFF}, {30, 30, 0}}},
        {"t:circle(50, 50, 10, 0xFFFFFF, 0x000000)",
         {{50, 50, 0xFF000000}, {50, 40, 0xFFFFFFFF}, {41, 41, 0}, {50, 39, 0}}},
        // A blue edge around a fill in the key's green: the inside stays clear.
        {"t:polygon(32, 20, 42, 20, 37, 28, 0xFF, 0xFF00)",
         {{37, 20, 0xFF0000FF}, {37, 23, 0}, {33, 20, 0xFF0000FF}}},
        {"t:image(0, 56, 8, 8, dir .. 'small.bmp', 32, 0)",
         {{0, 56, cell(1, 0)}, {7, 63, cell(1, 0)}, {8, 56, 0}}},
        {"t:image(20, 56, 4, 8, dir .. 'small.bmp', 28, 0, -1)",
         {{20, 56, cell(0, 0)}, {23, 56, cell(0, 0)}, {24, 56, 0}}},
        {"t:image(30, 56, 8, 8, dir .. 'none.bmp', 0, 0)", {{30, 56, 0}}},
        {"t.point({}, 60, 60, 0xFFFFFF) t.fill({dc = 5}, 0xFFFFFF)", {{60, 60, 0}}},
    };
    for (const auto& c : cases) run(c.call);
    run("d:release_dc()");
    EXPECT_EQ(nullptr, d->dc_holder);
    const pixels p = texels(d->blank);
    ASSERT_EQ(64u, p.width);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        for (const auto& t : c.texels) EXPECT_EQ(t.argb, p.at(t.x, t.y)) << t.x << "," << t.y;
    }

    // Stretched with halftoning: an 8 x 8 copy of the whole 64 x 32 image.
    run("t = d:get_dc() t:image(40, 0, 8, 8, dir .. 'small.bmp', 0, 0, 64, 32) "
        "t:text(2, 34, 'W', 0xFFFFFF) d:release_dc()");
    const pixels q = texels(d->blank);
    EXPECT_TRUE(pixels::close_to(cell(0, 0), q.at(41, 2), 16)) << std::hex << q.at(41, 2);
    EXPECT_TRUE(pixels::close_to(cell(1, 0), q.at(46, 2), 16)) << std::hex << q.at(46, 2);
    int white = 0;
    for (int y = 34; y < 54; ++y)
        for (int x = 2; x < 20; ++x) white += q.at(x, y) == 0xFFFFFFFF;
    EXPECT_GT(white, 3) << "the text drew white on a clear ground";
    EXPECT_EQ(0u, q.at(1, 33));

    // On the screen the cleared pixels let the background through.
    hero->set_position(80, 60, 0);
    run("d:set(0, {rect = {0, 0, 64, 64}})");
    const pixels s = draw();
    ASSERT_EQ(size_t(width) * height, s.data.size());
    EXPECT_EQ(0xFFFF0000, s.at(48 + 5, 28 + 5) | 0xFF000000);
    EXPECT_EQ(background, s.at(48 + 37, 28 + 23) | 0xFF000000) << "the key's green is transparent";
    EXPECT_EQ(background, s.at(48 + 3, 28 + 4) | 0xFF000000);
    EXPECT_EQ(0xFF102030, s.at(48 + 10, 28 + 10) | 0xFF000000);
}

TEST_F(DrawDc, ContextsNeedAnImage) {
    run("d = new_draw(hero, dir .. 'wide.bmp') t = d:get_dc()");
    EXPECT_TRUE(truth("type(t) == 'table' and t.dc ~= nil")) << "a loaded image can be painted too";
    run("t:fill(0, 0, 4, 4, 0x0000FF) d:release_dc() d:release_dc()");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(0xFF0000FFu, texels(d->image.get()).at(1, 1));
    run("d:release()");
    EXPECT_TRUE(truth("d:get_dc() == nil"));
}
}  // namespace
