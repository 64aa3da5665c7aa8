// Sprite class definition tables and sprite creation tables: every key's
// first error gives its one message; good tables give the documented class.
#include "sprite_fixture.h"

namespace {
using SpriteTables = sprite_test;

struct table_case {
    const char* table;  // Lua expression; W = wide.bmp (128 x 64) in 32 x 32 frames
    const char* message;
};

const char* const prelude =
    "function img(n) return dir .. n end "
    "W = {dir .. 'wide.bmp', nil, {32, 32}} "
    "function def(t) t.name = t.name or 'x' t.image = t.image or W return t end ";

TEST_F(SpriteTables, ClassDefinitionErrorsGiveTheFirstBadKeysMessage) {
    const table_case cases[] = {
        {"{}", "no spriteclass name"},
        {"{name = {}}", "no spriteclass name"},
        {"{name = 'x'}", "no image info"},
        {"{name = 'x', image = 5}", "no image info"},
        {"{name = 'x', image = {}}", "no image path"},
        {"{name = 'x', image = {img('missing.bmp')}}", "invalid image path"},
        {"{name = 'x', image = {img('text.bmp')}}", "fail to get image size"},
        {"def{image = {img('wide.bmp'), 5}}", "invalid rect"},
        {"def{image = {img('wide.bmp'), {'a'}}}", "invalid rect.left"},
        {"def{image = {img('wide.bmp'), {0, 'a'}}}", "invalid rect.top"},
        {"def{image = {img('wide.bmp'), {0, 0, 'a'}}}", "invalid rect.right"},
        {"def{image = {img('wide.bmp'), {0, 0, 1, 'a'}}}", "invalid rect.bottom"},
        {"def{image = {img('wide.bmp'), nil, 5}}", "invalid framesize"},
        {"def{image = {img('wide.bmp'), nil, {}}}", "no framesize.cx"},
        {"def{image = {img('wide.bmp'), nil, {32}}}", "no framesize.cy"},
        {"def{image = {img('wide.bmp'), nil, nil, 5}}", "invalid center"},
        {"def{image = {img('wide.bmp'), nil, nil, {}}}", "no center.x"},
        {"def{image = {img('wide.bmp'), nil, nil, {1}}}", "no center.y"},
        {"def{image = {img('wide.bmp'), nil, nil, {ways = 3, {1, 2}}}}", "invalid center[i].ways"},
        {"def{image = {img('wide.bmp'), nil, nil, {ways = 0, {1, 2}, {1, 2}, {1, 2}}}}", "invalid center[i].ways"},
        {"def{image = {img('wide.bmp'), nil, nil, {{1, 2}, {1, 2}}}}", "no center[i]"},
        {"def{image = {img('wide.bmp'), nil, nil, {ways = 8, {1, 2}}}}", "no center[i]"},
        {"def{image = {img('wide.bmp'), nil, nil, {ways = 1, {}}}}", "no center[i].x"},
        {"def{image = {img('wide.bmp'), nil, nil, {ways = 1, {1}}}}", "no center[i].y"},
        {"def{scale = 5}", "invalid max_scale"},
        {"def{scale = {'a'}}", "invalid max_scale.x"},
        {"def{scale = {1, 'a'}}", "invalid max_scale.y"},
        {"def{wait = 'a'}", "invalid default wait"},
        // Rows of cells must share the eight ways out evenly; no cell, no frame.
        {"def{image = {img('wide.bmp'), {0, 0, 128, 16}, {32, 32}}}", "no frame"},
        {"def{image = {img('tall.bmp'), nil, {32, 32}}}", "invalid framesize"},
        {"def{frame = 5}", "no frame"},
        {"def{frame = {}}", "no frame"},
        {"def{frame = {ways = 3, {0}}}", "invalid frame ways"},
        {"def{frame = {5}}", "invalid frame"},
        {"def{frame = {ways = 1, {id = 'a'}}}", "invalid frame[i].id"},
        {"def{frame = {ways = 1, {'a'}}}", "invalid frame[i].framepos"},
        {"def{frame = {ways = 1, {4}}}", "invalid frame[i].framepos[j].x"},
        {"def{frame = {ways = 1, {-1}}}", "invalid frame[i].framepos[j].x"},
        {"def{frame = {ways = 8, {0}}}", "invalid frame[i].framepos[j].y"},
        {"def{frame = {ways = 1, {{ways = 3}}}}", "invalid frame[i].framepos.ways"},
        {"def{frame = {ways = 1, {{}}}}", "no frame[i].framepos[j]"},
        {"def{frame = {ways = 1, {{{}}}}}", "no frame[i].framepos[j].x"},
        {"def{frame = {ways = 1, {{{0}}}}}", "no frame[i].framepos[j].y"},
        {"def{frame = {ways = 1, {{{0, 2}}}}}", "invalid frame[i].framepos[j].y"},
        {"def{frame = {ways = 1, {0}, {3}, {}}}", "invalid frame[i].framepos[j].x"},
        {"def{frame = {ways = 1, {0, 'a'}}}", "invalid frame[i].rotate"},
        {"def{frame = {ways = 1, {0, {ways = 3}}}}", "invalid frame[i].rotate.ways"},
        {"def{frame = {ways = 1, {0, {}}}}", "no frame[i].rotate[j]"},
        {"def{frame = {ways = 1, {0, 0, 5}}}", "invalid frame[i].scale"},
        {"def{frame = {ways = 1, {0, 0, {}}}}", "no frame[i].scale.cx"},
        {"def{frame = {ways = 1, {0, 0, {1}}}}", "no frame[i].scale.cy"},
        {"def{frame = {ways = 1, {0, 0, nil, 'a'}}}", "invalid frame[i].color"},
        {"def{frame = {ways = 1, {0, 0, nil, nil, 'a'}}}", "invalid frame[i].event[j]"},
        {"def{frame = {ways = 1, {0, 0, nil, nil, 1, 'a'}}}", "invalid frame[i].event[j]"},
        {"def{frame = {ways = 1, {0, event = 5}}}", "invalid frame[i].event"},
        {"def{frame = {ways = 1, {0, event = {'a'}}}}", "invalid frame[i].event[j]"},
        {"def{frame = {ways = 1, {0, shape = 5}}}", "invalid frame[i].shape"},
        {"def{frame = {ways = 1, {0, shape = {reference = 0}}}}", "invalid frame[i].shape.reference"},
        {"def{frame = {ways = 1, {0}, {1, shape = {copy = 1}}}}", "invalid frame[i].shape.copy"},
        {"def{frame = {ways = 1, {0, shape = {max = 5}}}}", "invalid frame[i].shape.max"},
        {"def{frame = {ways = 1, {0, shape = {max = 2, 5}}}}", "invalid frame[i].shape[id]"},
        {"def{frame = {ways = 1, {0, shape = {max = 1, ways = 3}}}}", "invalid shapes.ways"},
        {"def{frame = {ways = 1, {0, extend = 5}}}", "invalid frame[i].extend"},
        {"def{scene = 5}", "no scene"},
        {"def{scene = {}}", "no scene"},
        {"def{scene = {5}}", "invalid scene"},
        {"def{scene = {{}}}", "no scene[i].start"},
        {"def{scene = {{4, 4}}}", "invalid scene[i].start"},
        {"def{scene = {{0}}}", "no scene[i].end"},
        {"def{scene = {{0, 0}}}", "invalid scene[i].end"},
        {"def{scene = {{0, 5}}}", "invalid scene[i].end"},
        {"def{scene = {{0, 4, 'a'}}}", "invalid scene[i].repeat"},
        {"def{scene = {{0, 4, 1, 'a'}}}", "invalid scene[i].wait"},
        {"def{scene = {{0, 4, 1, 1, 'a'}}}", "invalid scene[i].next"},
        {"def{scene = {{0, 4, event = 5}}}", "invalid scene[i].event"},
        {"def{scene = {{0, 4, event = {1, 'a'}}}}", "invalid scene[i].event[j]"},
        {"def{scene = {{0, 4, 1, 1, 1}}}", "invalid scene[i].next"},
        {"def{state = 5}", "no state"},
        {"def{state = {5}}", "invalid state"},
        {"def{state = {{}}}", "no state[i].start"},
        {"def{state = {{1}}}", "invalid state[i].start"},
        {"def{state = {{0, 'a'}}}", "invalid state[i].next"},
        {"def{state = {{0, 0, 'nope'}}}", "state[i].class is not found"},
        {"def{state = {{0, 0, 1}}}", "invalid state[i].class id"},
        {"def{state = {{0, 0, {}}}}", "invalid state[i].class"},
        {"def{state = {{0, 1}}}", "invalid state[i].next"},
    };
    run(prelude);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        const std::string chunk = std::string("result = sprites.class_create(") + c.table + ")";
        run(chunk.c_str());
        EXPECT_EQ("nil", text("result"));
        EXPECT_EQ(std::vector<std::string>{c.message}, errors("sprites.class_create"));
        EXPECT_EQ(nullptr, objects->sprites.find_class("x"));
        EXPECT_EQ(0, lua_gettop(L));
    }
}

