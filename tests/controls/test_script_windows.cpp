// Script windows opened from Lua tables: their creation keys, control ids,
// the main window's dialog mode, and their messages arriving at the owner
// actor as events.
#include "controls/window_ctrl_action.h"
#include "controls_fixture.h"

using ScriptWindows = controls_test;

TEST_F(ScriptWindows, CreationKeysGoodAndBad) {
    struct key_case {
        const char* call;
        std::vector<std::string> log;  // exact lines; none for a window made
    };
    const key_case cases[] = {
        {"new_window_ctrl(me, {rect = {10, 20, 110, 70}})", {}},
        {"new_window_ctrl(me, {pos = {10, 20, 100, 50}, text = 'hello'})", {}},
        {"new_window_ctrl(nil, {})", {"1 window_ctrl.new: invalid actor object"}},
        {"new_window_ctrl(me, {type = 'x'})", {"1 window_ctrl.new: invalid new_wnd_ctrl.type"}},
        {"new_window_ctrl(me, {bgcolor = 3})", {"1 window_ctrl.new: invalid new_wnd_ctrl.bgcolor"}},
        {"new_window_ctrl(me, {cursor = {}})", {"1 window_ctrl.new: invalid new_wnd_ctrl.cursor"}},
        {"new_window_ctrl(me, {procs = 'p'})", {"1 window_ctrl.new: invalid new_wnd_ctrl.procs"}},
        {"new_window_ctrl(me, {rect = 5})", {"1 ctrl.new: invalid ctrl.rect", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {rect = {0, 'a'}})",
         {"1 ctrl.new: invalid ctrl.rect.top", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {pos = {1, 2, 3}})",
         {"1 ctrl.new: no ctrl.rect.height", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {pos = 1})",
         {"1 ctrl.new: invalid new_wnd_ctrl.pos", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {text = {}})", {"1 ctrl.new: invalid ctrl.text", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {parent = {}})",
         {"1 ctrl.new: invalid ctrl.parent", "1 window_ctrl.new: fail to create control"}},
        {"new_window_ctrl(me, {font = 3})", {"1 ctrl.new: fail to set_font", "1 window_ctrl.new: fail to create control"}},
    };
    for (const key_case& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        const size_t before = actions->extend_list().size();
        const std::string chunk = std::string("w = ") + c.call;
        run(chunk.c_str());
        EXPECT_EQ(c.log, log.lines);
        if (c.log.empty()) {
            EXPECT_EQ("true", text("w and w:is()"));
            run("w:release() w = nil");
        } else {
            EXPECT_EQ("nil", text("w"));
        }
        // Nothing is left behind by a refused window, and no id stays taken.
        EXPECT_EQ(before, actions->extend_list().size());
        EXPECT_EQ(0, live_control_count());
    }
}

TEST_F(ScriptWindows, IdsAreReusedAndDialogModeFollowsTheLiveControls) {
    run("a = new_window_ctrl(me, {}) b = new_window_ctrl(me, {}) c = new_window_ctrl(me, {})");
    EXPECT_EQ("10001 10002 10003", text("a:id() .. ' ' .. b:id() .. ' ' .. c:id()"));
    EXPECT_TRUE(dialog_mode.on);
    EXPECT_EQ(1, dialog_mode.switched_on);
    run("b:release() d = new_window_ctrl(me, {})");
    EXPECT_EQ(10002, number("d:id()"));
    EXPECT_EQ(control_of("d"), control_table_at(1));
    run("a:release() c:release() d:release()");
    EXPECT_FALSE(dialog_mode.on);
    EXPECT_EQ(1, dialog_mode.switched_off);
    EXPECT_EQ(nullptr, control_table_at(0));
    run("e = new_window_ctrl(me, {})");
    EXPECT_EQ(10001, number("e:id()"));
    EXPECT_EQ(2, dialog_mode.switched_on);
}

