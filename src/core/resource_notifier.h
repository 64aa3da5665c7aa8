// The signal that ends one background load: the loader thread stores the
// result and sets the event; the main thread polls it without waiting.
#ifndef VY_CORE_RESOURCE_NOTIFIER_H
#define VY_CORE_RESOURCE_NOTIFIER_H

#include <cstdint>

class notifier {
public:
    notifier() = default;
    virtual ~notifier();
    notifier(const notifier&) = delete;
    notifier& operator=(const notifier&) = delete;

    void* event() const { return event_; }

protected:
    void* event_ = nullptr;
    bool signalled_ = false;
};

class i_resource_notifier {
public:
    virtual ~i_resource_notifier() = default;
    virtual void reset() = 0;
    virtual void set() = 0;
};

class resource_notifier : public i_resource_notifier, public notifier {
public:
    // An unnamed auto-reset event, not signalled.
    resource_notifier();

    // Result 0 and the event cleared.
    void reset() override;
    // Called by the loader thread once the result is stored.
    void set() override;
    // Tests the event without waiting. Once it was set: clears it, turns a
    // result of 0 into 1 and answers true.
    bool wait();

    bool valid() const { return event_ != nullptr; }
    int32_t result() const { return result_; }
    void set_result(int32_t result) { result_ = result; }

private:
    int32_t result_ = 0;
};

#endif
