#include "actions/request_action.h"

#include "actions/action_waits.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_object.h"

namespace {
lua_State* action_lua() {
    action_manager* manager = action_manager::instance();
    return manager ? manager->lua() : nullptr;
}

void release_value(request_action::request& r) {
    if (r.kind == request_action::value_reference && r.value) {
        if (lua_State* L = action_lua()) world_ref_release(L, static_cast<int32_t>(r.value));
    }
    r.value = 0;
}

// The first entry, oldest first, with the id and a matching actor; an
// entry or a caller without an actor matches any. The entry is erased;
// what it held goes to out.
template <class List, class Entry>
bool take_match(List& list, actor_object* actor, int32_t id, actor_object* Entry::*who,
                Entry& out) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        actor_object* other = (*it).*who;
        if (it->id != id || (actor && other && other != actor)) continue;
        out = *it;
        list.erase(it);
        return true;
    }
    return false;
}

bool actor_gone(const actor_object* actor) {
    return (actor->flags & actor_dead) || !actor->cls || (actor->cls->flags & class_disabled);
}

bool take_wait_entry(std::deque<request_action::wait>& waits, actor_object* actor, int32_t id) {
    request_action::wait taken{};
    if (!take_match(waits, actor, id, &request_action::wait::actor, taken)) return false;
    actor_ref_release(taken.actor);
    return true;
}
}  // namespace

request_action::~request_action() {
    flush();
    wait_entry_remove(host_, coroutine_, this);
}

void request_action::attach(actor_object* owner) {
    host_ = owner;
    coroutine_ = owner_coroutine(owner);
    wait_entry_add(coroutine_, wait_test, this);
}

bool request_action::receive(actor_object* sender, int32_t id, uint32_t kind, uintptr_t value) {
    if (take_wait_entry(waits, sender, id)) {
        request dropped{nullptr, id, kind, value};
        release_value(dropped);
        return false;
    }
    request r{nullptr, id, kind, value};
    actor_ref_assign(r.sender, sender);
    requests.push_back(r);
    return true;
}

bool request_action::add_wait(actor_object* actor, int32_t id) {
    request consumed{};
    if (take_match(requests, actor, id, &request::sender, consumed)) {
        release_value(consumed);
        actor_ref_release(consumed.sender);
        return false;
    }
    wait w{nullptr, id};
    actor_ref_assign(w.actor, actor);
    waits.push_back(w);
    return true;
}

bool request_action::take_wait(actor_object* actor, int32_t id) {
    return take_wait_entry(waits, actor, id);
}

void request_action::drop_gone_waits() {
    for (auto it = waits.begin(); it != waits.end();) {
        if (it->actor && actor_gone(it->actor)) {
            actor_ref_release(it->actor);
            it = waits.erase(it);
        } else {
            ++it;
        }
    }
}

bool request_action::ready() {
    bool result = true;
    switch (mode) {
        case mode_any:
            result = !requests.empty();
            break;
        case mode_request_or_done:
            drop_gone_waits();
            result = !requests.empty() || waits.empty();
            break;
        case mode_done:
            drop_gone_waits();
            result = waits.empty();
            break;
        default:
            break;
    }
    if (result) mode = mode_idle;
    return result;
}

bool request_action::pop(request& out) {
    if (requests.empty()) return false;
    out = requests.front();
    requests.pop_front();
    return true;
}

void request_action::flush() {
    for (request& r : requests) {
        release_value(r);
        actor_ref_release(r.sender);
    }
    requests.clear();
    for (wait& w : waits) actor_ref_release(w.actor);
    waits.clear();
}

int32_t request_action::wait_test(uintptr_t argument) {
    return reinterpret_cast<request_action*>(argument)->ready() ? 0 : 1;
}
