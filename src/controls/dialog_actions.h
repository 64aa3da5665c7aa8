// Common dialogs from script: files and folders, a colour, a font. Each is
// a control without a window of its own; open shows the dialog modally.
#ifndef VY_CONTROLS_DIALOG_ACTIONS_H
#define VY_CONTROLS_DIALOG_ACTIONS_H

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "controls/control_action.h"

enum : uint32_t {
    file_dialog_open = 0,
    file_dialog_save = 1,
    file_dialog_folder = 2,
    file_dialog_multiple = 0x10,
    file_dialog_relative = 0x20,
};

// The most files a multiple selection may be sized for: the buffer holds
// MAX_PATH characters a file, so this bounds it near 8.5 MB in both builds.
constexpr uint32_t file_dialog_max_ceiling = 16384;

class file_dialog_action : public control_action {
public:
    // Reads type, init, max and filter of the table at argument 2.
    void parse(lua_State* L);
    bool create_window(const wchar_t* class_name, const wchar_t* text, DWORD style, DWORD ex_style, int x, int y,
                       int width, int height, HWND parent) override;
    // Shows the dialog; false on cancel or failure.
    bool open();
    // Pushes the results of the last open; the number pushed.
    int push_results(lua_State* L) const;

    uint32_t type = 0;
    OPENFILENAMEW record = {};
    BROWSEINFOW folder_record = {};
    std::wstring title;
    std::wstring init_folder;
    std::wstring filter;  // description and pattern pairs, NUL-separated
    std::vector<wchar_t> buffer;
    uint32_t max_files = 256;
    std::wstring default_extension;

private:
    void size_buffer();
    void set_default_extension();
    bool open_folder();
};

class color_dialog_action : public control_action {
public:
    bool create_window(const wchar_t* class_name, const wchar_t* text, DWORD style, DWORD ex_style, int x, int y,
                       int width, int height, HWND parent) override;
    CHOOSECOLORW record = {};
    COLORREF custom[16] = {};
    uint32_t last = 0;  // 0xRRGGBB
};

class font_dialog_action : public control_action {
public:
    bool create_window(const wchar_t* class_name, const wchar_t* text, DWORD style, DWORD ex_style, int x, int y,
                       int width, int height, HWND parent) override;
    CHOOSEFONTW record = {};
    LOGFONTW font_record = {};
};

// The flag word of a chosen font: italic, underline, strike-out, pitch and
// family.
uint32_t font_result_flags(const LOGFONTW& font);

#endif