TEST_F(ScriptWindows, RectAndPosPlaceTopLevelWindowsFromTheMainClientOrigin) {
    POINT origin = {0, 0};
    ClientToScreen(stand_in_main, &origin);
    run("r = new_window_ctrl(me, {type = 0, rect = {10, 20, 310, 170}}) "
        "p = new_window_ctrl(me, {type = 0, pos = {10, 20, 300, 150}}) "
        "s = new_window_ctrl(me, {type = 0x30000000, rect = {0, 0, 200, 100}})");
    RECT rr, pr, sr;
    GetWindowRect(window_of("r"), &rr);
    GetWindowRect(window_of("p"), &pr);
    GetWindowRect(window_of("s"), &sr);
    EXPECT_EQ(origin.x + 10, rr.left);
    EXPECT_EQ(origin.y + 20, rr.top);
    EXPECT_EQ(300, rr.right - rr.left);
    EXPECT_EQ(150, rr.bottom - rr.top);
    EXPECT_EQ(0, memcmp(&rr, &pr, sizeof rr));
    EXPECT_EQ(0, sr.left);
    EXPECT_EQ(0, sr.top);
    // Read back relative to the main window's client area.
    EXPECT_EQ("10 20 310 170", text("table.concat({r:rect()}, ' ')"));
    EXPECT_EQ("10 20 300 150", text("table.concat({r:pos()}, ' ')"));
    run("r:pos(30, 40)");
    EXPECT_EQ("30 40 330 190", text("table.concat({r:rect()}, ' ')"));
    run("r:rect(0, 0, 160, 120)");
    EXPECT_EQ("0 0 160 120", text("table.concat({r:rect()}, ' ')"));
    // A client area of 150 by 80 whatever the frame.
    run("w = new_window_ctrl(me, {type = 1, rect = {0, 0, 50, 50}}) w:adjust(0, 0, 150, 80)");
    RECT cr;
    GetClientRect(window_of("w"), &cr);
    EXPECT_EQ(150, cr.right);
    EXPECT_EQ(80, cr.bottom);
}

TEST_F(ScriptWindows, ModalWindowDisablesTheMainWindowUntilItCloses) {
    run("w = new_window_ctrl(me, {type = 0x101, procs = 0x3, rect = {0, 0, 200, 100}})");
    EXPECT_EQ("0:nil", events());
    EXPECT_FALSE(IsWindowEnabled(stand_in_main));
    HWND w = window_of("w");
    run("w:close()");
    EXPECT_EQ("1:nil", events());
    EXPECT_TRUE(IsWindowEnabled(stand_in_main));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ("false", text("w:is()"));
    EXPECT_FALSE(owner->flags & actor_dying);
}

TEST_F(ScriptWindows, TwoModalWindowsKeepTheMainWindowDisabledUntilBothClose) {
    run("a = new_window_ctrl(me, {type = 0x101}) b = new_window_ctrl(me, {type = 0x101})");
    run("a:close()");
    EXPECT_FALSE(IsWindowEnabled(stand_in_main));
    run("b:release()");
    EXPECT_TRUE(IsWindowEnabled(stand_in_main));
}

TEST_F(ScriptWindows, CloseWithTheKillBitKillsTheOwnerAfterTheEvent) {
    run("w = new_window_ctrl(me, {procs = 0x80000002})");
    SendMessageW(window_of("w"), WM_CLOSE, 0, 0);
    EXPECT_EQ("1:nil", events());
    EXPECT_TRUE(owner->flags & actor_dying);
}

