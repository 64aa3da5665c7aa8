// The engine's update check at start-up, run for real: VyEngine.exe and
// VyUpdate.exe copied into a game folder, archives served from 127.0.0.1,
// expanded by the updater tests' stand-in archive tool.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <set>

#include "engine_run.h"
#include "http_test_server.h"

namespace {

const std::string game_script = "system.trace(6, 'game ran')\nsystem.exit(0)\n";
const std::wstring caption = L"VyEngine - [Vy Engine]";

std::wstring build_program(const char* unix_path) {
    std::wstring path = L"Z:" + to_wide(unix_path);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

bool starts_with_folder(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && _wcsnicmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
           path[folder.size()] == L'\\';
}

// Ids of the processes whose program lies in the folder, and of their
// children (the command interpreter an updater runs).
std::set<DWORD> processes_of(const std::wstring& folder) {
    std::set<DWORD> found;
    std::vector<PROCESSENTRY32W> all;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        all.push_back(entry);
    CloseHandle(snapshot);
    for (const PROCESSENTRY32W& p : all) {
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, p.th32ProcessID);
        if (!h) continue;
        wchar_t image[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(h, 0, image, &size) && starts_with_folder(image, folder))
            found.insert(p.th32ProcessID);
        CloseHandle(h);
    }
    for (const PROCESSENTRY32W& p : all)
        if (found.count(p.th32ParentProcessID)) found.insert(p.th32ProcessID);
    return found;
}

bool wait_until(DWORD timeout_ms, const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(50);
    }
}

// A game installed with its engine and updater, set up to look for updates
// at the test server without asking; "version.ini" records 0101. Whatever
// still runs from the folder at the end is ended.
class installed_game : public game_folder {
public:
    installed_game(const std::string& url, const std::string& vy_keys = "",
                   const std::string& network = "ALLOW=2\r\nUPDATE=7\r\n")
        : game_folder("[Vy]\r\nFPS=60\r\n" + vy_keys + "[UPDATE]\r\nURL=" + url +
                          "\r\nNAME=patch\r\nEXT=zip\r\n",
                      game_script) {
        CopyFileW(engine_program().c_str(), engine().c_str(), FALSE);
        CopyFileW(build_program(VY_BINARY_DIR "/bin/VyUpdate.exe").c_str(), path(L"VyUpdate.exe").c_str(), FALSE);
        // The profile reader takes off one pair of quotes around a whole value.
        write(L"VyUpdate.ini", "[zip]\r\nTOOL=" + to_utf8(build_program(VY_BINARY_DIR "/tests/archive_tool.exe")) +
                                   "\r\nARGS=\"\"<0>\" x \"<1>\" -o\"<2>\"\"\r\n");
        write(L"version.ini", "[VERSION]\r\nPATCHVER=0101\r\n");
        write(L"save.ini", "[SETTINGS]\r\nINSTALL=1\r\n[NETWORK]\r\n" + network + "INSTALL=1\r\n");
    }
    ~installed_game() {
        for (DWORD id : processes_of(dir())) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (!h) continue;
            TerminateProcess(h, 0xDEAD);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
    }

    std::wstring engine() const { return path(L"VyEngine.exe"); }
    std::string ini(const wchar_t* file, const wchar_t* section, const wchar_t* key) const {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(section, key, L"<none>", value, 256, path(file).c_str());
        return to_utf8(value);
    }
    std::string patch_version() const { return ini(L"version.ini", L"VERSION", L"PATCHVER"); }
    bool updater_ran() const { return !list(L"update\\VyUpdate.*.log").empty(); }
    // False when something still runs from the folder after the time limit.
    bool wait_idle(DWORD timeout_ms) const {
        return wait_until(timeout_ms, [this] { return processes_of(dir()).empty(); });
    }
    bool wait_for_log(const wchar_t* name, const std::string& text, DWORD timeout_ms) const {
        return wait_until(timeout_ms, [&] { return log_has(name, text); });
    }
};

engine_outcome run_installed(const installed_game& game, const std::wstring& arguments = L"") {
    engine_process engine(game.dir(), arguments, game.engine());
    return engine.wait(30000);
}

const std::string patch_0102 =
    "script\\main.lua=system.trace(6, 'patched game ran') system.exit(0)\n"
    "data\\notes.txt=second edition\n";

}  // namespace

