// The engine's process-wide objects join the main thread to COM before the
// entry runs (this test program links them as the engine does).
#include <gtest/gtest.h>

#include <objbase.h>

#include "core/com_thread.h"

TEST(MainThreadCom, JoinedTheMultithreadedApartmentBeforeTheEntry) {
    EXPECT_GE(com_thread_count(), 1);
    // Already in the multithreaded apartment: a second join answers
    // S_FALSE, and a single-threaded one is refused.
    HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_FALSE);
    if (SUCCEEDED(again)) CoUninitialize();
    HRESULT other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(other, RPC_E_CHANGED_MODE);
    if (SUCCEEDED(other)) CoUninitialize();
}
