#include "actions/progress_action.h"

#include <cstdint>

#include "actions/action_library.h"
#include "actions/action_waits.h"
#include "core/system_timer.h"
#include "world/action_manager.h"

namespace {
uint64_t frame_period() {
    const action_library_hooks& hooks = action_hooks();
    const uint64_t period = hooks.frame_period ? hooks.frame_period() : 0;
    return period ? period : 1000000000u / 60;
}
}  // namespace

int64_t progress_now() { return static_cast<int64_t>(system_timer::source()); }

progress_action::~progress_action() { wait_entry_remove(host_, coroutine_, this); }

void progress_action::attach(actor_object* owner) {
    host_ = owner;
    coroutine_ = owner_coroutine(owner);
    wait_entry_add(coroutine_, wait_test, this);
}

void progress_action::term(double x) {
    const double ticks = x * static_cast<double>(frame_period()) / 1e9;
    // Out of range (or not a number) would make the conversion undefined.
    if (!(ticks > -9.0e18)) {
        slice = ticks < 0 ? INT64_MIN / 2 : 0;
    } else {
        slice = ticks < 9.0e18 ? static_cast<int64_t>(ticks) : INT64_MAX / 2;
    }
}

void progress_action::init(int32_t max) {
    maximum = max;
    count = 0;
    deadline = progress_now() + slice;
    rearm = false;
}

void progress_action::count_up(int32_t n) {
    // Saturated, so that a huge count cannot wrap the maximum below it.
    const int64_t sum = int64_t(count) + n;
    count = static_cast<int32_t>(sum > INT32_MAX - 1 ? INT32_MAX - 1 : sum < INT32_MIN ? INT32_MIN : sum);
    if (rearm) {
        deadline = progress_now() + slice;
        rearm = false;
    }
    if (maximum <= count) maximum = count + 1;
}

bool progress_action::used_up() {
    action_manager* manager = action_manager::instance();
    if (manager && manager->slicing_off) return false;
    if (progress_now() < deadline) return false;
    rearm = true;
    return true;
}

int32_t progress_action::wait_test(uintptr_t argument) {
    auto* action = reinterpret_cast<progress_action*>(argument);
    if (action->rearm) {
        action->deadline = progress_now() + action->slice;
        action->rearm = false;
    }
    return 0;
}
