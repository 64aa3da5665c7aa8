// What actions draw stays on their owner's sprite while the field view
// scrolls: a drawing, a text draw, an extended text and a plain text, each
// in a colour of its own, found in snapshots taken before and after the view
// moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "engine_run.h"
#include "image_files.h"
#include "script_cases.h"

namespace {
struct bounds {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool found() const { return right >= 0; }
};

// The box around every pixel whose colour passes the test.
template <class Test>
bounds find(const picture& p, Test test) {
    bounds b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (test(p.at(x, y))) {
                b.left = std::min(b.left, x), b.top = std::min(b.top, y);
                b.right = std::max(b.right, x), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

bool red(uint32_t c) { return c == 0xFF0000; }
bool blue(uint32_t c) { return c == 0x0000FF; }
bool green(uint32_t c) { return (c >> 8 & 0xFF) > 0x80 && (c >> 16) < 0x40 && (c & 0xFF) < 0x40; }
bool white(uint32_t c) { return (c >> 16) > 0xC0 && (c >> 8 & 0xFF) > 0xC0 && (c & 0xFF) > 0xC0; }
bool magenta(uint32_t c) { return (c >> 16) > 0x80 && (c >> 8 & 0xFF) < 0x40 && (c & 0xFF) > 0x80; }
}  // namespace

TEST(EngineActionView, DrawingsAndTextsStayOnTheSpriteWhileTheViewScrolls) {
    const char* const main =
        "sprites.class_create{name = 'red', image = {'red', nil, {16, 16}}, frame = {ways = 1, {0}},"
        "  scene = {{0, 1, 0, 1}}, state = {{0, 0}}}\n"
        "actors.class_create{name = 'box', sprite = 'red', param = {0x100000}, action = {start = function(me)\n"
        "  local d = new_draw(me, 'blue')\n"
        "  d:set(0, {rect = {0, 0, 8, 8}, offset = {0, 24}})\n"
        "  local t = new_textdraw(me, {font = {size = 16, face = 'IPAGothic'}, color = {0xFFFFFFFF, 0}})\n"
        "  t:set('W', {position = {0, 40}})\n"
        "  local x = new_text_ex(me, {font = {size = 16, face = 'IPAGothic'}, color = {0xFF00FF00, 0},"
        "    rect = {24, 0, 80, 20}})\n"
        "  local s = x:add_set{} x:add_text('W') x:end_text() x:state(s, 8)\n"
        // Shown at once, without a reveal.
        "  local p = new_text(me, {16, 400, 'IPAGothic', rect = {0, 64, 40, 84}})\n"
        "  p:request(0x50000104, 0xFFFF00FF) p:request(0x50000106, {0, 0, 0, 0}) p:request(0x50000102, 'W')\n"
        "  while true do t:step() x:step() p:step() actors.wait() end\n"
        "end}}\n"
        "actors.create{'box', 60, 30, 0}\n"
        "system.fork(function()\n"
        "  for i = 1, 10 do coroutine.yield() end\n"
        "  system.trace(6, 'view', 'first ' .. tostring(system.snapshot('before.bmp')))\n"
        "  fields.view(40, 10, 0)\n"
        "  for i = 1, 10 do coroutine.yield() end\n"
        "  system.trace(6, 'view', 'second ' .. tostring(system.snapshot('after.bmp')))\n"
        "  system.exit(0)\n"
        "end)\n";
    // Every frame rendered, however busy the machine: a skipped frame
    // would leave the snapshot showing the view before its move.
    game_folder game("[Vy]\r\nFPS=60\r\nFRAMESKIP=0\r\n", main);
    CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
    game.write(L"graphic\\red.bmp", solid_bmp(16, 16, 0xFF0000));
    game.write(L"graphic\\blue.bmp", solid_bmp(8, 8, 0x0000FF));
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    const std::vector<std::string> lines = script_lines(game);
    for (const char* w : {"information: view: first true", "information: view: second true"}) {
        bool found = false;
        for (const std::string& line : lines) found = found || line.find(w) != std::string::npos;
        EXPECT_TRUE(found) << w << "\n" << game.read(L"log\\system.log");
    }
    const picture before = read_bmp(game.read(L"before.bmp"));
    const picture after = read_bmp(game.read(L"after.bmp"));
    ASSERT_GT(before.width, 0);
    ASSERT_EQ(before.width, after.width);
    bool (*const colours[])(uint32_t) = {red, blue, white, green, magenta};
    const char* const names[] = {"sprite", "drawing", "text draw", "extended text", "text"};
    bounds was[5], now[5];
    for (int i = 0; i < 5; ++i) {
        was[i] = find(before, colours[i]);
        now[i] = find(after, colours[i]);
        ASSERT_TRUE(was[i].found()) << names[i] << " not drawn before";
        ASSERT_TRUE(now[i].found()) << names[i] << " not drawn after";
    }
    // The sprite moved with the view, by the view's own move.
    EXPECT_EQ(was[0].left - 40, now[0].left);
    EXPECT_EQ(was[0].top - 10, now[0].top);
    for (int i = 1; i < 5; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(was[i].left - was[0].left, now[i].left - now[0].left);
        EXPECT_EQ(was[i].top - was[0].top, now[i].top - now[0].top);
    }
    // Each apart from the sprite, where its offset puts it.
    EXPECT_GT(was[1].top, was[0].bottom);
    EXPECT_GT(was[2].top, was[1].bottom);
    EXPECT_GT(was[3].left, was[0].right);
    EXPECT_GT(was[4].top, was[2].bottom);
}
