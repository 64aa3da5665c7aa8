#include "controls/list_controls.h"

const list_messages listbox_messages = {LB_ADDSTRING,         LB_INSERTSTRING, LB_DELETESTRING,
                                        LB_GETCOUNT,          LB_FINDSTRINGEXACT, LB_GETTEXTLEN,
                                        LB_GETTEXT,           LB_SETCURSEL,    LB_GETCURSEL};
const list_messages combobox_messages = {CB_ADDSTRING,       CB_INSERTSTRING,    CB_DELETESTRING,
                                         CB_GETCOUNT,        CB_FINDSTRINGEXACT, CB_GETLBTEXTLEN,
                                         CB_GETLBTEXT,       CB_SETCURSEL,       CB_GETCURSEL};

DWORD listbox_style(uint32_t type) {
    DWORD style = WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
    if (type & 0x1) style |= LBS_MULTIPLESEL;
    if (type & 0x4) style |= LBS_NOINTEGRALHEIGHT;
    return style | WS_TABSTOP;
}

DWORD combobox_style(uint32_t type) {
    static const DWORD kinds[4] = {CBS_SIMPLE, CBS_DROPDOWN, CBS_DROPDOWNLIST, 0};
    DWORD style = kinds[type & 3] | WS_VSCROLL | CBS_AUTOHSCROLL;
    if (type & 0x4) style |= CBS_SORT;
    return style | WS_TABSTOP;
}
