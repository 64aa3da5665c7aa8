#include "input/input_manager.h"

#include "input/input.h"
#include "world/actor_object.h"

input_manager::~input_manager() { clear_events(); }

void input_manager::update() {
    input_devices& d = input_shared();
    d.hwheel_notches = d.hwheel / 120;
    d.vwheel_notches = d.vwheel / 120;
    for (input* in : input_list())
        if (in) input::update(in);
    d.hwheel = 0;
    d.vwheel = 0;
}

void input_manager::set_pointer(int32_t x, int32_t y) {
    input_devices& d = input_shared();
    d.pointer.x = static_cast<int16_t>(x);
    d.pointer.y = static_cast<int16_t>(y);
    for (input* in : input_list())
        if (in) input::sync_pointer(in);
}

void input_manager::set_mode(int32_t m) {
    mode_ = m;
    for (input* in : input_list())
        if (in) in->current_mode = m >= 0 && static_cast<size_t>(m) < in->modes.size() ? m : 0;
}

void input_manager::add_event(const input_event& e) {
    events_.push_back({e, false});
    record& r = events_.back();
    r.e.object = nullptr;
    actor_ref_assign(r.e.object, e.object);
}

void input_manager::drop(std::list<record>::iterator it) {
    actor_ref_release(it->e.object);
    if (dispatching_) it->dropped = true;
    else events_.erase(it);
}

void input_manager::sweep() {
    for (auto it = events_.begin(); it != events_.end();) {
        if (it->dropped) it = events_.erase(it);
        else ++it;
    }
}

namespace {
bool matches(const input_event& r, int32_t input, int32_t code, int32_t value, actor_object* object, int32_t id) {
    return (input == -1 || r.input == input) && (code == -1 || r.code == code) && (value == 0 || r.value == value) &&
           (!object || r.object == object) && (id == 0 || r.id == id);
}
}  // namespace

void input_manager::remove_events(int32_t input, int32_t code, int32_t value, actor_object* object, int32_t id) {
    if (input == -1 && code == -1 && value == 0 && !object && id == 0) {
        clear_events();
        return;
    }
    const bool exact = input != -1 && code != -1 && value != 0 && object && id != 0;
    for (auto it = events_.begin(); it != events_.end();) {
        auto next = std::next(it);
        const input_event& r = it->e;
        const bool hit = exact ? r.input == input && r.code == code && r.value == value && r.object == object &&
                                     r.id == id
                               : matches(r, input, code, value, object, id);
        if (hit && !it->dropped) drop(it);
        it = next;
    }
}

std::list<input_event> input_manager::find_events(int32_t input, int32_t code, int32_t value,
                                                  actor_object* object, int32_t id) const {
    std::list<input_event> out;
    for (const record& r : events_)
        if (!r.dropped && matches(r.e, input, code, value, object, id)) out.push_back(r.e);
    return out;
}

void input_manager::clear_events() {
    for (auto it = events_.begin(); it != events_.end();) {
        auto next = std::next(it);
        if (!it->dropped) drop(it);
        it = next;
    }
}

void input_manager::dispatch_events() {
    // Only the records present now take part: one that a handler adds waits
    // for the next frame, so a handler that registers itself again cannot
    // keep this loop going. Records removed meanwhile are only marked.
    size_t remaining = events_.size();
    ++dispatching_;
    for (auto it = events_.begin(); remaining > 0 && it != events_.end(); ++it, --remaining) {
        if (it->dropped) continue;
        const input_event e = it->e;
        // A record naming no input or no digital code never fires.
        const input* in = e.input >= 0 ? input_at(static_cast<size_t>(e.input)) : nullptr;
        if (!in || e.code < 0 || e.code >= input_digital_count) continue;
        if (input::code_state(in, static_cast<uint32_t>(e.code)) != e.value) continue;
        // Fired once: the record goes, but its hold on the object lasts
        // until the event has been delivered.
        it->dropped = true;
        actor_object* object = it->e.object;
        it->e.object = nullptr;
        if (object) {
            if (e.id < 0) actor_kill(object);
            else if (actor_is_alive(object)) actor_throw_event(object, e.id, nullptr, script_value{0, 0});
        }
        actor_ref_release(object);
    }
    if (--dispatching_ == 0) sweep();
}
