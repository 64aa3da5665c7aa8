// The Lua face of request actions: new_request and the mailbox methods.
#include <vector>

#include "actions/action_constructor.h"
#include "actions/request_action.h"
#include "actions/request_action_library.h"
#include "core/lua_readers.h"
#include "core/script.h"
#include "core/system_log.h"
#include "world/actor_object.h"

namespace {
int32_t int_arg(lua_State* L, int index) { return script_truncate_int(lua_tonumber(L, index)); }

request_action* object_or_log(lua_State* L, const char* label) {
    request_action* action = action_arg<request_action>(L);
    if (!action) system_log_trace(1, label, "invalid request object");
    return action;
}

int nils(lua_State* L) {
    lua_pushnil(L);
    lua_pushnil(L);
    lua_pushnil(L);
    return 3;
}

void push_request(lua_State* L, const request_action::request& r) {
    if (r.sender) {
        lua_pushlightuserdata(L, r.sender);
    } else {
        lua_pushnil(L);
    }
    lua_pushnumber(L, r.id);
    if (r.kind == request_action::value_pointer) {
        lua_pushlightuserdata(L, reinterpret_cast<void*>(r.value));
    } else {
        world_ref_push(L, static_cast<int32_t>(r.value));
    }
}

int receive(lua_State* L) {
    request_action* action = object_or_log(L, "request_action.receive");
    if (!action) return 0;
    if (!lua_isnumber(L, 3)) {
        system_log_trace(1, "request_action.receive", "invalid request id");
        return 0;
    }
    actor_object* sender = to_actor(L, 2);
    const int32_t id = int_arg(L, 3);
    lua_settop(L, 4);
    if (lua_islightuserdata(L, 4)) {
        action->receive(sender, id, request_action::value_pointer,
                        reinterpret_cast<uintptr_t>(lua_touserdata(L, 4)));
    } else {
        const int32_t ref = world_ref_take(L);
        action->receive(sender, id, request_action::value_reference, static_cast<uintptr_t>(ref));
    }
    return 0;
}

// The actors a wait names (argument 3): none for any sender, one actor, or
// each element of a table up to its first nil. False when one names none.
bool wait_actors(lua_State* L, std::vector<actor_object*>& out) {
    if (lua_isnoneornil(L, 3)) {
        out.push_back(nullptr);
        return true;
    }
    if (!lua_istable(L, 3)) {
        actor_object* actor = to_actor(L, 3);
        out.push_back(actor);
        return actor != nullptr;
    }
    for (int i = 1;; ++i) {
        lua_rawgeti(L, 3, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return true;
        }
        actor_object* actor = to_actor(L, -1);
        lua_pop(L, 1);
        if (!actor) return false;
        out.push_back(actor);
    }
}

int wait(lua_State* L) {
    request_action* action = object_or_log(L, "request_action.wait");
    if (!action) return 0;
    if (lua_isnoneornil(L, 2)) {
        action->mode = action->waits.empty() ? request_action::mode_any
                                             : request_action::mode_request_or_done;
    } else {
        if (!lua_isnumber(L, 2)) {
            system_log_trace(1, "request_action.wait", "invalid wait id");
            return 0;
        }
        // Every actor is resolved before anything changes, so a bad one
        // leaves the mailbox as it was.
        std::vector<actor_object*> actors;
        if (!wait_actors(L, actors)) {
            system_log_trace(1, "request_action.wait", "invalid wait actor");
            return 0;
        }
        const int32_t id = int_arg(L, 2);
        action->mode = lua_toboolean(L, 4) ? request_action::mode_done
                                           : request_action::mode_request_or_done;
        for (actor_object* actor : actors) action->add_wait(actor, id);
    }
    if (action->ready()) return 0;
    return lua_yield(L, 0);
}

int check(lua_State* L) {
    request_action* action = object_or_log(L, "request_action.check");
    if (!action) return 0;
    if (!lua_isnumber(L, 2)) {
        system_log_trace(1, "request_action.check", "invalid check id");
        return 0;
    }
    actor_object* actor = nullptr;
    if (!lua_isnoneornil(L, 3)) {
        actor = to_actor(L, 3);
        if (!actor) {
            system_log_trace(1, "request_action.check", "invalid wait actor");
            return 0;
        }
    }
    lua_pushboolean(L, action->take_wait(actor, int_arg(L, 2)));
    return 1;
}

int empty(lua_State* L) {
    request_action* action = action_arg<request_action>(L);
    if (!action) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushboolean(L, action->requests.empty());
    return 1;
}

int pop(lua_State* L) {
    request_action* action = action_arg<request_action>(L);
    request_action::request r{};
    if (!action || !action->pop(r)) return nils(L);
    push_request(L, r);
    // The caller now holds the value; the mailbox lets go of it.
    if (r.kind == request_action::value_reference && r.value) {
        world_ref_release(L, static_cast<int32_t>(r.value));
    }
    actor_ref_release(r.sender);
    return 3;
}

int get(lua_State* L) {
    request_action* action = action_arg<request_action>(L);
    if (!action) return nils(L);
    const int32_t index = int_arg(L, 2);
    if (index < 0 || size_t(index) >= action->requests.size()) return nils(L);
    push_request(L, action->requests[size_t(index)]);
    return 3;
}

int flush(lua_State* L) {
    if (request_action* action = action_arg<request_action>(L)) action->flush();
    return 0;
}

const luaL_Reg methods[] = {
    {"receive", receive}, {"wait", wait}, {"check", check}, {"empty", empty}, {"pop", pop},
    {"get", get},         {"flush", flush}, {"release", action_release}, {nullptr, nullptr},
};

int new_request(lua_State* L) {
    return construct_action<request_action>(
        L, methods, [](request_action* action, actor_object* owner) { action->attach(owner); });
}
}  // namespace

void request_action_register(lua_State* L) { lua_register(L, "new_request", new_request); }
