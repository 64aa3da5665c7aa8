// The sample game in samples/catch, played to its end by scripted key
// presses: the first star lands on the paddle, the player moves, and Escape
// ends the game cleanly.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
std::wstring sample_path(const std::wstring& name) {
    std::wstring out = L"Z:";
    for (const char* p = VY_SOURCE_DIR; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out + L"\\samples\\catch\\" + name;
}

void send_key(WORD vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
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

bool log_mentions(const game_folder& folder, const std::string& text) {
    for (const std::string& line : folder.script_log())
        if (line.find(text) != std::string::npos) return true;
    return false;
}
}  // namespace

TEST(SampleCatch, PlaysToACleanExitWithScriptedKeys) {
    game_folder folder(read_whole(sample_path(L"system.ini")), read_whole(sample_path(L"script\\main.lua")));
    folder.write(L"input.ini", read_whole(sample_path(L"input.ini")));
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    CreateDirectoryW(folder.path(L"sound").c_str(), nullptr);
    for (const wchar_t* name : {L"graphic\\ground.bmp", L"graphic\\paddle.bmp", L"graphic\\star.bmp", L"sound\\ding.wav"}) {
        const std::string bytes = read_whole(sample_path(name));
        ASSERT_FALSE(bytes.empty()) << to_utf8(name);
        folder.write(name, bytes);
    }

    engine_process engine(folder.dir(), L"");
    ASSERT_TRUE(engine.started());
    HWND window = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, window);
    // The first star falls straight onto the paddle.
    ASSERT_TRUE(wait_until([&] { return log_mentions(folder, "catch: caught 1"); }, 20000))
        << folder.read(L"log\\system.log");
    SetForegroundWindow(window);
    ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == window; }, 5000));

    send_key(VK_RIGHT, true);
    Sleep(400);
    send_key(VK_RIGHT, false);
    // Escape until the game says it is over (a loaded machine may miss a short press).
    ASSERT_TRUE(wait_until(
        [&] {
            send_key(VK_ESCAPE, true);
            Sleep(150);
            send_key(VK_ESCAPE, false);
            return log_mentions(folder, "catch: game over: ");
        },
        20000));
    engine_outcome out = engine.wait(20000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    for (const std::string& line : folder.script_log())
        EXPECT_EQ(std::string::npos, line.find("error:")) << line;
}
