// system.open_dialog and system.save_dialog in the running engine, with
// the dialog answered from here as a user would: a name typed, then OK or
// Cancel.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
struct window_search {
    DWORD process;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<window_search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {}, text[256] = {};
    GetClassNameW(window, cls, 64);
    GetWindowTextW(window, text, 256);
    if (pid == search->process && std::wstring(cls) == L"#32770" && search->caption == text &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK find_edit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<window_search*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wstring(cls) == L"Edit" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND wait_dialog(const engine_process& engine, const std::wstring& caption, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms && engine.running()) {
        window_search search = {engine.id(), caption, nullptr};
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    }
    return nullptr;
}

class dialog_game : public game_folder {
public:
    explicit dialog_game(const std::string& call)
        : game_folder("[Vy]\r\nFPS=60\r\n", std::string(show_prelude) + "show('chosen', " + call + ")\nsystem.exit(0)\n") {
        CreateDirectoryW(path(L"save").c_str(), nullptr);
        write(L"script\\lib.lua", "\n");
    }
};
}  // namespace

TEST(SystemLibraryDialogs, ChosenNamesComeBackRelativeToTheFolder) {
    struct dialog_case {
        const char* call;
        const wchar_t* caption;
        const wchar_t* typed;  // null: cancel
        const char* line;
    };
    const dialog_case cases[] = {
        {"system.open_dialog(-1, 'Pick')", L"Pick", L"lib.lua", R"(information: chosen: .\lib.lua [0])"},
        {"system.open_dialog(-1, 'Pick')", L"Pick", nullptr, "information: chosen:  [0]"},
        {"system.save_dialog(-4, 'Store')", L"Store", L"slot1", R"(information: chosen: .\slot1.vsf [0])"},
        {"system.open_dialog(-1, 'Several', 1)", L"Several", L"\"lib.lua\" \"main.lua\"",
         R"(information: chosen: .\lib.lua,.\main.lua [0])"},
    };
    for (const dialog_case& c : cases) {
        SCOPED_TRACE(c.call);
        dialog_game game(c.call);
        engine_process engine(game.dir(), L"");
        HWND dialog = wait_dialog(engine, c.caption, 20000);
        ASSERT_NE(nullptr, dialog);
        if (c.typed) {
            window_search edit = {0, L"", nullptr};
            EnumChildWindows(dialog, find_edit, reinterpret_cast<LPARAM>(&edit));
            ASSERT_NE(nullptr, edit.found);
            SendMessageW(edit.found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed));
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        } else {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        engine_outcome out = engine.wait(20000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_EQ(std::vector<std::string>{c.line}, script_lines(game)) << game.read(L"log\\system.log");
    }
}
