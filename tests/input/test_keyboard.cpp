// The keyboard as the player presses it: another program sends the keys
// while our window is active, and the input reads them frame by frame.
#include <gtest/gtest.h>

#include "input/input_manager.h"
#include "input/inputs_library.h"
#include "lauxlib.h"
#include "lua.h"
#include "input_fixture.h"
#include "keyboard_driver.h"

namespace {
LRESULT CALLBACK test_window_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    input::on_window_message(w, m, wp, lp);
    return DefWindowProcW(w, m, wp, lp);
}

HWND make_game_window() {
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = test_window_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"vy_input_test_window";
        atom = RegisterClassW(&wc);
    }
    return CreateWindowExW(0, L"vy_input_test_window", L"input test", WS_OVERLAPPEDWINDOW, 50, 50, 320, 240,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps messages until the condition holds or the time is up.
template <class F>
bool pump_until(F done, DWORD timeout_ms = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        pump();
        if (done()) return true;
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(10);
    }
}
}  // namespace

class Keyboard : public input_file_test {
protected:
    void SetUp() override {
        window = make_game_window();
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(create(name_tables(1) + "[INPUT1-MODE0]\r\nA=Z\r\nB=X\r\nRIGHT=Z\r\n",
                           window));
        in = input_at(0);
        ASSERT_NE(nullptr, in);
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        ASSERT_TRUE(pump_until([&] { return in->active != 0; })) << "the window never became active";
    }
    void TearDown() override {
        press_keys("-90 -88");
        DestroyWindow(window);
        pump();
        input_file_test::TearDown();
    }
    HWND window = nullptr;
    input* in = nullptr;
    input_manager manager;
};

TEST_F(Keyboard, HeldKeyCountsFramesThenReleases) {
    ASSERT_TRUE(press_keys("+90"));
    pump();
    std::vector<int32_t> seen;
    for (int i = 0; i < 3; ++i) {
        manager.update();
        seen.push_back(input::code_state(in, 16));
    }
    EXPECT_EQ(0, input::code_state(in, 17));  // X is not down
    EXPECT_FLOAT_EQ(1.0f, in->state.axes[0].value);  // Z also drives axis 0
    EXPECT_EQ(3, in->state.axes[0].counter);
    // The key the player is holding, for binding screens, by its name.
    EXPECT_EQ(make_entry(device_keyboard, 0, 90), input::detect_physical(0xFF00));
    lua_State* L = luaL_newstate();
    inputs_library_register(L);
    ASSERT_EQ(0, luaL_dostring(L, "local c, n, o = inputs.input() return c, n, o"));
    EXPECT_EQ(0x1000, lua_tonumber(L, 1));
    EXPECT_STREQ("Z", lua_tostring(L, 2));
    EXPECT_TRUE(lua_isnil(L, 3));
    lua_close(L);
    ASSERT_TRUE(press_keys("-90"));
    pump();
    for (int i = 0; i < 2; ++i) {
        manager.update();
        seen.push_back(input::code_state(in, 16));
    }
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, -1, 0}), seen);
    EXPECT_EQ(0.0f, in->state.axes[0].value);
    EXPECT_EQ(0u, input::detect_physical(0xFF00));
}

TEST_F(Keyboard, InactiveWindowIsNotRead) {
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(0, in->active);
    ASSERT_TRUE(press_keys("+88"));
    pump();
    manager.update();
    EXPECT_EQ(0, input::code_state(in, 17));
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    manager.update();
    EXPECT_EQ(1, input::code_state(in, 17));
}
