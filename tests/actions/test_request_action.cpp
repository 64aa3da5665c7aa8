// Mailboxes between actors: requests posted, waited for by the owner's
// coroutine, polled and taken out. Every wait runs a bounded number of
// frames.
#include "actions_fixture.h"

#include "actions/request_action.h"

namespace {
class RequestAction : public actions_test {
protected:
    // The owner's coroutine makes the mailbox `box`, then runs `body` and
    // notes 'done' once it has passed it.
    actor_object* owner_with(const char* body) {
        std::string start = std::string("function(me) box = new_request(me) ") + body +
                            " note('done') while true do actors.wait() end end";
        return coroutine_actor("owner", start.c_str());
    }
};

TEST_F(RequestAction, AWaitedRequestIsTakenWithoutBeingQueued) {
    ASSERT_NE(nullptr, plain_actor("sender"));
    ASSERT_NE(nullptr, owner_with("box:wait(5, sender)"));
    EXPECT_EQ(-1, frames_until("log[1]", 3));
    run("box:receive(sender, 5, 'x')");
    request_action* box = object_of<request_action>("box");
    EXPECT_EQ(0u, box->requests.size());
    EXPECT_EQ(0u, box->waits.size());
    EXPECT_EQ(1, frames_until("log[1]", 3));
    EXPECT_EQ("done", notes());
}

// Waiting for some senders ends at any request; waiting for all of them
// only once every wait was taken.
TEST_F(RequestAction, OtherRequestsEndAWaitUnlessAllAreAwaited) {
    ASSERT_NE(nullptr, plain_actor("sender"));
    struct mode_case {
        const char* wait;
        int frames_after_other;  // -1: still waiting
    };
    const mode_case cases[] = {
        {"box:wait(5, sender)", 1},
        {"box:wait(5, sender, false)", 1},
        {"box:wait(5, sender, true)", -1},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        const std::string name = "owner" + std::to_string(++n);
        const std::string start = std::string("function(me) box = new_request(me) ") + c.wait +
                                  " note('done') while true do actors.wait() end end";
        ASSERT_NE(nullptr, coroutine_actor(name.c_str(), start.c_str()));
        EXPECT_EQ(-1, frames_until("log[1]", 2));
        run("box:receive(sender, 6, 'other id')");
        EXPECT_EQ(c.frames_after_other, frames_until("log[1]", 3));
        run("box:receive(sender, 5, 'x')");
        EXPECT_NE(-1, frames_until("log[1]", 3));
        notes();
    }
}

TEST_F(RequestAction, WaitsFindRequestsAlreadyQueued) {
    actor_object* owner = owner_with("box:receive(nil, 7, 1) box:wait(7) note(tostring(box:empty()))");
    ASSERT_NE(nullptr, owner);
    // It never yielded in wait: both notes are there after creation.
    EXPECT_EQ("true|done", notes());
    EXPECT_EQ(0u, object_of<request_action>("box")->waits.size());
}

TEST_F(RequestAction, AnEmptyWaitBlocksUntilAnyRequestArrives) {
    ASSERT_NE(nullptr, plain_actor("s"));
    actor_object* owner = owner_with("box:wait() note(box:pop())");
    ASSERT_NE(nullptr, owner);
    EXPECT_EQ(-1, frames_until("log[1]", 4));
    run("box:receive(s, 3, 'hello')");
    EXPECT_EQ(1, frames_until("log[2]", 3));
    EXPECT_EQ(text("s") + " 3 hello|done", notes());
}

TEST_F(RequestAction, WaitingForAllSendersDropsTheDead) {
    ASSERT_NE(nullptr, plain_actor("a"));
    actor_object* b = plain_actor("b");
    ASSERT_NE(nullptr, b);
    actor_object* c = plain_actor("c");
    ASSERT_NE(nullptr, c);
    actor_object* owner = owner_with("box:wait(1, {a, b, c}, true)");
    ASSERT_NE(nullptr, owner);
    request_action* box = object_of<request_action>("box");
    EXPECT_EQ(3u, box->waits.size());
    run("box:receive(a, 1, 'from a') box:receive(b, 2, 'wrong id')");
    EXPECT_EQ(-1, frames_until("log[1]", 3));
    EXPECT_EQ(2u, box->waits.size());
    // c dies: its wait goes; b's is still missing.
    actor_kill(c);
    EXPECT_EQ(-1, frames_until("log[1]", 3));
    EXPECT_EQ(1u, box->waits.size());
    run("box:receive(b, 1, 'from b')");
    EXPECT_EQ(1, frames_until("log[1]", 3));
    // Only the request that no wait took is queued.
    EXPECT_EQ(1u, box->requests.size());
    EXPECT_EQ(2, box->requests.front().id);
}

// A request a wait took is not queued, so a wait for several goes on until
// the last of them; check can take a wait away.
TEST_F(RequestAction, CheckTakesAPendingWait) {
    ASSERT_NE(nullptr, plain_actor("a"));
    ASSERT_NE(nullptr, plain_actor("b"));
    ASSERT_NE(nullptr, owner_with("box:wait(4, {a, b})"));
    run("box:receive(a, 4, 'x')");
    EXPECT_EQ(-1, frames_until("log[1]", 3));
    run("note(tostring(box:check(4, a)), tostring(box:check(5)), tostring(box:check(4, b)))");
    EXPECT_EQ("false false true", notes());
    EXPECT_EQ(1, frames_until("log[1]", 3));
    EXPECT_EQ("done", notes());
}

// The mailbox's entry stays in the coroutine's wait list for its whole
// life: a second wait blocks exactly as the first did.
TEST_F(RequestAction, EveryWaitBlocksTheCoroutineAgain) {
    actor_object* owner = coroutine_actor(
        "owner", "function(a) box = new_request(a) "
                 "for i = 1, 3 do box:wait(i) note('got', i) end "
                 "while true do actors.wait() end end");
    ASSERT_NE(nullptr, owner);
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(-1, frames_until("log[1]", 2));
        run(("box:receive(nil, " + std::to_string(i) + ")").c_str());
        EXPECT_EQ(1, frames_until("log[1]", 3));
        EXPECT_EQ("got " + std::to_string(i), notes());
    }
    EXPECT_EQ(1u, coroutine_of(owner)->waits.size());
    run("box:release()");
    EXPECT_EQ(0u, coroutine_of(owner)->waits.size());
}

