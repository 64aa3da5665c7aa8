#include "engine/network_dialog.h"

#include "core/strings.h"
#include "core/trace.h"
#include "engine/startup_settings.h"

namespace {

constexpr int dialog_network = 118;

enum : int {
    group_basic = 40000,
    check_allow = 40001,
    check_scripts = 40002,
    check_update = 40003,
    check_auto_update = 40004,
    check_no_question = 40005,
    label_address = 40006,
    label_port = 40007,
    group_update = 40008,
    check_local = 40012,
    check_proxy = 40013,
    edit_address = 40014,
    edit_port = 40015,
    group_proxy = 40016,
};

// Every control after the allow check, in dialog order.
const int after_allow[] = {check_scripts, group_update, check_update,  check_no_question, check_auto_update,
                           group_proxy,   check_proxy,  label_address, edit_address,      label_port,
                           edit_port,     check_local};
const int proxy_details[] = {label_address, edit_address, label_port, edit_port, check_local};

// The dialog's working copy of the user's settings.
struct network_record {
    uint32_t allow = 0;
    bool proxy = false;
    wstring address;
    uint16_t port = 0;
    bool local = false;
    uint32_t update_flags = 0;
};

network_record record;
bool filling = false;  // edits report changes while the dialog fills them

void load(network_record& r, const startup_settings& s) {
    r.allow = s.allow;
    r.proxy = s.proxy;
    r.address = s.address;
    r.port = s.port;
    r.local = s.local;
    r.update_flags = s.update_flags;
}

void store(const network_record& r, startup_settings& s) {
    s.allow = r.allow;
    s.proxy = r.proxy;
    s.address = r.address;
    s.port = r.port;
    s.local = r.local;
    s.update_flags = r.update_flags;
}

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void set_check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

// Disabled, and unchecked where it is a check box.
void switch_off(HWND dialog, int id) {
    enable(dialog, id, false);
    if (SendDlgItemMessageW(dialog, id, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) set_check(dialog, id, false);
}

void fill_controls(HWND dialog, network_record& r) {
    filling = true;
    enable(dialog, group_basic, true);
    enable(dialog, check_allow, true);
    if (r.allow < 2) {
        r.allow = 1;
        set_check(dialog, check_allow, false);
        for (int id : after_allow) switch_off(dialog, id);
        filling = false;
        return;
    }
    set_check(dialog, check_allow, true);
    enable(dialog, check_scripts, true);
    set_check(dialog, check_scripts, r.allow == 3);
    enable(dialog, group_update, true);
    enable(dialog, check_update, true);
    const bool at_start = (r.update_flags & 1) != 0;
    set_check(dialog, check_update, at_start);
    enable(dialog, check_no_question, at_start);
    enable(dialog, check_auto_update, at_start);
    set_check(dialog, check_no_question, at_start && (r.update_flags & 2));
    set_check(dialog, check_auto_update, at_start && (r.update_flags & 4));
    enable(dialog, group_proxy, true);
    enable(dialog, check_proxy, true);
    set_check(dialog, check_proxy, r.proxy);
    for (int id : proxy_details) enable(dialog, id, r.proxy);
    set_check(dialog, check_local, r.proxy && r.local);
    if (r.proxy) {
        SetDlgItemTextW(dialog, edit_address, r.address.c_str());
        SetDlgItemInt(dialog, edit_port, r.port, FALSE);
    }
    filling = false;
}

void read_controls(HWND dialog, network_record& r) {
    if (checked(dialog, check_allow)) {
        for (int id : {check_scripts, group_update, check_update, group_proxy, check_proxy}) enable(dialog, id, true);
        r.allow = checked(dialog, check_scripts) ? 3 : 2;
    } else {
        r.allow = 1;
        for (int id : after_allow) switch_off(dialog, id);
    }
    if (checked(dialog, check_update)) {
        r.update_flags = 1;
        enable(dialog, check_no_question, true);
        enable(dialog, check_auto_update, true);
        if (checked(dialog, check_no_question)) r.update_flags |= 2;
        if (checked(dialog, check_auto_update)) r.update_flags |= 4;
    } else {
        r.update_flags = 0;
        switch_off(dialog, check_no_question);
        switch_off(dialog, check_auto_update);
    }
    if (checked(dialog, check_proxy)) {
        r.proxy = true;
        for (int id : proxy_details) enable(dialog, id, true);
        wchar_t address[512] = {};
        GetDlgItemTextW(dialog, edit_address, address, 512);
        r.address = address;
        r.port = static_cast<uint16_t>(GetDlgItemInt(dialog, edit_port, nullptr, FALSE));
        r.local = checked(dialog, check_local);
    } else {
        r.proxy = false;
        for (int id : proxy_details) switch_off(dialog, id);
    }
}

INT_PTR CALLBACK network_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (startup_settings* s = current_settings()) load(record, *s);
        fill_controls(dialog, record);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            if (startup_settings* s = current_settings()) store(record, *s);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        default:
            if (!filling) read_controls(dialog, record);
            return TRUE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR show_network_dialog(HWND owner) {
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog_network), owner,
                                     network_dialog_proc, 0);
    if (result == -1) TRACE_ERROR("show_network_dialog", "DialogBoxParam", GetLastError());
    return result;
}
