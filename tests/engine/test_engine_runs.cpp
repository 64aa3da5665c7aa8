// VyEngine.exe started for real in game folders made here.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
const std::string plain_ini = "[Vy]\r\nFPS=60\r\n";

const std::wstring default_caption = L"VyEngine - [Vy Engine]";
const std::wstring apology =
    L"ご迷惑をお掛けして申し訳ありません。\n重大なエラーが発生したため、現在、VyEngineで実行中の\n　　「Vy Engine」　　\n"
    L"を強制終了致します。\n原因究明にご協力頂ける場合は、logフォルダ下のファイル一式をWexaまでご送付下さい。\n"
    L"（Wexaの連絡先はreadme.txtをご参照下さい。）";
const std::wstring fatal_prefix = L"次の理由によりVyEngineを終了します：\n";

std::string ini_value(const game_folder& game, const wchar_t* file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256] = {};
    GetPrivateProfileStringW(section, key, L"<none>", buf, 256, game.path(file).c_str());
    return to_utf8(buf);
}

std::vector<std::wstring> log_files(const game_folder& game, const std::wstring& pattern) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(game.path(L"log\\" + pattern).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back(data.cFileName);
    while (FindNextFileW(h, &data));
    FindClose(h);
    return out;
}
}  // namespace

TEST(EngineRun, CleanRunEndedByTheScript) {
    game_folder game(plain_ini,
                     "system.trace(6, 'main at frame ' .. system.frame())\n"
                     "system.exit(0)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_EQ((std::vector<std::string>{"information: system: initialize [0]",
                                        "information: trace: main at frame 0 [0]",
                                        "information: system: release [0]"}),
              game.script_log());
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "VyEngine: start up, code=0(0x00000000)"));
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "VyEngine: exit, code=0(0x00000000)"));
    EXPECT_FALSE(game.log_has(L"log\\trace.log", "start up")) << "start up comes after the reopen";
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    EXPECT_EQ("100", ini_value(game, L"save.ini", L"SETTINGS", L"VOLUME"));
    EXPECT_EQ("1", ini_value(game, L"save.ini", L"SETTINGS", L"INSTALL"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"NETWORK", L"ALLOW"));
    EXPECT_NE(0u, GetFileAttributesW(game.path(L"system.ini").c_str()) & FILE_ATTRIBUTE_READONLY)
        << "the install step marks system.ini read-only";
}

