#include "core/resource_notifier.h"

#include <windows.h>

notifier::~notifier() {
    if (!event_) return;
    if (signalled_) ResetEvent(event_);
    CloseHandle(event_);
}

resource_notifier::resource_notifier() {
    SetLastError(0);
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

void resource_notifier::reset() {
    result_ = 0;
    if (event_) ResetEvent(event_);
    signalled_ = false;
}

void resource_notifier::set() {
    if (event_) SetEvent(event_);
}

bool resource_notifier::wait() {
    if (!event_ || WaitForSingleObject(event_, 0) != WAIT_OBJECT_0) return false;
    // The auto-reset event cleared itself; the reset keeps the rule plain.
    ResetEvent(event_);
    signalled_ = false;
    if (result_ == 0) result_ = 1;
    return true;
}
