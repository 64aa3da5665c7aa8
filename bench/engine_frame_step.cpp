// Cost of one frame step (system_manager::onframe and after_frame) with an
// empty world: the main script starts no actors and no threads, so this is
// the fixed cost the engine adds to every frame.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/system_timer.h"
#include "engine/system_manager.h"

namespace {
bool write_text(const std::wstring& path, const char* text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr) != 0;
    CloseHandle(h);
    return ok;
}
}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vy_bench_frame_step";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\script").c_str(), nullptr);
    write_text(dir + L"\\script\\main.lua", "-- an empty world\n");
    SetCurrentDirectoryW(dir.c_str());

    system_manager& sm = engine_system_manager_object();
    // No window or device here: the frame step runs the script side only,
    // which is all it touches.
    sm.paths().builtin[0].set((dir + L"\\script").c_str(), "lua", "");
    sm.set_main_script(L"main");
    if (!sm.init_script()) {
        printf("script start failed\n");
        return 1;
    }
    system_timer& clock = system_timer::instance();
    clock.start();
    const int frames_per_round = 100000;
    std::vector<double> per_frame;
    for (int round = 0; round < 7; ++round) {
        uint64_t t0 = clock.read();
        for (int i = 0; i < frames_per_round; ++i) {
            sm.onframe(false);
            sm.after_frame();
        }
        uint64_t t1 = clock.read();
        per_frame.push_back(static_cast<double>(t1 - t0) / frames_per_round);
    }
    std::sort(per_frame.begin(), per_frame.end());
    printf("frame step, empty world: median %.1f ns, best %.1f ns per frame (%d frames x 7 rounds)\n",
           per_frame[per_frame.size() / 2], per_frame.front(), frames_per_round);
    sm.release_all();
    return 0;
}
