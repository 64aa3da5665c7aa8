// Actor class definition tables and actor creation tables.
#include "sprite_fixture.h"

#include "world/actor_manager.h"
#include "world/live_objects.h"

namespace {
using ActorTables = sprite_test;

struct table_case {
    const char* table;
    const char* message;
};

const char* const prelude =
    "sprites.class_create{name = 's', image = {dir .. 'wide.bmp', nil, {32, 32}}} "
    "function def(t) t.name = t.name or 'x' t.param = t.param or {0} return t end ";

TEST_F(ActorTables, ClassDefinitionErrorsGiveTheFirstBadKeysMessage) {
    const table_case cases[] = {
        {"{name = {}}", "invalid actorclass name"},
        {"def{group = {}}", "invalid actorclass group name"},
        {"def{localname = {}}", "invalid actorclass group name"},
        {"def{sprite = 5}", "invalid sprite param"},
        {"def{sprite = {}}", "no sprite class name"},
        {"def{sprite = {'s', 5}}", "invalid sprite offset"},
        {"def{sprite = {'s', {}}}", "no sprite offset.x"},
        {"def{sprite = {'s', {1}}}", "no sprite offset.y"},
        {"def{sprite = {'s', {1, 2, 'a'}}}", "invalid sprite offset.z"},
        {"def{sprite = 'none'}", "invalid sprite class name"},
        {"{name = 'x'}", "no param info"},
        {"{name = 'x', param = 5}", "no param info"},
        {"{name = 'x', param = {}}", "no type"},
        {"def{param = {0, 5}}", "invalid normal speed"},
        {"def{param = {0, {}}}", "no normal speed.x"},
        {"def{param = {0, {1}}}", "no normal speed.y"},
        {"def{param = {0, nil, 5}}", "invalid min speed"},
        {"def{param = {0, nil, {}}}", "no min speed.x"},
        {"def{param = {0, nil, {1}}}", "no min speed.y"},
        {"def{param = {0, nil, nil, 5}}", "invalid max speed"},
        {"def{param = {0, nil, nil, {}}}", "no max speed.x"},
        {"def{param = {0, nil, nil, {1}}}", "no max speed.y"},
        {"def{param = {0, event = 5}}", "invalid event"},
        {"def{param = {0, event = {1, 'a'}}}", "invalid event[i]"},
        {"def{param = {0, rect = 5}}", "invalid rect"},
        {"def{param = {0, rect = {}}}", "no rect.left"},
        {"def{param = {0, rect = {1}}}", "no rect.top"},
        {"def{param = {0, rect = {1, 2}}}", "no rect.right"},
        {"def{param = {0, rect = {1, 2, 3}}}", "no rect.bottom"},
        {"def{shape = 5}", "invalid shape"},
        {"def{shape = {5}}", "invalid shape[i]"},
        {"def{body = 5}", "invalid body"},
        {"def{body = {index = 'a'}}", "invalid body.index"},
        {"def{body = {index = 4}}", "invalid body.index"},
        {"def{body = {ways = 2}}", "invalid body.ways"},
        {"def{body = {}}", "no body[i]"},
        {"def{body = {'a'}}", "no body[i]"},
        {"def{body = {0}}", "invalid shape id for body[i]"},
        {"def{shape = {{0}}, body = {1}}", "invalid shape id for body[i]"},
        {"def{shape = {{9}}}", "invalid shape[i]"},
        {"def{body = {{0, 1}}}", "invalid body[i]"},
        {"def{body = {{0}, mass = 'a'}}", "invalid body.attribute"},
        {"def{sensor = {{0}, cond = {}}}", "invalid sensor.attribute"},
        {"def{sensor = 5}", "invalid sensor"},
        {"def{sensor = {index = 4}}", "invalid sensor.index"},
        {"def{sensor = {{}, {}, {}}}", "invalid shapes.ways"},
        {"def{sensor = {ways = 2, sets = 4, {}, {}}}", "invalid shapes.sets"},
        {"def{sensor = {ways = 2, sets = 2, {0}, 'a'}}", "invalid shapes[way]"},
        {"def{sensor = {ways = 2, sets = 2, {0}, 0}}", "invalid shapes[way]"},
        {"def{sensor = {ways = 2, sets = 2, {0}, {2, 0}}}", "invalid shapes[way]"},
        {"def{sound = 5}", "invalid sound list"},
        {"def{sound = {num = 'a'}}", "invalid sound.num"},
        {"def{sound = {5}}", "invalid sound[i]"},
        {"def{sound = {'bell'}}", "invalid sound name"},
        {"def{action = 5}", "invalid action list"},
        {"def{action = {init = 5}}", "invalid init event"},
        {"def{action = {dead = 5}}", "invalid dead event"},
        {"def{action = {mode2 = 'no such action'}}", "invalid mode event"},
        {"def{action = {collide = 5}}", "invalid collide event"},
        {"def{action = {catch = 5}}", "invalid catch event"},
        {"def{action = {save = 5}}", "invalid save event"},
        {"def{param = {0x100000}, action = {start = 5}}", "invalid start event"},
        {"def{extend = 5}", "invalid extend"},
    };
    run(prelude);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run((std::string("result = actors.class_create(") + c.table + ")").c_str());
        EXPECT_EQ("nil", text("result"));
        EXPECT_EQ(std::vector<std::string>{c.message}, errors("actors.class_create"));
        EXPECT_EQ(nullptr, objects->actors.find_class("x"));
        EXPECT_EQ(0, lua_gettop(L));
    }
    // A failed class gave its sprite-class lock back.
    EXPECT_EQ(0, objects->sprites.find_class("s")->lock_count);
}

