// Script windows and common dialogs in the running engine: a window's
// events reach its actor, a command sent to the main window from a control
// id reaches the control's owner, a button's click on the main window
// reaches its owner, and a colour dialog is answered from
// outside.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_run.h"
#include "image_files.h"

namespace {
const DWORD box_wait = 15000;

const char* const listener =
    "actors.class_create{name = 'listener', param = {0}, action = {\n"
    "  catch = function(a, ctx, ev, v)\n"
    "    local f = io.open('events.txt', 'ab') f:write(string.format('%x %s\\n', ev, tostring(v))) f:close()\n"
    "    if ev == 0x50010007 then system.exit(0) end\n"
    "  end}}\n"
    "hero = actors.create{'listener', 0, 0, 0, name = 'hero'}\n";
}  // namespace

TEST(EngineControls, WindowEventsAndMainWindowCommandsReachTheOwner) {
    game_folder game("[Vy]\r\nFPS=60\r\n",
                     std::string(listener) +
                         "w = new_window_ctrl(hero, {id = 'panel', procs = 0x3, rect = {0, 0, 200, 100}})\n"
                         "bad = new_window_ctrl(hero, {procs = 'x'})\n"
                         "b = new_button_ctrl(hero, {id = 'go', text = 'Go', rect = {0, 0, 80, 30}})\n"
                         "b:push()\n"
                         "local f = io.open('ready.txt', 'w') f:write(tostring(w:id()), ' ', tostring(bad)) f:close()\n");
    engine_process engine(game.dir(), L"");
    HWND main = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("panel nil", wait_for_text(game.path(L"ready.txt"), box_wait));
    // A notification from control 10001, as a child control sends it.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(10001, 7), reinterpret_cast<LPARAM>(main));
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    // The button on the main window reports its click through the main
    // window's command routing.
    EXPECT_EQ("50010000 nil\n50010000 go\n50010007 panel\n", game.read(L"events.txt"));
    EXPECT_TRUE(game.log_has(L"log\\system.log", "window_ctrl.new: invalid new_wnd_ctrl.procs"));
}

TEST(EngineControls, ColourDialogAnsweredFromOutside) {
    game_folder game("[Vy]\r\nFPS=60\r\n",
                     std::string(listener) +
                         "system.fork(function()\n"
                         "  coroutine.yield()\n"
                         "  local d = new_color_dialog(hero, {})\n"
                         "  local c = d:open()\n"
                         "  local f = io.open('colour.txt', 'w') f:write(string.format('%06x', c or -1)) f:close()\n"
                         "  system.exit(0)\n"
                         "end)\n");
    engine_process engine(game.dir(), L"");
    ASSERT_NE(nullptr, engine.wait_main_window(box_wait));
    HWND box = engine.wait_box(L"", box_wait);
    ASSERT_NE(nullptr, box);
    engine.leave_box(box);
    set_dialog_text(box, 706, L"255");
    set_dialog_text(box, 707, L"0");
    set_dialog_text(box, 708, L"0");
    press_button(box, IDOK);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_EQ("ff0000", game.read(L"colour.txt"));
}

namespace {
// This engine's top-level window of that caption.
HWND engine_window(DWORD pid, const wchar_t* caption, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        for (HWND w = FindWindowW(nullptr, caption); w; w = FindWindowExW(nullptr, w, nullptr, caption)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid) return w;
        }
        Sleep(20);
    }
    return nullptr;
}

// The screen's pixel at a client point of the window, as 0xRRGGBB.
uint32_t screen_pixel(HWND w, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(w, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}
// Rows from the first to the last holding dark pixels in the window's
// first 100 x 40 client pixels (0 when none).
int ink_height(HWND w) {
    int top = 1000, bottom = -1;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 100; ++x) {
            const uint32_t c = screen_pixel(w, x, y);
            if ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF) < 200) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return bottom < 0 ? 0 : bottom - top + 1;
}
}  // namespace

