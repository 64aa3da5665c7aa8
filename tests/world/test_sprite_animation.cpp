// Sprite objects: frames, scenes and states played on act frames, ways,
// colours, and the sprites functions that steer them.
#include "sprite_fixture.h"

namespace {
using SpriteAnimation = sprite_test;

const char* const classes =
    "W = {dir .. 'wide.bmp', nil, {32, 32}} "
    "sprites.class_create{name = 'run', image = W, frame = {ways = 1, {0}, {1}, {2}, {3}}, "
    "  scene = {{0, 3, 2, 2.0, -1}, {3, 4, 0, 1.0, -1}, {0, 2, 0, 1.5, -1}}, "
    "  state = {{0, -1}, {1, 0}, {2, 0}}} "
    "sprites.class_create{name = 'chain', image = W, frame = {ways = 1, {0}, {1}, {2}}, "
    "  scene = {{0, 1, 1, 1, 1}, {1, 2, 1, 1, -1}, {2, 3, 1, 1, -1}}, state = {{0, 1}, {2, -1}}} "
    "sprites.class_create{name = 'borrow', image = W, frame = {ways = 1, {0}}, "
    "  state = {{0, 0}, {0, 0, 'chain'}}} "
    "sprites.class_create{name = 'short', image = W, frame = {ways = 1, {0}}, "
    "  scene = {{0, 1}, {0, 1}, {0, 1}}, state = {{0, 0}, {2, 0, 'borrow'}}}";

// The frames a sprite shows over a number of advances (its frame index, or
// '-' once its animation has ended).
std::string play(sprite_object* s, int advances) {
    std::string shown = std::to_string(s->frame);
    for (int i = 0; i < advances; ++i) {
        shown += s->advance() ? std::to_string(s->frame) : std::string("-");
    }
    return shown;
}

TEST_F(SpriteAnimation, ScenesAndStatesPlayTheirFrames) {
    run(classes);
    struct play_case {
        const char* cls;
        int state;
        int advances;
        const char* shown;
    };
    const play_case cases[] = {
        // Two passes of three frames, two act frames each, then the end.
        {"run", 0, 12, "001122001122-"},
        // Repeat 0 loops for ever.
        {"run", 1, 5, "333333"},
        // A wait of 1.5: frames alternately one and two act frames long.
        {"run", 2, 6, "0110110"},
        // A scene's next scene, then the state's next state, then the end.
        {"chain", 0, 3, "012-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + std::to_string(c.state));
        st_sprite_class* cls = objects->sprites.find_class(c.cls);
        ASSERT_NE(nullptr, cls);
        sprite_object* s = objects->sprites.create_object(1, cls, c.state, 0, false);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(c.shown, play(s, c.advances));
        delete s;
    }
    // The short class's state 1 names scene 2 of 'borrow', which has one:
    // a sprite can't start there, and one that gets there ends.
    EXPECT_EQ(nullptr, objects->sprites.create_object(1, objects->sprites.find_class("short"), 1, 0, false));
    sprite_object* s = objects->sprites.create_object(1, objects->sprites.find_class("short"), 0, 0, false);
    ASSERT_NE(nullptr, s);
    s->pending_state = 1;
    EXPECT_FALSE(s->advance());
    EXPECT_EQ(-1, s->state);
    EXPECT_EQ(sprite_hidden | sprite_ended, s->flags & (sprite_hidden | sprite_ended));
    EXPECT_EQ(-1, s->frame_events[sprite_event_state_end]);
    delete s;
}

TEST_F(SpriteAnimation, StatesDrawnWithAnotherClassUseItsFrames) {
    run(classes);
    sprite_object* s = objects->sprites.create_object(1, objects->sprites.find_class("borrow"), 1, 0, false);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(objects->sprites.find_class("chain"), s->cls);
    // Its scenes chain in 'chain'; the state's next state is the own one.
    EXPECT_EQ("0100", play(s, 3));
    EXPECT_EQ(objects->sprites.find_class("borrow"), s->cls);
    delete s;
}

TEST_F(SpriteAnimation, PendingStatesWaysAndColours) {
    run(classes);
    run("s = sprites.create{'run', 0, 0, 0, 1, 0}");
    sprite_object* s = static_cast<sprite_object*>(lua_touserdata(L, (lua_getglobal(L, "s"), -1)));
    lua_pop(L, 1);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3, s->frame);
    // A pending state is answered at once and taken at the next advance.
    run("sprites.set_state(s, 0)");
    EXPECT_EQ(0, number("sprites.state(s)"));
    EXPECT_EQ(1, s->state);
    EXPECT_TRUE(s->advance());
    EXPECT_EQ(0, s->state);
    EXPECT_EQ(0, s->frame);
    // The current state again does not restart it.
    EXPECT_EQ(1, s->advance() ? s->frame_counter : -1);
    run("sprites.set_state(s, 0)");
    EXPECT_TRUE(s->advance());
    EXPECT_EQ(2, s->frame_counter);
    EXPECT_EQ(1, s->frame);
    log.lines.clear();
    run("sprites.set_state(s, 3)");
    EXPECT_TRUE(log.has("1 sprites.set_state: invalid state id 3"));
    EXPECT_EQ(0, number("sprites.state(s)"));

    // Ways 0 to 7 only; the failing ones keep the way.
    run("sprites.set_way(s, 5)");
    EXPECT_EQ(5, number("sprites.way(s)"));
    for (const char* bad : {"8", "-1"}) {
        log.lines.clear();
        run((std::string("sprites.set_way(s, ") + bad + ")").c_str());
        EXPECT_TRUE(log.has(std::string("1 sprites.set_way: invalid way ") + bad));
        EXPECT_EQ(5, number("sprites.way(s)"));
    }

    // Alpha scales the colour's alpha byte, ties to even, kept in a byte.
    struct colour_case {
        const char* call;
        uint32_t color;
    };
    const colour_case colours[] = {
        {"sprites.set_alpha(s, 0.5)", 0x80FFFFFF},
        {"sprites.set_color(s, 0x81336699)", 0x40336699},
        {"sprites.set_alpha(s, 2)", 0xFF336699},
        {"sprites.set_alpha(s, -1)", 0x00336699},
        {"sprites.set_alpha(s)", 0x81336699},
        {"sprites.set_color(s)", 0xFFFFFFFF},
    };
    for (const auto& c : colours) {
        SCOPED_TRACE(c.call);
        run(c.call);
        EXPECT_EQ(c.color, s->color);
    }
}

TEST_F(SpriteAnimation, SpriteFunctionsReadAndSteerBySpriteOnly) {
    run(classes);
    struct lua_case {
        const char* chunk;  // asserts on its own
    };
    const lua_case cases[] = {
        {"local s = sprites.create{'run', 10, 20, 3, 0, 2} "
         "local x, y, z = sprites.position(s) assert(x == 10 and y == 20 and z == 3) "
         "sprites.set_position(s, 1, '2', 'x') assert(sprites.x(s) == 1 and sprites.y(s) == 2 and sprites.z(s) == 0) "
         "local cx, cy = sprites.size(s) assert(cx == 32 and cy == 32) "
         "local l, t, r, b = sprites.rect(s) assert(l == -16 and t == -16 and r == 16 and b == 16) "
         "assert(sprites.statesize(s) == 3 and sprites.way(s) == 2)"},
        // Anything but a live sprite gives nils and does nothing.
        {"for _, v in ipairs{0, 'run', {}, true} do "
         "  assert(sprites.x(v) == nil and sprites.state(v) == nil and sprites.statesize(v) == nil) "
         "  assert(select('#', sprites.position(v)) == 3 and select('#', sprites.rect(v)) == 4) "
         "  sprites.set_position(v, 1, 2, 3) sprites.set_state(v, 0) sprites.release(v) "
         "end"},
        {"local s = sprites.create{'run', 0, 0, 0, 0, 0} sprites.release(s) "
         "assert(sprites.x(s) == nil) sprites.release(s)"},
        {"assert(sprites.class('run') == sprites.class(sprites.create{'run', 0, 0, 0, 0, 0})) "
         "assert(sprites.class('none') == nil and sprites.class(5) == nil)"},
        {"assert(sprites.class_lock('run') == true and sprites.class_is_locked('run') == true) "
         "sprites.class_unlock('run') "
         "assert(sprites.class_lock('none') == false and sprites.class_is_locked('none') == nil)"},
        // Script unlocks beyond the script's locks leave the sprites' own.
        {"local s = sprites.create{'run', 0, 0, 0, 0, 0} local held = lock_count('run') "
         "sprites.class_lock('run') sprites.class_unlock('run') sprites.class_unlock('run') "
         "sprites.class_unlock(sprites.class(s)) assert(lock_count('run') == held and held > 0)"},
        {"local s = sprites.create{'run', 0, 0, 0, 0, 0} "
         "sprites.visible(s, false) sprites.active(s, false) "
         "local flags = sprites_flags(s) assert(flags == 0xC0000000, flags) "
         "sprites.visible(s, 1) sprites.active(s, true) assert(sprites_flags(s) == 0)"},
    };
    lua_pushcfunction(L, [](lua_State* l) {
        lua_pushnumber(l, static_cast<sprite_object*>(lua_touserdata(l, 1))->flags & 0xF0000000u);
        return 1;
    });
    lua_setglobal(L, "sprites_flags");
    lua_pushcfunction(L, [](lua_State* l) {
        lua_pushnumber(l, sprite_manager::instance()->find_class(lua_tostring(l, 1))->lock_count);
        return 1;
    });
    lua_setglobal(L, "lock_count");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chunk);
        run(c.chunk);
    }
}

TEST_F(SpriteAnimation, BareSpritesGoWhenTheirAnimationEnds) {
    run(classes);
    log.lines.clear();
    run("s = sprites.create{'chain', 10, 20, 0, 0, 0}");
    EXPECT_TRUE(log.has("6 sprites.create: create sprite from chain"));
    EXPECT_TRUE(log.has("6 sprites.create: *anonymous*<chain> is created successfully"));
    run("named = sprites.create{'run', 1, 2, 0, 1, 0, 1, name = 'loop', zorder = 4}");
    EXPECT_TRUE(log.has("6 sprites.create: loop<run> is created successfully"));
    EXPECT_EQ(2u, objects->sprites.sprite_count());
    // The act clock decides: at rate 2 every other frame advances.
    objects->set_act_rate(2.0f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0, frame());
    EXPECT_EQ(10, number("sprites.x(s)"));
    EXPECT_EQ(0, frame());
    EXPECT_EQ("nil", text("sprites.x(s)"));
    EXPECT_EQ(1u, objects->sprites.sprite_count());
    EXPECT_EQ(1, number("sprites.x(named)"));
}
}  // namespace
