// Status bars: parts from widths, one part changed or appended, texts per
// part, and their keys.
#include <windows.h>
#include <commctrl.h>

#include "controls_fixture.h"

namespace {
std::vector<int> edges(HWND bar) {
    int e[256];
    const int n = static_cast<int>(SendMessageW(bar, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(e)));
    return std::vector<int>(e, e + (n > 0 ? n : 0));
}

std::wstring part_text(HWND bar, int i) {
    wchar_t buf[64] = {};
    SendMessageW(bar, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(buf));
    return buf;
}
}  // namespace

using StatusBars = controls_test;

TEST_F(StatusBars, PartsAndTexts) {
    run("w = new_window_ctrl(me, {rect = {0, 0, 400, 200}}) "
        "s = new_statusbar_ctrl(me, {parent = w, text = 'first', parts = {100, 50, 70}, texts = {'a', 'b'}})");
    HWND bar = window_of("s");
    EXPECT_EQ(window_of("w"), GetParent(bar));
    EXPECT_EQ((std::vector<int>{100, 150, 220}), edges(bar));
    EXPECT_EQ(L"a", part_text(bar, 0));
    EXPECT_EQ(L"b", part_text(bar, 1));
    run("s:part(1, 80)");
    EXPECT_EQ((std::vector<int>{100, 180, 250}), edges(bar));
    run("s:part(9, 30)");
    EXPECT_EQ((std::vector<int>{100, 180, 250, 280}), edges(bar));
    run("s:part({10, 20})");
    EXPECT_EQ((std::vector<int>{10, 30}), edges(bar));
    run("s:text(1, 'two') s:text({'one'})");
    EXPECT_EQ(L"one", part_text(bar, 0));
    EXPECT_EQ(L"two", part_text(bar, 1));
    struct key_case {
        const char* call;
        const char* line;
    };
    const key_case bad[] = {
        {"new_statusbar_ctrl(me, {parts = 3})", "1 new_statusbar_ctrl.new: invalid new_statusbar_ctrl.parts"},
        {"new_statusbar_ctrl(me, {parts = {1, 'x'}})", "1 new_statusbar_ctrl.new: invalid new_statusbar_ctrl.parts[i]"},
        {"new_statusbar_ctrl(me, {texts = 'a'})", "1 new_statusbar_ctrl.new: invalid new_statusbar_ctrl.texts"},
        {"new_statusbar_ctrl(me, {texts = {'a', {}}})", "1 new_statusbar_ctrl.new: invalid new_statusbar_ctrl.texts[i]"},
    };
    for (const key_case& c : bad) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        run((std::string("x = ") + c.call).c_str());
        EXPECT_EQ(std::vector<std::string>{c.line}, log.lines);
        EXPECT_EQ("nil", text("x"));
    }
}