TEST(EngineControls, FontsPicturesAndPaintTablesInARunningGame) {
    game_folder game(
        "[Vy]\r\nFPS=60\r\n",
        "function paint(t)\n"
        "  t:point(5, 5, 0xFF0000)\n"
        "  t:line(10, 20, 60, 20, 60, 40, 0x00FF00)\n"
        "  t:frame(70, 10, 110, 50, 0x0000FF, 0xFFFF00)\n"
        "  t:circle(140, 30, 15, 0xFF0000, 0x00FF00)\n"
        "  t:polygon(10, 60, 50, 60, 30, 100, 0x0000FF, 0x00FF00)\n"
        "  t:text(120, 60, 190, 90, 'MMM', 0x1, 0xFF0000)\n"
        "  t:image(100, 110, 20, 20, 'pic', 0, 0)\n"
        "  local f = io.open('painted.txt', 'w') f:write('yes') f:close()\n"
        "end\n"
        "actors.class_create{name = 'painter', param = {0}, action = {\n"
        "  catch = function(a, ctx, ev, v) if ev == 0x50010004 then paint(v) end end}}\n"
        "hero = actors.create{'painter', 0, 0, 0, name = 'hero'}\n"
        "fw = new_window_ctrl(hero, {text = 'fonts', type = 0x30000001, rect = {520, 300, 720, 420}})\n"
        "big = new_static_ctrl(hero, {parent = fw, text = 'Big', font = {size = 28}, rect = {0, 0, 100, 40}})\n"
        "plain = new_static_ctrl(hero, {parent = fw, text = 'Plain', rect = {0, 50, 100, 90}})\n"
        "nofont = new_static_ctrl(hero, {font = {weight = 700}, rect = {0, 40, 100, 70}})\n"
        "big:font({size = 28, weight = 700}) big:font({face = 3})\n"
        "pic = new_button_ctrl(hero, {type = 0x80, image = 'pic', rect = {0, 80, 40, 110}})\n"
        "lost = new_button_ctrl(hero, {type = 0x80, image = 'nowhere', rect = {50, 80, 90, 110}})\n"
        "w = new_window_ctrl(hero, {text = 'paint', type = 0x30000001, procs = 0x10, rect = {300, 300, 520, 480}})\n"
        "local f = io.open('ready.txt', 'w')\n"
        "f:write(tostring(big ~= nil), ' ', tostring(nofont), ' ', tostring(pic ~= nil), ' ', tostring(lost ~= nil))\n"
        "f:close()\n"
        "system.fork(function() while true do\n"
        "  local q = io.open('quit.txt', 'r') if q then q:close() system.exit(0) end coroutine.yield() end end)\n");
    CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
    game.write(L"graphic\\pic.bmp", solid_bmp(20, 20, 0x0000FF));
    engine_process engine(game.dir(), L"");
    HWND main = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, main);
    ASSERT_EQ("true nil true true", wait_for_text(game.path(L"ready.txt"), box_wait));
    // The font made from the table is the control's: its text stands
    // taller than the system font's.
    HWND fonts = engine_window(engine.id(), L"fonts", box_wait);
    ASSERT_NE(nullptr, fonts);
    HWND big = FindWindowExW(fonts, nullptr, L"Static", L"Big");
    HWND plain = FindWindowExW(fonts, nullptr, L"Static", L"Plain");
    ASSERT_TRUE(big && plain);
    Sleep(300);
    EXPECT_GT(ink_height(big), ink_height(plain) + 4);
    // The picture is the button's.
    HWND button = FindWindowExW(main, nullptr, L"Button", nullptr);
    ASSERT_NE(nullptr, button);
    EXPECT_NE(0, SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_TRUE(wait_for_file(game.path(L"painted.txt"), box_wait));
    HWND w = engine_window(engine.id(), L"paint", box_wait);
    ASSERT_NE(nullptr, w);
    Sleep(300);  // the painted surface reaches the screen
    struct probe {
        int x, y;
        uint32_t colour;
    };
    const probe probes[] = {
        {5, 5, 0xFF0000},   {30, 20, 0x00FF00}, {60, 30, 0x00FF00},  {70, 30, 0x0000FF}, {90, 30, 0xFFFF00},
        {140, 30, 0x00FF00}, {30, 60, 0x0000FF}, {30, 75, 0x00FF00}, {110, 120, 0x0000FF},
    };
    for (const probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(p.colour, screen_pixel(w, p.x, p.y));
    }
    // The picture's texture may still be loading at the first paint on a
    // busy machine: repaint until it shows, within a limit.
    int red = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(200)) {
        red = 0;
        for (int y = 60; y < 90; ++y) {
            for (int x = 120; x < 190; ++x) red += screen_pixel(w, x, y) == 0xFF0000;
        }
        if (red > 10) break;
        InvalidateRect(w, nullptr, TRUE);
    }
    EXPECT_GT(red, 10);
    game.write(L"quit.txt", "");
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    const std::vector<std::string> wanted = {"ctrl.new: fail to set_font", "static_ctrl.new: fail to create control",
                                             "cntl.set_font: invalid font param"};
    for (const std::string& line : wanted) EXPECT_TRUE(game.log_has(L"log\\system.log", line)) << line;
    // Only the bad table fails: the good one is taken.
    int font_errors = 0;
    for (const std::string& line : game.log_lines(L"log\\system.log")) font_errors += line.find("invalid font param") != std::string::npos;
    EXPECT_EQ(1, font_errors) << game.read(L"log\\system.log");
}

