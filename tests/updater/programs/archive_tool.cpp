// A stand-in archive tool for the updater tests: "archive_tool x ARCHIVE
// -oFOLDER" expands ARCHIVE into FOLDER. The archive is UTF-8 text, one
// entry a line:
//   path=content    a file (folders above it are made)
//   h:path=content  the same, hidden
//   path\           an empty folder
//   !exit N         expands nothing and exits with N
// Every run appends "tool ARGS" (arguments joined by "|") to events.txt in
// the current directory, so tests can see when and how it ran.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(s.size() - 1);
    return s;
}

std::wstring wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

void append(const std::wstring& path, const std::string& line) {
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD n = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
    CloseHandle(h);
}

std::string read_all(const std::wstring& path, bool& ok) {
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ok = h != INVALID_HANDLE_VALUE;
    if (!ok) return out;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(h);
    return out;
}

void make_folders(const std::wstring& path) {
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i] == L'\\' && i > 2) CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

bool write_file(const std::wstring& path, const std::string& content, DWORD attributes) {
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) make_folders(path.substr(0, slash));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = content.empty() || WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &n, nullptr);
    CloseHandle(h);
    return ok;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string record = "tool";
    for (int i = 1; i < argc; ++i) record += (i > 1 ? "|" : " ") + utf8(argv[i]);
    append(L"events.txt", record + "\n");
    if (argc != 4 || std::wstring(argv[1]) != L"x" || std::wstring(argv[3]).rfind(L"-o", 0) != 0) return 90;
    std::wstring archive = argv[2];
    std::wstring folder = std::wstring(argv[3]).substr(2);

    bool ok = false;
    std::string text = read_all(archive, ok);
    if (!ok) return 91;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        if (line.rfind("!exit ", 0) == 0) return atoi(line.c_str() + 6);
        DWORD attributes = FILE_ATTRIBUTE_NORMAL;
        if (line.rfind("h:", 0) == 0) {
            attributes = FILE_ATTRIBUTE_HIDDEN;
            line = line.substr(2);
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            make_folders(folder + L"\\" + wide(line));
            continue;
        }
        if (!write_file(folder + L"\\" + wide(line.substr(0, eq)), line.substr(eq + 1), attributes)) return 92;
    }
    return 0;
}
