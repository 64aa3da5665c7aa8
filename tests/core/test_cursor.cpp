// The cursor state against a real window on the test display.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/cursor.h"

namespace {

class test_window {
public:
    test_window() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"vy_cursor_test";
        RegisterClassW(&wc);
        RECT r = {200, 150, 520, 390};  // the client area we want
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        hwnd = CreateWindowW(L"vy_cursor_test", L"cursor", WS_OVERLAPPEDWINDOW, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    ~test_window() { DestroyWindow(hwnd); }
    HWND hwnd;
};

}  // namespace

TEST(Cursor, ShowAndHideSettleTheDisplayCount) {
    cursor_hide();
    cursor_hide();
    EXPECT_EQ(cursor().display_count, -1);
    EXPECT_FALSE(cursor().visible_wanted);
    cursor_show();
    EXPECT_EQ(cursor().display_count, 0);
    EXPECT_TRUE(cursor().visible_wanted);
}

TEST(Cursor, ClipFollowsTheClientAreaAndFocus) {
    cursor_state saved = cursor();
    cursor().window = nullptr;
    RECT rect = {10, 10, 100, 100};
    EXPECT_FALSE(cursor_clip(&rect, true));

    test_window w;
    ASSERT_NE(w.hwnd, nullptr);
    POINT origin = {0, 0};
    ClientToScreen(w.hwnd, &origin);
    cursor().window = w.hwnd;
    cursor().active = true;
    ASSERT_TRUE(cursor_clip(&rect, true));
    RECT clipped;
    GetClipCursor(&clipped);
    EXPECT_EQ(clipped.left, origin.x + 10);
    EXPECT_EQ(clipped.top, origin.y + 10);
    EXPECT_EQ(clipped.right, origin.x + 100);
    EXPECT_EQ(clipped.bottom, origin.y + 100);

    // Inactive: the clip is lifted but still wanted; active again: back.
    cursor().active = false;
    cursor_hide();
    EXPECT_TRUE(cursor_apply_focus());
    EXPECT_GE(cursor().display_count, 0);
    EXPECT_TRUE(cursor().clip_wanted);
    RECT free_clip;
    GetClipCursor(&free_clip);
    EXPECT_GT(free_clip.right - free_clip.left, 90);
    cursor().active = true;
    EXPECT_TRUE(cursor_apply_focus());
    EXPECT_LT(cursor().display_count, 0);
    GetClipCursor(&clipped);
    EXPECT_EQ(clipped.left, origin.x + 10);

    EXPECT_TRUE(cursor_clip(nullptr, false));
    EXPECT_FALSE(cursor().clip_wanted);
    cursor_show();
    cursor() = saved;
    cursor().window = nullptr;
}
