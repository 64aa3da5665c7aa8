// Keys bound through "input.ini" reach a running game: the player's key
// presses (sent by this program through SendInput while the engine's window
// is active) are read by a script, fire an input event at an actor, and the
// restart code restarts the scripts.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
const char* const bindings =
    "[INPUT]\r\nNUM=1\r\nFIRE=20\r\nQUIT=21\r\nRESTART=13\r\n"
    "[KEYBOARD]\r\nZ=90\r\nQ=81\r\nR=82\r\n"
    "[INPUT1-MODE0]\r\nFIRE=Z\r\nQUIT=Q\r\nRESTART=R\r\n";

const char* const game =
    "runs = 0\n"
    "actors.class_create{name = 'target', param = {0}, action = {\n"
    "  catch = function(a, ctx, ev) system.trace(6, 'event ' .. ev) end}}\n"
    "local target = actors.create{'target', 0, 0, 0}\n"
    "inputs.add_event(0, 20, 1, target, 77)\n"
    "system.fork(function()\n"
    "  while true do\n"
    "    local w = inputs.button(0, 20)\n"
    "    if w == 1 or w == -1 then system.trace(6, 'fire ' .. w) end\n"
    "    if inputs.button(0, 21) == -1 then system.exit(0) end\n"
    "    coroutine.yield()\n"
    "  end\n"
    "end)\n";

void send_key(WORD vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

// A short press: held long enough for a few frames at 60 a second, and
// longer while the engine hasn't seen it yet (a loaded machine can stall
// its frames for longer than a fixed hold).
template <class F>
void tap(WORD vk, F seen) {
    send_key(vk, true);
    const DWORD start = GetTickCount();
    Sleep(150);
    while (!seen() && GetTickCount() - start < 10000) Sleep(20);
    send_key(vk, false);
}

void tap(WORD vk) {
    send_key(vk, true);
    Sleep(300);
    send_key(vk, false);
}

template <class F>
bool wait_until(F done, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(20);
    }
    return true;
}

size_t count_lines(const game_folder& folder, const std::string& text) {
    size_t n = 0;
    for (const std::string& line : folder.script_log())
        if (line.find(text) != std::string::npos) ++n;
    return n;
}
}  // namespace

TEST(EngineInput, BoundKeysReachScriptsEventsAndTheRestartCode) {
    game_folder folder("[Vy]\r\nFPS=60\r\n", game);
    folder.write(L"input.ini", bindings);
    engine_process engine(folder.dir(), L"");
    ASSERT_TRUE(engine.started());
    HWND window = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, window);
    // The running script has registered its event once the log names the actor.
    ASSERT_TRUE(wait_until([&] { return count_lines(folder, "target") > 0; }, 20000));
    SetForegroundWindow(window);
    ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == window; }, 5000));

    tap('Z', [&] { return count_lines(folder, "fire 1") == 1; });
    EXPECT_TRUE(wait_until([&] { return count_lines(folder, "fire -1") == 1; }, 10000));
    tap('R');
    EXPECT_TRUE(wait_until([&] { return count_lines(folder, "system: initialize") == 2; }, 10000));
    tap('Z', [&] { return count_lines(folder, "fire 1") == 2; });
    EXPECT_TRUE(wait_until([&] { return count_lines(folder, "fire -1") == 2; }, 10000));
    tap('Q');
    engine_outcome out = engine.wait(20000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());

    // Each run: the press fires the event and reads 1, the release reads -1.
    std::vector<std::string> seen;
    for (const std::string& line : folder.script_log()) {
        const size_t at = line.find("trace: ");
        if (at != std::string::npos) seen.push_back(line.substr(at + 7, line.find(" [") - at - 7));
        if (line.find("system: release") != std::string::npos) seen.push_back("release");
    }
    const std::vector<std::string> expected = {"event 77", "fire 1", "fire -1", "release",
                                               "event 77", "fire 1", "fire -1", "release"};
    EXPECT_EQ(expected, seen);
}

TEST(EngineInput, MissingBindingsFileRunsWithoutInputs) {
    game_folder folder("[Vy]\r\nFPS=60\r\n",
                       "system.trace(6, 'x ' .. tostring(inputs.x(0)) .. ' button ' .. tostring(inputs.button(0, 1)))\n"
                       "system.trace(6, 'mode ' .. inputs.mode())\n"
                       "system.exit(0)\n");
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(folder.log_has(L"log\\system.log", "information: trace: x nil button nil [0]"));
    EXPECT_TRUE(folder.log_has(L"log\\system.log", "information: trace: mode 0 [0]"));
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "input::create_all: num is 0"));
}
