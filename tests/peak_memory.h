// The most memory this process has held so far. A size taken from a file
// or a script must be refused before it is allocated: a 64-bit process
// would get what a 32-bit one is refused, and a test that only checks the
// answer would not see the gigabytes it took.
#ifndef VY_TESTS_PEAK_MEMORY_H
#define VY_TESTS_PEAK_MEMORY_H

#include <windows.h>
#include <psapi.h>

#include <cstddef>

inline size_t peak_memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

#endif
