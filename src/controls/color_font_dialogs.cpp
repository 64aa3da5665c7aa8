// The colour and font dialogs: records prepared once, kept between opens
// so the last choice is offered again.
#include "controls/dialog_actions.h"

bool color_dialog_action::create_window(const wchar_t*, const wchar_t*, DWORD, DWORD, int, int, int, int,
                                        HWND parent_window) {
    for (COLORREF& c : custom) c = RGB(255, 255, 255);
    record = CHOOSECOLORW{};
    record.lStructSize = sizeof record;
    record.hwndOwner = parent_window;
    record.rgbResult = RGB(255, 255, 255);
    record.lpCustColors = custom;
    record.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    return true;
}

bool font_dialog_action::create_window(const wchar_t*, const wchar_t*, DWORD, DWORD, int, int, int, int,
                                       HWND parent_window) {
    font_record = LOGFONTW{};
    record = CHOOSEFONTW{};
    record.lStructSize = sizeof record;
    record.hwndOwner = parent_window;
    record.lpLogFont = &font_record;
    record.Flags = CF_SCREENFONTS | CF_EFFECTS;
    return true;
}

uint32_t font_result_flags(const LOGFONTW& font) {
    uint32_t flags = 0;
    if (font.lfItalic) flags |= 0x10000000;
    if (font.lfUnderline) flags |= 0x20000000;
    if (font.lfStrikeOut) flags |= 0x40000000;
    switch (font.lfPitchAndFamily & 3) {
    case FIXED_PITCH: flags |= 0x80000; break;
    case VARIABLE_PITCH: flags |= 0x40000; break;
    default: break;
    }
    static const uint32_t families[8] = {0, 0x300000, 0x500000, 0x200000, 0x400000, 0x100000, 0, 0};
    flags |= families[(font.lfPitchAndFamily >> 4) & 7];
    return flags;
}
