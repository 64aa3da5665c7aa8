// Start-up time of VyEngine.exe: from just before the process is created to
// the first presented frame. The game's thread logs a line in frame 2, which
// runs after frame 1 was drawn and presented; the line's time stamp in
// "log\system.log" is the end of the measure. Run after the engine has been
// started once (Wine warm).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
bool write_text(const std::wstring& path, const char* text) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr) != 0;
    CloseHandle(h);
    return ok;
}

std::string read_text(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(h);
    return out;
}

uint64_t to_ms(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000;
}

// The time stamp of the first line holding marker, in ms; 0 when absent.
uint64_t stamp_of(const std::string& log, const char* marker) {
    size_t at = log.find(marker);
    if (at == std::string::npos) return 0;
    size_t start = log.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    SYSTEMTIME t = {};
    int y, mo, d, h, mi, s, ms;
    if (sscanf(log.c_str() + start, "%d/%d/%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms) != 7) return 0;
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    t.wMilliseconds = static_cast<WORD>(ms);
    return to_ms(t);
}
}  // namespace

int main() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring engine = self;
    engine = engine.substr(0, engine.rfind(L'\\'));
    engine = engine.substr(0, engine.rfind(L'\\')) + L"\\bin\\VyEngine.exe";

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vy_bench_startup";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\script").c_str(), nullptr);
    CreateDirectoryW((dir + L"\\log").c_str(), nullptr);
    write_text(dir + L"\\system.ini", "[Vy]\r\nFPS=60\r\n");
    write_text(dir + L"\\config.ini", "");
    write_text(dir + L"\\script\\main.lua",
               "system.fork(function()\n"
               "  coroutine.yield()\n"
               "  coroutine.yield()\n"
               "  system.trace(0, 'first frame presented')\n"
               "  system.exit(0)\n"
               "end)\n");

    std::vector<uint64_t> times;
    for (int run = 0; run < 8; ++run) {
        DeleteFileW((dir + L"\\save.ini").c_str());
        std::wstring command = L"\"" + engine + L"\"";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        SYSTEMTIME start;
        GetLocalTime(&start);
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
            printf("cannot start %ls\n", engine.c_str());
            return 1;
        }
        CloseHandle(pi.hThread);
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hProcess);
        uint64_t end = stamp_of(read_text(dir + L"\\log\\system.log"), "first frame presented");
        if (!end) {
            printf("run %d: no frame line\n", run);
            continue;
        }
        if (run > 0) times.push_back(end - to_ms(start));  // run 0 warms Wine up
    }
    if (times.empty()) return 1;
    std::sort(times.begin(), times.end());
    printf("start-up to first presented frame: median %llu ms, best %llu ms, worst %llu ms (%u runs)\n",
           static_cast<unsigned long long>(times[times.size() / 2]),
           static_cast<unsigned long long>(times.front()), static_cast<unsigned long long>(times.back()),
           static_cast<unsigned>(times.size()));
    return 0;
}
