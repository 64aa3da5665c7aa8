// The main window's menu commands and dialogs, driven from outside the
// running engine as a user would: commands posted to the window, dialogs
// found, read and answered.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
const DWORD box_wait = 10000;

std::string ini_value(const game_folder& game, const wchar_t* file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256] = {};
    GetPrivateProfileStringW(section, key, L"<none>", buf, 256, game.path(file).c_str());
    return to_utf8(buf);
}

// Every main-window command the script hears of, in the system log.
const char* const command_logger =
    "system.callback(3, function(id) system.trace(6, 'command ' .. id) return 1 end)\n";

std::vector<std::string> heard_commands(const game_folder& game) {
    std::vector<std::string> out;
    for (auto& line : game.script_log()) {
        size_t at = line.find("trace: command ");
        if (at != std::string::npos) out.push_back(line.substr(at + 15, line.find(' ', at + 15) - at - 15));
    }
    return out;
}

// A command that is handled before this returns (sent messages go before
// posted ones: only for commands that open no dialog).
void send_command(HWND window, UINT id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 10000, &result);
}

size_t backups(const game_folder& game, const std::wstring& log) {
    size_t n = 0;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(game.path(L"log\\" + log + L".*.backup.log").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do ++n;
    while (FindNextFileW(h, &data));
    FindClose(h);
    return n;
}

BOOL CALLBACK find_text(HWND child, LPARAM data) {
    auto* wanted = reinterpret_cast<std::pair<const wchar_t*, bool>*>(data);
    wchar_t text[256] = {};
    SendMessageW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    if (std::wstring(text) == wanted->first) wanted->second = true;
    return !wanted->second;
}

bool has_child_text(HWND box, const wchar_t* text) {
    std::pair<const wchar_t*, bool> wanted(text, false);
    EnumChildWindows(box, find_text, reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
}

const wchar_t* const network_caption = L"ネットワーク設定";
}  // namespace

TEST(MainWindow, MenuChoicesReachTheSettingsFileAndTheScript) {
    // Some frames run first, so that the memory figures have samples.
    game_folder game("[Vy]\r\n", std::string(command_logger) +
                                     "system.fork(function() for i = 1, 10 do coroutine.yield() end "
                                     "io.open('ran.txt', 'w'):close() end)\n");
    game.write(L"save.ini", "[SETTINGS]\r\nVOLUME=100\r\nALTENTER=0\r\nINACTIVE=0\r\nSCALING=1\r\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(wait_for_file(game.path(L"ran.txt"), box_wait));
    for (UINT id : {40206u, 40006u, 40005u, 40001u, 12345u, 500u, 40212u}) post_command(window, id);
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    // Muted at the end: the volume written is the one chosen, not 0.
    EXPECT_EQ("50", ini_value(game, L"save.ini", L"SETTINGS", L"VOLUME"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"SETTINGS", L"ALTENTER"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"SETTINGS", L"INACTIVE"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"SETTINGS", L"SCALING"));
    // Volume items and unknown ids from 10000 up reach the script; the
    // engine's own switches and low unknown ids do not.
    EXPECT_EQ((std::vector<std::string>{"40206", "12345", "40212"}), heard_commands(game));
    // The run's memory figures close the log, in megabytes.
    std::vector<std::pair<std::string, long>> memory;
    for (auto& line : game.log_lines(L"log\\vytrace.log")) {
        size_t at = line.find("Memory Statistics: ");
        if (at == std::string::npos) continue;
        size_t comma = line.find(", code=", at);
        memory.emplace_back(line.substr(at + 19, comma - at - 19), std::stol(line.substr(comma + 7)));
    }
    ASSERT_EQ(6u, memory.size());
    const char* names[] = {"system total size",  "system avg used",  "system max used",
                           "graphic total size", "graphic avg used", "graphic max used"};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(names[i], memory[i].first);
    EXPECT_GT(memory[0].second, 0);
    EXPECT_GT(memory[1].second, 0);
    EXPECT_GE(memory[2].second, memory[1].second);
    EXPECT_GE(memory[0].second, memory[2].second);
}

TEST(MainWindow, ScreenModeCommandsOnlySwitchFromTheOtherMode) {
    game_folder game("[Vy]\r\n", command_logger);
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    // Centred only the first time: back from full screen the window
    // returns to where it was.
    SetWindowPos(window, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    for (UINT id : {2u, 1u, 1u}) send_command(window, id);
    EXPECT_EQ(nullptr, GetMenu(window)) << "full screen has no menu bar";
    EXPECT_EQ(WS_POPUP, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & (WS_POPUP | WS_CAPTION));
    send_command(window, 2);
    EXPECT_NE(nullptr, GetMenu(window));
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION), static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & WS_CAPTION);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(640, client.right);
    EXPECT_EQ(480, client.bottom);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(40, r.top);
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), heard_commands(game));
    std::vector<std::string> modes;
    for (auto& line : game.log_lines(L"log\\vytrace.log"))
        if (line.find(": fullscreen=") != std::string::npos) modes.push_back(line.substr(line.find("IDM_")));
    EXPECT_EQ((std::vector<std::string>{"IDM_WINDOWSTYLE: fullscreen=false", "IDM_FULLSCREEN: fullscreen=false",
                                        "IDM_FULLSCREEN: fullscreen=true", "IDM_WINDOWSTYLE: fullscreen=true"}),
              modes);
}

