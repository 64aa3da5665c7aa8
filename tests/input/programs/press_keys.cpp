// Presses and lets go of keys through SendInput, as a user would, for the
// keyboard tests: each argument is "+vk" (down) or "-vk" (up), vk decimal.
// Exit code 0 when every event was taken.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (a[0] != '+' && a[0] != '-') return 2;
        const WORD vk = static_cast<WORD>(strtoul(a + 1, nullptr, 10));
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = a[0] == '-' ? KEYEVENTF_KEYUP : 0;
        if (SendInput(1, &in, sizeof in) != 1) return 1;
    }
    return 0;
}
