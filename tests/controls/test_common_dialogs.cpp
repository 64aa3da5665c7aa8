// Common dialogs opened from script and answered by a helper thread that
// finds the real dialog window, fills it in and presses its buttons.
#include <atomic>
#include <fstream>
#include <thread>

#include "controls/dialog_actions.h"
#include "controls_fixture.h"

namespace {
struct dialog_search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND w, LPARAM data) {
    auto* s = reinterpret_cast<dialog_search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (pid == s->pid && IsWindowVisible(w) && wcscmp(cls, L"#32770") == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND visible_dialog() {
    dialog_search s = {GetCurrentProcessId(), nullptr};
    EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Waits (bounded) for this process's dialog, answers it, and cancels it
// should it still be open a while later, so a failing answer never hangs.
class dialog_answerer {
public:
    explicit dialog_answerer(std::function<void(HWND)> answer)
        : thread_([this, answer] {
              HWND d = nullptr;
              for (int i = 0; i < 500 && !d; ++i) {
                  Sleep(20);
                  d = visible_dialog();
              }
              if (!d) return;
              found = true;
              Sleep(100);
              answer(d);
              for (int i = 0; i < 250 && IsWindow(d); ++i) Sleep(20);
              if (IsWindow(d)) {
                  stuck = true;
                  PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
              }
          }) {}
    ~dialog_answerer() { thread_.join(); }
    std::atomic<bool> found{false}, stuck{false};

private:
    std::thread thread_;
};

void press(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::wstring item_text(HWND combo, int index) {
    wchar_t buf[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buf));
    return buf;
}

std::string temp_folder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + "vy_dialogs_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}
}  // namespace

using CommonDialogs = controls_test;

TEST_F(CommonDialogs, ColourDialogReturnsTheChosenColourAndNilOnCancel) {
    run("d = new_color_dialog(me, {})");
    {
        dialog_answerer a([](HWND d) {
            SetDlgItemTextW(d, 706, L"255");
            SetDlgItemTextW(d, 707, L"0");
            SetDlgItemTextW(d, 708, L"0");
            press(d, IDOK);
        });
        run("chosen = d:open()");
        EXPECT_TRUE(a.found);
        EXPECT_FALSE(a.stuck);
    }
    EXPECT_EQ(0xFF0000, number("chosen"));
    {
        dialog_answerer a([](HWND d) { press(d, IDCANCEL); });
        run("again = d:open()");
        EXPECT_TRUE(a.found);
    }
    EXPECT_EQ("nil", text("again"));
    // The dialog keeps its colour for the next open.
    EXPECT_EQ(RGB(255, 0, 0), control_of("d") ? static_cast<color_dialog_action*>(control_of("d"))->record.rgbResult : 0);
}

TEST_F(CommonDialogs, OpenDialogOffersTheFiltersAndReturnsTheChosenPath) {
    const std::string folder = temp_folder();
    const std::string file = folder + "\\picture.png";
    std::ofstream(file) << "x";
    run("d = new_file_dialog(me, {type = 0, filter = {'png', 'bmp'}, text = 'Pick'})");
    std::wstring first, second;
    int count = 0;
    {
        dialog_answerer a([&](HWND d) {
            HWND filters = GetDlgItem(d, 0x470);
            count = static_cast<int>(SendMessageW(filters, CB_GETCOUNT, 0, 0));
            first = item_text(filters, 0);
            second = item_text(filters, 1);
            const std::wstring path(file.begin(), file.end());
            SetDlgItemTextW(d, 0x47C, path.c_str());
            SetDlgItemTextW(d, 0x480, path.c_str());
            press(d, IDOK);
        });
        lua_pushstring(L, file.c_str());
        lua_setglobal(L, "expected");
        run("chosen = d:open()");
        EXPECT_TRUE(a.found);
        EXPECT_FALSE(a.stuck);
    }
    EXPECT_EQ(2, count);
    EXPECT_EQ(std::wstring(L"png ファイル"), first);
    EXPECT_EQ(std::wstring(L"bmp ファイル"), second);
    EXPECT_EQ("true", text("chosen ~= nil and chosen:lower() == expected:lower()")) << text("chosen");
    DeleteFileA(file.c_str());
}

TEST_F(CommonDialogs, RelativeResultsInsideTheInitialFolderOnly) {
    const std::string folder = temp_folder();
    const std::string inside = folder + "\\inside.txt";
    std::ofstream(inside) << "x";
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    const std::string outside = std::string(base) + "vy_outside_" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::ofstream(outside) << "x";
    lua_pushstring(L, folder.c_str());
    lua_setglobal(L, "folder");
    run("d = new_file_dialog(me, {type = 0x20, init = folder})");
    for (const auto& c : {std::make_pair(inside, std::string("inside.txt")), std::make_pair(outside, std::string("nil"))}) {
        SCOPED_TRACE(c.first);
        {
            dialog_answerer a([&](HWND d) {
                const std::wstring path(c.first.begin(), c.first.end());
                SetDlgItemTextW(d, 0x47C, path.c_str());
                SetDlgItemTextW(d, 0x480, path.c_str());
                press(d, IDOK);
            });
            run("chosen = d:open()");
            EXPECT_TRUE(a.found);
        }
        EXPECT_EQ(c.second, text("chosen"));
    }
    DeleteFileA(inside.c_str());
    DeleteFileA(outside.c_str());
}

TEST_F(CommonDialogs, FileDialogKeysGoodAndBad) {
    struct key_case {
        const char* call;
        std::vector<std::string> log;
    };
    const key_case cases[] = {
        {"new_file_dialog(me, {})", {}},
        {"new_file_dialog(me, {type = 2, init = '.'})", {}},
        {"new_file_dialog(me, {type = 'a'})", {"1 new_file_dialog.new: invalid new_file_dialog.type"}},
        {"new_file_dialog(me, {init = true})", {"1 new_file_dialog.new: invalid new_file_dialog.init"}},
        {"new_file_dialog(me, {init = -1})", {"1 new_file_dialog.new: invalid new_file_dialog.init"}},
        {"new_file_dialog(me, {max = 'x'})", {"1 new_file_dialog.new: invalid new_file_dialog.max"}},
        {"new_file_dialog(me, {filter = 'png'})", {"1 new_file_dialog.new: invalid new_file_dialog.filter"}},
        {"new_file_dialog(me, {filter = {'png', 3}})", {"1 new_file_dialog.new: invalid new_file_dialog.filter[i]"}},
        {"new_file_dialog(nil, {})", {"1 new_file_dialog.new: invalid actor object"}},
        {"new_color_dialog(nil, {})", {"1 new_color_dialog.new: invalid actor object"}},
        {"new_font_dialog(me, {rect = 1})",
         {"1 ctrl.new: invalid ctrl.rect", "1 new_font_dialog.new: fail to create control"}},
    };
    for (const key_case& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        run((std::string("d = ") + c.call).c_str());
        EXPECT_EQ(c.log, log.lines);
        EXPECT_EQ(c.log.empty() ? "table" : "nil", text("type(d)"));
        run("if d then d:release() end d = nil");
        EXPECT_EQ(0, live_control_count());
    }
}

TEST_F(CommonDialogs, FilterListsAndKinds) {
    run("a = new_file_dialog(me, {}) "
        "b = new_file_dialog(me, {type = 0x17, max = 10}) "
        "c = new_file_dialog(me, {type = 0x12, max = 600})");
    auto* a = static_cast<file_dialog_action*>(control_of("a"));
    auto* b = static_cast<file_dialog_action*>(control_of("b"));
    auto* c = static_cast<file_dialog_action*>(control_of("c"));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(std::wstring(L"全てのファイル\0*.*\0\0", 13), a->filter);
    EXPECT_EQ(static_cast<DWORD>(MAX_PATH), a->record.nMaxFile);
    // An unknown kind is an open dialog that keeps its other bits.
    EXPECT_EQ(0x10u, b->type);
    EXPECT_EQ(256u, b->max_files);
    EXPECT_EQ(256u * MAX_PATH + 1, b->record.nMaxFile);
    EXPECT_TRUE(b->record.Flags & OFN_ALLOWMULTISELECT);
    // A folder dialog has no multiple selection.
    EXPECT_EQ(0x2u, c->type);
    EXPECT_EQ(600u, c->max_files);
}

TEST_F(CommonDialogs, MaxIsBoundedBeforeItSizesTheBuffer) {
    struct max_case {
        const char* max;
        uint32_t files;
    };
    const max_case cases[] = {
        {"nil", 256},   {"-5", 256},     {"0/0", 256},     {"1000", 1000},
        {"16384", file_dialog_max_ceiling}, {"16385", file_dialog_max_ceiling},
        {"2^32 + 3", file_dialog_max_ceiling}, {"1e300", file_dialog_max_ceiling}, {"1/0", file_dialog_max_ceiling},
    };
    for (const max_case& c : cases) {
        SCOPED_TRACE(c.max);
        run((std::string("d = new_file_dialog(me, {type = 0x10, max = ") + c.max + "})").c_str());
        auto* d = static_cast<file_dialog_action*>(control_of("d"));
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.files, d->max_files);
        EXPECT_EQ(size_t(c.files) * MAX_PATH + 1, d->buffer.size());
        EXPECT_EQ(d->buffer.size(), size_t(d->record.nMaxFile));
        run("d:release()");
    }
}

TEST_F(CommonDialogs, FontDialogReturnsTheChosenFont) {
    run("d = new_font_dialog(me, {})");
    {
        dialog_answerer a([](HWND d) { press(d, IDOK); });
        run("f = d:open()");
        EXPECT_TRUE(a.found);
    }
    EXPECT_EQ("table", text("type(f)"));
    EXPECT_EQ("true", text("type(f[1]) == 'number' and type(f[2]) == 'number' and type(f[3]) == 'string' "
                           "and type(f.flags) == 'number'"));
    LOGFONTW bold_italic = {};
    bold_italic.lfItalic = 1;
    bold_italic.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    EXPECT_EQ(0x10000000u | 0x40000u | 0x500000u, font_result_flags(bold_italic));
    LOGFONTW plain = {};
    plain.lfUnderline = 1;
    plain.lfStrikeOut = 1;
    plain.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    EXPECT_EQ(0x20000000u | 0x40000000u | 0x80000u | 0x200000u, font_result_flags(plain));
}
