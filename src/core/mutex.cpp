#include "core/mutex.h"

#include <windows.h>

mutex::~mutex() { close(); }

void mutex::release() {
    if (handle_ && owned_) ReleaseMutex(handle_);
    owned_ = false;
}

void mutex::close() {
    release();
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

bool mutex::create(const wchar_t* name) {
    close();
    SetLastError(0);
    HANDLE h = CreateMutexW(nullptr, FALSE, name);
    if (!h) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    return true;
}

bool mutex::acquire(unsigned long timeout_ms) {
    if (!handle_) return false;
    DWORD r = WaitForSingleObject(handle_, timeout_ms);
    // An abandoned mutex is ours now all the same.
    owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    return owned_;
}

single_instance::~single_instance() { close(); }
