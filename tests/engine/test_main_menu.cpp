// The main menu's volume items, the window placement helpers and the menu
// font's Japanese glyphs, on real menus, windows and DCs of the test process.
#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "engine/main_menu.h"
#include "engine/main_window.h"
#include "engine/window_placement.h"
#include "engine/window_sound.h"

#include "../core/scratch_dir.h"

namespace {
// The volume sub-menu as the engine's menu has it.
HMENU volume_menu() {
    HMENU menu = CreatePopupMenu();
    for (UINT id = menu_volume_first; id <= menu_mute; ++id) AppendMenuW(menu, MF_STRING, id, L"v");
    return menu;
}

std::vector<UINT> checked_items(HMENU menu) {
    std::vector<UINT> out;
    for (UINT id = menu_volume_first; id <= menu_mute; ++id)
        if (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) out.push_back(id);
    return out;
}

HWND plain_window(DWORD style, HWND owner = nullptr) {
    return CreateWindowExW(0, L"STATIC", L"", style, 10, 10, 200, 100, owner, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

// One character drawn black on white with the system's menu font, as the
// menu bar draws its texts.
std::vector<uint32_t> menu_glyph(const wchar_t* text) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const int side = 48;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    HGDIOBJ old_font = SelectObject(dc, font);
    RECT all = {0, 0, side, side};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, 4, 4, 0, nullptr, text, static_cast<UINT>(wcslen(text)), nullptr);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + side * side);
    SelectObject(dc, old_font);
    SelectObject(dc, old_bitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

RECT window_rect(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return r;
}
}  // namespace

TEST(MainMenu, VolumeBetweenStepsChecksTheLowerStep) {
    struct {
        double volume;
        UINT item;
    } cases[] = {{1.0, 40201}, {0.95, 40202}, {0.9, 40202}, {double(0.9f), 40202}, {0.55, 40206},
                 {0.1, 40210}, {0.05, 40211}, {0.0, 40211}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.volume);
        EXPECT_EQ(c.item, volume_item_at_or_below(c.volume));
    }
}

TEST(MainMenu, MuteAndUnmuteLeaveExactlyOneItemChecked) {
    HMENU menu = volume_menu();
    window_sound_set_volume(0.95);
    init_volume_menu(menu);
    EXPECT_FALSE(window_sound_muted());
    EXPECT_FALSE(user_mute_choice());
    EXPECT_EQ(std::vector<UINT>{40202}, checked_items(menu));

    select_volume_item(menu, menu_mute);
    EXPECT_TRUE(window_sound_muted());
    EXPECT_TRUE(user_mute_choice());
    EXPECT_EQ(std::vector<UINT>{menu_mute}, checked_items(menu));
    // The sound device keeps its volume as a float.
    EXPECT_NEAR(0.95, window_sound_master_volume(), 1e-6) << "muting keeps the volume";

    // A step while muted unmutes and takes that volume.
    select_volume_item(menu, 40211);
    EXPECT_FALSE(window_sound_muted());
    EXPECT_DOUBLE_EQ(0.0, window_sound_master_volume());
    EXPECT_EQ(std::vector<UINT>{40211}, checked_items(menu));

    select_volume_item(menu, menu_mute);
    select_volume_item(menu, menu_mute);
    EXPECT_FALSE(user_mute_choice());
    EXPECT_EQ(std::vector<UINT>{40211}, checked_items(menu));

    select_volume_item(menu, 40204);
    EXPECT_NEAR(0.7, window_sound_master_volume(), 1e-6);
    EXPECT_EQ(std::vector<UINT>{40204}, checked_items(menu));
    window_sound_set_volume(1.0);
    DestroyMenu(menu);
}

TEST(WindowPlacement, CentresOnTheWorkAreaOrOnTheParentsClientArea) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND top = plain_window(WS_POPUP | WS_CAPTION);
    center_window(top);
    RECT r = window_rect(top);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (work.top + work.bottom) / 2), 1);
    EXPECT_EQ(200, r.right - r.left) << "the size stays";

    // An owned pop-up centres on its owner's client area.
    SetWindowPos(top, nullptr, 50, 60, 400, 300, SWP_NOZORDER);
    HWND owned = plain_window(WS_POPUP | WS_CAPTION, top);
    center_window(owned);
    RECT client;
    GetClientRect(top, &client);
    MapWindowPoints(top, nullptr, reinterpret_cast<POINT*>(&client), 2);
    r = window_rect(owned);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - (client.left + client.right) / 2), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (client.top + client.bottom) / 2), 1);
    DestroyWindow(owned);
    DestroyWindow(top);
}

TEST(WindowPlacement, StoredPlacementComesBackAndAFixedFrameKeepsItsSize) {
    scratch_dir dir;
    std::wstring file = dir.path(L"save.ini");
    for (bool sizable : {true, false}) {
        SCOPED_TRACE(sizable);
        DWORD style = WS_OVERLAPPED | WS_CAPTION | (sizable ? WS_THICKFRAME : 0);
        HWND first = plain_window(style);
        SetWindowPos(first, nullptr, 70, 80, 300, 200, SWP_NOZORDER);
        ASSERT_TRUE(store_window_pos(first, L"w", file.c_str()));
        DestroyWindow(first);

        HWND second = plain_window(style);
        SetWindowPos(second, nullptr, 5, 5, 150, 120, SWP_NOZORDER);
        ASSERT_TRUE(restore_window_pos(second, L"w", file.c_str()));
        RECT r = window_rect(second);
        EXPECT_EQ(70, r.left);
        EXPECT_EQ(80, r.top);
        EXPECT_EQ(sizable ? 300 : 150, r.right - r.left);
        EXPECT_EQ(sizable ? 200 : 120, r.bottom - r.top);
        EXPECT_FALSE(restore_window_pos(second, L"missing", file.c_str()));
        DestroyWindow(second);
    }
}

TEST(MainWindowCursor, ScriptCursorComesAndGoes) {
    // Nothing saved yet: a restore does nothing and succeeds.
    EXPECT_TRUE(set_cursor(16));
    EXPECT_EQ(nullptr, main_window_script_cursor());
    EXPECT_TRUE(set_cursor(3));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), main_window_script_cursor());
    EXPECT_TRUE(set_cursor(15));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), main_window_script_cursor());
    EXPECT_TRUE(set_cursor(-1));
    EXPECT_EQ(nullptr, main_window_script_cursor());
}

// The menu's texts are Japanese; a font without those glyphs draws each as
// the same empty box, so two different characters come out alike.
TEST(MainMenu, TheMenuFontDrawsJapaneseCharacters) {
    const std::vector<uint32_t> si = menu_glyph(L"\x30B7"), su = menu_glyph(L"\x30B9"), blank = menu_glyph(L" ");
    EXPECT_NE(blank, si) << "no ink at all";
    EXPECT_NE(si, su) << "both drawn as the missing-glyph box";
}
