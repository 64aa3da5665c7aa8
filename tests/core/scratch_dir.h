// A fresh folder under the temporary directory for one test, removed with
// everything in it afterwards; plus small whole-file helpers that go
// straight to Win32, independent of the code under test.
#ifndef VY_TESTS_CORE_SCRATCH_DIR_H
#define VY_TESTS_CORE_SCRATCH_DIR_H

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

inline void remove_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

class scratch_dir {
public:
    scratch_dir() {
        static int counter = 0;
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"vy_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter);
        remove_tree(dir_);
        CreateDirectoryW(dir_.c_str(), nullptr);
    }
    ~scratch_dir() { remove_tree(dir_); }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

    const std::wstring& dir() const { return dir_; }
    std::wstring path(const std::wstring& name) const { return dir_ + L"\\" + name; }

    // Names of the files in the folder, sorted.
    std::vector<std::wstring> list(const std::wstring& pattern = L"*") const {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(path(pattern).c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(data.cFileName);
        } while (FindNextFileW(h, &data));
        FindClose(h);
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::wstring dir_;
};

inline bool write_whole(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
                                n == bytes.size());
    CloseHandle(h);
    return ok;
}

// The whole file; "<missing>" when it can't be opened.
inline std::string read_whole(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(h);
    return out;
}

inline bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs the test body with the working directory moved into a folder.
class working_dir {
public:
    explicit working_dir(const std::wstring& dir) {
        wchar_t buf[MAX_PATH + 1];
        GetCurrentDirectoryW(MAX_PATH, buf);
        old_ = buf;
        SetCurrentDirectoryW(dir.c_str());
    }
    ~working_dir() { SetCurrentDirectoryW(old_.c_str()); }

private:
    std::wstring old_;
};

#endif