TEST(MainWindow, AboutBoxShowsTheProductCentredOnTheWindow) {
    game_folder game(
        "[PRODUCT]\r\nPRODUCTNAME=Blue Game\tSecond Line\r\nVERSION=1.2.3\r\nCOPYRIGHT=(c) Blue Makers\r\n[Vy]\r\n",
        "");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    post_command(window, 40002);
    HWND box = engine.wait_box(L"バージョン情報", box_wait);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Blue Game\nSecond Line", dialog_text(box, 1025));
    EXPECT_EQ(L"ver. 1.2.3", dialog_text(box, 1026));
    EXPECT_EQ(L"(c) Blue Makers", dialog_text(box, 1027));
    RECT client, r;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    GetWindowRect(box, &r);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - (client.left + client.right) / 2), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - (client.top + client.bottom) / 2), 1);
    press_button(box, IDOK);
    EXPECT_TRUE(wait_window_gone(box, box_wait));
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
}

TEST(MainWindow, NetworkDialogEditsTheNetworkSettingsOnlyOnOk) {
    game_folder game("[Vy]\r\n", "");
    game.write(L"save.ini",
               "[SETTINGS]\r\nINSTALL=1\r\n[NETWORK]\r\nINSTALL=1\r\nALLOW=2\r\nPROXY=1\r\nADDRESS=proxy.example\r\n"
               "PORT=8080\r\nLOCAL=1\r\nUPDATE=3\r\n");
    {
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        post_command(window, 40003);
        HWND box = engine.wait_box(network_caption, box_wait);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(window, GetWindow(box, GW_OWNER));
        EXPECT_TRUE(dialog_checked(box, 40001));
        EXPECT_FALSE(dialog_checked(box, 40002));
        EXPECT_TRUE(dialog_enabled(box, 40002));
        EXPECT_TRUE(dialog_checked(box, 40003));
        EXPECT_TRUE(dialog_checked(box, 40005));
        EXPECT_FALSE(dialog_checked(box, 40004));
        EXPECT_TRUE(dialog_enabled(box, 40004));
        EXPECT_TRUE(dialog_checked(box, 40013));
        EXPECT_TRUE(dialog_checked(box, 40012));
        EXPECT_EQ(L"proxy.example", dialog_text(box, 40014));
        EXPECT_EQ(L"8080", dialog_text(box, 40015));
        // Cancel keeps everything, whatever was changed.
        click_check(box, 40001, false);
        EXPECT_FALSE(dialog_enabled(box, 40013));
        press_button(box, IDCANCEL);
        ASSERT_TRUE(wait_window_gone(box, box_wait));

        post_command(window, 40003);
        box = engine.wait_box(network_caption, box_wait);
        ASSERT_NE(nullptr, box);
        EXPECT_TRUE(dialog_checked(box, 40001)) << "the cancelled change is gone";
        click_check(box, 40002, true);
        click_check(box, 40003, false);
        EXPECT_FALSE(dialog_enabled(box, 40005));
        EXPECT_FALSE(dialog_checked(box, 40005));
        set_dialog_text(box, 40014, L"other.example");
        // Too big for a port: the old port stays.
        set_dialog_text(box, 40015, L"70000");
        press_button(box, IDOK);
        ASSERT_TRUE(wait_window_gone(box, box_wait));
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
    }
    EXPECT_EQ("3", ini_value(game, L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"NETWORK", L"UPDATE"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"NETWORK", L"PROXY"));
    EXPECT_EQ("other.example", ini_value(game, L"save.ini", L"NETWORK", L"ADDRESS"));
    EXPECT_EQ("8080", ini_value(game, L"save.ini", L"NETWORK", L"PORT"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"NETWORK", L"LOCAL"));
    {
        // Taking the permission away switches off everything below it; the
        // proxy's address and port stay for the next time.
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        post_command(window, 40003);
        HWND box = engine.wait_box(network_caption, box_wait);
        ASSERT_NE(nullptr, box);
        click_check(box, 40001, false);
        for (int id : {40002, 40003, 40004, 40005, 40013, 40014, 40015, 40012}) {
            SCOPED_TRACE(id);
            EXPECT_FALSE(dialog_enabled(box, id));
            EXPECT_FALSE(dialog_checked(box, id));
        }
        EXPECT_TRUE(dialog_enabled(box, 40001));
        press_button(box, IDOK);
        ASSERT_TRUE(wait_window_gone(box, box_wait));
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
    }
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"NETWORK", L"PROXY"));
    EXPECT_EQ("other.example", ini_value(game, L"save.ini", L"NETWORK", L"ADDRESS"));
    EXPECT_EQ("8080", ini_value(game, L"save.ini", L"NETWORK", L"PORT"));
}