TEST(UpdateRun, NewArchiveIsAppliedAndTheEngineRestarted) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    installed_game game(server.url());
    server.serve("patch.txt", "# the patches\npatch0101.zip\npatch0102.zip\n");
    server.serve("patch0102.zip", patch_0102);

    engine_outcome first = run_installed(game);
    ASSERT_FALSE(first.timed_out);
    EXPECT_EQ(0, first.exit_code) << "the engine makes way for the updater";
    EXPECT_TRUE(first.boxes.empty());

    ASSERT_TRUE(game.wait_for_log(L"log\\system.log", "patched game ran", 60000)) << "the patched game runs";
    ASSERT_TRUE(game.wait_idle(30000));
    EXPECT_EQ("0102", game.patch_version());
    EXPECT_EQ("second edition", game.read(L"data\\notes.txt"));
    EXPECT_EQ(patch_0102, game.read(L"update\\patch0102.zip")) << "the archive stays in the work folder";
    EXPECT_TRUE(game.updater_ran());
    EXPECT_EQ((std::vector<std::string>{"/patch.txt", "/patch0102.zip"}), server.paths())
        << "the restarted engine skips the check (/U)";
    EXPECT_EQ("0", game.ini(L"save.ini", L"STATUS", L"EXITCODE"));
}

TEST(UpdateRun, VyUpdateGetsTheArchivesInOrderAndTheEngineCommandLine) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    // A double quote in the title must not break the command.
    installed_game game(server.url(), "TITLE=Say \"Hi\"\r\n");
    server.serve("patch.txt", "patch0103.zip\npatch0102.zip\n");
    server.serve("patch0102.zip", "a");
    server.serve("patch0103.zip", "b");
    // A stand-in updater that only records how it was started, waiting as
    // the new one beside a broken old one.
    game.write(L"VyUpdate.exe", "not a program");
    const std::wstring stub = build_program(VY_BINARY_DIR "/tests/engine_stub_gui.exe");
    ASSERT_TRUE(CopyFileW(stub.c_str(), game.path(L"VyUpdate.new").c_str(), FALSE));

    engine_process engine(game.dir(), L"-M", game.engine());
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "WinMain: update, code=0(0x00000000)"));
    EXPECT_FALSE(game.log_has(L"log\\vytrace.log", "start up")) << "the game itself did not start";

    ASSERT_TRUE(wait_until(30000, [&] { return game.read(L"events.txt").find('\n') != std::string::npos; }));
    const std::string work = to_utf8(game.path(L"update\\"));
    EXPECT_EQ("engine /expand|/update|/archive:" + work + "patch0102.zip|/archive:" + work +
                  "patch0103.zip|/pid:" + std::to_string(engine.id()) + "|/restart|/args:" +
                  to_utf8(game.engine()) + "|-M\n",
              game.read(L"events.txt"));
    EXPECT_FALSE(exists(game.path(L"VyUpdate.new")));
    EXPECT_EQ(read_whole(stub), game.read(L"VyUpdate.exe"));
}

TEST(UpdateRun, FailedUpdatesAreLoggedAndTheGameStillRuns) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    const std::wstring failed_box = L"アップデートファイルの取得に失敗しました。\n  patch0102.zip\n";
    struct row {
        const char* what;
        bool down;
        http_reply list;
        http_reply archive;
        std::string trace;  // "{url}" is the server's base URL
        bool box;
    };
    const row rows[] = {
        {"no server", true, {}, {}, "updater::get_file: InternetOpenUrl, code=", false},
        {"no patch list", false, {404, "gone"}, {}, "updater::get_file: HTTP status, code=404(", false},
        {"nothing newer", false, {200, "patch0100.zip\npatch0101.zip\n"}, {}, "updater::check: no update, code=0(",
         false},
        {"the archive is missing", false, {200, "patch0102.zip\n"}, {404, "gone"},
         "updater::get: {url}patch0102.zip, code=-1(", true},
        {"the archive is cut short", false, {200, "patch0102.zip\n"}, {200, patch_0102, true, 10},
         "updater::get_file: incomplete download, code=10(", true},
        {"the archive has no length", false, {200, "patch0102.zip\n"}, {200, patch_0102, false},
         "updater::get_file: HttpQueryInfo, code=", true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        server.serve("patch.txt", r.list);
        server.serve("patch0102.zip", r.archive);
        installed_game game(r.down ? "http://127.0.0.1:" + std::to_string(closed_port()) + "/" : server.url());
        engine_outcome out = run_installed(game);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_TRUE(game.log_has(L"log\\system.log", "game ran"));
        std::string trace = r.trace;
        const size_t mark = trace.find("{url}");
        if (mark != std::string::npos) trace.replace(mark, 5, server.url());
        EXPECT_TRUE(game.log_has(L"log\\vytrace.log", trace)) << trace;
        ASSERT_EQ(r.box ? 1u : 0u, out.boxes.size());
        if (r.box) {
            EXPECT_EQ(caption, out.boxes[0].caption);
            EXPECT_EQ(failed_box, out.boxes[0].text);
        }
        EXPECT_EQ("0101", game.patch_version());
        EXPECT_FALSE(game.updater_ran());
    }
}

