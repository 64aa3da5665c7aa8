// A stand-in engine for the updater tests. Started with the argument
// "hold=N" it stays running N milliseconds (its executable busy, as the
// engine's is) and then appends "engine ended" to events.txt in the current
// directory. Any other run appends "engine ARGS" (arguments joined by "|")
// and ends at once.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::string utf8(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    s.resize(s.size() - 1);
    return s;
}

void append(const std::string& line) {
    HANDLE h = CreateFileW(L"events.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD n = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
    CloseHandle(h);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc == 2 && wcsncmp(argv[1], L"hold=", 5) == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[1] + 5)));
        append("engine ended\n");
        return 0;
    }
    std::string record = "engine";
    for (int i = 1; i < argc; ++i) record += (i > 1 ? "|" : " ") + utf8(argv[i]);
    append(record + "\n");
    return 0;
}
