// A stand-in archive tool for the log upload: "log_packer FOLDER ARCHIVE"
// writes the names of the folder's files into ARCHIVE, one a line.
#include <windows.h>
#include <shellapi.h>

#include <string>

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3) return 2;
    std::string names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((std::wstring(argv[1]) + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            char name[MAX_PATH * 3] = {};
            WideCharToMultiByte(CP_UTF8, 0, data.cFileName, -1, name, sizeof name, nullptr, nullptr);
            names += name;
            names += "\n";
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    HANDLE out = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 3;
    DWORD n = 0;
    WriteFile(out, names.data(), static_cast<DWORD>(names.size()), &n, nullptr);
    CloseHandle(out);
    return 0;
}