TEST(UpdateRun, TheCheckRunsOnlyWhenAllowedAndAnswered) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    server.serve("patch.txt", "patch0102.zip\n");
    server.serve("patch0102.zip", patch_0102);
    const std::wstring url = to_wide(server.url());
    struct row {
        const char* what;
        std::string url;
        std::string network;
        std::wstring arguments;
        bool updater_ini;
        std::vector<std::string> asked;
        std::wstring box;  // the question, answered with something other than Yes
        const char* trace;
    };
    const std::string base = server.url();
    const row rows[] = {
        {"network not allowed", base, "ALLOW=1\r\nUPDATE=7\r\n", L"", true, {}, L"", nullptr},
        {"no check at start", base, "ALLOW=3\r\nUPDATE=6\r\n", L"", true, {}, L"", nullptr},
        {"no update URL", "", "ALLOW=2\r\nUPDATE=7\r\n", L"", true, {}, L"", nullptr},
        {"option U", base, "ALLOW=2\r\nUPDATE=7\r\n", L"/u", true, {}, L"", nullptr},
        {"no updater settings", base, "ALLOW=2\r\nUPDATE=7\r\n", L"", false, {}, L"",
         "check_update: updater::read_config, code=-1("},
        {"the user declines the check", base, "ALLOW=2\r\nUPDATE=1\r\n", L"", true, {},
         L"アップデートの有無を確認しますか？\n  URL:" + url, nullptr},
        {"the user declines the download", base, "ALLOW=2\r\nUPDATE=3\r\n", L"", true, {"/patch.txt"},
         L"1 つのアップデートファイルを検出しました。\n  patch0102.zip\nアップデートしますか？", nullptr},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const size_t before = server.paths().size();
        installed_game game(r.url, "", r.network);
        if (!r.updater_ini) DeleteFileW(game.path(L"VyUpdate.ini").c_str());
        engine_outcome out = run_installed(game, r.arguments);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_TRUE(game.log_has(L"log\\system.log", "game ran"));
        std::vector<std::string> asked = server.paths();
        asked.erase(asked.begin(), asked.begin() + static_cast<ptrdiff_t>(before));
        EXPECT_EQ(r.asked, asked);
        if (r.box.empty()) {
            EXPECT_TRUE(out.boxes.empty());
        } else {
            ASSERT_EQ(1u, out.boxes.size());
            EXPECT_EQ(caption, out.boxes[0].caption);
            EXPECT_EQ(r.box, out.boxes[0].text);
        }
        if (r.trace) EXPECT_TRUE(game.log_has(L"log\\vytrace.log", r.trace)) << r.trace;
        EXPECT_EQ("0101", game.patch_version());
    }
}