TEST_F(SpriteTables, GoodDefinitionsGiveTheirFramesScenesAndStates) {
    run(prelude);
    // Only a path: one frame of the whole image, pivot in its middle.
    run("a = sprites.class_create{name = 'one', image = {img('small.bmp')}}");
    EXPECT_TRUE(log.has("6 sprites.class_create: create sprite class one"));
    EXPECT_TRUE(log.has("6 sprites.class_create: one is created successfully"));
    st_sprite_class* one = objects->sprites.find_class("one");
    ASSERT_NE(nullptr, one);
    EXPECT_EQ("userdata", text("type(a)"));
    EXPECT_EQ(64, one->cx);
    EXPECT_EQ(32, one->cy);
    ASSERT_EQ(1u, one->frames.size());
    for (int w = 0; w < 8; ++w) {
        EXPECT_EQ(32.0f, one->centers[w][0]);
        EXPECT_EQ(16.0f, one->centers[w][1]);
    }
    ASSERT_EQ(1u, one->scenes.size());
    const st_sprite_scene& s = one->scenes[0];
    EXPECT_EQ(0, s.start);
    EXPECT_EQ(1, s.end);
    EXPECT_EQ(1, s.repeat);
    EXPECT_EQ(8.0f, s.wait);
    EXPECT_EQ(-1, s.next);
    ASSERT_EQ(1u, one->states.size());
    EXPECT_EQ(0, one->states[0].start_scene);
    EXPECT_EQ(0, one->states[0].next_state);
    EXPECT_EQ(0, one->states[0].class_ref);

    // Cut into 32 x 32 cells: four columns, the two rows share the ways.
    run("sprites.class_create{name = 'grid', image = {img('wide.bmp'), nil, {32, 32}, {ways = 0, {16, 16}, {16, 16}}}}");
    st_sprite_class* grid = objects->sprites.find_class("grid");
    ASSERT_NE(nullptr, grid);
    ASSERT_EQ(4u, grid->frames.size());
    for (int w = 0; w < 8; ++w) {
        EXPECT_EQ(64, grid->frames[2].x[w]);
        EXPECT_EQ(w < 4 ? 0 : 32, grid->frames[2].y[w]);
    }
    EXPECT_EQ(23, sprite_class_reach(grid, 1.0f, 1.0f));

    // Cell positions per way group, a later frame without one, rotation
    // per group, draw size, colour and events.
    run("sprites.class_create{name = 'cells', image = W, frame = {ways = 2, "
        "  {{ways = 2, {0, 0}, {1, 0}}, {ways = 2, 10, 20}, {64, 16}, 0x80FF0000, 3, 4},"
        "  {nil, 45, nil, nil, nil, nil, event = {7, 8}}},"
        "  scene = {{0, 2, 0, 1.5, -1, event = {5, 6}}}, state = {{0, -1}}}");
    st_sprite_class* cells = objects->sprites.find_class("cells");
    ASSERT_NE(nullptr, cells);
    ASSERT_EQ(2u, cells->frames.size());
    const st_sprite_frame& f0 = cells->frames[0];
    const st_sprite_frame& f1 = cells->frames[1];
    for (int w = 0; w < 8; ++w) {
        EXPECT_EQ(w < 4 ? 0 : 32, f0.x[w]);
        EXPECT_EQ(0, f0.y[w]);
        EXPECT_EQ(w < 4 ? 10.0f : 20.0f, f0.rotation[w]);
        EXPECT_EQ(w < 4 ? 32 : 64, f1.x[w]);  // the next cell of the row
        EXPECT_EQ(45.0f, f1.rotation[w]);
    }
    EXPECT_EQ(2.0f, f0.scale[0]);
    EXPECT_EQ(0.5f, f0.scale[1]);
    EXPECT_EQ(0x80FF0000u, f0.color);
    EXPECT_EQ(3, f0.events[0]);
    EXPECT_EQ(4, f0.events[1]);
    EXPECT_EQ(7, f1.events[0]);
    EXPECT_EQ(8, f1.events[1]);
    EXPECT_EQ(1.5f, cells->scenes[0].wait);
    EXPECT_EQ(0, cells->scenes[0].repeat);
    EXPECT_EQ(5, cells->scenes[0].events[0]);
    EXPECT_EQ(-1, cells->states[0].next_state);
    // The frame drawn twice as wide raises the reach.
    EXPECT_GT(objects->sprites.reach_x, 23);

    // A state drawn with another class names it by name, then by number.
    run("sprites.class_create{name = 'states', image = W, "
        "  state = {{0, 1}, {0, 0, 'one'}, {0, 0, 1}, {0, 0, 'grid'}}}");
    st_sprite_class* states = objects->sprites.find_class("states");
    ASSERT_NE(nullptr, states);
    EXPECT_EQ(0, states->states[0].class_ref);
    EXPECT_EQ(1, states->states[1].class_ref);
    EXPECT_EQ(1, states->states[2].class_ref);
    EXPECT_EQ(2, states->states[3].class_ref);
    EXPECT_EQ(one, states->state_class(1));
    EXPECT_EQ(grid, states->state_class(2));
}

