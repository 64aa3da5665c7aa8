// Script menu items in a running engine: built, read back and changed
// from script inside the engine, and chosen from here as the menu would.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
const DWORD box_wait = 10000;

void send_command(HWND window, UINT id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 10000, &result);
}

// Posted commands come after sent ones: a test that mixes them waits for
// the script to have heard the posted one.
bool wait_heard(const game_folder& game, UINT id, DWORD timeout_ms) {
    const std::string wanted = "information: command: " + std::to_string(id);
    const DWORD start = GetTickCount();
    do {
        for (const std::string& line : game.script_log())
            if (line.find(wanted) != std::string::npos) return true;
        Sleep(20);
    } while (GetTickCount() - start < timeout_ms);
    return false;
}

void post_and_wait(const game_folder& game, HWND window, UINT id) {
    post_command(window, id);
    EXPECT_TRUE(wait_heard(game, id, box_wait)) << id;
}

// The script's lines from the first marked one on, frame marks cut off.
std::vector<std::string> lines_after(const game_folder& game, const std::string& first) {
    std::vector<std::string> out;
    bool on = false;
    for (std::string line : script_lines(game)) {
        line = line.substr(0, line.rfind(" ["));
        if (line.find(first) != std::string::npos) on = true;
        if (on) out.push_back(line);
    }
    return out;
}

// The main chunk builds items into the bar; each command from the test
// runs one step; every command the script hears is logged.
const char* const menu_script =
    "local steps = {}\n"
    "system.callback(3, function(id)\n"
    "  if steps[id] then steps[id]() else system.trace(6, 'command', tostring(id)) end\n"
    "  return 1\n"
    "end)\n"
    "show('init', system.init_menu(true))\n"
    "show('add', system.set_menu{10001, 0, 'Game'}, system.set_menu{10002, 8, 'Checked'},\n"
    "     system.set_menu{0, 0, 'Sub', {{10003, 0, 'One'}, {10004, 3, 'Two'}, {0, 0x800, ''}}})\n"
    "show('state', system.menu_state(10001), system.menu_state(10002), system.menu_state(10003),\n"
    "     system.menu_state(10004), system.menu_state(12345))\n"
    "show('set', system.menu_state(10003, 8), system.menu_state(10003), system.menu_state(10002, 0))\n"
    "show('builtin', system.menu_state(40006, 8))\n"
    "show('bad', system.set_menu(5), system.set_menu{}, system.set_menu{70000, 0, 'x'}, system.set_menu{10005},\n"
    "     system.set_menu{10005, 0}, system.set_menu{10005, 0, 'x', 5}, system.set_menu{10005, 0, 'x', {{}}},\n"
    "     system.set_menu{10005, 0, 'x', {{10006, 0}}}, system.menu_state(10005))\n"
    "system.send_menu(10001)\n"
    "steps[20001] = function()\n"
    "  show('del', system.del_menu(-1), system.menu_state(10003), system.menu_state(10001))\n"
    "  show('del', system.del_menu(-1), system.del_menu(-1), system.del_menu(-1))\n"
    "  show('order', system.set_menu{10007, 0, 'B'}, system.set_menu({10008, 0, 'A'}, 0), system.del_menu(1),\n"
    "       system.menu_state(10007), system.menu_state(10008))\n"
    "  show('all', system.del_menu(0), system.menu_state(10008), system.menu_state(40006) ~= nil)\n"
    "  show('again', system.del_menu(0), system.init_menu(true), system.init_menu(true), system.del_menu(-1),\n"
    "       system.menu_state(40004) ~= nil, system.menu_state(1) ~= nil)\n"
    "end\n"
    "steps[20002] = function()\n"
    "  show('own', system.init_menu(false), system.set_menu{10009, 0, 'Own'}, system.menu_state(10009),\n"
    "       system.menu_state(40006))\n"
    "end\n"
    "steps[20003] = function()\n"
    "  show('back', system.init_menu(true), system.menu_state(10009), system.menu_state(40006) ~= nil,\n"
    "       system.set_menu{10010, 0, 'Quit'})\n"
    "end\n"
    "system.trace(6, 'built')\n";
}  // namespace

TEST(ScriptMenu, ItemsAreBuiltReadChangedChosenAndRemoved) {
    game_folder game("[Vy]\r\nFPS=60\r\n", std::string(show_prelude) + menu_script);
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    HMENU bar = GetMenu(window);
    ASSERT_NE(nullptr, bar);
    // Script items and unknown ids alike reach the script's callback.
    post_command(window, 10001);
    post_and_wait(game, window, 10004);
    send_command(window, 20001);
    send_command(window, 20002);
    HMENU own = GetMenu(window);
    EXPECT_NE(nullptr, own);
    EXPECT_NE(bar, own) << "the script's own bar is shown";
    post_and_wait(game, window, 10009);
    send_command(window, 20003);
    EXPECT_EQ(bar, GetMenu(window)) << "the main bar is back";
    post_and_wait(game, window, 10010);
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);

    const std::vector<std::string> expected = {
        "information: init: true",
        "information: add: true,true,true",
        "information: state: 0,8,0,3,nil",
        "information: set: true,8,true",
        "information: builtin: false",
        "error: system.set_menu: invalid set_menu.item",
        "error: system.set_menu: no set_menu.item.id",
        "error: system.set_menu: invalid set_menu.item.id",
        "error: system.set_menu: no set_menu.item.type",
        "error: system.set_menu: no set_menu.item.text",
        "error: system.set_menu: invalid set_menu.item.subitem",
        "error: system.set_menu: no set_menu.item.id",
        "error: system.set_menu: no set_menu.item.text",
        "information: bad: false,false,false,false,false,false,false,false,nil",
        "information: command: 10001",
        "information: trace: built",
        "information: command: 10001",
        "information: command: 10004",
        // -1 is the last script item; once none is left it fails.
        "information: del: true,nil,0",
        "information: del: true,true,false",
        // A new item at index 0 goes before the others.
        "information: order: true,true,true,nil,0",
        // 0 removes every script item and keeps the engine's own.
        "information: all: true,nil,true",
        // Set up twice before any item: the bar keeps every item of its own.
        "information: again: true,true,true,false,true,true",
        "information: own: true,true,0,nil",
        "information: command: 10009",
        "information: back: true,nil,true,true",
        "information: command: 10010",
    };
    EXPECT_EQ(expected, lines_after(game, "information: init:"));
    // Refusals of the menu back end are trace lines.
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "system_manager::set_menu: fail to update"));
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "system_manager::delete_menu: get_pos"));
}
