#include "update_run.h"

#include <gtest/gtest.h>

namespace {

std::string without_cr(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

std::string narrow(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(s.size() - 1);
    return s;
}

std::wstring program_path(const char* unix_path) {
    wchar_t full[MAX_PATH + 1];
    GetFullPathNameW(widen(unix_path).c_str(), MAX_PATH, full, nullptr);
    return full;
}

installation::installation() {
    CopyFileW(program_path(VY_BINARY_DIR "/tests/engine_stub_gui.exe").c_str(), engine().c_str(), FALSE);
    CreateDirectoryW(path(L"update").c_str(), nullptr);
    write(L"system.ini", "[UPDATE]\r\nNAME=patch\r\nEXT=zip\r\n");
    // The profile reader takes off one pair of quotes around a whole value.
    write(L"VyUpdate.ini", "[zip]\r\nTOOL=" + narrow(program_path(VY_BINARY_DIR "/tests/archive_tool.exe")) +
                               "\r\nARGS=\"\"<0>\" x \"<1>\" -o\"<2>\"\"\r\n");
    write(L"version.ini", "[VERSION]\r\nPATCHVER=0101\r\n");
}

void installation::write(const std::wstring& name, const std::string& bytes) {
    ASSERT_TRUE(write_whole(path(name), bytes)) << narrow(name);
}

std::wstring installation::archive(const std::wstring& name, const std::string& entries) {
    std::wstring where = path(L"update\\" + name);
    EXPECT_TRUE(write_whole(where, entries)) << narrow(name);
    return where;
}

std::string installation::patch_version() const {
    wchar_t value[256];
    GetPrivateProfileStringW(L"VERSION", L"PATCHVER", L"<none>", value, 256, path(L"version.ini").c_str());
    return narrow(value);
}

std::vector<std::string> installation::events() const {
    std::vector<std::string> lines;
    std::string text = read(L"events.txt");
    if (text == "<missing>") return lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

updater_outcome run_updater(const std::wstring& folder, const std::wstring& arguments, DWORD timeout_ms) {
    updater_outcome outcome;
    const std::wstring out_path = folder + L".stdout.txt";
    const std::wstring err_path = folder + L".stderr.txt";
    HANDLE in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + program_path(VY_BINARY_DIR "/bin/VyUpdate.exe") + L"\" " + arguments;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                  &startup, &info);
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    EXPECT_TRUE(started) << "VyUpdate did not start";
    if (started) {
        CloseHandle(info.hThread);
        if (WaitForSingleObject(info.hProcess, timeout_ms) != WAIT_OBJECT_0) {
            outcome.timed_out = true;
            TerminateProcess(info.hProcess, 999);
            WaitForSingleObject(info.hProcess, 5000);
        }
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        outcome.exit_code = static_cast<int32_t>(code);
        CloseHandle(info.hProcess);
    }
    outcome.out = without_cr(read_whole(out_path));
    outcome.err = without_cr(read_whole(err_path));
    DeleteFileW(out_path.c_str());
    DeleteFileW(err_path.c_str());
    return outcome;
}

running_engine::running_engine(const installation& where, DWORD hold_ms) {
    std::wstring command = L"\"" + where.engine() + L"\" hold=" + std::to_wstring(hold_ms);
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, where.dir().c_str(),
                       &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

running_engine::~running_engine() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 999);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool running_engine::wait(DWORD timeout_ms) {
    return process_ && WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
}

bool wait_for_text(const std::wstring& path, const std::string& text, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (read_whole(path).find(text) != std::string::npos) return true;
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(50);
    }
}

std::wstring in_folder(const std::wstring& text, const std::wstring& folder) {
    std::wstring out = text;
    for (size_t at = out.find(L"{dir}"); at != std::wstring::npos; at = out.find(L"{dir}", at + folder.size()))
        out.replace(at, 5, folder);
    return out;
}

std::string in_folder(const std::string& text, const std::wstring& folder) {
    return narrow(in_folder(widen(text), folder));
}
