#include "core/com_thread.h"

#include <objbase.h>

namespace {
thread_local int32_t com_count = 0;
}

// Only the first initialisation reaches COM, so the one CoUninitialize at
// the end balances it.
bool com_initialize_thread(uint32_t flags) {
    if (com_count <= 0 && FAILED(CoInitializeEx(nullptr, flags))) return false;
    ++com_count;
    return true;
}

void com_uninitialize_thread() {
    if (com_count <= 0) return;
    if (--com_count == 0) CoUninitialize();
}

int32_t com_thread_count() { return com_count; }
