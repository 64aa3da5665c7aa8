#include <cwchar>

#include "controls/control_hooks.h"
#include "controls/dialog_actions.h"
#include "core/search_path.h"
#include "core/trace.h"
#include "lua.h"

namespace {
const wchar_t* const all_files = L"全てのファイル";
const wchar_t* const files_suffix = L" ファイル";
const wchar_t* const too_many =
    L"選択したファイルが多過ぎました。\n最大数を増やして再選択しますか？\n";

void add_filter(std::wstring& filter, const std::wstring& extension) {
    filter += extension + files_suffix;
    filter += L'\0';
    filter += L"*." + extension;
    filter += L'\0';
}

bool is_directory(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The initial folder and its filters from a numbered search path.
void init_from_search_path(file_dialog_action* d, int32_t number) {
    const control_hooks& h = controls_hooks();
    search_path_set* set = h.search_paths ? h.search_paths() : nullptr;
    search_path* entry = set ? set->entry(number) : nullptr;
    if (!entry || entry->type() != search_path_folder) throw "invalid new_file_dialog.init";
    d->init_folder = entry->path.c_str();
    if (!is_directory(d->init_folder)) throw "invalid new_file_dialog.init";
    const std::wstring extensions = control_widen(entry->second.c_str());
    size_t start = 0;
    while (start <= extensions.size()) {
        size_t end = entry->has_list() ? extensions.find(L';', start) : std::wstring::npos;
        if (end == std::wstring::npos) end = extensions.size();
        std::wstring one = extensions.substr(start, end - start);
        if (!one.empty() && one[0] == L'.') one.erase(0, 1);
        if (!one.empty()) add_filter(d->filter, one);
        start = end + 1;
    }
}

int CALLBACK select_initial(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// The path with the base removed from its front; false when outside.
bool strip_base(const std::wstring& base, std::wstring& path) {
    if (path.size() < base.size() || _wcsnicmp(path.c_str(), base.c_str(), base.size()) != 0) return false;
    path.erase(0, base.size());
    return true;
}
}  // namespace

void file_dialog_action::parse(lua_State* L) {
    if (!lua_istable(L, 2)) return;
    lua_getfield(L, 2, "type");
    if (!lua_isnil(L, -1)) {
        if (!lua_isnumber(L, -1)) throw "invalid new_file_dialog.type";
        type = static_cast<uint32_t>(static_cast<int64_t>(lua_tonumber(L, -1)));
    }
    lua_pop(L, 1);
    if ((type & 0xF) > file_dialog_folder) type &= ~0xFu;
    if ((type & 0xF) == file_dialog_folder) type &= ~file_dialog_multiple;

    lua_getfield(L, 2, "init");
    const int init_type = lua_type(L, -1);
    if (init_type == LUA_TSTRING) {
        init_folder = control_widen(lua_tostring(L, -1));
    } else if (init_type == LUA_TNUMBER) {
        init_from_search_path(this, static_cast<int32_t>(lua_tonumber(L, -1)));
    } else if (init_type != LUA_TNIL) {
        throw "invalid new_file_dialog.init";
    }
    lua_pop(L, 1);

    lua_getfield(L, 2, "max");
    if (!lua_isnil(L, -1)) {
        if (!lua_isnumber(L, -1)) throw "invalid new_file_dialog.max";
        const double m = lua_tonumber(L, -1);
        max_files = m >= file_dialog_max_ceiling ? file_dialog_max_ceiling : m > 256 ? static_cast<uint32_t>(m) : 256;
    }
    lua_pop(L, 1);

    lua_getfield(L, 2, "filter");
    if (lua_isnil(L, -1)) {
        filter = all_files;
        filter += L'\0';
        filter += L"*.*";
        filter += L'\0';
    } else {
        if (!lua_istable(L, -1)) throw "invalid new_file_dialog.filter";
        for (int i = 1;; ++i) {
            lua_rawgeti(L, -1, i);
            if (lua_isnil(L, -1)) {
                lua_pop(L, 1);
                break;
            }
            if (lua_type(L, -1) != LUA_TSTRING) throw "invalid new_file_dialog.filter[i]";
            add_filter(filter, control_widen(lua_tostring(L, -1)));
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    filter += L'\0';
}

void file_dialog_action::size_buffer() {
    const bool multiple = (type & file_dialog_multiple) && (type & 0xF) != file_dialog_folder;
    buffer.assign(multiple ? static_cast<size_t>(max_files) * MAX_PATH + 1 : MAX_PATH, L'\0');
    record.lpstrFile = buffer.data();
    record.nMaxFile = static_cast<DWORD>(buffer.size());
    folder_record.pszDisplayName = buffer.data();
}

bool file_dialog_action::create_window(const wchar_t*, const wchar_t* text, DWORD, DWORD, int, int, int, int,
                                       HWND parent_window) {
    title = text ? text : L"";
    size_buffer();
    if ((type & 0xF) == file_dialog_folder) {
        folder_record = BROWSEINFOW{};
        folder_record.hwndOwner = parent_window;
        folder_record.pszDisplayName = buffer.data();
        folder_record.lpszTitle = title.c_str();
        folder_record.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
        if (!init_folder.empty()) {
            folder_record.lpfn = select_initial;
            folder_record.lParam = reinterpret_cast<LPARAM>(init_folder.c_str());
        }
        return true;
    }
    record = OPENFILENAMEW{};
    record.lStructSize = sizeof record;
    record.hwndOwner = parent_window;
    record.lpstrFilter = filter.c_str();
    record.lpstrFile = buffer.data();
    record.nMaxFile = static_cast<DWORD>(buffer.size());
    record.lpstrInitialDir = init_folder.empty() ? nullptr : init_folder.c_str();
    record.lpstrTitle = title.c_str();
    record.Flags = OFN_EXPLORER | ((type & 0xF) == file_dialog_open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
    if (type & file_dialog_multiple) record.Flags |= OFN_ALLOWMULTISELECT;
    return true;
}

void file_dialog_action::set_default_extension() {
    const DWORD wanted = record.nFilterIndex == 0 ? 1 : record.nFilterIndex;
    const wchar_t* p = filter.c_str();
    const wchar_t* pattern = nullptr;
    for (DWORD pair = 1; *p; ++pair) {
        const wchar_t* pat = p + wcslen(p) + 1;
        if (pair == wanted) {
            pattern = pat;
            break;
        }
        p = pat + wcslen(pat) + 1;
    }
    record.lpstrDefExt = nullptr;
    if (pattern && pattern[0] && pattern[1] == L'.' && pattern[2] && pattern[2] != L'*') {
        default_extension = pattern + 2;
        record.lpstrDefExt = default_extension.c_str();
    }
}

bool file_dialog_action::open_folder() {
    buffer[0] = L'\0';
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&folder_record);
    if (!list) {
        TRACE_ERROR("file_dialog_action::open", "SHBrowseForFolder", 0);
        return false;
    }
    const bool ok = SHGetPathFromIDListW(list, buffer.data()) != 0;
    CoTaskMemFree(list);
    if (!ok) TRACE_ERROR("file_dialog_action::open", "SHGetPathFromIDListW", -1);
    return ok;
}

bool file_dialog_action::open() {
    if (buffer.empty()) return false;
    if ((type & 0xF) == file_dialog_folder) return open_folder();
    const bool save = (type & 0xF) == file_dialog_save;
    for (;;) {
        buffer[0] = L'\0';
        set_default_extension();
        if (save ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record)) return true;
        const DWORD code = CommDlgExtendedError();
        TRACE_ERROR("file_dialog_action::open", save ? "GetSaveFileName" : "GetOpenFileName", code);
        if (code != FNERR_BUFFERTOOSMALL || !(type & file_dialog_multiple)) return false;
        // At the ceiling a larger buffer is not offered.
        if (max_files >= file_dialog_max_ceiling) return false;
        if (MessageBoxW(nullptr, too_many, title.c_str(), MB_RETRYCANCEL | MB_ICONERROR) != IDRETRY) return false;
        max_files = max_files * 2 < file_dialog_max_ceiling ? max_files * 2 : file_dialog_max_ceiling;
        size_buffer();
    }
}

int file_dialog_action::push_results(lua_State* L) const {
    std::vector<std::wstring> paths;
    const wchar_t* first = buffer.data();
    const size_t first_len = wcslen(first);
    const bool multiple = (type & file_dialog_multiple) && (type & 0xF) != file_dialog_folder;
    if (multiple && first[first_len + 1] != L'\0') {
        std::wstring folder = first;
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        for (const wchar_t* name = first + first_len + 1; *name; name += wcslen(name) + 1) paths.push_back(folder + name);
    } else {
        paths.push_back(first);
    }
    if (type & file_dialog_relative) {
        std::wstring base = init_folder;
        if (base.empty() || base.back() != L'\\') base += L'\\';
        for (std::wstring& p : paths) {
            if (!strip_base(base, p)) {
                lua_pushnil(L);
                return 1;
            }
        }
    }
    for (const std::wstring& p : paths) {
        const std::string narrow = control_narrow(p.c_str());
        lua_pushlstring(L, narrow.data(), narrow.size());
    }
    return static_cast<int>(paths.size());
}