TEST(EngineRun, ExitCodeIsKeptForTheNextRunWhichBacksUpTheLogs) {
    game_folder game(plain_ini, "system.exit(3)\n");
    engine_outcome first = run_engine(game.dir());
    ASSERT_FALSE(first.timed_out);
    EXPECT_EQ(3, first.exit_code);
    ASSERT_EQ(1u, first.boxes.size());
    EXPECT_EQ(default_caption, first.boxes[0].caption);
    EXPECT_EQ(apology, first.boxes[0].text);
    EXPECT_EQ("3", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    EXPECT_TRUE(log_files(game, L"*.backup.log").empty());

    game.write(L"script\\main.lua", "system.trace(6, 'last ' .. system.last_exit_code())\nsystem.exit(0)\n");
    engine_outcome second = run_engine(game.dir());
    ASSERT_FALSE(second.timed_out);
    EXPECT_EQ(0, second.exit_code);
    EXPECT_TRUE(second.boxes.empty());
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: trace: last 3 [0]"));
    EXPECT_EQ(1u, log_files(game, L"vytrace.*.backup.log").size());
    EXPECT_EQ(1u, log_files(game, L"system.*.backup.log").size());
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
}

TEST(EngineRun, StartUpFailuresEndWithMinusOne) {
    struct {
        const char* name;
        std::string ini;
        std::string main;
        std::wstring text;           // of the one message box
        const wchar_t* log;          // where the failure is logged
        std::string line;
        const char* saved_exit_code;  // STATUS EXITCODE afterwards
    } cases[] = {
        {"zero width", "[Vy]\r\nWIDTH=0\r\n", "system.exit(0)", apology, L"log\\trace.log",
         "WinMain: invalid WIDTH", "<none>"},
        {"negative height", "[Vy]\r\nHEIGHT=-5\r\n", "system.exit(0)", apology, L"log\\trace.log",
         "WinMain: invalid HEIGHT", "<none>"},
        {"main script does not compile", plain_ini, "this is not lua", apology, L"log\\vytrace.log",
         "system_manager::intialize: system_main, code=-1", "-1"},
        {"main script raises", plain_ini, "error('boom')", apology, L"log\\vytrace.log",
         "system_manager::system_main: script::exec, code=-1", "-1"},
        {"no main script", "[Vy]\r\nMAIN=missing\r\n", "", apology, L"log\\vytrace.log",
         "WinMain: system_manager::initialize, code=-1", "-1"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        game_folder game(c.ini, c.main);
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(-1, out.exit_code);
        ASSERT_EQ(1u, out.boxes.size());
        EXPECT_EQ(default_caption, out.boxes[0].caption);
        EXPECT_EQ(c.text, out.boxes[0].text);
        EXPECT_TRUE(game.log_has(c.log, c.line)) << game.read(c.log);
        EXPECT_EQ(c.saved_exit_code, ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    }
}

TEST(EngineRun, ScriptErrorsReachTheSystemLog) {
    game_folder game(plain_ini, "local x = nil\nx.field = 1\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(-1, out.exit_code);
    EXPECT_TRUE(game.log_has(L"log\\system.log", "error: system.exec: "));
    EXPECT_TRUE(game.log_has(L"log\\system.log", "attempt to index local 'x'"));
}

TEST(EngineRun, CommandLine) {
    struct {
        std::wstring args;
        int32_t exit_code;
        std::wstring box;  // empty: no box
        std::string trace_line;
        bool writes_nothing;
    } cases[] = {
        {L"-D", 0, L"", "", true},
        {L"-Dvalue", 0, L"", "", true},
        {L"/D", 0, L"", "", true},
        {L"-U", 0, L"", "", false},
        {L"/u", 0, L"", "", false},
        {L"--u -M", 0, L"", "", false},
        {L"-u", -1, fatal_prefix + L"コマンドラインが不正です。", "parse Arguments: invalid argument '-u'", false},
        {L"-", -1, fatal_prefix + L"コマンドラインが不正です。", "parse Arguments: invalid argument '-'", false},
        {L"/X", -1, fatal_prefix + L"コマンドラインが不正です。", "parse Arguments: invalid argument '/X'", false},
        {L"/U:1", -1, fatal_prefix + L"コマンドラインが不正です。", "parse Arguments: invalid argument '/U:1'", false},
        {L"other.ini extra.ini", 7, L"", "parse Arguments: too argument 'extra.ini', omitted", false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.args));
        game_folder game(plain_ini, "system.exit(0)");
        game.write(L"other.ini", "[Vy]\r\nMAIN=other\r\n");
        game.write(L"script\\other.lua", "system.exit(7, true)");
        engine_outcome out = run_engine(game.dir(), c.args);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(c.exit_code, out.exit_code);
        if (c.box.empty() && c.exit_code == 0) {
            EXPECT_TRUE(out.boxes.empty());
        } else if (!c.box.empty()) {
            ASSERT_EQ(1u, out.boxes.size());
            EXPECT_EQ(L"VyEngine", out.boxes[0].caption);
            EXPECT_EQ(c.box, out.boxes[0].text);
            EXPECT_EQ("<none>", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"))
                << "the fatal path writes nothing";
        }
        if (!c.trace_line.empty()) EXPECT_TRUE(game.log_has(L"log\\trace.log", c.trace_line)) << game.read(L"log\\trace.log");
        if (c.writes_nothing) {
            EXPECT_TRUE(log_files(game, L"*").size() == 2) << "only . and ..";
            EXPECT_FALSE(exists(game.path(L"save.ini")));
        }
    }
}

TEST(EngineRun, SecondInstanceInTheSameFolderIsRefused) {
    game_folder game(plain_ini, "-- runs until closed\n");
    engine_process first(game.dir(), L"");
    ASSERT_NE(nullptr, first.wait_main_window(20000));
    std::wstring upper = game.dir();
    for (auto& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
    for (const std::wstring& folder : {game.dir(), upper}) {
        engine_outcome second = run_engine(folder);
        ASSERT_FALSE(second.timed_out);
        EXPECT_EQ(-1, second.exit_code);
        ASSERT_EQ(1u, second.boxes.size());
        EXPECT_EQ(L"VyEngine", second.boxes[0].caption);
        EXPECT_EQ(fatal_prefix + L"既に同じ環境下でVyEngineが起動しています。", second.boxes[0].text);
    }
    game_folder other(plain_ini, "system.exit(0)");
    EXPECT_EQ(0, run_engine(other.dir()).exit_code) << "another folder runs";
    ASSERT_TRUE(first.running());
    PostMessageW(first.wait_main_window(1000), WM_CLOSE, 0, 0);
    engine_outcome out = first.wait(20000);
    EXPECT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
}

TEST(EngineRun, CloseCallbackRefusesOnceThenAccepts) {
    game_folder game(plain_ini,
                     "local asked = 0\n"
                     "system.callback(0, function()\n"
                     "  asked = asked + 1\n"
                     "  local f = io.open('asked' .. asked .. '.txt', 'w') f:write('x') f:close()\n"
                     "  if asked == 1 then return 0 end\n"
                     "  return 1\n"
                     "end)\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(wait_for_file(game.path(L"asked1.txt"), 10000));
    Sleep(200);
    EXPECT_TRUE(engine.running()) << "the first close is refused";
    PostMessageW(window, WM_CLOSE, 0, 0);
    engine_outcome out = engine.wait(20000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(exists(game.path(L"asked2.txt")));
    EXPECT_TRUE(out.boxes.empty());
}

TEST(EngineRun, ScriptThreadsStepOncePerFrameAndAnErrorEndsOnlyItsThread) {
    game_folder game(plain_ini,
                     "system.fork(function()\n"
                     "  coroutine.yield()\n"
                     "  error('thread broke')\n"
                     "end)\n"
                     "system.fork(function()\n"
                     "  for i = 1, 10 do coroutine.yield() end\n"
                     "  system.trace(6, 'done')\n"
                     "  system.exit(0)\n"
                     "end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    std::vector<std::string> lines = game.script_log();
    ASSERT_EQ(4u, lines.size()) << game.read(L"log\\system.log");
    EXPECT_EQ("information: system: initialize [0]", lines[0]);
    EXPECT_EQ(0u, lines[1].find("error: script.resume: ")) << lines[1];
    EXPECT_NE(std::string::npos, lines[1].find("thread broke [1]")) << lines[1];
    EXPECT_EQ("information: trace: done [10]", lines[2]);
    EXPECT_EQ("information: system: release [10]", lines[3]);
}

TEST(EngineRun, AScriptErrorInAnActorEndsTheEngineWithOne) {
    struct {
        const char* name;
        std::string main;
    } cases[] = {
        {"per-frame function",
         "actors.create{ { param = { 0, {0, 0} }, action = { default = function(a) error('actor broke') end } }, 0, 0, 0 }"},
        {"coroutine",
         "actors.create{ { param = { 0x100000, {0, 0} }, action = { start = function(a)\n"
         "  coroutine.yield() error('actor broke') end } }, 0, 0, 0 }"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        game_folder game(plain_ini, c.main);
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(1, out.exit_code);
        ASSERT_EQ(1u, out.boxes.size()) << "one abnormal-end box, not two";
        EXPECT_EQ(apology, out.boxes[0].text);
        EXPECT_TRUE(game.log_has(L"log\\system.log", "actor broke")) << game.read(L"log\\system.log");
        EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "WinMain: system_manager::onframe, code=-1(0xFFFFFFFF)"));
        EXPECT_EQ("1", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    }
}

TEST(EngineRun, GameFilesAreFoundThroughTheSearchPaths) {
    // A tiny 2x2 BMP for the graphic path.
    std::string bmp = std::string("BM") + std::string("\x46\0\0\0\0\0\0\0\x36\0\0\0", 12) +
                      std::string("\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0", 24) +
                      std::string(16, '\0') + std::string(16, '\x7f');
    struct {
        const char* name;
        std::string ini;
        const wchar_t* script_file;  // where the main script is written
        bool with_image;
        const char* expected;  // line in the system log
    } cases[] = {
        {"defaults", plain_ini, L"script\\main.lua", true, "fatal-error: trace: class true [0]"},
        {"no image", plain_ini, L"script\\main.lua", false, "fatal-error: trace: class false [0]"},
        {"script folder from the settings", "[SCRIPT]\r\nPATH=code\r\n", L"code\\main.lua", true,
         "fatal-error: trace: class true [0]"},
        {"numbered path used by a section", "[PATH]\r\nNUM=1\r\nPATH1=code,lua\r\n[SCRIPT]\r\nINDEX=1\r\n",
         L"code\\main.lua", true, "fatal-error: trace: class true [0]"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        game_folder game(c.ini, "");
        CreateDirectoryW(game.path(L"code").c_str(), nullptr);
        CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
        if (c.with_image) game.write(L"graphic\\tile.bmp", bmp);
        game.write(c.script_file,
                   "local c = sprites.class_create{ name = 't', image = { 'tile' } }\n"
                   "system.trace(0, 'class ' .. tostring(c ~= nil))\nsystem.exit(0)\n");
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(0, out.exit_code);
        EXPECT_TRUE(game.log_has(L"log\\system.log", c.expected)) << game.read(L"log\\system.log");
    }
}

TEST(EngineRun, OptionIMovesTheWholeRunIntoTheChosenGameFolder) {
    // With the folder dialog cancelled the choice is the ini file's folder;
    // logs, save file and instance lock then follow it.
    scratch_dir start;
    game_folder game(plain_ini, "system.trace(6, 'moved')\nsystem.exit(0)\n");
    engine_process engine(start.dir(), L"-I \"" + game.path(L"system.ini") + L"\"");
    HWND box = engine.wait_box(L"", 20000);
    ASSERT_NE(nullptr, box);
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: trace: moved [0]"));
    EXPECT_EQ("0", ini_value(game, L"save.ini", L"STATUS", L"EXITCODE"));
    EXPECT_FALSE(exists(start.path(L"save.ini")));
    EXPECT_FALSE(exists(start.path(L"log")));
}

TEST(EngineRun, MenuExitAsksTheScriptLikeTheCloseBox) {
    game_folder game(plain_ini,
                     "system.callback(0, function()\n"
                     "  local f = io.open('asked.txt', 'w') f:write('x') f:close()\n"
                     "  return 1\n"
                     "end)\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_COMMAND, 3, 0);
    engine_outcome out = engine.wait(20000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(exists(game.path(L"asked.txt")));
}
