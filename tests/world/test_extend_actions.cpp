// Extend actions: listed, updated with their owner, suspended, restored
// and destroyed with it, reachable from scripts.
#include "world_fixture.h"

#include "world/actor_manager.h"
#include "world/extend_action.h"
#include "world/live_objects.h"

namespace {
std::vector<std::string> calls;

class probe_action : public extend_action {
public:
    explicit probe_action(const char* tag) : tag_(tag) {}
    ~probe_action() override { calls.push_back(tag_ + " destroy"); }
    bool update() override {
        calls.push_back(tag_ + " update");
        const bool result = ok;  // on_update may delete this action
        if (on_update) on_update(this);
        return result;
    }
    void suspend() override { calls.push_back(tag_ + " suspend"); }
    bool restore() override {
        calls.push_back(tag_ + " restore");
        return true;
    }
    void (*on_update)(probe_action*) = nullptr;
    bool ok = true;
    probe_action* other = nullptr;

private:
    std::string tag_;
};

using ExtendActions = world_test;

std::string joined() {
    std::string all;
    for (const auto& c : calls) all += (all.empty() ? "" : ",") + c;
    calls.clear();
    return all;
}

TEST_F(ExtendActions, FollowTheirOwnersLife) {
    calls.clear();
    st_actor_class* cls = make_class("owner", 0, {});
    actor_object* a = create(cls);
    actor_object* b = create(cls);
    auto* a1 = new probe_action("a1");
    auto* b1 = new probe_action("b1");
    auto* a2 = new probe_action("a2");
    extend_action_bind(a1, a, nullptr, nullptr);
    extend_action_bind(b1, b, nullptr, nullptr);
    extend_action_bind(a2, a, nullptr, nullptr);
    extend_action_bind(a2, b, nullptr, nullptr);  // an owner is taken once
    EXPECT_EQ(2, a->extend_count);
    EXPECT_EQ(1, b->extend_count);

    EXPECT_TRUE(extend_actions_update());
    EXPECT_EQ("a1 update,b1 update,a2 update", joined());
    b1->ok = false;
    EXPECT_FALSE(extend_actions_update());
    joined();
    b1->ok = true;

    // Asleep, above the act level, or suspended owners are not updated.
    a->flags |= actor_asleep;
    b->act_level = 100;
    objects->actors.act_level = 50;
    extend_actions_update();
    EXPECT_EQ("", joined());
    a->flags &= ~actor_asleep;
    objects->actors.act_level = 255;

    // Leaving run state 0 suspends once; coming back restores.
    a->set_run_state(run_waiting);
    a->set_run_state(run_frozen);
    EXPECT_EQ("a1 suspend,a2 suspend", joined());
    extend_actions_update();
    EXPECT_EQ("b1 update", joined());
    a->set_run_state(run_running);
    EXPECT_EQ("a1 restore,a2 restore", joined());
    a->set_run_state(run_running);
    EXPECT_EQ("", joined());

    // The owner's final kill destroys its actions.
    actor_kill(a);
    frame();
    EXPECT_EQ("a1 update,b1 update,a2 update,a1 destroy,a2 destroy", joined());
    EXPECT_EQ(0, a->extend_count);
    EXPECT_EQ(1u, actions->extend_list().size());
}

TEST_F(ExtendActions, UpdateSurvivesReleasesDuringTheWalk) {
    struct release_case {
        const char* what;
        void (*on_update)(probe_action*);
        const char* expected;
    };
    const release_case cases[] = {
        {"itself", [](probe_action* p) { extend_action_delete(p); }, "x update,x destroy,y update,z update"},
        {"the next one", [](probe_action* p) { extend_action_delete(p->other); },
         "x update,y destroy,z update"},
        // The one updating goes last, when its update ends.
        {"the owner's others", [](probe_action* p) { extend_actions_destroy(p->owner); },
         "x update,y destroy,z destroy,x destroy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        actor_object* owner = create(make_class(nullptr, class_anonymous, {}));
        auto* x = new probe_action("x");
        auto* y = new probe_action("y");
        auto* z = new probe_action("z");
        for (probe_action* p : {x, y, z}) extend_action_bind(p, owner, nullptr, nullptr);
        x->other = y;
        x->on_update = c.on_update;
        extend_actions_update();
        EXPECT_EQ(c.expected, joined());
        if (live_object_is(x, live_extend_action)) x->on_update = nullptr;
        extend_actions_update();  // the list is whole again
        calls.clear();
        objects->actors.clear_all();
        EXPECT_TRUE(actions->extend_list().empty());
        calls.clear();
    }
}

TEST_F(ExtendActions, ScriptsReachActionsThroughTheirTables) {
    calls.clear();
    actor_object* owner = create(make_class("owner", 0, {}));
    set_global_pointer("owner", owner);
    auto* first = new probe_action("first");
    auto* second = new probe_action("second");
    extend_action_bind(first, owner, L, extend_action_base_methods);
    lua_setglobal(L, "t1");
    extend_action_bind(second, owner, nullptr, nullptr);

    run("assert(t1:owner() == owner)");
    run("local a, b, c = actors.extend_action(owner) "
        "n = select('#', actors.extend_action(owner)) "
        "assert(a.object ~= nil and b.object ~= nil and c == nil) "
        "b:release() "
        "assert(b.object == nil and b:owner() == nil)");
    EXPECT_EQ(2, number("n"));
    EXPECT_EQ("second destroy", joined());
    EXPECT_EQ(1, owner->extend_count);
    run("t1:release() t1:release()");  // a table without a live object is left alone
    EXPECT_EQ("first destroy", joined());
    EXPECT_EQ(0, owner->extend_count);
    EXPECT_EQ(0, number("select('#', actors.extend_action(owner))"));
    EXPECT_EQ(0, number("select('#', actors.extend_action(12))"));
    EXPECT_TRUE(log.has("1 actors.extend_action: invalid actor"));

    // A forged object field resolves to nothing.
    run("forged = {object = owner} setmetatable(forged, {__index = t1}) forged:release()");
    EXPECT_TRUE(live_object_is(owner, live_actor));
}
}  // namespace