TEST_F(ActorTables, GoodClassesTakeTheirKeys) {
    run(prelude);
    run("a = actors.class_create{name = 'A', sprite = 's', param = {1}}");
    st_actor_class* a = objects->actors.find_class("A");
    ASSERT_NE(nullptr, a);
    EXPECT_TRUE(log.has("6 actors.class_create: create actor class A"));
    EXPECT_TRUE(log.has("6 actors.class_create: A is created successfully"));
    EXPECT_EQ(class_named | class_sprite_locked | 1u, a->flags);
    EXPECT_EQ(objects->sprites.find_class("s"), a->sprite_class);
    EXPECT_EQ(1, a->sprite_class->lock_count);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0.0f, a->speed[i][0]);
        EXPECT_EQ(0.0f, a->speed[i][1]);
    }
    const float around_pivot[4] = {-16, -16, 16, 16};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(around_pivot[i], a->rect[i]);
    for (const action_definition& d : a->actions) EXPECT_EQ(nullptr, d.entry);

    // Speeds default to the normal one; sound slots up to num stay empty.
    run("actors.class_create{param = {2, {1, 2}, nil, {3, 4}, event = {5, 6}, rect = {0, 0, 8, 4}}, "
        "  name = 'B', sprite = {'s', {1, 2, 3}}, sound = {num = 3}, body = {index = 2}, extend = {k = 1}}");
    st_actor_class* b = objects->actors.find_class("B");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(1.0f, b->speed[1][0]);
    EXPECT_EQ(2.0f, b->speed[1][1]);
    EXPECT_EQ(3.0f, b->speed[2][0]);
    EXPECT_EQ(5, b->start_event);
    EXPECT_EQ(6, b->dead_event);
    EXPECT_EQ(8.0f, b->rect[2]);
    EXPECT_EQ(3.0f, b->sprite_offset[2]);
    EXPECT_EQ(3u, b->sounds.size());
    EXPECT_EQ(2u, b->body_index);
    EXPECT_EQ(script_value_reference, b->extend.kind);

    // Start mode: the start function becomes the coroutine; init and dead
    // are not read at all.
    run("actors.class_create{name = 'C', param = {0x100000}, "
        "  action = {start = function() actors.wait() end, init = 5, dead = 5}}");
    st_actor_class* c = objects->actors.find_class("C");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(coaction::act_init, c->actions[slot_mode].init);
    EXPECT_EQ(coaction::act_main, c->actions[slot_mode].entry);
    EXPECT_EQ(nullptr, c->actions[slot_init].entry);

    // An unnamed class is anonymous and in no map.
    run("anon = actors.class_create{param = {0}}");
    EXPECT_TRUE(log.has("6 actors.class_create: *anonymous* is created successfully"));
    EXPECT_EQ("userdata", text("type(anon)"));
}

TEST_F(ActorTables, ADuplicateClassWritesBothLines) {
    run(prelude);
    run("actors.class_create{name = 'A', param = {3}}");
    log.lines.clear();
    run("result = actors.class_create{name = 'A', param = {4}}");
    EXPECT_EQ("nil", text("result"));
    EXPECT_TRUE(log.has("1 actors.create: specific class name is already existed"));
    EXPECT_EQ(std::vector<std::string>{"specified class name is already existed, or no memory"},
              errors("actors.class_create"));
    EXPECT_EQ(3u, objects->actors.find_class("A")->flags & class_level_mask);
}