TEST(MainWindow, NetworkDialogAtTheFirstRunOnly) {
    game_folder game("[Vy]\r\n[NETWORK]\r\nUSE=1\r\n", "system.exit(0)\n");
    {
        engine_process engine(game.dir(), L"");
        HWND box = engine.wait_box(network_caption, box_wait);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER)) << "no main window yet";
        EXPECT_FALSE(dialog_checked(box, 40001));
        EXPECT_FALSE(dialog_enabled(box, 40003));
        click_check(box, 40001, true);
        EXPECT_TRUE(dialog_enabled(box, 40003));
        click_check(box, 40003, true);
        press_button(box, IDOK);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
    }
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"NETWORK", L"INSTALL"));
    EXPECT_EQ("2", ini_value(game, L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"NETWORK", L"UPDATE"));
    engine_outcome second = run_engine(game.dir());
    ASSERT_FALSE(second.timed_out);
    EXPECT_EQ(0, second.exit_code);
    EXPECT_TRUE(second.boxes.empty());
    EXPECT_EQ("2", ini_value(game, L"save.ini", L"NETWORK", L"ALLOW"));

    // Without NETWORK USE the first run asks nothing and is still marked.
    game_folder quiet("[Vy]\r\n", "system.exit(0)\n");
    engine_outcome out = run_engine(quiet.dir());
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_EQ("1", ini_value(quiet, L"save.ini", L"NETWORK", L"INSTALL"));
}

