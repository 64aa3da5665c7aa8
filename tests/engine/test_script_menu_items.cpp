// The script menu back end on real menus of the test process: where items
// go relative to the marker, and what an item may be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/main_window.h"
#include "engine/script_menu.h"
#include "engine/system_manager.h"

namespace {
using menu_item = system_manager::menu_item_type;

// A bar like the engine's: three pop-ups, and the marker when asked.
HMENU make_bar(bool with_marker) {
    HMENU bar = CreateMenu();
    for (const wchar_t* name : {L"System", L"Audio", L"Help"}) AppendMenuW(bar, MF_POPUP, UINT_PTR(CreatePopupMenu()), name);
    if (with_marker) InsertMenuW(bar, 1, MF_BYPOSITION | MF_STRING | MF_GRAYED | MF_DISABLED, 0, L"|");
    return bar;
}

std::vector<std::wstring> texts(HMENU menu) {
    std::vector<std::wstring> out;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
        out.push_back(text);
    }
    return out;
}

menu_item item(uint32_t id, uint32_t flags, const wchar_t* text) {
    menu_item m;
    m.id = id;
    m.flags = flags;
    m.text = text;
    return m;
}

class script_menu_items : public ::testing::Test {
protected:
    void use(HMENU bar) {
        bar_ = bar;
        main_window().menu = bar;
    }
    void TearDown() override {
        system_manager::release_menu();
        main_window().menu = nullptr;
        DestroyMenu(bar_);
    }
    HMENU bar_ = nullptr;
};

TEST_F(script_menu_items, AnAppendedMarkerStartsTheScriptIndexes) {
    use(make_bar(false));
    ASSERT_TRUE(system_manager::init_menu(true));
    ASSERT_TRUE(system_manager::set_menu(item(10001, 0, L"A"), true));
    ASSERT_TRUE(system_manager::set_menu(item(10002, 0, L"B"), true, 0));
    ASSERT_TRUE(system_manager::set_menu(item(10003, 0, L"C"), true, 99));
    EXPECT_EQ((std::vector<std::wstring>{L"System", L"Audio", L"Help", L"|", L"B", L"A", L"C"}), texts(bar_));
    EXPECT_EQ(MFS_GRAYED, GetMenuState(bar_, 3, MF_BYPOSITION) & MFS_GRAYED);

    EXPECT_TRUE(system_manager::delete_menu(1));  // A
    EXPECT_TRUE(system_manager::delete_menu(-1));  // C
    EXPECT_EQ((std::vector<std::wstring>{L"System", L"Audio", L"Help", L"|", L"B"}), texts(bar_));
    // Set up again: the marker and everything after it go, nothing before.
    ASSERT_TRUE(system_manager::init_menu(true));
    ASSERT_TRUE(system_manager::init_menu(true));
    EXPECT_EQ((std::vector<std::wstring>{L"System", L"Audio", L"Help"}), texts(bar_));
    EXPECT_FALSE(system_manager::delete_menu(-1)) << "no script item left";
}

TEST_F(script_menu_items, AMarkerInTheBarIsFoundAndItemsFollowIt) {
    use(make_bar(true));
    ASSERT_TRUE(system_manager::init_menu(true));
    EXPECT_EQ(1, script_menu_info().position);
    ASSERT_TRUE(system_manager::set_menu(item(10001, 0, L"A"), true, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"System", L"|", L"A", L"Audio", L"Help"}), texts(bar_));
    system_manager::release_menu();
    EXPECT_EQ((std::vector<std::wstring>{L"System"}), texts(bar_)) << "from the marker to the end";
}

TEST_F(script_menu_items, ItemsKeepTheirTextWhateverTypeBitsTheyAskFor) {
    use(make_bar(false));
    ASSERT_TRUE(system_manager::init_menu(true));
    // 4 asks for a bitmap, which a script has none to give: the text stays.
    ASSERT_TRUE(system_manager::set_menu(item(10001, 0x4 | 0x200 | 0x8, L"Pic"), true));
    MENUITEMINFOW mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoW(bar_, 10001, FALSE, &mi));
    EXPECT_EQ(UINT(MFT_RADIOCHECK), mi.fType);
    EXPECT_EQ(UINT(MFS_CHECKED), mi.fState & MFS_CHECKED);
    EXPECT_EQ(L"Pic", texts(bar_).back());

    // An update changes only the parts it names, of script items only.
    ASSERT_TRUE(system_manager::set_menu(item(10001, menu_item::update_text, L"Renamed"), false));
    EXPECT_EQ(L"Renamed", texts(bar_).back());
    EXPECT_EQ(UINT(MFS_CHECKED), GetMenuState(bar_, 10001, MF_BYCOMMAND) & MFS_CHECKED);
    EXPECT_FALSE(system_manager::set_menu(item(10002, menu_item::update_text, L"x"), false));
}

TEST_F(script_menu_items, AnOwnBarReplacesTheMainOneUntilItIsReleased) {
    use(make_bar(false));
    ASSERT_TRUE(system_manager::init_menu(false));
    HMENU own = main_window().menu;
    EXPECT_NE(bar_, own);
    ASSERT_TRUE(system_manager::set_menu(item(10001, 0, L"A"), true, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"A"}), texts(own));
    system_manager::release_menu();
    EXPECT_EQ(bar_, main_window().menu);
    EXPECT_FALSE(IsMenu(own));
    EXPECT_EQ(3u, texts(bar_).size());
}
}  // namespace
