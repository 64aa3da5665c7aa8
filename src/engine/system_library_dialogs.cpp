// system.open_dialog and system.save_dialog: the file dialogs over a search
// path's folder, answering names relative to it.
#include <windows.h>

#include <shlwapi.h>

#include "core/cursor.h"
#include "core/paths.h"
#include "core/string_ops.h"
#include "engine/file_dialogs.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lua.h"

namespace {
// A chosen path as the script sees it: ".\name" below the folder.
void push_relative(lua_State* L, const wchar_t* folder, const wchar_t* path) {
    wchar_t relative[MAX_PATH] = {};
    string narrow;
    if (PathRelativePathToW(relative, folder, FILE_ATTRIBUTE_DIRECTORY, path, FILE_ATTRIBUTE_NORMAL))
        wstring_to_multibyte(wstring(relative), narrow);
    else
        wstring_to_multibyte(wstring(path), narrow);
    lua_pushstring(L, narrow.c_str());
}

int file_dialog(lua_State* L, uint32_t flags) {
    search_path* record = search_path_entry(system_manager::instance()->paths(), system_arg_int(L, 1));
    if (!record) return 0;
    wstring folder, title, extensions;
    make_absolute_path(folder, record->path.c_str());
    if (lua_type(L, 2) == LUA_TSTRING) string_to_wstring(lua_tostring(L, 2), title);
    bool multiple = system_arg_int(L, 3) == 1;
    if (multiple) flags |= file_dialog_multiple;
    // Search paths keep their extensions as a ";" list; the filter wants commas.
    string_to_wstring(record->second, extensions);
    extensions.replace_char(L';', L',');
    wstring buffer;
    if (!multiple) buffer.chars().assign(MAX_PATH + 16, L'\0');
    // The user needs the cursor while the dialog is up.
    const bool was_visible = cursor().visible_wanted;
    cursor_show();
    bool chosen = show_file_dialog(title.empty() ? nullptr : title.c_str(), extensions.c_str(), folder.c_str(),
                                   buffer, flags);
    if (!was_visible) cursor_hide();
    if (!chosen) return 0;
    const wchar_t* first = buffer.chars().data();
    const wchar_t* next = first + wcslen(first) + 1;
    if (!multiple || !*next) {
        push_relative(L, folder.c_str(), first);
        return 1;
    }
    // Several: the folder first, then each name.
    int count = 0;
    for (; *next; next += wcslen(next) + 1) {
        if (!lua_checkstack(L, 1)) break;
        wstring path(first);
        path += L"\\";
        path += next;
        push_relative(L, folder.c_str(), path.c_str());
        ++count;
    }
    return count;
}
}  // namespace

int system_open_dialog(lua_State* L) { return file_dialog(L, 0); }
int system_save_dialog(lua_State* L) { return file_dialog(L, file_dialog_save); }