TEST_F(ActorTables, CreationErrorsGiveTheFirstBadKeysMessage) {
    run(prelude);
    run("actors.class_create{name = 'A', sprite = 's', param = {0}}");
    const table_case cases[] = {
        {"{}", "no actorclass name"},
        {"{5, 1, 2, 0}", "no actorclass name"},
        {"{'none', 1, 2, 0}", "invalid class name"},
        {"{{name = {}}, 1, 2, 0}", "creating *anonymous* class is failed"},
        {"{'A', name = {}}", "invalid actor name"},
        {"{'A', group = {}}", "invalid actor group name"},
        {"{'A', localname = {}}", "invalid actor group name"},
        {"{'A', parent = 'nobody'}", "invalid actor parent name"},
        {"{'A', parent = 5}", "invalid actor parent name"},
        {"{'A', sprite = 5}", "invalid sprite class name"},
        {"{'A', sprite = 'none'}", "invalid sprite class name"},
        {"{'A'}", "invalid position.x"},
        {"{'A', 1}", "invalid position.y"},
        {"{'A', 1, 2}", "invalid position.layer"},
        {"{'A', 1, 2, 0, 'a'}", "invalid state"},
        {"{'A', 1, 2, 0, 0, 'a'}", "invalid way"},
        {"{'A', 1, 2, 0, 0, 0, 'a'}", "invalid vector.x"},
        {"{'A', 1, 2, 0, 0, 0, 0, 'a'}", "invalid vector.y"},
        {"{'A', 1, 2, 0, zorder = 'a'}", "invalid actor zorder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run((std::string("result = actors.create(") + c.table + ")").c_str());
        EXPECT_EQ("nil", text("result"));
        EXPECT_EQ(std::vector<std::string>{c.message}, errors("actors.create"));
        EXPECT_EQ(0, lua_gettop(L));
        EXPECT_EQ(0, actions->embed_count);
    }
    EXPECT_EQ(0u, objects->actors.act_list.size());
    EXPECT_EQ(0u, objects->sprites.sprite_count());
}

TEST_F(ActorTables, ActorsStartFromTheirCreationTables) {
    run(prelude);
    run("actors.class_create{name = 'A', sprite = {'s', {4, 5}}, param = {0x10100}}");
    log.lines.clear();
    run("a = actors.create{'A', 100, 50, 0}");
    actor_object* a = objects->actors.act_list.at(0);
    EXPECT_EQ("userdata", text("type(a)"));
    const std::string created = "6 actors.create: *anonymous*<A> is created successfully (" + std::to_string(a->id) + ")";
    EXPECT_TRUE(log.has("6 actors.create: create object from A"));
    EXPECT_TRUE(log.has(created));
    EXPECT_EQ(100.0f, a->position[0]);
    EXPECT_EQ(50.0f, a->position[1]);
    EXPECT_EQ(0, a->way);
    ASSERT_NE(nullptr, a->sprite);
    EXPECT_EQ(a, a->sprite->owner);
    EXPECT_EQ(104.0f, a->sprite->x);
    EXPECT_EQ(55.0f, a->sprite->y);
    EXPECT_FALSE(a->sprite->release_when_ended);
    EXPECT_EQ(0u, a->sprite->flags & sprite_hidden);

    // An inline class; a way the sprite can't take creates nothing.
    struct create_case {
        const char* table;
        const char* line;
    };
    const create_case cases[] = {
        {"{{param = {0}}, 1, 2, 0, name = 'n'}", "6 actors.create: n<*anonymous*> is created successfully"},
        {"{'A', 1, 2, 0, 0, 8}", "6 actors.create: *anonymous*<A> is not created (-1)"},
        {"{{sprite = 's', param = {0}}, 1, 2, 0, 0, -1}", "6 actors.create: *anonymous*<*anonymous*> is not created (-1)"},
        {"{'A', 1, 2, 0, 1, 0}", "6 actors.create: *anonymous*<A> is not created (-1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run((std::string("actors.create(") + c.table + ")").c_str());
        EXPECT_TRUE(log.has(c.line));
    }
    EXPECT_EQ(2u, objects->actors.act_list.size());
    EXPECT_EQ(1u, objects->sprites.sprite_count());  // the inline class has no sprite
    EXPECT_EQ(0, actions->embed_count);
}

TEST_F(ActorTables, TheStartCoroutineMustYieldInsideCreate) {
    run("actors.class_create{name = 'co', param = {0x100000}, action = {start = function(a, v) "
        "  seen = v actors.wait() moved = true end}} "
        "actors.class_create{name = 'quick', param = {0x100000}, action = {start = function() end}} "
        "actors.class_create{name = 'bad', param = {0x100000}, action = {start = function() error('boom') end}} "
        "actors.class_create{name = 'table', param = {0x110000}, action = {start = function(a, v) "
        "  seen = v[2] actors.wait() end}}");
    struct co_case {
        const char* table;
        bool created;
        const char* seen;
    };
    const co_case cases[] = {
        {"{'co', 0, 0, 0, init = 'hello'}", true, "hello"},
        {"{'quick', 0, 0, 0}", false, "nil"},
        {"{'bad', 0, 0, 0}", false, "nil"},
        {"{'table', 7, 0, 0}", true, "7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        run("seen = nil");
        run((std::string("result = actors.create(") + c.table + ")").c_str());
        EXPECT_EQ(c.created ? "userdata" : "nil", text("type(result)"));
        EXPECT_EQ(c.seen, text("seen"));
    }
    // Failures of the first run do not fail the frame.
    EXPECT_EQ(0, frame());
    EXPECT_EQ("true", text("moved"));
}
}  // namespace
