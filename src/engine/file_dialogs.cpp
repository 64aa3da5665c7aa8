#include "engine/file_dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include "engine/message_box.h"

namespace {
using file_dialog_ex_fn = BOOL(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, DWORD);
using dir_dialog_ex_fn = BOOL(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPWSTR, DWORD);

file_dialog_ex_fn file_dialog_ex = nullptr;
dir_dialog_ex_fn dir_dialog_ex = nullptr;

constexpr size_t max_extension_list = 6145;

// "Ｅファイル" and "*.E" for every item of the comma list.
void build_filter(const wchar_t* extensions, std::vector<wchar_t>& filter, std::wstring& first) {
    const wchar_t* p = extensions;
    while (*p) {
        const wchar_t* end = wcschr(p, L',');
        if (!end) end = p + wcslen(p);
        if (end > p) {
            std::wstring item(p, static_cast<size_t>(end - p));
            if (first.empty()) first = item;
            std::wstring description = item + L"ファイル", pattern = L"*." + item;
            filter.insert(filter.end(), description.begin(), description.end());
            filter.push_back(0);
            filter.insert(filter.end(), pattern.begin(), pattern.end());
            filter.push_back(0);
        }
        p = *end ? end + 1 : end;
    }
    filter.push_back(0);
    filter.push_back(0);
}
}  // namespace

uint16_t windows_version() {
    static uint16_t version = [] {
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExW(&info)) return uint16_t(0);
#pragma GCC diagnostic pop
        return static_cast<uint16_t>((info.dwMajorVersion << 8) | (info.dwMinorVersion & 0xFF));
    }();
    return version;
}

bool load_dialog_library() {
    if (windows_version() < 0x600) return true;
    HMODULE library = LoadLibraryW(L"win7.dll");
    if (!library) return false;
    file_dialog_ex = reinterpret_cast<file_dialog_ex_fn>(reinterpret_cast<void*>(GetProcAddress(library, "FileDialogEx")));
    dir_dialog_ex = reinterpret_cast<dir_dialog_ex_fn>(reinterpret_cast<void*>(GetProcAddress(library, "DirDialogEx")));
    return true;
}

bool open_file_dialog(const wchar_t* extensions, HWND owner, const wchar_t* title, const wchar_t* folder,
                      wchar_t* buffer, uint32_t length, uint32_t flags) {
    if (!extensions) extensions = L"";
    if (wcslen(extensions) > max_extension_list || !buffer || length == 0) return false;
    // One dialog at a time: the filter and the record are shared.
    static std::vector<wchar_t> filter;
    static std::wstring default_extension;
    static OPENFILENAMEW record;
    filter.clear();
    default_extension.clear();
    build_filter(extensions, filter, default_extension);
    buffer[0] = 0;  // no file name to start with
    record = OPENFILENAMEW();
    record.lStructSize = sizeof record;
    record.hwndOwner = owner;
    record.lpstrFilter = filter.data();
    record.lpstrFile = buffer;
    record.nMaxFile = length;
    record.lpstrInitialDir = folder;
    record.lpstrTitle = title;
    record.lpstrDefExt = default_extension.empty() ? nullptr : default_extension.c_str();
    record.Flags = OFN_EXPLORER | ((flags & file_dialog_save) ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST) |
                   ((flags & file_dialog_multiple) ? OFN_ALLOWMULTISELECT : 0);
    for (;;) {
        BOOL chosen = (flags & file_dialog_save) ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record);
        if (chosen) return true;
        if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL || !(flags & file_dialog_multiple)) return false;
        if (MessageBoxW(owner, L"選択したファイルが多過ぎます。", title, MB_RETRYCANCEL | MB_ICONHAND) != IDRETRY)
            return false;
        buffer[0] = 0;
    }
}

bool show_file_dialog(const wchar_t* title, const wchar_t* extensions, const wchar_t* folder, wstring& buffer,
                      uint32_t flags) {
    load_dialog_library();
    if (buffer.chars().size() <= 1) buffer.chars().assign((flags & file_dialog_multiple) ? 66561 : 260, L'\0');
    uint32_t length = static_cast<uint32_t>(buffer.chars().size());
    HWND owner = message_owner();
    if (file_dialog_ex)
        return file_dialog_ex(owner, title, extensions, folder, buffer.chars().data(), length, flags) != 0;
    return open_file_dialog(extensions, owner, title, folder, buffer.chars().data(), length, flags);
}

namespace {
const wchar_t* const folder_dialog_title = L"VyEngine作業ディレクトリ選択";

// The item list of a folder as the desktop parses it; null when it does not.
LPITEMIDLIST parse_folder(const wchar_t* folder) {
    if (!folder || !*folder) return nullptr;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    std::wstring name(folder);
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &list, nullptr))) list = nullptr;
    desktop->Release();
    return list;
}
}  // namespace

bool browse_folder_dialog(const wchar_t* folder, HWND owner, wchar_t* buffer) {
    LPITEMIDLIST root = parse_folder(folder);
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.pszDisplayName = display;
    info.lpszTitle = folder_dialog_title;
    bool chosen = false;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&info)) {
        chosen = SHGetPathFromIDListW(item, buffer) != FALSE;
        CoTaskMemFree(item);
    }
    if (root) CoTaskMemFree(root);
    return chosen;
}

bool choose_folder(const wchar_t* folder, wstring& buffer) {
    load_dialog_library();
    buffer.chars().assign(MAX_PATH, L'\0');
    HWND owner = message_owner();
    if (dir_dialog_ex)
        return dir_dialog_ex(owner, folder_dialog_title, folder, buffer.chars().data(), 0) != 0;
    return browse_folder_dialog(folder, owner, buffer.chars().data());
}
