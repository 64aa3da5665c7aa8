// `progress_action`: cuts a long piece of coroutine work into time slices.
// The coroutine counts its progress and yields whenever its slice of the
// current frame is used up; the next frame gives it a fresh slice.
#ifndef VY_ACTIONS_PROGRESS_ACTION_H
#define VY_ACTIONS_PROGRESS_ACTION_H

#include <cstdint>

#include "world/extend_action.h"

class coaction;

class progress_action : public extend_action {
public:
    ~progress_action() override;

    void attach(actor_object* owner);
    // The slice is x billionths of a frame period.
    void term(double x);
    void init(int32_t maximum);
    void count_up(int32_t n);
    void finish() { count = maximum; }
    // True when the slice is over; the next count or frame re-arms it.
    bool used_up();

    int64_t slice = 0;     // nanoseconds
    int64_t deadline = 0;  // on the progress clock
    bool rearm = false;
    int32_t maximum = 0;
    int32_t count = 0;

private:
    static int32_t wait_test(uintptr_t argument);

    actor_object* host_ = nullptr;
    coaction* coroutine_ = nullptr;
};

// The clock of deadlines, in nanoseconds.
int64_t progress_now();

#endif