TEST_F(ScriptWindows, KeysAndMouseBecomeEventTables) {
    run("w = new_window_ctrl(me, {procs = 0xC, rect = {0, 0, 200, 100}})");
    HWND w = window_of("w");
    SendMessageW(w, WM_KEYDOWN, 'A', 0);
    SendMessageW(w, WM_CHAR, 'a', 0);
    SendMessageW(w, WM_KEYUP, 'A', 0);
    EXPECT_EQ("2:key=65,event=1|2:key=97,event=3|2:key=65,event=2", events());
    SendMessageW(w, WM_RBUTTONDBLCLK, 0, MAKELPARAM(15, 25));
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    SendMessageW(w, WM_MBUTTONUP, 0, MAKELPARAM(1, 2));
    EXPECT_EQ("3:button=2,event=4,x=15,y=25|3:button=0,event=1,x=3,y=4|3:button=3,event=3,x=1,y=2", events());
    // Without the bits nothing is raised.
    run("q = new_window_ctrl(me, {procs = 0})");
    SendMessageW(window_of("q"), WM_KEYDOWN, 'A', 0);
    SendMessageW(window_of("q"), WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ("", events());
}

TEST_F(ScriptWindows, PaintHandsTheScriptTheDeviceContext) {
    run("w = new_window_ctrl(me, {procs = 0x10, rect = {0, 0, 100, 100}}) events = {} w:redraw()");
    EXPECT_EQ("true", text("#events >= 1 and events[1].code == 4 and type(events[1].v.dc) == 'userdata'"));
}

TEST_F(ScriptWindows, ChildNotificationsReachTheWindowOwner) {
    run("w = new_window_ctrl(me, {procs = 0x20, rect = {0, 0, 200, 100}}) "
        "c = new_window_ctrl(me, {type = 2, parent = w, id = 'child', rect = {5, 5, 50, 50}})");
    HWND w = window_of("w");
    HWND c = window_of("c");
    EXPECT_EQ(w, GetParent(c));
    EXPECT_EQ(10002, GetDlgCtrlID(c));
    SendMessageW(w, WM_COMMAND, MAKEWPARAM(10002, 7), reinterpret_cast<LPARAM>(c));
    EXPECT_EQ("5:child", events());
    EXPECT_EQ(7, number("c:notify()"));
    // A menu or accelerator command carries its id.
    SendMessageW(w, WM_COMMAND, MAKEWPARAM(42, 0), 0);
    EXPECT_EQ("5:42", events());
    // A sleeping owner hears nothing, yet the code is stored.
    owner->flags |= actor_asleep;
    SendMessageW(w, WM_COMMAND, MAKEWPARAM(10002, 9), reinterpret_cast<LPARAM>(c));
    EXPECT_EQ("", events());
    EXPECT_EQ(9, number("c:notify()"));
}

TEST_F(ScriptWindows, MainWindowRoutingRaisesTheNotificationAtTheControlOwner) {
    run("a = new_window_ctrl(me, {}) b = new_window_ctrl(me, {id = 'b'})");
    control_route_command(10002, 3);
    control_route_command(10001, 0);
    EXPECT_EQ("3:b|0:10001", events());
    // Ids outside the range or of free entries do nothing.
    control_route_command(10000, 1);
    control_route_command(10003, 1);
    control_route_command(40000, 1);
    EXPECT_EQ("", events());
    EXPECT_EQ(0, number("b:notify()"));
}

TEST_F(ScriptWindows, IdValueTextShowAndEnable) {
    run("w = new_window_ctrl(me, {text = 'one'}) w:id('named')");
    EXPECT_EQ("named", text("w:id()"));
    control_route_command(10001, 2);
    EXPECT_EQ("2:named", events());
    run("w:id(nil)");
    EXPECT_EQ(10001, number("w:id()"));
    EXPECT_EQ("one", text("w:text()"));
    run("w:text('a\\nb\\r')");
    wchar_t raw[16] = {};
    GetWindowTextW(window_of("w"), raw, 16);
    EXPECT_EQ(std::wstring(L"a\r\nb"), raw);
    EXPECT_EQ("a\nb", text("w:text()"));
    run("w:show(false)");
    EXPECT_FALSE(IsWindowVisible(window_of("w")));
    run("w:show()");
    EXPECT_TRUE(IsWindowVisible(window_of("w")));
    run("w:enable(false)");
    EXPECT_EQ("false", text("w:enable()"));
    run("w:enable(true)");
    EXPECT_EQ("true", text("w:enable()"));
}

TEST_F(ScriptWindows, WindowsOfOneBrushAndCursorShareAClass) {
    const int32_t before = window_class_count();
    run("a = new_window_ctrl(me, {bgcolor = 'gray', cursor = 'cross'}) "
        "b = new_window_ctrl(me, {bgcolor = 'gray', cursor = 'cross'})");
    EXPECT_EQ(before + 1, window_class_count());
    run("c = new_window_ctrl(me, {bgcolor = 'darkgray', cursor = 'cross'})");
    EXPECT_EQ(before + 2, window_class_count());
    wchar_t a[128], c[128];
    GetClassNameW(window_of("a"), a, 128);
    GetClassNameW(window_of("c"), c, 128);
    EXPECT_EQ(0, wcsncmp(a, L"vy_window_ctrl_action_wndclass_", 31));
    EXPECT_NE(std::wstring(a), std::wstring(c));
}

TEST_F(ScriptWindows, ActivationRemembersTheWindowForDialogMessages) {
    run("w = new_window_ctrl(me, {})");
    HWND w = window_of("w");
    SendMessageW(w, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(w, active_script_window());
    SendMessageW(w, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(w, active_script_window());
    run("w:release()");
    EXPECT_EQ(nullptr, active_script_window());
}

TEST_F(ScriptWindows, ReleasingTheOwnerDestroysItsWindows) {
    run("w = new_window_ctrl(me, {type = 0x101})");
    HWND w = window_of("w");
    actor_kill(owner);
    EXPECT_TRUE(pump_until([&] {
        frame();
        return !IsWindow(w);
    }));
    EXPECT_TRUE(IsWindowEnabled(stand_in_main));
    EXPECT_EQ(0, live_control_count());
}

TEST_F(ScriptWindows, KeptPlacementsUseTheIdOrTheText) {
    run("a = new_window_ctrl(me, {type = 0x1001, id = 'panel', text = 'Tools'}) "
        "b = new_window_ctrl(me, {type = 0x1001, text = 'Tools'}) "
        "c = new_window_ctrl(me, {type = 0x1001, id = 5}) "
        "d = new_window_ctrl(me, {type = 1, id = 'plain'})");
    EXPECT_EQ((std::vector<std::wstring>{L"restore panel", L"restore Tools"}), placements);
    placements.clear();
    run("a:close() b:release() c:close() d:close()");
    EXPECT_EQ((std::vector<std::wstring>{L"store panel", L"store Tools"}), placements);
}

TEST_F(ScriptWindows, WheelWithoutScrollBarsGoesToTheOwner) {
    run("w = new_window_ctrl(me, {procs = 0x40})");
    HWND w = window_of("w");
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(1, main_wheel_messages);
    // Less than a notch does nothing.
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
    EXPECT_EQ(1, main_wheel_messages);
    EXPECT_EQ("", events());
}

TEST_F(ScriptWindows, ForeignChildrenCountAsMenuCommands) {
    run("w = new_window_ctrl(me, {procs = 0x20, rect = {0, 0, 200, 100}})");
    // A child that is not a script control, whatever its user data holds.
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window_of("w"),
                                   reinterpret_cast<HMENU>(10001), nullptr, nullptr);
    SetWindowLongPtrW(foreign, GWLP_USERDATA, 0x1234);
    SendMessageW(window_of("w"), WM_COMMAND, MAKEWPARAM(10001, 0), reinterpret_cast<LPARAM>(foreign));
    EXPECT_EQ("5:10001", events());
    EXPECT_EQ(0, number("w:notify()"));
    DestroyWindow(foreign);
}

TEST_F(ScriptWindows, ButtonOnTheMainWindowRaisesItsClickAtItsOwner) {
    run("b = new_button_ctrl(me, {id = 'go', rect = {0, 0, 80, 30}}) b:push()");
    EXPECT_EQ(stand_in_main, GetParent(window_of("b")));
    EXPECT_EQ("0:go", events());
    // The main window's routing leaves the stored code alone.
    EXPECT_EQ(0, number("b:notify()"));
}
