#include "world/coaction.h"

#include <new>

#include "core/trace.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_object.h"

coaction::~coaction() {
    // A coroutine dropped before its end (its slot released) must not stay
    // anchored in the registry.
    action_manager* manager = action_manager::instance();
    if (thread_ref > 0 && manager && manager->lua()) world_ref_release(manager->lua(), thread_ref);
}

bool coaction_is_ready(coaction* co) {
    // Entries belong to whoever added them (a mailbox, a progress counter)
    // and stay until it removes them; every test runs, as tests may re-arm.
    bool ready = true;
    for (size_t i = 0; i < co->waits.size(); ++i) {
        const coaction_wait& wait = co->waits[i];
        if (wait.test && wait.test(wait.argument) != 0) ready = false;
    }
    return ready;
}

int32_t coaction::act_init(actor_object* owner, action_slot* slot, script_value value) {
    lua_State* L = action_manager::instance()->lua();
    coaction* co = new (std::nothrow) coaction;
    if (!co) {
        TRACE_ERROR("coaction::act_init", "operator new", -1);
        return -1;
    }
    co->thread_ref = script(L).create_thread(co->thread);
    if (co->thread_ref <= 0) {
        TRACE_ERROR("coaction::act_init", "script::create_thread", -1);
        delete co;
        return -2;
    }
    slot->state = make_value(script_value_object, co);
    world_ref_push(L, static_cast<int32_t>(slot->data));
    lua_pushlightuserdata(L, owner);
    bool given = value.kind != script_value_none;
    if (value.kind == script_value_stack) given = !lua_isnoneornil(L, static_cast<int>(value.data));
    if (given) {
        script_value_push(value, L, L);
    } else {
        lua_pushlightuserdata(L, co);
    }
    lua_xmove(L, co->thread, 3);
    script_error_info error;
    if (script(co->thread).resume(2, &error) != 0) {
        TRACE_ERROR("coaction::act_init", "script::start", -1);
        script_report_error_text(error, nullptr);
        return 1;
    }
    return 0;
}

int32_t coaction::act_main(actor_object* actor, void*, action_slot* slot, int32_t, script_value) {
    if (slot->state.kind != script_value_object) return 0;
    coaction* co = value_pointer_of<coaction>(slot->state);
    if (co->thread_ref <= 0) return 0;  // its function has already returned
    if (!co->waits.empty() && !coaction_is_ready(co)) return 0;
    // One record for every resume: it is written only when a resume fails.
    static script_error_info error;
    int result;
    {
        running_actor_scope running(actor);
        result = script(co->thread).resume(0, &error);
    }
    if (result == 0) return 0;
    if (result == 1) {
        world_ref_release(action_manager::instance()->lua(), co->thread_ref);
        co->thread_ref = 0;
        actor_kill(actor);
        return 0;
    }
    TRACE_ERROR("coaction::act_main", "script::resume", result);
    script_report_error_text(error, nullptr);
    error.clear();
    if (script_error_status == 0) script_error_status = -1;
    return 1;
}