TEST(EngineControls, MainWindowScrollBarsPlacementsParentsAndSafeCloses) {
    game_folder game(
        "[Vy]\r\nFPS=60\r\n",
        "function note(...) local f = io.open('notes.txt', 'ab') f:write(table.concat({...}, ' '), '\\n') f:close() end\n"
        "actors.class_create{name = 'owner', param = {0}, action = {\n"
        "  catch = function(a, ctx, ev, v)\n"
        "    if ev == 0x50010001 then closer:release() closer = nil note('released') released = true end\n"
        "  end}}\n"
        "hero = actors.create{'owner', 0, 0, 0, name = 'hero'}\n"
        "sb = new_scrollbar_ctrl(hero, {id = 'bar', max = 50, page = 10, rect = {0, 0, 150, 20}})\n"
        "kept = new_window_ctrl(hero, {text = 'kept', type = 0x30000001, rect = {40, 50, 240, 150}})\n"
        "local x0, y0 = kept:pos()\n"
        "local stored = system.store_window('panel', kept)\n"
        "kept:pos(300, 320)\n"
        "local restored = system.restore_window('panel', kept)\n"
        "local x1, y1 = kept:pos()\n"
        "note(tostring(stored), tostring(restored), tostring(x1 == x0 and y1 == y0))\n"
        "closed = new_window_ctrl(hero, {}) closed:close()\n"
        "note(tostring(system.store_window('panel', sb)), tostring(system.store_window('panel', closed)),\n"
        "     tostring(system.restore_window('panel', nil)), tostring(system.store_window(5, kept)))\n"
        "gone = new_window_ctrl(hero, {}) local stale = {object = gone.object} gone:release()\n"
        "local parents = {{object = sounds.channel_create{name = 'se'}}, new_draw(hero, {16, 16}), stale, closed}\n"
        "for _, p in ipairs(parents) do note(tostring(new_button_ctrl(hero, {parent = p, rect = {0, 0, 9, 9}}))) end\n"
        "closer = new_window_ctrl(hero, {text = 'closer', procs = 0x80000002})\n"
        "note('ready')\n"
        "system.fork(function() while not released do coroutine.yield() end\n"
        "  for i = 1, 5 do coroutine.yield() end system.exit(0) end)\n");
    engine_process engine(game.dir(), L"");
    HWND main = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, main);
    const DWORD start = GetTickCount();
    while (game.read(L"notes.txt").find("ready") == std::string::npos && GetTickCount() - start < box_wait) Sleep(50);
    EXPECT_EQ("true true true\nfalse false false false\nnil\nnil\nnil\nnil\nready\n", game.read(L"notes.txt"));
    // Scroll codes sent to the main window move its scroll-bar control.
    HWND bar = FindWindowExW(main, nullptr, L"ScrollBar", nullptr);
    ASSERT_NE(nullptr, bar);
    SendMessageW(main, WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(bar));
    SendMessageW(main, WM_HSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(11, SendMessageW(bar, SBM_GETPOS, 0, 0));
    // The close event releases its own window; the owner is killed after it.
    HWND closer = engine_window(engine.id(), L"closer", box_wait);
    ASSERT_NE(nullptr, closer);
    PostMessageW(closer, WM_CLOSE, 0, 0);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    EXPECT_NE(std::string::npos, game.read(L"notes.txt").find("released"));
    const std::vector<std::string> wanted = {
        "system.store_window: invalid control", "system.store_window: no window", "system.restore_window: no control",
        "system.store_window: invalid window name", "ctrl.new: invalid ctrl.parent"};
    for (const std::string& line : wanted) EXPECT_TRUE(game.log_has(L"log\\system.log", line)) << line;
    EXPECT_NE(std::string::npos, game.read(L"save.ini").find("panel")) << "the placement sits in the save settings file";
}
