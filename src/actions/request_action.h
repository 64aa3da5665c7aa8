// `request_action`: an actor's mailbox. Other actors post requests (an id
// and a value) into it; the owner's coroutine waits for the requests it
// expects, polls them and takes them out.
#ifndef VY_ACTIONS_REQUEST_ACTION_H
#define VY_ACTIONS_REQUEST_ACTION_H

#include <cstdint>
#include <deque>

#include "world/extend_action.h"

class coaction;

class request_action : public extend_action {
public:
    enum : uint32_t { value_pointer = 0, value_reference = 1 };
    enum : int32_t { mode_idle = 1, mode_any = 2, mode_request_or_done = 3, mode_done = 4 };

    struct request {
        actor_object* sender;  // counted reference, or none
        int32_t id;
        uint32_t kind;
        uintptr_t value;  // pointer, or registry reference (0 is nil)
    };
    struct wait {
        actor_object* actor;  // counted reference, or none for any sender
        int32_t id;
    };

    ~request_action() override;

    // Hooks the mailbox into the owner's coroutine, when it has one.
    void attach(actor_object* owner);
    // False when a pending wait took the request: nothing is queued then
    // (and a reference value is released).
    bool receive(actor_object* sender, int32_t id, uint32_t kind, uintptr_t value);
    // False when a queued request was consumed in place of the wait.
    bool add_wait(actor_object* actor, int32_t id);
    bool take_wait(actor_object* actor, int32_t id);
    // The readiness test of the current mode; ready sets the mode idle.
    bool ready();
    // Takes the oldest request; false when none is queued.
    bool pop(request& out);
    void flush();

    std::deque<request> requests;
    std::deque<wait> waits;
    int32_t mode = 0;

private:
    static int32_t wait_test(uintptr_t argument);
    void drop_gone_waits();

    actor_object* host_ = nullptr;  // whose coroutine holds our entry
    coaction* coroutine_ = nullptr;
};

#endif
