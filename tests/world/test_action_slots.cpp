// Action definitions, binding into slots, and events at the catch slot.
#include "world_fixture.h"

#include "world/actor_manager.h"
#include "world/live_objects.h"

namespace {
int parser_calls = 0;
bool parser_saw_nil = false;
int32_t count_parser(action_definition* d, lua_State* L) {
    ++parser_calls;
    parser_saw_nil = lua_isnil(L, -1);
    d->param = make_value(script_value_integer, static_cast<uintptr_t>(lua_tointeger(L, -1)));
    lua_pop(L, 1);
    return lua_tointeger(L, -1) < 0 ? 1 : 0;  // never refuses in these tests
}
int32_t refusing_parser(action_definition*, lua_State* L) {
    lua_pop(L, 1);
    return 1;
}
int native_calls = 0;
int32_t native_entry(actor_object*, void*, action_slot*, int32_t, script_value) {
    ++native_calls;
    return 0;
}

using ActionParse = world_test;
using ActorEvents = world_test;

TEST_F(ActionParse, DefinitionsFromScriptValues) {
    ASSERT_TRUE(native_action_register("counted", actions.get(), count_parser, native_entry));
    ASSERT_TRUE(native_action_register("refusing", actions.get(), refusing_parser, native_entry));
    ASSERT_TRUE(native_action_register("plain", actions.get(), nullptr, native_entry));
    struct parse_case {
        const char* value;
        bool ok;
        action_entry entry;
        uint32_t param_kind;
        const char* message;
    };
    const parse_case cases[] = {
        {"nil", true, nullptr, script_value_none, nullptr},
        {"function() end", true, action_manager::script_action, script_value_none, nullptr},
        {"{function() end, 5}", true, action_manager::script_action, script_value_reference, nullptr},
        {"{function() end}", true, action_manager::script_action, script_value_none, nullptr},
        {"'plain'", true, native_entry, script_value_none, nullptr},
        {"{'plain', 9}", true, native_entry, script_value_none, nullptr},
        {"{'counted', 7}", true, native_entry, script_value_integer, nullptr},
        {"'missing'", false, nullptr, 0, "invalid action name"},
        {"{'refusing', 1}", false, nullptr, 0, "invalid action name"},
        {"12", false, nullptr, 0, "invalid action type"},
        {"{12}", false, nullptr, 0, "invalid action type"},
        {"true", false, nullptr, 0, "invalid action type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        log.lines.clear();
        lua_pushstring(L, "below");
        const int top = lua_gettop(L);
        run((std::string("parsed = ") + c.value).c_str());
        lua_getglobal(L, "parsed");
        action_definition d;
        EXPECT_EQ(c.ok, actions_parse(L, &d));
        EXPECT_EQ(top, lua_gettop(L));  // the value is gone, nothing else
        EXPECT_STREQ("below", lua_tostring(L, -1));
        lua_pop(L, 1);
        if (c.ok) {
            EXPECT_EQ(c.entry, d.entry);
            EXPECT_EQ(c.param_kind, d.param.kind);
        } else {
            EXPECT_TRUE(log.has(std::string("1 actions.parse: ") + c.message));
        }
        action_definition_release(d, L);
    }
    // {"counted"} hands the parser nil as its parameter.
    parser_calls = 0;
    run("parsed = {'counted'}");
    lua_getglobal(L, "parsed");
    action_definition d;
    EXPECT_TRUE(actions_parse(L, &d));
    EXPECT_EQ(1, parser_calls);
    EXPECT_TRUE(parser_saw_nil);
}

TEST_F(ActionParse, DuplicateNamesKeepTheFirstEntry) {
    EXPECT_TRUE(native_action_register("once", actions.get(), nullptr, native_entry));
    EXPECT_FALSE(native_action_register("once", actions.get(), count_parser, nullptr));
    const native_action* entry = actions->find_named("once");
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(native_entry), entry->entry);
    EXPECT_EQ(nullptr, entry->parser);
}

TEST_F(ActionParse, ScriptDefinedActionsOutliveTheClassesUsingThem) {
    // A named action whose functions live in the registry: classes using it
    // come and go, the named entry must keep working.
    run("function named_init(actor, p) return {'from init'} end "
        "function named_frame(actor, ctx, ev, v) events[#events+1] = v[1] end");
    lua_getglobal(L, "named_init");
    const int32_t init = world_ref_take(L);
    lua_getglobal(L, "named_frame");
    const int32_t frame_ref = world_ref_take(L);
    ASSERT_TRUE(actions->add_named("scripted", native_action{1, nullptr, static_cast<uintptr_t>(init),
                                                             static_cast<uintptr_t>(frame_ref)}));
    for (int round = 0; round < 3; ++round) {
        st_actor_class* cls = make_class(nullptr, class_anonymous, {{slot_mode, "'scripted'"}});
        actor_object* actor = create(cls);
        ASSERT_NE(nullptr, actor);
        EXPECT_EQ(0, frame());
        actor_kill(actor);
        EXPECT_EQ(0, frame());
        EXPECT_EQ(0, frame());  // record deleted, anonymous class with it
    }
    run("collectgarbage()");
    // Each round: one act frame alive, one more while dying.
    EXPECT_EQ(6, number("#events"));
    EXPECT_EQ("from init", text("events[6]"));
}

TEST_F(ActionParse, BindingCopiesOnlyTableInitValues) {
    run("function frame(actor, ctx, ev, v) events[#events+1] = v end");
    struct bind_case {
        const char* init;
        const char* seen;  // what the per-frame function receives
    };
    const bind_case cases[] = {
        {"{10, 20, nil, 40}", "table 2"},  // the array part up to the first nil
        {"nil", "nil"},
        {"7", "nil"},
        {"'text'", "nil"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.init);
        run("events = {}");
        st_actor_class* cls = make_class(nullptr, class_anonymous, {{slot_mode, "frame"}});
        actor_object* actor = create_with(cls, c.init);
        ASSERT_NE(nullptr, actor);
        EXPECT_EQ(0, frame());
        EXPECT_EQ(c.seen, text("type(events[1]) == 'table' and 'table ' .. #events[1] or events[1]"));
        if (actor->slots[slot_mode].state.kind == script_value_reference) {
            run("assert(events[1][1] == 10 and events[1][2] == 20)");
        }
        actor_kill(actor);
        frame();
        frame();
    }
}

TEST_F(ActorEvents, CatchSlotReceivesIdContextAndValue) {
    run("function catch(actor, ctx, ev, v) "
        "  events[#events+1] = {actor = actor, ctx = ctx, ev = ev, v = v} end");
    st_actor_class* cls = make_class("catcher", 0, {{slot_catch, "catch"}});
    actor_object* actor = create(cls);
    ASSERT_NE(nullptr, actor);
    actor_object* other = create(cls);
    set_global_pointer("me", actor);
    set_global_pointer("other", other);

    EXPECT_EQ(0, actor_throw_event(actor, 5, other, make_value(script_value_integer, uintptr_t(77))));
    EXPECT_EQ(0, actor_throw_event(actor, 6, nullptr, {0, 0}));
    run("assert(events[1].actor == me and events[1].ctx == other and events[1].ev == 5 and events[1].v == 77)");
    run("assert(events[2].ctx == nil and events[2].ev == 6 and events[2].v == nil)");

    // A negative id kills instead of reaching the slot; a second kill is quiet.
    EXPECT_EQ(0, actor_throw_event(actor, -1, nullptr, {0, 0}));
    EXPECT_TRUE(actor->flags & actor_dying);
    EXPECT_EQ(2, number("#events"));
    EXPECT_EQ(0, frame());
    EXPECT_TRUE(actor->flags & actor_dead);
    // The dead receive nothing.
    EXPECT_EQ(0, actor_throw_event(actor, 8, nullptr, {0, 0}));
    EXPECT_EQ(2, number("#events"));
}

TEST_F(ActorEvents, SystemEventsOnlyForClassesThatAskForThem) {
    run("function catch(actor, ctx, ev, v) events[#events+1] = string.format('%x', ev) end");
    struct system_case {
        uint32_t flags;
        int32_t start_event, dead_event;
        const char* expected;
    };
    const system_case cases[] = {
        {class_system_events, 0, 0, "70000001 70000002"},
        {class_system_events, 10, 20, "70000001 a 70000002 14"},
        {0, 10, 20, "a 14"},
        {0, 0, 0, ""},
        {class_system_events | class_frame_list, 3, 0, "70000001 3 70000002"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        run("events = {}");
        st_actor_class* cls = make_class(nullptr, c.flags | class_anonymous, {{slot_catch, "catch"}});
        cls->start_event = c.start_event;
        cls->dead_event = c.dead_event;
        actor_object* actor = create(cls);
        ASSERT_NE(nullptr, actor);
        actor_kill(actor);
        actor_kill(actor);  // nothing more
        frame();
        frame();
        EXPECT_EQ(c.expected, text("table.concat(events, ' ')"));
    }
}

TEST_F(ActorEvents, ValueRulesOfLuaActions) {
    // Per frame: the event's value, else the slot state, else the extend
    // value, else nil. Init: the creation value, else the slot state, else
    // the stored value of the actor's name.
    run("function init(actor, v) events[#events+1] = 'init ' .. tostring(type(v) == 'table' and v[1] or v) "
        "  return 'extend' end "
        "function frame(actor, ctx, ev, v) "
        "  events[#events+1] = 'frame ' .. tostring(type(v) == 'table' and v[1] or v) end "
        "function plain(actor, ctx, ev, v) events[#events+1] = 'plain ' .. tostring(v) end "
        "function dead(actor, v) return 'kept' end");
    st_actor_class* with_init = make_class("with_init", class_system_events,
                                           {{slot_init, "init"}, {slot_mode, "frame"}, {slot_catch, "frame"},
                                            {slot_dead, "dead"}});
    st_actor_class* bare = make_class("bare", 0, {{slot_mode, "plain"}});

    actor_object* a = create_with(with_init, "{'state'}");
    ASSERT_NE(nullptr, a);
    actor_object* b = create(bare);
    ASSERT_NE(nullptr, b);
    actor_throw_event(a, 3, nullptr, make_value(script_value_integer, uintptr_t(9)));
    frame();
    // The system event and the thrown one come without a value of their own.
    EXPECT_EQ("init state,frame state,frame 9,frame state,plain nil", text("table.concat(events, ',')"));
    actor_kill(a);
    actor_kill(b);
    frame();
    run("events = {}");

    // Extend value reaches a per-frame function when the slot has no state.
    actor_object* c = create(with_init, "named");
    ASSERT_NE(nullptr, c);
    frame();
    EXPECT_EQ("init nil,frame extend,frame extend", text("table.concat(events, ',')"));
    run("events = {}");

    // The dead result waits under the name and greets the next actor.
    actor_kill(c);
    frame();
    run("events = {}");
    ASSERT_NE(nullptr, create(with_init, "named"));
    EXPECT_EQ("init kept", text("events[1]"));
}
}  // namespace
