// The engine's main window procedure with script controls, in process:
// activating the main window takes dialog keys back from the script window.
#include <gtest/gtest.h>

#include "controls/control_hooks.h"
#include "engine/main_window.h"

TEST(MainWindowControls, ActivationClearsTheActiveScriptWindow) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"vy_test_main_proc";
    RegisterClassExW(&wc);
    HWND main = CreateWindowExW(0, wc.lpszClassName, L"main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(nullptr, main);
    HWND dialog = CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, dialog);
    set_active_script_window(dialog);
    // Losing the activation keeps it; regaining it (not minimised) clears it.
    SendMessageW(main, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(dialog, active_script_window());
    SendMessageW(main, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
    EXPECT_EQ(dialog, active_script_window());
    SendMessageW(main, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(nullptr, active_script_window());
    // Its destruction would end this thread's message loop.
    SetWindowLongPtrW(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    DestroyWindow(main);
    DestroyWindow(dialog);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}
