// Start-up: the companion programs of "system.ini" [COMM], each started
// suspended, given its channel, then resumed. A failing companion is
// logged and never stops the start-up.
#include <windows.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "core/process.h"
#include "core/trace.h"
#include "engine/ini_values.h"
#include "engine/startup_settings.h"
#include "engine/startup_steps.h"
#include "engine/system_manager.h"

namespace {
std::string narrow(const wstring& text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

wstring key(const wchar_t* name, int i) {
    wchar_t buffer[32];
    _snwprintf(buffer, 32, L"%ls%d", name, i);
    buffer[31] = 0;
    return wstring(buffer);
}

void start_companion(const startup_settings& s, int i) {
    const wchar_t* ini = s.ini_path.c_str();
    wstring path = ini_text(ini, L"COMM", key(L"PATH", i).c_str(), L"");
    if (path.empty()) {
        log_printf(default_trace(), "\t[COMM] PATH%d: no path", i);
        return;
    }
    wstring absolute;
    make_absolute_path(absolute, path.c_str());
    DWORD attributes = GetFileAttributesW(absolute.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        log_printf(default_trace(), "\t[COMM] PATH%d: not file: %s", i, narrow(absolute).c_str());
        return;
    }
    wstring args = ini_text(ini, L"COMM", key(L"ARGS", i).c_str(), L"");
    if (args.empty()) {
        log_printf(default_trace(), "\t[COMM] PATH%d: no args", i);
        return;
    }
    wstring command;
    wchar_t engine_id[16];
    _snwprintf(engine_id, 16, L"%lu", GetCurrentProcessId());
    engine_id[15] = 0;
    PROCESS_INFORMATION process{};
    if (!expand_command_template(command, args, absolute, {wstring(engine_id)}) ||
        !start_process(command, process)) {
        log_printf(default_trace(), "\t[COMM][%d]: cannot exec: %s", i, narrow(absolute).c_str());
        return;
    }
    uint32_t size = static_cast<uint32_t>(ini_int(ini, L"COMM", key(L"SIZE", i).c_str(),
                                                  static_cast<int32_t>(s.channel_size)));
    if (!system_manager::instance()->connect(process.dwProcessId, size))
        log_printf(default_trace(), "\t[COMM][%d]: system.connect is failed: %lu", i, process.dwProcessId);
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1))
        log_printf(default_trace(), "\t[COMM][%d]: resume is failed: %lu", i, process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
}  // namespace

void start_companions(startup_settings& s) {
    const wchar_t* ini = s.ini_path.c_str();
    s.companion_count = static_cast<uint32_t>(ini_int(ini, L"COMM", L"NUM", 0));
    s.channel_size = static_cast<uint32_t>(ini_int(ini, L"COMM", L"SIZE", 0));
    if (s.debug && ini_int(ini, L"COMM", L"ANY", 0) != 0) {
        wchar_t suffix[32];
        _snwprintf(suffix, 32, L" : %lu", GetCurrentProcessId());
        suffix[31] = 0;
        s.title += suffix;
        if (!system_manager::instance()->connect(0, s.channel_size))
            log_printf(default_trace(), "\t[COMM][%d]: system.connect is failed: any", 0);
    }
    for (int i = 1; i <= static_cast<int>(s.companion_count); ++i) start_companion(s, i);
}
