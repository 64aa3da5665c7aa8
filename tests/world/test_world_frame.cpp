// The frame of the world: act clock, passes, activation and death.
#include "world_fixture.h"

#include "world/actor_manager.h"
#include "world/live_objects.h"
#include "world/sprite_object.h"

namespace {
using WorldFrame = world_test;

TEST_F(WorldFrame, ActClockPicksOneFrameInEveryRate) {
    struct clock_case {
        float rate;
        const char* pattern;  // 1 for an act frame
    };
    const clock_case cases[] = {
        {1.0f, "1111111111"},
        {2.0f, "1010101010"},
        {2.5f, "1001010010"},
        {0.5f, "1111111111"},  // below 1.0 counts as 1.0
        {-3.0f, "1111111111"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        objects->initialize(nullptr);
        objects->set_act_rate(c.rate);
        std::string got;
        for (int i = 0; i < 10; ++i) {
            objects->update();
            got += objects->act_frame ? '1' : '0';
        }
        EXPECT_EQ(c.pattern, got);
    }
}

TEST_F(WorldFrame, ActClockKeepsItsPrecisionPastTheWrap) {
    objects->initialize(nullptr);
    objects->set_act_rate(2.0f);
    objects->act_counter = 1048570.0f;
    objects->next_act = 1048570.0f;
    std::string got;
    for (int i = 0; i < 16; ++i) {
        objects->update();
        got += objects->act_frame ? '1' : '0';
    }
    EXPECT_EQ("1010101010101010", got);
    EXPECT_LT(objects->act_counter, 1048576.0f);
}

TEST_F(WorldFrame, PassesFollowTheClassListsAndTheActRate) {
    run("counts = {frame = 0, act = 0, late = 0} "
        "function counter(key) return function() counts[key] = counts[key] + 1 end end");
    make_class("every", class_frame_list, {{slot_mode, "counter('frame')"}});
    make_class("act", 0, {{slot_mode, "counter('act')"}});
    make_class("late", class_late_list, {{slot_mode, "counter('late')"}});
    for (const char* name : {"every", "act", "late"}) ASSERT_NE(nullptr, create(objects->actors.find_class(name)));
    objects->set_act_rate(2.0f);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0, frame());
    EXPECT_EQ(6, number("counts.frame"));
    EXPECT_EQ(3, number("counts.act"));
    EXPECT_EQ(6, number("counts.late"));
}

TEST_F(WorldFrame, ActorsCreatedDuringThePassesWaitForTheirTurn) {
    // A frame-list actor creates in the first pass (activated at once); an
    // act-list actor creates in the second (activated at the frame's end).
    run("order = {} "
        "function made(tag) return function(a, ctx, ev) "
        "  if ev == 0 then order[#order+1] = tag .. ' step' "
        "  else order[#order+1] = tag .. string.format(' %x', ev) end end end");
    st_actor_class* early = make_class("early", class_system_events,
                                       {{slot_mode, "made('early')"}, {slot_catch, "made('early')"}});
    st_actor_class* late = make_class("late", class_system_events,
                                      {{slot_mode, "made('late')"}, {slot_catch, "made('late')"}});
    static actor_manager* manager;
    static st_actor_class* classes[2];
    manager = &objects->actors;
    classes[0] = early;
    classes[1] = late;
    static int created = 0;
    created = 0;
    lua_pushcfunction(L, [](lua_State* s) -> int {
        const int which = static_cast<int>(lua_tointeger(s, 1));
        manager->create_object(nullptr, classes[which], actor_create_values{}, nullptr);
        ++created;
        return 0;
    });
    lua_setglobal(L, "spawn");
    make_class("spawner_frame", class_frame_list, {{slot_mode, "function() if not f then f = true spawn(0) end end"}});
    make_class("spawner_act", 0, {{slot_mode, "function() if not g then g = true spawn(1) end end"}});
    create(objects->actors.find_class("spawner_frame"));
    create(objects->actors.find_class("spawner_act"));

    EXPECT_EQ(0, frame());
    EXPECT_EQ(2, created);
    // early: created in the first pass, started at once, stepped in the
    // second pass of the same frame. late: started at the end of the frame.
    EXPECT_EQ("early 70000001,early step,late 70000001", text("table.concat(order, ',')"));
    EXPECT_EQ(3u, objects->actors.act_list.size());  // spawner_act, early, late
    EXPECT_TRUE(objects->actors.new_list.empty());
    run("order = {}");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("early step,late step", text("table.concat(order, ',')"));
}

TEST_F(WorldFrame, DeathTakesTwoPhasesAndRecordsGoWithTheLastReference) {
    run("function dead(a) deaths = (deaths or 0) + 1 end");
    st_actor_class* cls = make_class("mortal", 0, {{slot_dead, "dead"}, {slot_mode, "function() end"}});
    const uint32_t live_before = live_object_count();
    actor_object* parent = create(cls);
    actor_object* child = create(cls, nullptr, parent);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(2, parent->ref_count);  // the manager and the child

    actor_kill(parent);
    EXPECT_TRUE(parent->flags & actor_dying);
    EXPECT_FALSE(parent->flags & actor_dead);
    // The child sees its parent dying on its step and follows it; both
    // final kills come at the end of the frame.
    EXPECT_EQ(0, frame());
    EXPECT_EQ(2, number("deaths"));
    EXPECT_TRUE(child->flags & actor_dead);
    EXPECT_EQ(2u, objects->actors.release_list.size());
    EXPECT_EQ(0, frame());
    EXPECT_TRUE(objects->actors.release_list.empty());
    EXPECT_EQ(live_before, live_object_count());

    // A reference held elsewhere keeps the record until it is reassigned.
    actor_object* victim = create(cls);
    actor_object* held = nullptr;
    actor_ref_assign(held, victim);
    actor_kill(victim);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(0, frame());
    EXPECT_TRUE(live_object_is(victim, live_actor));
    EXPECT_EQ(1u, objects->actors.release_list.size());
    actor_ref_assign(held, nullptr);
    EXPECT_EQ(0, frame());
    EXPECT_FALSE(live_object_is(victim, live_actor));
    EXPECT_EQ(live_before, live_object_count());
}

TEST_F(WorldFrame, SpecialListActorsAreFreedToo) {
    const uint32_t live_before = live_object_count();
    for (uint32_t flags : {class_frame_list, class_late_list}) {
        SCOPED_TRACE(flags);
        st_actor_class* cls = make_class(nullptr, flags | class_anonymous, {{slot_mode, "function() end"}});
        actor_object* actor = create(cls);
        ASSERT_NE(nullptr, actor);
        actor_kill(actor);
        frame();
        frame();
        EXPECT_EQ(live_before, live_object_count());
    }
}

TEST_F(WorldFrame, SleepingActorsKeepTheirSpriteEvents) {
    run("function catch(a, ctx, ev) caught = (caught or '') .. ev .. ' ' end");
    st_actor_class* cls = make_class("sleeper", 0, {{slot_catch, "catch"}});
    actor_object* actor = create(cls);
    actor->sprite = new sprite_object;
    actor->sprite->frame_events[0] = 3;
    actor->sprite->frame_events[2] = 5;
    actor->flags |= actor_asleep;
    frame();
    EXPECT_EQ(3, actor->sprite->frame_events[0]);
    actor->flags &= ~actor_asleep;
    frame();
    EXPECT_EQ("3 5 ", text("caught"));
    EXPECT_EQ(0, actor->sprite->frame_events[0]);
    // A negative first event asks for the actor's death.
    actor->sprite->frame_events[0] = -1;
    frame();
    EXPECT_TRUE(actor->flags & actor_dead);
}

TEST_F(WorldFrame, NamedObjectsOutliveTheirActors) {
    run("function init(a, v) got = v end function dead(a) return 'left behind' end");
    st_actor_class* cls = make_class("hero", 0, {{slot_init, "init"}, {slot_dead, "dead"}});
    st_actor_class* other = make_class("villain", 0, {{slot_init, "init"}, {slot_dead, "dead"}});
    actor_object* first = create(cls, "player");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(nullptr, create(cls, "player"));
    EXPECT_TRUE(log.has("specified named object player already exists"));

    lua_pushstring(L, "player");
    EXPECT_EQ(first, to_actor(L, -1));
    lua_pop(L, 1);

    actor_kill(first);
    frame();
    frame();  // the record is gone; the entry stays for its stored value
    EXPECT_FALSE(live_object_is(first, live_actor));
    lua_pushstring(L, "player");
    EXPECT_EQ(nullptr, to_object(L, -1));
    lua_pop(L, 1);
    ASSERT_NE(nullptr, create(cls, "player"));
    EXPECT_EQ("left behind", text("got"));

    // Another class under the name: warned, and no stored value.
    actor_kill(objects->actors.find_named_object("player")->actor);
    frame();
    run("got = nil");
    ASSERT_NE(nullptr, create(other, "player"));
    EXPECT_TRUE(log.has("2 actors.create: named object class is not equal, new=villain"));
    EXPECT_EQ("nil", text("got"));

    // An entry holding nothing more goes with its last actor.
    actor_object* passing = create(make_class("quiet", 0, {}), "passer");
    ASSERT_NE(nullptr, objects->actors.find_named_object("passer"));
    actor_kill(passing);
    frame();
    EXPECT_NE(nullptr, objects->actors.find_named_object("passer"));  // still referenced
    frame();
    EXPECT_EQ(nullptr, objects->actors.find_named_object("passer"));

    // Unnamed actors share the "" entry, which never keeps anything.
    actor_object* nobody = create(cls);
    actor_kill(nobody);
    frame();
    frame();
    const named_object_entry* unnamed = objects->actors.find_named_object("");
    ASSERT_NE(nullptr, unnamed);
    EXPECT_EQ(nullptr, unnamed->actor);
    EXPECT_EQ(script_value_none, unnamed->stored.kind);
}

TEST_F(WorldFrame, ClassesAndScriptReferences) {
    st_actor_class* cls = make_class("solid", class_system_events, {{slot_mode, "function() end"}});
    // A second definition under the name fails and leaves the first alone.
    EXPECT_EQ(nullptr, objects->actors.allocate_class("solid", class_late_list));
    EXPECT_TRUE(log.has("specific class name is already existed"));
    EXPECT_EQ(cls, objects->actors.find_class("solid"));
    EXPECT_EQ(class_system_events, cls->flags);

    actor_object* actor = create(cls);
    objects->actors.discard_class(cls);
    EXPECT_EQ(nullptr, objects->actors.find_class("solid"));
    EXPECT_TRUE(live_object_is(cls, live_actor_class));  // still used
    EXPECT_EQ(0, frame());  // the disabled class's actor dies
    EXPECT_TRUE(actor->flags & actor_dead);
    EXPECT_FALSE(live_object_is(cls, live_actor_class));

    // Script references resolve only to live objects.
    actor_object* live = create(make_class("fresh", 0, {}));
    struct ref_case {
        void* pointer;
        bool resolves;
    };
    int local = 0;
    const ref_case refs[] = {{live, true}, {actor, true}, {&local, false}, {nullptr, false}};
    for (const auto& r : refs) {
        lua_pushlightuserdata(L, r.pointer);
        EXPECT_EQ(r.resolves ? r.pointer : nullptr, to_actor(L, -1));
        lua_pop(L, 1);
    }
    frame();
    frame();  // the dead actor's record is gone now
    lua_pushlightuserdata(L, actor);
    EXPECT_EQ(nullptr, to_object(L, -1));
    lua_pushnumber(L, 12);
    EXPECT_EQ(nullptr, to_object(L, -1));
    lua_pop(L, 2);
}
}  // namespace

namespace {
TEST_F(WorldFrame, ActorsHoldHandlesWhileTheyLive) {
    run("function dead(a) error('dead fails') end");
    st_actor_class* cls = make_class("handled", 0, {{slot_dead, "dead"}});
    actor_object* a = create(cls);
    actor_object* b = create(cls);
    EXPECT_EQ(1u, a->id);
    EXPECT_EQ(2u, b->id);
    EXPECT_EQ(a, objects->container.find_actor(1));
    actor_kill(a);
    // A failing dead function is reported but fails nothing.
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0, script_error_status);
    EXPECT_TRUE(log.has("dead fails"));
    EXPECT_EQ(nullptr, objects->container.find_actor(1));
    actor_object* c = create(cls);
    EXPECT_EQ(1u, c->id);  // the freed id comes back first
    EXPECT_EQ(c, objects->container.find_actor(1));
}
}  // namespace
