// The paint table of a script window: each drawing function read back from
// the window's pixels after a real WM_PAINT.
#include "controls_fixture.h"

namespace {
const uint32_t untouched = 0xFFFFFFFF;  // the window's background

// A script colour 0xRRGGBB as GetPixel reports it.
COLORREF rgb(uint32_t v) { return RGB(v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF); }

int count_pixels(HDC dc, const RECT& r, COLORREF c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) n += GetPixel(dc, x, y) == c;
    }
    return n;
}
}  // namespace

using PaintTable = controls_test;

TEST_F(PaintTable, DrawingFunctionsPaintTheWindow) {
    run("handler = function(code, t) if code ~= 4 then return end\n"
        "  t:point(5, 5, 0xFF0000) t:point(7, 5)\n"
        "  t:line(10, 20, 60, 20, 60, 40, 0x00FF00)\n"
        "  t:frame(70, 10, 110, 50, 0x0000FF, 0xFFFF00)\n"
        "  t:circle(140, 30, 15, 0xFF0000, 0x00FF00)\n"
        "  t:polygon(10, 60, 50, 60, 30, 100, 0x0000FF, 0x00FF00)\n"
        "  t:text(70, 60, 'WWW', 0xFF0000)\n"
        "  t:text(120, 100, 190, 140, 'MM', 0x1, 0x0000FF)\n"
        "  t.point({}, 1, 1, 0xFF0000)\n"  // no dc: nothing drawn
        "  painted = (painted or 0) + 1\n"
        "end\n"
        "w = new_window_ctrl(me, {procs = 0x10, rect = {0, 0, 200, 150}})\n"
        "w:redraw()");
    ASSERT_EQ("true", text("painted ~= nil"));
    EXPECT_EQ(0, script_error_status);
    HWND w = window_of("w");
    HDC dc = GetDC(w);
    // Untouched pixels keep the dialog background, whatever its colour.
    RECT client;
    GetClientRect(w, &client);
    const COLORREF background = GetPixel(dc, client.right - 2, 2);
    ASSERT_NE(CLR_INVALID, background);
    struct probe {
        int x, y;
        uint32_t colour;
    };
    const probe probes[] = {
        {5, 5, 0xFF0000},    {7, 5, 0x000000},    {6, 5, untouched},  // points; a missing colour is black
        {30, 20, 0x00FF00},  {60, 30, 0x00FF00},  {30, 30, untouched},  // the line's two legs only
        {70, 30, 0x0000FF},  {109, 30, 0x0000FF}, {90, 30, 0xFFFF00},  // frame edge and fill
        {140, 30, 0x00FF00}, {125, 30, 0xFF0000}, {127, 17, untouched},  // an ellipse, not its box
        {30, 60, 0x0000FF},  {30, 75, 0x00FF00},  {12, 90, untouched},  // the triangle
    };
    for (const probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(p.colour == untouched ? background : rgb(p.colour), GetPixel(dc, p.x, p.y));
    }
    EXPECT_GT(count_pixels(dc, RECT{70, 60, 120, 90}, rgb(0xFF0000)), 10);
    // The long form centres in its rectangle.
    EXPECT_GT(count_pixels(dc, RECT{140, 100, 175, 140}, rgb(0x0000FF)), 10);
    EXPECT_EQ(0, count_pixels(dc, RECT{120, 100, 135, 140}, rgb(0x0000FF)));
    EXPECT_EQ(background, GetPixel(dc, 1, 1));
    ReleaseDC(w, dc);
}

TEST_F(PaintTable, TheTableIsTheStatesOwnAndKeepsItsFunctions) {
    // Each test has a new Lua state: a table kept from an earlier state's
    // registry would lose its functions here.
    run("handler = function(code, t) if code == 4 then seen = t end end "
        "w = new_window_ctrl(me, {procs = 0x10, rect = {0, 0, 50, 50}}) w:redraw() first = seen w:redraw()");
    EXPECT_EQ("true", text("seen == first and type(seen.line) == 'function' and type(seen.image) == 'function' "
                           "and seen.fill == nil and type(seen.dc) == 'userdata'"));
}