TEST_F(RequestAction, ReleasingAWaitedMailboxFreesTheCoroutine) {
    actor_object* owner = owner_with("box:wait(9)");
    ASSERT_NE(nullptr, owner);
    EXPECT_EQ(-1, frames_until("log[1]", 2));
    run("box:release()");
    EXPECT_EQ(1, frames_until("log[1]", 3));
}

TEST_F(RequestAction, PopAndGetHandBackSenderIdAndValue) {
    actor_object* s = plain_actor("s");
    ASSERT_NE(nullptr, s);
    ASSERT_NE(nullptr, plain_actor("owner"));
    run("box = new_request(owner) t = {} "
        "x1, x2, x3 = box:pop() note('empty', tostring(box:empty()), tostring(x1), tostring(x2), tostring(x3)) "
        "box:receive(s, 1, t) box:receive(nil, '2', owner) box:receive('nobody', 3) "
        "g1, g2, g3 = box:get(0) note('get', g1 == s, g2, g3 == t) "
        "g1, g2, g3 = box:get(2) note('third', tostring(g1), g2, tostring(g3)) "
        "g1 = box:get(3) note('beyond', tostring(g1)) g1 = box:get(-1) note('before', tostring(g1)) "
        "p1, p2, p3 = box:pop() note('pop', p1 == s, p2, p3 == t) "
        "p1, p2, p3 = box:pop() note('pop', tostring(p1), p2, p3 == owner, type(p3)) "
        "note('left', tostring(box:empty()))");
    EXPECT_EQ("empty true nil nil nil|get true 1 true|third nil 3 nil|beyond nil|before nil|"
              "pop true 1 true|pop nil 2 true userdata|left false",
              notes());
}