TEST_F(SpriteTables, ANameIsTakenOnceAndTheDefaultWaitFollowsSpritesWait) {
    run(prelude);
    EXPECT_EQ(8, number("sprites.wait()"));
    EXPECT_EQ(8, number("sprites.wait(0)"));
    EXPECT_EQ(4, number("sprites.wait(4)"));
    run("first = sprites.class_create(def{})");
    st_sprite_class* first = objects->sprites.find_class("x");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(4.0f, first->scenes[0].wait);
    log.lines.clear();
    run("second = sprites.class_create{name = 'x', image = {img('small.bmp')}}");
    EXPECT_EQ("nil", text("second"));
    EXPECT_EQ(std::vector<std::string>{"specified class name is already existed"}, errors("sprites.class_create"));
    EXPECT_EQ(first, objects->sprites.find_class("x"));
    EXPECT_EQ(32, first->cx);
}

TEST_F(SpriteTables, SpriteCreationErrorsGiveTheFirstBadKeysMessage) {
    run(prelude);
    run("sprites.class_create{name = 'c', image = W, state = {{0, 0}, {0, 0}}}");
    const table_case cases[] = {
        {"{}", "no spriteclass name"},
        {"{name = {}, 'c'}", "invalid sprite name"},
        {"{'nope', 1, 2, 0, 0, 0}", "invalid class name"},
        {"{'c'}", "invalid position.x"},
        {"{'c', 1}", "invalid position.y"},
        {"{'c', 1, 2}", "invalid position.layer"},
        {"{'c', 1, 2, 0}", "invalid state"},
        {"{'c', 1, 2, 0, 0}", "invalid way"},
        {"{'c', 1, 2, 0, 0, 0, 'a'}", "invalid layer"},
        {"{'c', 1, 2, 0, 0, 0, zorder = 'a'}", "invalid actor zorder"},
        {"{'c', 1, 2, 0, 2, 0}", "initialization of sprite is failed"},
        {"{'c', 1, 2, 0, 0, 8}", "initialization of sprite is failed"},
        {"{'c', 1, 2, 0, 0, -1}", "initialization of sprite is failed"},
        {"{'c', 1, 2, 0, 0, 0, 7}", "initialization of sprite is failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run((std::string("result = sprites.create(") + c.table + ")").c_str());
        EXPECT_EQ("nil", text("result"));
        EXPECT_EQ(std::vector<std::string>{c.message}, errors("sprites.create"));
        EXPECT_EQ(0u, objects->sprites.sprite_count());
        EXPECT_EQ(0, lua_gettop(L));
    }
}
}  // namespace