namespace {

struct dialog_search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK find_network_dialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<dialog_search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {}, text[64] = {};
    GetClassNameW(window, cls, 64);
    GetWindowTextW(window, text, 64);
    if (pid == search->process && IsWindowVisible(window) && std::wstring(cls) == L"#32770" &&
        std::wstring(text) == L"ネットワーク設定") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND wait_network_dialog(const engine_process& engine, DWORD timeout_ms) {
    dialog_search search = {engine.id(), nullptr};
    wait_until(timeout_ms, [&] {
        EnumWindows(find_network_dialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || !engine.running();
    });
    return search.found;
}

// "c" checked, "-" unchecked, "x" disabled, for the controls in order.
std::string control_states(HWND dialog, std::initializer_list<int> ids) {
    std::string out;
    for (int id : ids) {
        HWND control = GetDlgItem(dialog, id);
        if (!IsWindowEnabled(control)) out += 'x';
        else out += SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 'c' : '-';
    }
    return out;
}

void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::wstring control_text(HWND dialog, int id) {
    wchar_t text[256] = {};
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

// Allow, scripts, check at start, no question, no list, proxy, local.
const std::initializer_list<int> network_checks = {40001, 40002, 40003, 40005, 40004, 40013, 40012};

}  // namespace

TEST(UpdateRun, FirstRunAsksForNetworkSettingsAndChecksAtOnce) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    server.serve("patch.txt", "patch0101.zip\n");
    installed_game game(server.url());
    game.write(L"save.ini", "[SETTINGS]\r\nINSTALL=1\r\n");
    engine_process engine(game.dir(), L"", game.engine());
    HWND dialog = wait_network_dialog(engine, 20000);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER)) << "no main window yet";
    EXPECT_EQ("-xxxxxx", control_states(dialog, network_checks));
    click(dialog, 40001);
    EXPECT_EQ("c--xx-x", control_states(dialog, network_checks));
    click(dialog, 40003);
    click(dialog, 40005);
    click(dialog, 40004);
    click(dialog, 40013);
    EXPECT_EQ("c-cccc-", control_states(dialog, network_checks));
    SetWindowTextW(GetDlgItem(dialog, 40014), L"proxy.test");
    SetWindowTextW(GetDlgItem(dialog, 40015), L"8080");
    click(dialog, 40013);
    EXPECT_EQ("c-ccc-x", control_states(dialog, network_checks));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 40014)));
    click(dialog, IDOK);

    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(game.log_has(L"log\\system.log", "game ran"));
    EXPECT_EQ((std::vector<std::string>{"/patch.txt"}), server.paths()) << "the check runs in the same start";
    EXPECT_EQ("2", game.ini(L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_EQ("7", game.ini(L"save.ini", L"NETWORK", L"UPDATE"));
    EXPECT_EQ("0", game.ini(L"save.ini", L"NETWORK", L"PROXY"));
    EXPECT_EQ("proxy.test", game.ini(L"save.ini", L"NETWORK", L"ADDRESS")) << "kept with the proxy off";
    EXPECT_EQ("8080", game.ini(L"save.ini", L"NETWORK", L"PORT"));
    EXPECT_EQ("1", game.ini(L"save.ini", L"NETWORK", L"INSTALL"));

    engine_outcome again = run_installed(game);
    EXPECT_TRUE(again.boxes.empty()) << "asked only once";
}

TEST(UpdateRun, NetworkSettingsCancelledAtInstallAndChangedFromTheMenu) {
    installed_game game("", "[NETWORK]\r\nUSE=1\r\n");
    game.write(L"save.ini",
               "[SETTINGS]\r\nINSTALL=1\r\n[NETWORK]\r\nALLOW=3\r\nUPDATE=1\r\nPROXY=1\r\nADDRESS=a.test\r\n"
               "PORT=81\r\nLOCAL=1\r\n");
    game.write(L"script\\main.lua", "system.trace(6, 'game ran')\n");
    engine_process engine(game.dir(), L"", game.engine());
    HWND dialog = wait_network_dialog(engine, 20000);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("ccc--cc", control_states(dialog, network_checks));
    EXPECT_EQ(L"a.test", control_text(dialog, 40014));
    EXPECT_EQ(L"81", control_text(dialog, 40015));
    click(dialog, 40001);
    EXPECT_EQ("-xxxxxx", control_states(dialog, network_checks));
    click(dialog, IDCANCEL);

    HWND main = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, main);
    PostMessageW(main, WM_COMMAND, 40003, 0);
    dialog = wait_network_dialog(engine, 20000);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(main, GetWindow(dialog, GW_OWNER));
    EXPECT_EQ("ccc--cc", control_states(dialog, network_checks)) << "the cancel changed nothing";
    click(dialog, 40002);
    click(dialog, IDOK);
    PostMessageW(main, WM_CLOSE, 0, 0);

    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_EQ("2", game.ini(L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_EQ("1", game.ini(L"save.ini", L"NETWORK", L"UPDATE"));
    EXPECT_EQ("1", game.ini(L"save.ini", L"NETWORK", L"PROXY"));
    EXPECT_EQ("a.test", game.ini(L"save.ini", L"NETWORK", L"ADDRESS"));
    EXPECT_EQ("81", game.ini(L"save.ini", L"NETWORK", L"PORT"));
    EXPECT_EQ("1", game.ini(L"save.ini", L"NETWORK", L"LOCAL"));
}
