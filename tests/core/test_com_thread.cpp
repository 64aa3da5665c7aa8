// Counted COM initialisation on a thread of the test's own.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "core/com_thread.h"

namespace {

struct com_report {
    int32_t counts[4] = {};
    HRESULT fresh_after = E_FAIL;
};

DWORD WINAPI balance(void* p) {
    auto* r = static_cast<com_report*>(p);
    com_uninitialize_thread();  // nothing to undo yet
    r->counts[0] = com_thread_count();
    com_initialize_thread(COINIT_DISABLE_OLE1DDE);
    com_initialize_thread(COINIT_DISABLE_OLE1DDE);
    r->counts[1] = com_thread_count();
    com_uninitialize_thread();
    r->counts[2] = com_thread_count();
    com_uninitialize_thread();
    r->counts[3] = com_thread_count();
    // Fully released: a new initialisation is the first again.
    r->fresh_after = CoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
    if (SUCCEEDED(r->fresh_after)) CoUninitialize();
    return 0;
}

}  // namespace

TEST(ComThread, InitialisationsAreBalanced) {
    com_report report;
    HANDLE t = CreateThread(nullptr, 0, balance, &report, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    CloseHandle(t);
    EXPECT_EQ(report.counts[0], 0);
    EXPECT_EQ(report.counts[1], 2);
    EXPECT_EQ(report.counts[2], 1);
    EXPECT_EQ(report.counts[3], 0);
    EXPECT_EQ(report.fresh_after, S_OK);
}
