// Progress counters that slice a coroutine's work across frames, and call
// actions that run one bound action on demand.
#include "actions_fixture.h"

#include "actions/call_action.h"
#include "actions/progress_action.h"

namespace {
using ProgressAction = actions_test;
using CallAction = actions_test;

uint64_t period_for_test() { return 16000000u; }

TEST_F(ProgressAction, CountsAndMaximum) {
    ASSERT_NE(nullptr, plain_actor("a"));
    run("p = new_progress(a)");
    struct count_case {
        const char* steps;
        int count, max;
    };
    const count_case cases[] = {
        {"p:init(5)", 0, 5},
        {"p:init(5) p:count_up(3)", 3, 5},
        // Reaching the maximum pushes it one past the count.
        {"p:init(5) p:count_up(10)", 10, 11},
        {"p:init(5) p:count_up(5)", 5, 6},
        {"p:init('7') p:count_up('2.9')", 2, 7},
        {"p:init(5) p:count_up({}) p:count_up('x')", 0, 5},
        {"p:init(5) p:count_up(2) p:finish()", 5, 5},
        {"p:init(2147483647) p:count_up(2147483647)", 2147483646, 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        run(c.steps);
        EXPECT_EQ(c.count, number("p:count()"));
        EXPECT_EQ(c.max, number("p:max()"));
    }
    run("p:release() m, n = p:max(), p:count()");
    EXPECT_EQ("nil nil", text("tostring(m) .. ' ' .. tostring(n)"));
}

TEST_F(ProgressAction, TermIsAShareOfTheFramePeriod) {
    ASSERT_NE(nullptr, plain_actor("a"));
    action_library_hooks hooks;
    hooks.frame_period = period_for_test;
    set_action_library_hooks(hooks);
    run("p = new_progress(a)");
    progress_action* p = object_of<progress_action>("p");
    const std::pair<const char*, int64_t> cases[] = {
        {"1000000000", 16000000}, {"500000000", 8000000}, {"'250000000'", 4000000},
        {"1", 0},                 {"{}", 0},              {"3000000000", 48000000},
        {"0/0", 0},               {"1e300", INT64_MAX / 2}, {"-1/0", INT64_MIN / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        run((std::string("p:term(") + c.first + ")").c_str());
        EXPECT_EQ(c.second, p->slice);
    }
    // Without the engine's period a frame is 1/60 s.
    set_action_library_hooks(action_library_hooks{});
    run("p:term(1000000000)");
    EXPECT_EQ(16666666, p->slice);
}

// A coroutine doing 30 units of work, one progress call each, notes the
// count at every frame it reaches.
const char* const worker =
    "function(me) p = new_progress(me) p:term(slice) p:init(30) "
    "  local last = -1 "
    "  while p:count() < 30 do p:progress(1) "
    "    if frames ~= last then last = frames note(p:count()) end end "
    "  note('done') while true do actors.wait() end end";

TEST_F(ProgressAction, UsedUpSlicesYieldUntilTheNextFrame) {
    struct slice_case {
        const char* slice;
        bool slicing_off;
        int frames;  // until done
    };
    const slice_case cases[] = {
        // No time at all: one unit a frame (the thirtieth yields too).
        {"0", false, 30},
        // A thousand frames' worth: everything in the first frame.
        {"1e12", false, 0},
        // Slicing switched off: never yields whatever the slice.
        {"0", true, 0},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slice);
        actions->slicing_off = c.slicing_off;
        run((std::string("frames = 0 log = {} slice = ") + c.slice).c_str());
        const std::string name = "worker" + std::to_string(++n);
        actor_object* w = coroutine_actor(name.c_str(), worker);
        ASSERT_NE(nullptr, w);
        int frames = 0;
        for (; frames < 40 && !truth("log[#log] == 'done'"); ++frames) {
            run("frames = frames + 1");
            EXPECT_EQ(0, frame());
        }
        EXPECT_EQ(c.frames, frames);
        EXPECT_EQ(30, number("p:count()"));
        actor_kill(w);
        frame();
    }
    actions->slicing_off = false;
}

// The coroutine's wait entry hands out a fresh slice in the frame after a
// yield: a slice made longer only counts from then on.
TEST_F(ProgressAction, AYieldRearmsTheDeadlineForTheNextFrame) {
    actor_object* w = coroutine_actor(
        "w", "function(me) p = new_progress(me) p:term(0) p:init(10) "
             "p:check() note('a') p:term(1e12) p:check() note('b') p:check() note('c') "
             "while true do actors.wait() end end");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(1u, coroutine_of(w)->waits.size());
    EXPECT_EQ("", notes());
    EXPECT_EQ(0, frame());
    EXPECT_EQ("a", notes());
    EXPECT_EQ(0, frame());
    EXPECT_EQ("b|c", notes());
    run("p:release()");
    EXPECT_EQ(0u, coroutine_of(w)->waits.size());
}

// Counting re-arms a used-up slice at once, without a frame in between.
TEST_F(ProgressAction, CountingRearmsAUsedUpSlice) {
    ASSERT_NE(nullptr, plain_actor("a"));
    run("p = new_progress(a) p:term(1e12) p:init(10)");
    progress_action* p = object_of<progress_action>("p");
    p->deadline = progress_now() - 1;
    EXPECT_TRUE(p->used_up());
    EXPECT_TRUE(p->rearm);
    run("p:count_up(1)");
    EXPECT_FALSE(p->rearm);
    EXPECT_FALSE(p->used_up());
}
}  // namespace

namespace {
TEST_F(CallAction, CallRunsTheBoundActionOncePerCall) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    run("function act(actor, ctx, ev, v) note(actor == a, tostring(ctx), ev, tostring(v)) end "
        "c = new_action(a, act) c:call() c:call()");
    EXPECT_EQ("true nil 0 nil|true nil 0 nil", notes());
    // A named native action runs the same way: one mover step per call.
    a->cls->speed[0][0] = 3.0f;
    a->set_way(2);
    a->set_position(10, 10, 0);
    run("m = new_action(a, 'test_action') m:call()");
    EXPECT_FLOAT_EQ(13.0f, a->position[0]);
    // No action bound: call does nothing.
    run("e = new_action(a, nil) e:call() c.call({})");
    EXPECT_EQ("", notes());
}

TEST_F(CallAction, ReleaseLetsGoOfTheFunctionAndItsParameter) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    run("weak = setmetatable({}, {__mode = 'v'}) "
        "do local f = function() end local p = {} weak.f = f weak.p = p "
        "c = new_action(a, {f, p}) end collectgarbage() collectgarbage()");
    EXPECT_EQ("function table", text("type(weak.f) .. ' ' .. type(weak.p)"));
    run("c:release() collectgarbage() collectgarbage()");
    EXPECT_EQ("nil nil", text("type(weak.f) .. ' ' .. type(weak.p)"));
    // So does the death of the owner.
    run("do local f = function() end weak.g = f c = new_action(a, f) end collectgarbage()");
    EXPECT_EQ("function", text("type(weak.g)"));
    actor_kill(a);
    frame();
    run("collectgarbage() collectgarbage()");
    EXPECT_EQ("nil", text("type(weak.g)"));
}

TEST_F(CallAction, AFailingFunctionFailsTheFrameLikeAnyAction) {
    ASSERT_NE(nullptr, plain_actor("a"));
    run("c = new_action(a, function() error('broken') end) c:call()");
    EXPECT_EQ(-1, script_error_status);
    EXPECT_TRUE(log.has("broken"));
}
}  // namespace
