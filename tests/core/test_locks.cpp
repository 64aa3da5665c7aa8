// Critical sections across real threads, and the single-instance mutex
// across real processes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/lock.h"
#include "core/mutex.h"

namespace {

struct shared_count {
    critical_section lock;
    long value = 0;
};

DWORD WINAPI add_many(void* p) {
    auto* s = static_cast<shared_count*>(p);
    for (int i = 0; i < 20000; ++i) {
        critical_lock guard(s->lock);
        long v = s->value;  // read, yield, write: loses updates without the lock
        if (i % 64 == 0) Sleep(0);
        s->value = v + 1;
    }
    return 0;
}

std::wstring helper_path(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    return dir.substr(0, dir.rfind(L'\\') + 1) + name;
}

}  // namespace

TEST(Locks, CriticalLockSerialisesThreads) {
    shared_count s;
    HANDLE threads[3];
    for (HANDLE& t : threads) t = CreateThread(nullptr, 0, add_many, &s, 0, nullptr);
    ASSERT_EQ(WaitForMultipleObjects(3, threads, TRUE, 20000), WAIT_OBJECT_0);
    for (HANDLE t : threads) CloseHandle(t);
    EXPECT_EQ(s.value, 60000);
}

TEST(Locks, NamedMutexIsTakenOnlyOnce) {
    std::wstring name = L"vy_test_mutex_" + std::to_wstring(GetCurrentProcessId());
    mutex first, second;
    ASSERT_TRUE(first.create(name.c_str()));
    EXPECT_FALSE(second.create(name.c_str()));
    EXPECT_EQ(second.handle(), nullptr);
    EXPECT_TRUE(first.acquire(1000));
    EXPECT_TRUE(first.owned());
    first.close();
    EXPECT_TRUE(second.create(name.c_str()));  // the name is free again
    mutex unnamed_a, unnamed_b;
    EXPECT_TRUE(unnamed_a.create(nullptr));
    EXPECT_TRUE(unnamed_b.create(nullptr));
}

TEST(Locks, SingleInstanceFailsWhileAnotherProcessHoldsIt) {
    std::wstring name = L"VyEngine:C:/VY_TEST_" + std::to_wstring(GetCurrentProcessId()) + L"/";
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (name + L".ready").c_str());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (name + L".quit").c_str());
    ASSERT_TRUE(ready && quit);

    std::wstring command = L"\"" + helper_path(L"hold_instance.exe") + L"\" \"" + name + L"\"";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    {
        single_instance mine;
        EXPECT_FALSE(mine.create(name.c_str()));
    }
    SetEvent(quit);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    single_instance mine;
    EXPECT_TRUE(mine.create(name.c_str()));
    CloseHandle(ready);
    CloseHandle(quit);
}
