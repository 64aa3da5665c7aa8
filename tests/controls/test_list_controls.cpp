// List boxes and combo boxes filled, searched and selected from script,
// and their selection changes reaching the window's owner.
#include "controls/list_controls.h"
#include "controls_fixture.h"

using ListControls = controls_test;

TEST_F(ListControls, ItemsAreAddedFoundReadAndDeleted) {
    for (const char* make : {"l = new_listbox_ctrl(me, {rect = {0, 0, 100, 100}})",
                             "l = new_combobox_ctrl(me, {rect = {0, 0, 100, 100}})"}) {
        SCOPED_TRACE(make);
        run(make);
        run("l:add('b') l:add('c') l:add('a', 0) l:add(5)");
        EXPECT_EQ(3, number("l:count()"));
        EXPECT_EQ("a b c", text("l:list(0) .. ' ' .. l:list(1) .. ' ' .. l:list(2)"));
        EXPECT_EQ("nil nil", text("tostring(l:list(3)) .. ' ' .. tostring(l:list('x'))"));
        EXPECT_EQ(2, number("l:find('c')"));
        EXPECT_EQ(-1, number("l:find('z')"));
        EXPECT_EQ(-1, number("l:find(1)"));
        EXPECT_EQ("true false", text("tostring(l:del('b')) .. ' ' .. tostring(l:del('b'))"));
        EXPECT_EQ("true false", text("tostring(l:del(1)) .. ' ' .. tostring(l:del(7))"));
        EXPECT_EQ("true 0", text("tostring(l:del()) .. ' ' .. l:count()"));
        run("l:release()");
    }
}

TEST_F(ListControls, SelectionSingleMultipleAndByText) {
    run("s = new_listbox_ctrl(me, {}) m = new_listbox_ctrl(me, {type = 1}) c = new_combobox_ctrl(me, {type = 2}) "
        "for _, l in ipairs({s, m, c}) do l:add('x') l:add('y') l:add('z') end");
    EXPECT_EQ(-1, number("s:select()"));
    EXPECT_EQ("true", text("s:select(2)"));
    EXPECT_EQ(2, number("s:select()"));
    EXPECT_EQ("nil", text("m:select()"));
    HWND m = window_of("m");
    SendMessageW(m, LB_SETSEL, TRUE, 2);
    SendMessageW(m, LB_SETSEL, TRUE, 0);
    EXPECT_EQ("0,2", text("table.concat({m:select()}, ',')"));
    EXPECT_EQ("true false", text("tostring(m:select(2)) .. ' ' .. tostring(m:select(1))"));
    EXPECT_EQ("true", text("c:select('y')"));
    EXPECT_EQ(1, number("c:select()"));
    EXPECT_EQ("false", text("c:select('none')"));
    EXPECT_EQ("true", text("s:data(1, 77)"));
    EXPECT_EQ(77, number("s:data(1)"));
    EXPECT_EQ("false false", text("tostring(s:data(1, -1)) .. ' ' .. tostring(s:data(1, nil))"));
}

TEST_F(ListControls, SelectionChangesReachTheWindowOwnerAndOthersDoNot) {
    run("w = new_window_ctrl(me, {procs = 0x20, rect = {0, 0, 300, 200}}) "
        "l = new_listbox_ctrl(me, {parent = w, id = 'list', rect = {0, 0, 100, 100}}) "
        "l:add('x') l:add('y')");
    HWND w = window_of("w");
    HWND l = window_of("l");
    const WORD id = static_cast<WORD>(number("l:id()"));
    struct code_case {
        WORD code;
        const char* expected;
    };
    const code_case cases[] = {{LBN_SELCHANGE, "5:list"}, {LBN_DBLCLK, "5:list"}, {LBN_SELCANCEL, "5:list"},
                               {LBN_SETFOCUS, ""}, {LBN_KILLFOCUS, ""}};
    for (const code_case& c : cases) {
        SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, c.code), reinterpret_cast<LPARAM>(l));
        EXPECT_EQ(c.expected, events()) << c.code;
    }
    EXPECT_EQ(LBN_SELCANCEL, number("l:notify()"));
}

TEST_F(ListControls, StylesAndKeys) {
    EXPECT_EQ(static_cast<DWORD>(0xA00001 | WS_TABSTOP), listbox_style(0));
    EXPECT_EQ(static_cast<DWORD>(0xA00001 | 8 | 0x100 | WS_TABSTOP), listbox_style(5));
    EXPECT_EQ(static_cast<DWORD>(3 | 0x200040 | 0x100 | WS_TABSTOP), combobox_style(6));
    EXPECT_EQ(static_cast<DWORD>(0x200040 | WS_TABSTOP), combobox_style(3));
    log.lines.clear();
    run("a = new_listbox_ctrl(me, {type = 'q'}) b = new_combobox_ctrl(me, {type = {}})");
    EXPECT_EQ((std::vector<std::string>{"1 listbox_ctrl.new: invalid listbox_ctrl.type",
                                        "1 combobox_ctrl.new: invalid combobox_ctrl.type"}),
              log.lines);
}
