// Background loading: `resource_loader` is one queued job, and
// `resource_loader_manager` owns the thread that runs the jobs in order.
//
// The thread is created suspended on the first background load, is resumed
// whenever a job is queued, sleeps 100 ms at a time while the queue is
// empty, and is suspended again by its owner once nothing is left to do.
#ifndef VY_CORE_RESOURCE_LOADER_H
#define VY_CORE_RESOURCE_LOADER_H

#include <atomic>
#include <cstdint>
#include <deque>

#include "core/lock.h"
#include "core/resource_notifier.h"

class resource_loader {
public:
    virtual ~resource_loader() = default;
    // Runs on the loader thread. The base only signals its notifier.
    virtual bool load();

    resource_notifier* notifier() const { return notifier_; }
    void set_notifier(resource_notifier* n) { notifier_ = n; }

protected:
    resource_notifier* notifier_ = nullptr;  // the pending load's, or null
};

class resource_loader_manager {
public:
    static constexpr uint32_t idle_sleep_ms = 100;
    static constexpr uint32_t stop_wait_ms = 10000;
    static constexpr uint32_t killed_exit_code = 255;

    resource_loader_manager() = default;
    ~resource_loader_manager();
    resource_loader_manager(const resource_loader_manager&) = delete;
    resource_loader_manager& operator=(const resource_loader_manager&) = delete;

    // Creates the thread, suspended, unless it exists.
    bool create();
    // Queues a job and wakes the thread. False when there is no thread.
    bool push(resource_loader* loader);
    // Takes a job out of the queue so that its owner may free it. A job the
    // thread is running is waited for: the thread holds its address until
    // it has ended. True when the job was queued or running.
    bool withdraw(resource_loader* loader);
    // Suspends the thread when its queue is empty.
    void suspend_if_idle();
    // Suspends a running thread; a failure is reported on the trace. Meant
    // for an idle thread (see suspend_if_idle): a thread stopped in the
    // middle of a job would keep its locks.
    bool suspend();
    // Ends the thread: wakes it, waits up to 10 s, then terminates it. Jobs
    // still queued are dropped and their notifiers set with result -1, so
    // nobody polls for them forever. True when there was no thread or it
    // ended with exit code 0.
    bool stop();

    bool has_thread() const { return thread_ != nullptr; }
    bool running() const { return running_; }
    size_t queued();
    // How many jobs the thread has run to the end (for tests and benchmarks).
    uint32_t completed() const { return completed_.load(); }

private:
    static unsigned long __stdcall thread_proc(void* self);
    void run_jobs();
    void enter_from_thread();

    void* thread_ = nullptr;
    critical_section lock_;
    std::atomic<bool> run_{false};
    bool running_ = false;
    std::deque<resource_loader*> queue_;
    resource_loader* current_ = nullptr;  // the job the thread runs, under lock_
    std::atomic<uint32_t> completed_{0};
};

#endif
