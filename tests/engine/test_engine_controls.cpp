// Script windows and common dialogs in the running engine: a window's
// events reach its actor, a command sent to the main window from a control
// id reaches the control's owner, a button's click on the main window
// reaches its owner, and a colour dialog is answered from
// outside.
#include <gtest/gtest.h>

#include "engine_run.h"

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
    ASSERT_TRUE(wait_for_file(game.path(L"ready.txt"), box_wait));
    EXPECT_EQ("panel nil", game.read(L"ready.txt"));
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
