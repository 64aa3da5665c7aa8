// Scroll bars: a script window's own bars moved by the wheel and by scroll
// codes, and scroll-bar controls reporting to their window's owner.
#include "controls/scrollbar_ctrl_action.h"
#include "controls_fixture.h"

using ScrollBars = controls_test;

TEST_F(ScrollBars, WheelPagesTheWindowsOwnVerticalBar) {
    run("w = new_window_ctrl(me, {type = 0x401, procs = 0x40, rect = {0, 0, 200, 150}}) h, v = w:scrollbar()");
    EXPECT_EQ("nil table", text("tostring(h) .. ' ' .. type(v)"));
    run("v:info(0, 100, 10) v:pos(20)");
    EXPECT_EQ("0 100 10 20", text("table.concat({v:info()}, ' ') .. ' ' .. v:pos()"));
    HWND w = window_of("w");
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(30, number("v:pos()"));
    EXPECT_EQ("6:" + text("v:id()"), events());
    // Three notches up are still one page.
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, 360), 0);
    EXPECT_EQ(20, number("v:pos()"));
    EXPECT_EQ(0, main_wheel_messages);
    struct code_case {
        WORD code;
        int pos;
    };
    const code_case codes[] = {{SB_LINEDOWN, 21}, {SB_LINEUP, 20}, {SB_PAGEDOWN, 30}, {SB_TOP, 0},
                               {SB_BOTTOM, 91}, {SB_ENDSCROLL, 91}};
    for (const code_case& c : codes) {
        SendMessageW(w, WM_VSCROLL, c.code, 0);
        EXPECT_EQ(c.pos, number("v:pos()")) << c.code;
    }
    // The bar object outlives the closed window without a window of its own.
    run("w:close()");
    EXPECT_EQ("false", text("v:is()"));
    run("w:release()");
    EXPECT_EQ("false 0", text("tostring(v:is()) .. ' ' .. select('#', v:pos())"));
}

TEST_F(ScrollBars, ScrollBarControlReportsItsIdValue) {
    run("w = new_window_ctrl(me, {procs = 0x40, rect = {0, 0, 300, 200}}) "
        "s = new_scrollbar_ctrl(me, {parent = w, id = 'bar', type = 1, min = 5, max = 50, page = 5, pos = 10, "
        "rect = {0, 0, 20, 150}})");
    EXPECT_EQ("5 50 5 10", text("table.concat({s:info()}, ' ') .. ' ' .. s:pos()"));
    SendMessageW(window_of("w"), WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(window_of("s")));
    EXPECT_EQ(15, number("s:pos()"));
    EXPECT_EQ("6:bar", events());
    log.lines.clear();
    run("x = new_scrollbar_ctrl(me, {max = 'm'})");
    EXPECT_EQ(std::vector<std::string>{"1 scrollbar_ctrl.new: invalid new_scrollbar_ctrl.max"}, log.lines);
}

TEST_F(ScrollBars, MainWindowMovesItsScrollBarControlsAndOwnBars) {
    run("s = new_scrollbar_ctrl(me, {id = 'bar', max = 50, page = 10, rect = {0, 0, 150, 20}})");
    HWND bar = window_of("s");
    ASSERT_EQ(stand_in_main, GetParent(bar));
    struct code_case {
        UINT message;
        WORD code;
        int pos;
    };
    const code_case codes[] = {{WM_HSCROLL, SB_LINEDOWN, 1}, {WM_HSCROLL, SB_PAGEDOWN, 11},
                               {WM_VSCROLL, SB_LINEUP, 10}, {WM_HSCROLL, SB_BOTTOM, 41}};
    for (const code_case& c : codes) {
        SendMessageW(stand_in_main, c.message, c.code, reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(c.pos, number("s:pos()")) << c.code;
    }
    // The main window raises no scroll events of its own.
    EXPECT_EQ("", events());
    // A window that is no scroll-bar control of ours is left alone.
    run("b = new_button_ctrl(me, {rect = {0, 30, 50, 50}})");
    SendMessageW(stand_in_main, WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(window_of("b")));
    // The main window's own bar.
    SetWindowLongW(stand_in_main, GWL_STYLE, GetWindowLongW(stand_in_main, GWL_STYLE) | WS_VSCROLL);
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 5};
    SetScrollInfo(stand_in_main, SB_VERT, &si, FALSE);
    SendMessageW(stand_in_main, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(25, GetScrollPos(stand_in_main, SB_VERT));
}

TEST_F(ScrollBars, StylesFollowTheType) {
    const std::pair<uint32_t, DWORD> cases[] = {{0, 0},     {0x100, 2},    {0x200, 4},    {1, 1},   {0x101, 3},
                                                {0x201, 5}, {2, 0x18},     {0x102, 0x1A}, {0x302, 0x1A},
                                                {0x202, 0x1C}, {3, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.second, scrollbar_style(c.first)) << std::hex << c.first;
}
