// The action library in a script world: its named native actions, the
// constructor globals and the common frame they share.
#include "actions_fixture.h"

#include "actions/native_actions.h"
#include "actions/request_action.h"
#include "world/actor_manager.h"

namespace {
using ActionLibrary = actions_test;

TEST_F(ActionLibrary, RegistersNativeActionsOnceAndSetsTheGlobals) {
    for (const char* name : {"init_action", "test_action", "test_player_action"}) {
        SCOPED_TRACE(name);
        const native_action* entry = actions->find_named(name);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(0u, entry->kind);
        EXPECT_EQ(0u, entry->init);
        EXPECT_EQ(nullptr, entry->parser);
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(test_action), actions->find_named("test_action")->entry);
    // A second registration fails and keeps the first entry; so does a
    // second run of the whole library.
    EXPECT_FALSE(native_action_register("test_action", actions.get(), nullptr, init_action));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(test_action), actions->find_named("test_action")->entry);
    action_library_register(L);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(init_action), actions->find_named("init_action")->entry);
    for (const char* global : {"new_request", "new_progress", "new_action"}) {
        SCOPED_TRACE(global);
        EXPECT_EQ("function", text((std::string("type(") + global + ")").c_str()));
    }
}

TEST_F(ActionLibrary, ConstructorsBuildObjectTablesOwnedByTheActor) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    objects->actors.create_object("named_one", objects->actors.find_class("plain"), actor_create_values{}, nullptr);
    struct ctor_case {
        const char* call;
        const char* methods;
    };
    const ctor_case cases[] = {
        {"new_request(a)", "owner release receive wait check empty pop get flush"},
        {"new_request('named_one')", "owner release receive"},
        {"new_progress(a)", "owner release term init progress count_up check finish max count"},
        {"new_action(a, function() end)", "owner release call"},
        {"new_action(a, 'test_action')", "owner release call"},
        {"new_action(a, {'init_action', 5})", "owner release call"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        const size_t before = listed();
        run((std::string("o = ") + c.call).c_str());
        ASSERT_EQ("table", text("type(o)"));
        EXPECT_EQ("userdata", text("type(o.object)"));
        std::string methods = c.methods;
        for (size_t at = 0; at < methods.size();) {
            size_t end = methods.find(' ', at);
            if (end == std::string::npos) end = methods.size();
            const std::string m = methods.substr(at, end - at);
            EXPECT_EQ("function", text(("type(o." + m + ")").c_str())) << m;
            at = end + 1;
        }
        EXPECT_EQ(before + 1, listed());
        EXPECT_TRUE(truth("o:owner() == a or o:owner() == actors.get('named_one')"));
        run("o:release()");
        EXPECT_EQ("nil", text("o.object"));
        EXPECT_EQ(before, listed());
    }
    EXPECT_EQ(0, a->extend_count);
}

TEST_F(ActionLibrary, FailedConstructionsGiveNilAndLeaveNothing) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    struct fail_case {
        const char* call;
        const char* logged;  // nullptr: nothing
    };
    const fail_case cases[] = {
        {"new_request('nobody')", nullptr},
        {"new_request(nil)", nullptr},
        {"new_request({})", nullptr},
        {"new_progress(42)", nullptr},
        {"new_action('nobody', function() end)", nullptr},
        {"new_action(a, 'no_such_action')", "1 actions.parse: invalid action name"},
        {"new_action(a, 17)", "1 actions.parse: invalid action type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        const size_t before = listed();
        const int top = lua_gettop(L);
        run((std::string("o = ") + c.call).c_str());
        EXPECT_EQ("nil", text("o"));
        EXPECT_EQ(before, listed());
        EXPECT_EQ(0, a->extend_count);
        EXPECT_EQ(top, lua_gettop(L));
        if (c.logged) EXPECT_TRUE(log.has(c.logged)) << c.logged;
    }
}

TEST_F(ActionLibrary, MethodsOfAnotherClassOrAReleasedObjectDoNothing) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    run("r = new_request(a) p = new_progress(a) c = new_action(a, function() called = true end)");
    // A progress object handed to a mailbox method is no mailbox.
    run("r.receive(p, nil, 1, 'x') c.call(r) e = r.empty(p)");
    EXPECT_EQ("nil", text("e"));
    EXPECT_EQ("nil", text("called"));
    EXPECT_TRUE(log.has("1 request_action.receive: invalid request object"));
    EXPECT_EQ(0u, object_of<request_action>("r")->requests.size());
    run("r:release() r:release() r:receive(nil, 1, 'x') a1, a2, a3 = r:pop()");
    EXPECT_EQ("nil", text("a1"));
    EXPECT_EQ(2, a->extend_count);
}

TEST_F(ActionLibrary, DeathOfTheOwnerDeletesItsActions) {
    actor_object* a = plain_actor("a");
    ASSERT_NE(nullptr, a);
    run("r = new_request(a) p = new_progress(a) c = new_action(a, function() end) "
        "r:receive(nil, 3, {})");
    EXPECT_EQ(3u, listed());
    actor_kill(a);
    frame();
    EXPECT_EQ(0u, listed());
    // The tables outlive their objects; their methods find nothing.
    run("e = r:empty() n = p:count()");
    EXPECT_EQ("nil", text("e"));
    EXPECT_EQ("nil", text("n"));
}

// The extend value that init_action leaves must outlive the creation
// call: the actor owns it, and the value it replaces is let go.
TEST_F(ActionLibrary, InitActionKeepsTheCreationValueAsTheActorsOwn) {
    run("weak = setmetatable({}, {__mode = 'v'})");
    st_actor_class* cls = make_class("keeper", 0, {{slot_init, "'init_action'"}});
    ASSERT_NE(nullptr, cls);
    actor_object* a = create_with(cls, "{n = 42}");
    ASSERT_NE(nullptr, a);
    // Long after the creation call's stack is gone, the value is there.
    run("collectgarbage() collectgarbage() for i = 1, 10 do local filler = {i} end");
    EXPECT_EQ(0, frame());
    ASSERT_EQ(script_value_reference, a->extend.kind);
    script_value_push(a->extend, L, L);
    lua_setglobal(L, "kept");
    EXPECT_EQ(42, number("kept.n"));

    // Called again with another value, it lets the old one go.
    run("weak[1] = kept kept = nil");
    init_action(a, nullptr, &a->slots[slot_mode], 0, script_value::integer(7));
    EXPECT_EQ(script_value_integer, a->extend.kind);
    EXPECT_EQ(7u, a->extend.data);
    run("collectgarbage() collectgarbage()");
    EXPECT_EQ("nil", text("weak[1]"));
}
}  // namespace
