// Critical sections and their scoped guard: the locks of the loader threads
// and of everything the main thread shares with them.
#ifndef VY_CORE_LOCK_H
#define VY_CORE_LOCK_H

#include <windows.h>

class critical_section {
public:
    critical_section() { InitializeCriticalSection(&section_); }
    virtual ~critical_section() { DeleteCriticalSection(&section_); }
    critical_section(const critical_section&) = delete;
    critical_section& operator=(const critical_section&) = delete;

    void enter() { EnterCriticalSection(&section_); }
    void leave() { LeaveCriticalSection(&section_); }
    // Never waits, so a caller that may be suspended while it spins never
    // sits in the section's wait queue (see the loader thread).
    bool try_enter() { return TryEnterCriticalSection(&section_) != 0; }

private:
    CRITICAL_SECTION section_;
};

// Enters at construction, leaves at destruction.
class critical_lock {
public:
    explicit critical_lock(critical_section* section) : section_(section) { section_->enter(); }
    explicit critical_lock(critical_section& section) : critical_lock(&section) {}
    ~critical_lock() { section_->leave(); }
    critical_lock(const critical_lock&) = delete;
    critical_lock& operator=(const critical_lock&) = delete;

private:
    critical_section* section_;
};

#endif