TEST(MainWindow, ForcedExitAsksAndSkipsTheScriptsRefusal) {
    game_folder game("[Vy]\r\n",
                     "system.callback(0, function() system.trace(6, 'close asked') return 0 end)\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    // The close is posted; the box below comes after it was refused.
    send_command(window, 3);
    post_command(window, 40004);
    HWND box = engine.wait_box(L"VyEngine - [Vy Engine]", box_wait);
    ASSERT_NE(nullptr, box);
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    EXPECT_EQ(std::wstring(L"VyEngineを強制終了しようとしています。\n強制終了すると、現在のアプリケーションの状態は全て"
                           L"破棄されます。\n強制終了を実行しますか？"),
              text);
    press_button(box, IDNO);
    ASSERT_TRUE(wait_window_gone(box, box_wait));
    send_command(window, 500);
    EXPECT_TRUE(engine.running());
    post_command(window, 40004);
    box = engine.wait_box(L"VyEngine - [Vy Engine]", box_wait);
    ASSERT_NE(nullptr, box);
    press_button(box, IDYES);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    int asked = 0;
    for (auto& line : game.script_log()) asked += line.find("close asked") != std::string::npos;
    EXPECT_EQ(1, asked);
}

TEST(MainWindow, PlacementStoredInOneRunIsRestoredInTheNext) {
    game_folder game("[Vy]\r\n",
                     "system.callback(0, function() system.trace(6, 'stored ' .. tostring(system.store_window())) "
                     "return 1 end)\n");
    {
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        SetWindowPos(window, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
    }
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: trace: stored true"));
    EXPECT_NE("<none>", ini_value(game, L"save.ini", L"WINDOW", L"main"));

    game.write(L"script\\main.lua",
               "system.trace(6, 'restored ' .. tostring(system.restore_window()))\n"
               "system.trace(6, 'named ' .. tostring(system.restore_window('tool')))\n"
               "io.open('restored.txt', 'w'):close()\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(wait_for_file(game.path(L"restored.txt"), box_wait));
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(37, r.left);
    EXPECT_EQ(41, r.top);
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: trace: restored true"));
    EXPECT_TRUE(game.log_has(L"log\\system.log", "error: system.restore_window: no control"));
}

TEST(MainWindow, KilledRunIsReportedByTheNextStart) {
    game_folder game("[Vy]\r\n", "");
    {
        engine_process engine(game.dir(), L"");
        ASSERT_NE(nullptr, engine.wait_main_window(box_wait));
    }  // killed
    EXPECT_EQ("-32768", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    game.write(L"script\\main.lua", "system.trace(6, 'last ' .. system.last_exit_code())\nsystem.exit(0)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: trace: last -32768 [0]"));
    EXPECT_EQ(1u, backups(game, L"vytrace")) << "the crashed run's log is kept";
    EXPECT_EQ(1u, backups(game, L"system"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
}

TEST(AbnormalEnd, DebugRunPacksItsLogsIntoTheUploadFolder) {
    std::wstring packer = L"Z:" + to_wide(VY_BINARY_DIR "/tests/log_packer.exe");
    for (auto& c : packer)
        if (c == L'/') c = L'\\';
    const std::string trace_section = "[TRACE]\r\nUPLOAD=dev\r\nARCEXT=txt\r\nTOOL=" + to_utf8(packer) +
                                      "\r\nARGS=\"\"<0>\" \"<1>\" \"<2>\"\"\r\n";
    wchar_t user[128] = {}, computer[128] = {};
    GetEnvironmentVariableW(L"USERNAME", user, 128);
    GetEnvironmentVariableW(L"COMPUTERNAME", computer, 128);
    const std::wstring archive = std::wstring(L"uploads\\log_") + user + L"_" + computer + L".txt";
    struct {
        const char* name;
        std::string ini;
        const char* upload_ini;  // null: none
        bool packed;
        const char* trace_line;  // expected in vytrace.log, or null
    } cases[] = {
        {"debug", "[Vy]\r\nDEBUG=vydebug\r\n" + trace_section, "[dev]\r\nPATH=uploads\r\n", true, nullptr},
        {"not debug", "[Vy]\r\n" + trace_section, "[dev]\r\nPATH=uploads\r\n", false, nullptr},
        {"no Upload.ini", "[Vy]\r\nDEBUG=vydebug\r\n" + trace_section, nullptr, false,
         "system_abort: no Upload.ini, code=-1"},
        {"no folder", "[Vy]\r\nDEBUG=vydebug\r\n" + trace_section, "[other]\r\nPATH=uploads\r\n", false,
         "system_abort: no upload path, code=-1"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        game_folder game(c.ini, "system.exit(2)\n");
        CreateDirectoryW(game.path(L"uploads").c_str(), nullptr);
        if (c.upload_ini) game.write(L"Upload.ini", c.upload_ini);
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(2, out.exit_code);
        EXPECT_EQ(1u, out.boxes.size()) << "one abnormal-end box";
        std::string packed = game.read(archive);
        if (c.packed) {
            EXPECT_NE(std::string::npos, packed.find("vytrace.log\n")) << packed;
            EXPECT_NE(std::string::npos, packed.find("system.log\n")) << packed;
        } else {
            EXPECT_EQ("<missing>", packed);
        }
        if (c.trace_line) EXPECT_TRUE(game.log_has(L"log\\vytrace.log", c.trace_line));
    }
}

TEST(MainWindow, OptionIAsksForTheWorkingFolderAndCancelKeepsTheIniFolder) {
    game_folder game("[Vy]\r\n", "system.exit(0)\n");
    scratch_dir elsewhere;
    engine_process engine(elsewhere.dir(), L"-I \"" + game.path(L"system.ini") + L"\"");
    HWND box = engine.wait_box(L"", box_wait);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER)) << "asked before the main window exists";
    EXPECT_TRUE(has_child_text(box, L"VyEngine作業ディレクトリ選択"));
    press_button(box, IDCANCEL);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "VyEngine: start up"));
    EXPECT_FALSE(exists(elsewhere.path(L"log")));
}

TEST(MainWindow, DebugKeysWorkOnlyInDebugMode) {
    for (bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        game_folder game(debug ? "[Vy]\r\nDEBUG=vydebug\r\n" : "[Vy]\r\n",
                         "system.callback(3, function(id) system.trace(6, 'command ' .. system.frame()) "
                         "return 1 end)\n");
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        // F5 stops the frames of a debug run.
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_KEYUP, VK_F5, 0, SMTO_NORMAL, 10000, &result);
        Sleep(200);
        send_command(window, 12345);
        Sleep(300);
        send_command(window, 12345);
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        std::vector<std::string> frames = heard_commands(game);
        ASSERT_EQ(2u, frames.size());
        if (debug)
            EXPECT_EQ(frames[0], frames[1]);
        else
            EXPECT_LT(std::stol(frames[0]), std::stol(frames[1]));
    }
}

TEST(MainWindow, ResolutionItemsChooseTheDevicesModes) {
    game_folder game("[Vy]\r\n", command_logger);
    // A stored size that is no mode of the device gives way to the first.
    game.write(L"save.ini", "[SETTINGS]\r\nDISPLAY_WIDTH=801\r\nDISPLAY_HEIGHT=601\r\n");
    std::string first_size;
    {
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        send_command(window, 40101);
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        first_size = ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_WIDTH") + "x" +
                     ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_HEIGHT");
        EXPECT_TRUE(heard_commands(game).empty()) << "resolution items are the engine's";
    }
    EXPECT_NE("801x601", first_size);
    EXPECT_NE("0x0", first_size);
    {
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        send_command(window, 40102);
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
    }
    std::string second_size = ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_WIDTH") + "x" +
                              ini_value(game, L"save.ini", L"SETTINGS", L"DISPLAY_HEIGHT");
    // A second mode has another size; without one the id is an ordinary
    // command for the script and nothing changes.
    if (heard_commands(game).empty())
        EXPECT_NE(first_size, second_size);
    else
        EXPECT_EQ(first_size, second_size);
}

TEST(MainWindow, SnapshotAsksForAFileOwnedByTheWindow) {
    game_folder game("[Vy]\r\n", "");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);
    post_command(window, 40000);
    HWND box = engine.wait_box(L"スナップショット保存", box_wait);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(window, GetWindow(box, GW_OWNER));
    press_button(box, IDCANCEL);
    ASSERT_TRUE(wait_window_gone(box, box_wait));

    post_command(window, 40000);
    box = engine.wait_box(L"スナップショット保存", box_wait);
    ASSERT_NE(nullptr, box);
    // The file name box of the save dialog (cmb13).
    set_dialog_text(box, 0x47C, game.path(L"shot.png"));
    press_button(box, IDOK);
    ASSERT_TRUE(wait_window_gone(box, box_wait));
    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    // The chosen path gets the screen as a PNG file.
    std::string shot = game.read(L"shot.png");
    ASSERT_GT(shot.size(), 8u) << game.read(L"log\\vytrace.log");
    EXPECT_EQ(std::string("\x89PNG", 4), shot.substr(0, 4));
    EXPECT_FALSE(game.log_has(L"log\\vytrace.log", "IDM_SNAPSHOT: "));
}

TEST(MainWindow, AltEnterSwitchesTheScreenOnlyWhenTheUserAllowedIt) {
    for (const char* allowed : {"0", "1"}) {
        SCOPED_TRACE(allowed);
        game_folder game("[Vy]\r\n", command_logger);
        game.write(L"save.ini", std::string("[SETTINGS]\r\nALTENTER=") + allowed + "\r\n");
        engine_process engine(game.dir(), L"");
        HWND window = engine.wait_main_window(box_wait);
        ASSERT_NE(nullptr, window);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_SYSKEYUP, VK_RETURN, 1 << 29, SMTO_NORMAL, 10000, &result);
        SendMessageTimeoutW(window, WM_SYSKEYUP, VK_RETURN, 1 << 29, SMTO_NORMAL, 10000, &result);
        post_command(window, 3);
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        if (std::string(allowed) == "1")
            EXPECT_EQ((std::vector<std::string>{"1", "2"}), heard_commands(game));
        else
            EXPECT_TRUE(heard_commands(game).empty());
        EXPECT_EQ(allowed, ini_value(game, L"save.ini", L"SETTINGS", L"ALTENTER"));
    }
}
