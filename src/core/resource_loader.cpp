#include "core/resource_loader.h"

#include <windows.h>

#include "core/com_thread.h"
#include "core/trace.h"

bool resource_loader::load() {
    if (notifier_) notifier_->set();
    return true;
}

resource_loader_manager::~resource_loader_manager() { stop(); }

bool resource_loader_manager::create() {
    if (thread_) return true;
    run_ = true;
    running_ = false;
    thread_ = CreateThread(nullptr, 0, thread_proc, this, CREATE_SUSPENDED, nullptr);
    if (!thread_) run_ = false;
    return thread_ != nullptr;
}

unsigned long __stdcall resource_loader_manager::thread_proc(void* self) {
    com_initialize_thread(COINIT_DISABLE_OLE1DDE);
    static_cast<resource_loader_manager*>(self)->run_jobs();
    com_uninitialize_thread();
    return 0;
}

// The owner suspends this thread while it holds the queue lock. A thread
// parked in EnterCriticalSection at that moment could be handed the lock
// while suspended, and the next push would wait for it for ever; trying
// without waiting keeps the thread out of the lock's wait queue.
void resource_loader_manager::enter_from_thread() {
    while (!lock_.try_enter()) Sleep(1);
}

void resource_loader_manager::run_jobs() {
    while (run_) {
        enter_from_thread();
        if (queue_.empty()) {
            lock_.leave();
            Sleep(idle_sleep_ms);
            continue;
        }
        // The job stays at the front while it runs, so the queue never
        // looks empty (and the thread never gets suspended) in the middle
        // of a job.
        resource_loader* job = queue_.front();
        current_ = job;
        lock_.leave();
        job->load();
        enter_from_thread();
        queue_.pop_front();
        current_ = nullptr;
        ++completed_;
        lock_.leave();
    }
}

bool resource_loader_manager::push(resource_loader* loader) {
    critical_lock guard(lock_);
    if (!thread_ || !loader) return false;
    queue_.push_back(loader);
    if (!running_) {
        DWORD previous;
        do {
            previous = ResumeThread(thread_);
        } while (previous != DWORD(-1) && previous > 1);
        running_ = true;
    }
    return true;
}

bool resource_loader_manager::withdraw(resource_loader* loader) {
    if (!loader) return false;
    {
        critical_lock guard(lock_);
        if (current_ != loader) {
            for (auto pos = queue_.begin(); pos != queue_.end(); ++pos) {
                if (*pos != loader) continue;
                queue_.erase(pos);
                return true;
            }
            return false;
        }
    }
    // A running job always comes to its end (a load is finite), and the
    // thread is never suspended while its queue holds the job.
    while (true) {
        Sleep(1);
        critical_lock guard(lock_);
        if (current_ != loader) return true;
    }
}

void resource_loader_manager::suspend_if_idle() {
    critical_lock guard(lock_);
    if (queue_.empty()) suspend();
}

bool resource_loader_manager::suspend() {
    if (!thread_ || !running_) return true;
    DWORD previous = SuspendThread(thread_);
    if (previous == DWORD(-1) || previous > 0) {
        DWORD error = previous == DWORD(-1) ? GetLastError() : 0;
        if (previous != DWORD(-1)) ResumeThread(thread_);  // keep its count as it was
        TRACE_ERROR("resource_loader_manager::resume", "SuspendThread", error);
        return false;
    }
    // SuspendThread may return before the thread has stopped; reading its
    // context waits until it has, so it cannot slip into the queue lock
    // once our caller lets go of it.
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(thread_, &context);
    running_ = false;
    return true;
}

size_t resource_loader_manager::queued() {
    critical_lock guard(lock_);
    return queue_.size();
}

bool resource_loader_manager::stop() {
    run_ = false;
    bool ok = true;
    if (thread_) {
        while (true) {
            DWORD previous = ResumeThread(thread_);
            if (previous == DWORD(-1) || previous <= 1) break;
        }
        DWORD code = killed_exit_code;
        if (WaitForSingleObject(thread_, stop_wait_ms) == WAIT_OBJECT_0) {
            GetExitCodeThread(thread_, &code);
        } else {
            TerminateThread(thread_, killed_exit_code);
        }
        CloseHandle(thread_);
        thread_ = nullptr;
        ok = code == 0;
    }
    running_ = false;
    critical_lock guard(lock_);
    current_ = nullptr;
    for (resource_loader* job : queue_) {
        if (resource_notifier* n = job->notifier()) {
            n->set_result(-1);
            n->set();
        }
    }
    queue_.clear();
    return ok;
}
