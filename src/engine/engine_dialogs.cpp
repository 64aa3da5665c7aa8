#include "engine/engine_dialogs.h"

#include <string>

#include "engine/startup_settings.h"
#include "engine/window_placement.h"

namespace {
enum : int {
    about_title = 1025,
    about_version = 1026,
    about_copyright = 1027,
    about_icon = 1070,
};

enum : int {
    net_basic_group = 40000,
    net_allow = 40001,
    net_allow_scripts = 40002,
    net_check_update = 40003,
    net_auto_update = 40004,
    net_no_question = 40005,
    net_address_label = 40006,
    net_port_label = 40007,
    net_update_group = 40008,
    net_local = 40012,
    net_proxy = 40013,
    net_address = 40014,
    net_port = 40015,
    net_proxy_group = 40016,
};

// Everything below the allow box, in dialog order.
const int after_allow[] = {net_allow_scripts, net_update_group, net_check_update, net_no_question,
                           net_auto_update,   net_proxy_group,  net_proxy,        net_address_label,
                           net_address,       net_port_label,   net_port,         net_local};
const int update_options[] = {net_no_question, net_auto_update};
const int proxy_fields[] = {net_address_label, net_address, net_port_label, net_port, net_local};

network_settings dialog_record;
bool filling = false;  // edits announce their own changes while being filled

void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

template <size_t N>
void disable_all(HWND dialog, const int (&ids)[N]) {
    for (int id : ids) {
        enable(dialog, id, false);
        check(dialog, id, false);
    }
}

template <size_t N>
void enable_all(HWND dialog, const int (&ids)[N]) {
    for (int id : ids) enable(dialog, id, true);
}

void fill_controls(HWND dialog, network_settings& r) {
    filling = true;
    disable_all(dialog, after_allow);
    SetDlgItemTextW(dialog, net_address, L"");
    SetDlgItemTextW(dialog, net_port, L"");
    enable(dialog, net_basic_group, true);
    enable(dialog, net_allow, true);
    if (r.allow < 2) {
        r.allow = 1;
        check(dialog, net_allow, false);
        filling = false;
        return;
    }
    check(dialog, net_allow, true);
    enable(dialog, net_allow_scripts, true);
    check(dialog, net_allow_scripts, r.allow == 3);
    enable(dialog, net_update_group, true);
    enable(dialog, net_check_update, true);
    if (r.update_flags & 1) {
        check(dialog, net_check_update, true);
        enable_all(dialog, update_options);
        check(dialog, net_no_question, (r.update_flags & 2) != 0);
        check(dialog, net_auto_update, (r.update_flags & 4) != 0);
    }
    enable(dialog, net_proxy_group, true);
    enable(dialog, net_proxy, true);
    if (r.proxy) {
        check(dialog, net_proxy, true);
        enable_all(dialog, proxy_fields);
        check(dialog, net_local, r.local);
        SetDlgItemTextW(dialog, net_address, r.address.c_str());
        SetDlgItemInt(dialog, net_port, r.port, FALSE);
    }
    filling = false;
}

void read_proxy(HWND dialog, network_settings& r) {
    HWND edit = GetDlgItem(dialog, net_address);
    int n = GetWindowTextLengthW(edit);
    wstring address;
    if (n > 0) {
        address.chars().assign(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(edit, address.chars().data(), n + 1);
    }
    r.address = address;
    BOOL ok = FALSE;
    UINT port = GetDlgItemInt(dialog, net_port, &ok, FALSE);
    // A number that is no port is not taken: cut to 16 bits it would name
    // some other port.
    if (port <= 0xFFFF) r.port = static_cast<uint16_t>(port);
    r.local = checked(dialog, net_local);
}

void read_controls(HWND dialog, network_settings& r) {
    if (checked(dialog, net_allow)) {
        const int opened[] = {net_allow_scripts, net_update_group, net_check_update, net_proxy_group, net_proxy};
        enable_all(dialog, opened);
        r.allow = checked(dialog, net_allow_scripts) ? 3 : 2;
    } else {
        r.allow = 1;
        disable_all(dialog, after_allow);
    }
    if (checked(dialog, net_check_update)) {
        r.update_flags = 1;
        enable_all(dialog, update_options);
        if (checked(dialog, net_no_question)) r.update_flags |= 2;
        if (checked(dialog, net_auto_update)) r.update_flags |= 4;
    } else {
        r.update_flags = 0;
        disable_all(dialog, update_options);
    }
    if (checked(dialog, net_proxy)) {
        r.proxy = true;
        enable_all(dialog, proxy_fields);
        read_proxy(dialog, r);
    } else {
        r.proxy = false;
        disable_all(dialog, proxy_fields);
    }
}

INT_PTR CALLBACK network_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (startup_settings* s = current_settings()) copy_network_settings(*s, dialog_record);
        fill_controls(dialog, dialog_record);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            read_controls(dialog, dialog_record);
            if (startup_settings* s = current_settings()) copy_network_settings(dialog_record, *s);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            if (!filling) read_controls(dialog, dialog_record);
            return TRUE;
        }
    default:
        return FALSE;
    }
}

void fill_about(HWND dialog) {
    center_window(dialog);
    startup_settings* s = current_settings();
    if (!s) return;
    // The first tab breaks the line.
    std::wstring title = s->product_name.c_str();
    size_t tab = title.find(L'\t');
    if (tab != std::wstring::npos) title.replace(tab, 1, L"\n");
    SetDlgItemTextW(dialog, about_title, title.c_str());
    wstring version;
    format_wstring(version, L"ver. %ls", s->version.c_str());
    SetDlgItemTextW(dialog, about_version, version.c_str());
    SetDlgItemTextW(dialog, about_copyright, s->copyright.c_str());
    if (s->class_icon) SendDlgItemMessageW(dialog, about_icon, STM_SETICON, reinterpret_cast<WPARAM>(s->class_icon), 0);
}

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        fill_about(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
}  // namespace

void copy_network_settings(const startup_settings& from, network_settings& to) {
    to.use = from.network_use;
    to.allow = from.allow;
    to.proxy = from.proxy;
    to.address = from.address;
    to.port = from.port;
    to.local = from.local;
    to.update_flags = from.update_flags;
}

void copy_network_settings(const network_settings& from, startup_settings& to) {
    to.network_use = from.use;
    to.allow = from.allow;
    to.proxy = from.proxy;
    to.address = from.address;
    to.port = from.port;
    to.local = from.local;
    to.update_flags = from.update_flags;
}

INT_PTR show_about_dialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(about_dialog_resource), owner,
                           about_dialog_proc, 0);
}

INT_PTR show_network_dialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(network_dialog_resource), owner,
                           network_dialog_proc, 0);
}
