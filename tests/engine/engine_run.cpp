#include "engine_run.h"

#include <algorithm>

namespace {
struct box_search {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_boxes(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<box_search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->process || !IsWindowVisible(window)) return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wstring(cls) == L"#32770") search->found.push_back(window);
    return TRUE;
}

struct main_search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK find_main(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<main_search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (pid == search->process && std::wstring(cls) == L"vy_window_class" && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring window_text(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(window, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}
}  // namespace

std::wstring to_wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string to_utf8(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring engine_program() {
    std::wstring path = L"Z:" + to_wide(VY_BINARY_DIR "/bin/VyEngine.exe");
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

game_folder::game_folder(const std::string& system_ini, const std::string& main_lua) {
    write(L"system.ini", system_ini);
    write(L"config.ini", "");
    CreateDirectoryW(path(L"script").c_str(), nullptr);
    CreateDirectoryW(path(L"log").c_str(), nullptr);
    write(L"script\\main.lua", main_lua);
}

void game_folder::write(const std::wstring& name, const std::string& bytes) {
    std::wstring full = path(name);
    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    write_whole(full, bytes);
}

std::vector<std::string> game_folder::log_lines(const std::wstring& name) const {
    std::vector<std::string> out;
    std::string text = read(name);
    if (text == "<missing>") return out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line.size() >= 24 ? line.substr(24) : line);
        pos = end + 1;
    }
    return out;
}

std::vector<std::string> game_folder::script_log() const {
    std::vector<std::string> out;
    for (auto& line : log_lines(L"log\\system.log"))
        if (line.find(": system.set_path(") == std::string::npos) out.push_back(line);
    return out;
}

bool game_folder::log_has(const std::wstring& name, const std::string& text) const {
    for (auto& line : log_lines(name))
        if (line.find(text) != std::string::npos) return true;
    return false;
}

engine_process::engine_process(const std::wstring& folder, const std::wstring& arguments,
                               const std::wstring& program) {
    std::wstring command = L"\"" + program + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        id_ = pi.dwProcessId;
        start_tick_ = GetTickCount();
    }
}

engine_process::~engine_process() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool engine_process::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void engine_process::answer_boxes() {
    box_search search = {id_, {}};
    EnumWindows(collect_boxes, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
        if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
        wchar_t text[2048] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 2048);
        boxes_.push_back({window_text(box), text});
        answered_.push_back(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

HWND engine_process::wait_main_window(DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms && running()) {
        main_search search = {id_, nullptr};
        EnumWindows(find_main, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(20);
    }
    return nullptr;
}

engine_outcome engine_process::wait(DWORD timeout_ms) {
    engine_outcome out;
    if (!process_) {
        out.exit_code = -12345;
        return out;
    }
    DWORD start = GetTickCount();
    for (;;) {
        answer_boxes();
        if (WaitForSingleObject(process_, 30) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > timeout_ms) {
            out.timed_out = true;
            TerminateProcess(process_, 0xDEAD);
            WaitForSingleObject(process_, 5000);
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    out.exit_code = static_cast<int32_t>(code);
    out.boxes = boxes_;
    out.elapsed_ms = GetTickCount() - start_tick_;
    return out;
}

engine_outcome run_engine(const std::wstring& folder, const std::wstring& arguments, DWORD timeout_ms) {
    engine_process engine(folder, arguments);
    return engine.wait(timeout_ms);
}

bool wait_for_file(const std::wstring& path, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        if (exists(path)) return true;
        Sleep(20);
    }
    return exists(path);
}

std::string wait_for_text(const std::wstring& path, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        std::string text = exists(path) ? read_whole(path) : std::string();
        if (!text.empty() || GetTickCount() - start >= timeout_ms) return text;
        Sleep(20);
    }
}

HWND engine_process::wait_box(const std::wstring& caption, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms && running()) {
        box_search search = {id_, {}};
        EnumWindows(collect_boxes, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.found) {
            if (!caption.empty() && window_text(box) != caption) continue;
            if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
            leave_box(box);
            return box;
        }
        Sleep(20);
    }
    return nullptr;
}

void post_command(HWND window, UINT id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::wstring dialog_text(HWND box, int id) {
    wchar_t text[1024] = {};
    SendDlgItemMessageW(box, id, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void set_dialog_text(HWND box, int id, const std::wstring& text) {
    SendDlgItemMessageW(box, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool dialog_checked(HWND box, int id) { return SendDlgItemMessageW(box, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool dialog_enabled(HWND box, int id) { return IsWindowEnabled(GetDlgItem(box, id)) != FALSE; }

void click_check(HWND box, int id, bool on) {
    SendDlgItemMessageW(box, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

void press_button(HWND box, int id) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool wait_window_gone(HWND window, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        if (!IsWindow(window)) return true;
        Sleep(20);
    }
    return !IsWindow(window);
}