TEST_F(RequestAction, ValuesAndSendersAreHeldUntilTakenOrFlushed) {
    ASSERT_NE(nullptr, plain_actor("owner"));
    actor_object* s = plain_actor("s");
    ASSERT_NE(nullptr, s);
    const int32_t refs = s->ref_count;
    run("weak = setmetatable({}, {__mode = 'v'}) box = new_request(owner) "
        "do local v = {} weak[1] = v box:receive(s, 1, v) end "
        "do local v = {} weak[2] = v box:receive(s, 2, v) end "
        "collectgarbage() collectgarbage()");
    EXPECT_EQ("table table", text("type(weak[1]) .. ' ' .. type(weak[2])"));
    EXPECT_EQ(refs + 2, s->ref_count);
    // Popped: the value is the caller's now, the mailbox holds nothing of it.
    run("box:pop() collectgarbage() collectgarbage()");
    EXPECT_EQ("nil table", text("type(weak[1]) .. ' ' .. type(weak[2])"));
    EXPECT_EQ(refs + 1, s->ref_count);
    run("box:flush() collectgarbage() collectgarbage()");
    EXPECT_EQ("nil", text("type(weak[2])"));
    EXPECT_EQ(refs, s->ref_count);
    // A request that a wait takes keeps nothing either.
    object_of<request_action>("box")->add_wait(s, 8);
    EXPECT_EQ(refs + 1, s->ref_count);
    run("do local v = {} weak[3] = v box:receive(s, 8, v) end collectgarbage() collectgarbage()");
    EXPECT_EQ("nil", text("type(weak[3])"));
    EXPECT_EQ(refs, s->ref_count);
    EXPECT_TRUE(truth("box:empty()"));
}

TEST_F(RequestAction, BadArgumentsAreLoggedAndChangeNothing) {
    ASSERT_NE(nullptr, plain_actor("owner"));
    ASSERT_NE(nullptr, plain_actor("s"));
    run("box = new_request(owner)");
    struct bad_case {
        const char* call;
        const char* line;
    };
    const bad_case cases[] = {
        {"box.receive({}, s, 1, 'x')", "1 request_action.receive: invalid request object"},
        {"box:receive(s, 'one', 'x')", "1 request_action.receive: invalid request id"},
        {"box:receive(s, nil, 'x')", "1 request_action.receive: invalid request id"},
        {"box:wait('soon')", "1 request_action.wait: invalid wait id"},
        {"box:wait(1, 'nobody')", "1 request_action.wait: invalid wait actor"},
        {"box:wait(1, {s, 'nobody'})", "1 request_action.wait: invalid wait actor"},
        {"box.wait(nil, 1)", "1 request_action.wait: invalid request object"},
        {"r = box:check('x')", "1 request_action.check: invalid check id"},
        {"r = box:check(1, {})", "1 request_action.check: invalid wait actor"},
    };
    request_action* box = object_of<request_action>("box");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        run(c.call);
        EXPECT_TRUE(log.has(c.line)) << c.line;
        EXPECT_EQ(0u, box->requests.size());
        EXPECT_EQ(0u, box->waits.size());
    }
    // A wait whose actors all resolve is taken whole.
    run("box:receive(s, 2) box:receive(nil, 2)");
    EXPECT_EQ(2u, box->requests.size());
}
}  // namespace

namespace {
// Two actors' coroutines play ping-pong through each other's mailboxes:
// each request wakes the other side one frame later.
TEST_F(RequestAction, ActorsExchangeRequestsThroughTheirMailboxes) {
    ASSERT_NE(nullptr, coroutine_actor(
        "pong", "function(me) pong_box = new_request(me) "
                "while true do pong_box:wait() local from, id, n = pong_box:pop() "
                "note('pong', id, n) ping_box:receive(me, id + 1, n * 2) end end"));
    ASSERT_NE(nullptr, coroutine_actor(
        "ping", "function(me) ping_box = new_request(me) local n = 1 "
                "for round = 1, 3 do pong_box:receive(me, 10 * round, n) "
                "ping_box:wait() local from, id, v = ping_box:pop() "
                "note('ping', from == pong, id, v) n = v end "
                "note('over') while true do actors.wait() end end"));
    EXPECT_NE(-1, frames_until("log[#log] == 'over'", 12));
    EXPECT_EQ("pong 10 1|ping true 11 2|pong 20 2|ping true 21 4|pong 30 4|ping true 31 8|over",
              notes());
}
}  // namespace
