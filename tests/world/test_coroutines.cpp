// Coroutine actions: start functions that run as the actor's own coroutine.
#include "world_fixture.h"

#include "world/actor_manager.h"
#include "world/live_objects.h"

namespace {
using Coroutines = world_test;

int32_t gate_open = 1;
int32_t gate_test(uintptr_t argument) { return *reinterpret_cast<int32_t*>(argument); }

TEST_F(Coroutines, StartRunsAtCreationAndResumesOncePerFrame) {
    run("function start(actor, v) "
        "  events[#events+1] = 'start ' .. tostring(v) "
        "  for i = 1, 3 do actors.wait() events[#events+1] = 'part ' .. i end "
        "end "
        "function dead(actor, v) events[#events+1] = 'dead' end");
    st_actor_class* cls = make_class("runner", class_start_key, {{slot_mode, "start"}, {slot_dead, "dead"}});
    actor_object* actor = create_with(cls, "'hello'");
    ASSERT_NE(nullptr, actor);
    EXPECT_EQ("start hello", text("table.concat(events, ',')"));
    EXPECT_EQ(script_value_object, actor->slots[slot_mode].state.kind);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(0, frame());
        EXPECT_EQ(1 + i, number("#events"));
    }
    // The function returns in this frame: the actor dies at its end.
    EXPECT_EQ(0, frame());
    EXPECT_TRUE(actor->flags & actor_dead);
    EXPECT_EQ("start hello,part 1,part 2,part 3,dead", text("table.concat(events, ',')"));
    EXPECT_EQ(0, frame());
    EXPECT_EQ(5, number("#events"));
}

TEST_F(Coroutines, WithoutCreationValueTheRecordIsPassed) {
    run("function start(actor, v) seen = type(v) actors.wait() end");
    st_actor_class* cls = make_class("runner", class_start_key, {{slot_mode, "start"}});
    ASSERT_NE(nullptr, create(cls));
    EXPECT_EQ("userdata", text("seen"));
}

TEST_F(Coroutines, FailedStartsLeaveNoActor) {
    struct start_case {
        const char* body;
        bool fails_frame;
    };
    const start_case cases[] = {
        {"function(actor) end", false},                 // returns at once
        {"function(actor) error('at start') end", false},
        {"function(actor) local x = nil + 1 end", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const uint32_t live_before = live_object_count();
        st_actor_class* cls = make_class(nullptr, class_start_key | class_anonymous, {{slot_mode, c.body}});
        EXPECT_EQ(nullptr, create(cls, "starter"));
        EXPECT_TRUE(log.has("failed in initialization of actor"));
        const named_object_entry* entry = objects->actors.find_named_object("starter");
        EXPECT_TRUE(!entry || !entry->actor);
        EXPECT_EQ(live_before, live_object_count());
        EXPECT_EQ(0, script_error_status);
    }
}

TEST_F(Coroutines, ScriptErrorsFailTheFrameOnce) {
    struct error_case {
        const char* what;
        int slot;
        const char* action;
        uint32_t flags;
    };
    const error_case cases[] = {
        {"resume", slot_mode, "function(a) actors.wait() error('later') end", class_start_key},
        {"per frame", slot_mode, "function(a) error('each frame') end", 0},
        {"init", slot_init, "function(a) error('at init') end", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script_error_status = 0;
        run("count = 0");
        st_actor_class* good = make_class(nullptr, class_anonymous,
                                          {{slot_mode, "function(a) count = count + 1 end"}});
        st_actor_class* bad = make_class(nullptr, c.flags | class_anonymous, {{c.slot, c.action}});
        actor_object* first = create(bad);
        actor_object* second = create(good);
        ASSERT_NE(nullptr, second);
        EXPECT_EQ(-1, frame());
        EXPECT_EQ(-1, script_error_status);
        if (c.slot == slot_init) {
            EXPECT_EQ(nullptr, first);
            EXPECT_EQ(1, number("count"));  // the others still ran
        }
        objects->actors.clear_all();
    }
}

TEST_F(Coroutines, PendingWaitsHoldTheCoroutineButNotEvents) {
    run("function start(actor) while true do steps = (steps or 0) + 1 actors.wait() end end "
        "function catch(actor, ctx, ev) caught = ev end");
    st_actor_class* cls = make_class("waiter", class_start_key, {{slot_mode, "start"}, {slot_catch, "catch"}});
    actor_object* actor = create(cls);
    ASSERT_NE(nullptr, actor);
    coaction* co = value_pointer_of<coaction>(actor->slots[slot_mode].state);
    gate_open = 1;
    co->waits.push_back(coaction_wait{gate_test, 0, reinterpret_cast<uintptr_t>(&gate_open)});
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0, frame());
    EXPECT_EQ(1, number("steps"));
    actor_throw_event(actor, 4, nullptr, {0, 0});
    EXPECT_EQ(4, number("caught"));
    gate_open = 0;
    EXPECT_EQ(0, frame());
    EXPECT_EQ(2, number("steps"));
    EXPECT_EQ(0, frame());
    EXPECT_EQ(3, number("steps"));
}
// A running actor's own handle is trusted without the registry; actors
// destroyed during its run must not change what any handle names.
TEST_F(Coroutines, HandlesNameTheSameActorsWhileOthersAreDestroyed) {
    run("seen = {} "
        "function quits(a) end "
        "function start(a) "
        "  while true do "
        "    actors.set_position(a, #seen, 2, 3) "
        "    if actors.create{'quitter', 0, 0, 0} then error('created') end "
        "    actors.set_position(a, actors.x(a) + 10, 2, 3) "
        "    seen[#seen + 1] = actors.x(a) .. ' ' .. tostring(actors.x(other)) .. ' ' .. "
        "      tostring(actors.x(gone)) "
        "    actors.wait() "
        "  end "
        "end");
    ASSERT_NE(nullptr, make_class("quitter", class_start_key, {{slot_mode, "quits"}}));
    st_actor_class* idle = make_class("idle", 0, {});
    actor_object* other = create(idle);
    actor_object* gone = create(idle);
    ASSERT_NE(nullptr, other);
    ASSERT_NE(nullptr, gone);
    other->set_position(7, 0, 0);
    set_global_pointer("other", other);
    set_global_pointer("gone", gone);
    actor_kill(gone);
    // Killed in one frame, its record freed in the next.
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0, frame());
    actor_object* runner = create(make_class("runner", class_start_key, {{slot_mode, "start"}}));
    ASSERT_NE(nullptr, runner);
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0, frame());
    EXPECT_EQ("10 7 nil,11 7 nil,12 7 nil", text("table.concat(seen, ',')"));
    EXPECT_EQ(12.0f, runner->position[0]);
    EXPECT_EQ(0, script_error_status);
}
}  // namespace
