#include "engine/window_placement.h"

#include "core/trace.h"
#include "engine/main_window.h"

void center_window(HWND window) {
    RECT area;
    HWND parent = GetParent(window);
    if (parent) {
        GetClientRect(parent, &area);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = area.left + ((area.right - area.left) >> 1) - (width >> 1);
    int y = area.top + ((area.bottom - area.top) >> 1) - (height >> 1);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

bool store_window_pos(HWND window, const wchar_t* key, const wchar_t* file) {
    if (!window) window = main_window().window;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) {
        TRACE_ERROR("store_window_pos", "GetWindowPlacement", GetLastError());
        return false;
    }
    if (!WritePrivateProfileStructW(L"WINDOW", key, &placement, sizeof placement, file)) {
        TRACE_ERROR("store_window_pos", "WritePrivateProfileStruct", GetLastError());
        return false;
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file);
    return true;
}

bool restore_window_pos(HWND window, const wchar_t* key, const wchar_t* file) {
    if (!window) window = main_window().window;
    WINDOWPLACEMENT stored = {};
    if (!GetPrivateProfileStructW(L"WINDOW", key, &stored, sizeof stored, file) ||
        stored.length != sizeof stored) {
        TRACE_ERROR("restore_window_pos", "GetPrivateProfileStruct", GetLastError());
        return false;
    }
    WINDOWPLACEMENT now = {};
    now.length = sizeof now;
    if (!GetWindowPlacement(window, &now)) {
        TRACE_ERROR("restore_window_pos", "GetWindowPlacement", GetLastError());
        return false;
    }
    // A fixed-size window takes the stored position only.
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME)) {
        RECT& r = stored.rcNormalPosition;
        r.right = r.left + (now.rcNormalPosition.right - now.rcNormalPosition.left);
        r.bottom = r.top + (now.rcNormalPosition.bottom - now.rcNormalPosition.top);
    }
    if (!SetWindowPlacement(window, &stored)) {
        TRACE_ERROR("restore_window_pos", "SetWindowPlacement", GetLastError());
        return false;
    }
    return true;
}
