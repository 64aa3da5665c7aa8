// The file open/save dialog, served by the optional "win7.dll" when it is
// there and by the common dialogs otherwise.
#ifndef VY_ENGINE_FILE_DIALOGS_H
#define VY_ENGINE_FILE_DIALOGS_H

#include <windows.h>

#include <cstdint>

#include "core/strings.h"

enum : uint32_t {
    file_dialog_save = 1,      // the save dialog instead of the open one
    file_dialog_multiple = 2,  // several files may be chosen
};

// (major << 8) | minor of the running Windows, probed once.
uint16_t windows_version();
// Binds FileDialogEx and DirDialogEx of "win7.dll" (Vista and later only);
// false when the library is missing.
bool load_dialog_library();

// The front end, owned by the main window. A buffer without storage is sized first
// (66561 characters for several files, else 260). True when a file was
// chosen: the buffer then holds its path or, for several, the folder and
// the names, each ended by a NUL, closed by an empty one.
bool show_file_dialog(const wchar_t* title, const wchar_t* extensions, const wchar_t* folder, wstring& buffer,
                      uint32_t flags);

// The common-dialog road: extensions is a comma list ("bmp,png"); each
// item becomes a filter pair, the first the default extension.
bool open_file_dialog(const wchar_t* extensions, HWND owner, const wchar_t* title, const wchar_t* folder,
                      wchar_t* buffer, uint32_t length, uint32_t flags);

// The working-directory chooser, owned by the main window (none before it
// exists); the buffer is made 260 characters long. True when a folder was
// chosen: its path is then in the buffer.
bool choose_folder(const wchar_t* folder, wstring& buffer);

// The shell's folder browser rooted at the initial folder (when it parses),
// so the choice stays inside it.
bool browse_folder_dialog(const wchar_t* folder, HWND owner, wchar_t* buffer);

#endif
