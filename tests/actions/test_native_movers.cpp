// The two test movers on a real screen: the bouncing eight-way mover and
// the one steered by the first input.
#include <algorithm>

#include "../graphics/device_fixture.h"
#include "../world/sprite_fixture.h"
#include "actions/action_library.h"
#include "actions/native_actions.h"

namespace {
constexpr int screen_width = 200;
constexpr int screen_height = 150;

class Movers : public sprite_test {
protected:
    void SetUp() override {
        sprite_test::SetUp();
        window = make_test_window(screen_width, screen_height);
        ASSERT_TRUE(screen->create() && screen->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
                    screen->initialize(window));
        ASSERT_EQ(uint32_t(screen_width), screen->client_width());
        ASSERT_EQ(uint32_t(screen_height), screen->client_height());
        action_library_register(L);
        run("log = {} function note(...) log[#log + 1] = table.concat({...}, ' ') end");
        reading = player_input_reading{};
        reading.codes = codes;
        for (int32_t& c : codes) c = 0;
        action_library_hooks hooks;
        hooks.first_input = [](player_input_reading& out) {
            out = reading;
            return true;
        };
        set_action_library_hooks(hooks);
    }
    void TearDown() override {
        set_action_library_hooks(action_library_hooks{});
        sprite_test::TearDown();
        if (window) DestroyWindow(window);
    }
    st_actor_class* mover_class(const char* name, const char* action) {
        st_actor_class* cls = make_class(name, 0, {{slot_mode, action}, {slot_catch, "caught"}});
        if (cls) {
            cls->speed[0][0] = 4.0f;
            cls->speed[0][1] = 10.0f;
            cls->speed[1][0] = 1.0f;
            cls->speed[1][1] = 2.0f;
            cls->speed[2][0] = 8.0f;
            cls->speed[2][1] = 20.0f;
        }
        return cls;
    }

    std::string notes() {
        std::string all = text("table.concat(log, '|')");
        run("log = {}");
        return all;
    }

    HWND window = nullptr;
    static player_input_reading reading;
    static int32_t codes[128];
};
player_input_reading Movers::reading;
int32_t Movers::codes[128];

TEST_F(Movers, TestActionMovesByWayAndTurnsAtTheScreenEdge) {
    run("function caught() end");
    st_actor_class* cls = mover_class("bouncer", "'test_action'");
    ASSERT_NE(nullptr, cls);
    struct way_case {
        int32_t way;
        float x, y;          // start
        float vx, vy;        // the step taken
        int32_t way_after;
    };
    const way_case cases[] = {
        {0, 100, 70, 0, 10, 0},
        {1, 100, 70, 0.7f * 4, 0.7f * 10, 1},
        {2, 100, 70, 4, 0, 2},
        {3, 100, 70, 0.7f * 4, -0.7f * 10, 3},
        {4, 100, 70, 0, -10, 4},
        {5, 100, 70, -0.7f * 4, -0.7f * 10, 5},
        {6, 100, 70, -4, 0, 6},
        {7, 100, 70, -0.7f * 4, 0.7f * 10, 7},
        // Leaving on the right, the bottom, the left, the top: reversed.
        {2, 198, 70, 4, 0, 6},
        {0, 100, 145, 0, 10, 4},
        {6, 2, 70, -4, 0, 2},
        {3, 100, 3, 0.7f * 4, -0.7f * 10, 7},
        // Exactly on the edge is still on the screen.
        {2, 196, 70, 4, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("way " + std::to_string(c.way) + " at " + std::to_string(c.x));
        actor_object* a = create(cls);
        ASSERT_NE(nullptr, a);
        a->set_way(c.way);
        a->set_position(c.x, c.y, 0);
        EXPECT_EQ(0, frame());
        EXPECT_FLOAT_EQ(c.vx, a->vector[0]);
        EXPECT_FLOAT_EQ(c.vy, a->vector[1]);
        EXPECT_FLOAT_EQ(0.0f, a->vector[2]);
        EXPECT_FLOAT_EQ(c.x + c.vx, a->position[0]);
        EXPECT_FLOAT_EQ(c.y + c.vy, a->position[1]);
        EXPECT_EQ(c.way_after, a->way);
        actor_kill(a);
        frame();
    }
}

// With a body the mover goes through the collision world: a wall stops it
// where the old position-plus-vector step would have walked through.
TEST_F(Movers, TestActionCollidesThroughItsBody) {
    run("function caught() end "
        "actors.class_create{name = 'walker', param = {0, {4, 10}}, body = {{0, -5, -5, 5, 5}}, "
        "  action = {default = 'test_action'}} "
        "actors.class_create{name = 'wall', param = {0}, body = {{0, -5, -50, 5, 50}}} "
        "w = actors.create{'walker', 100, 70, 0} actors.set_way(w, 2) "
        "actors.create{'wall', 120, 70, 0}");
    lua_getglobal(L, "w");
    actor_object* w = to_actor(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(nullptr, w);
    ASSERT_NE(nullptr, w->body);
    float furthest = 0;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(0, frame());
        furthest = std::max(furthest, w->position[0]);
        EXPECT_EQ(w->position[0], w->body->position[0]);
    }
    EXPECT_GE(furthest, 104.0f) << "it moved at all";
    EXPECT_LE(furthest, 110.0f) << "it stopped at the wall";
}

TEST_F(Movers, PlayerActionFollowsTheFirstInput) {
    run("function caught(actor, ctx, ev) note('event', ev) end");
    st_actor_class* cls = mover_class("player", "'test_player_action'");
    ASSERT_NE(nullptr, cls);
    struct input_case {
        const char* name;
        float ax, ay;
        int32_t dx, dy;
        int32_t code116, code124;
        float vx, vy;
        int32_t way;  // -1: unchanged from 5
    };
    const input_case cases[] = {
        {"idle", 0, 0, 0, 0, 0, 0, 0, 0, -1},
        {"right", 1, 0, 3, 0, 0, 0, 4, 0, 2},
        {"down right", 0.5f, 1, 1, 2, 0, 0, 2, 10, 1},
        {"up right", 1, -1, 1, -1, 0, 0, 4, -10, 3},
        {"up", 0, -1, 0, -4, 0, 0, 0, -10, 4},
        {"down", 0, 1, 0, 1, 0, 0, 0, 10, 0},
        {"left", -1, 0, -2, 0, 0, 0, -4, 0, 6},
        {"down left", -1, 1, -1, 1, 0, 0, -4, 10, 7},
        {"up left", -1, -1, -1, -1, 0, 0, -4, -10, 5},
        // Speed modes: 116 held is mode 1, else 124 held mode 2; a cleared
        // hold (0x80000000) or a release (-1) counts as not held.
        {"slow", 1, 1, 1, 1, 3, 5, 1, 2, 1},
        {"fast", 1, 1, 1, 1, 0, 2, 8, 20, 1},
        {"cleared", 1, 1, 1, 1, INT32_MIN, -1, 4, 10, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        actor_object* a = create(cls);
        ASSERT_NE(nullptr, a);
        a->set_way(5);
        a->set_position(50, 50, 0);
        reading.axis[0] = c.ax;
        reading.axis[1] = c.ay;
        reading.direction[0] = c.dx;
        reading.direction[1] = c.dy;
        codes[116] = c.code116;
        codes[124] = c.code124;
        EXPECT_EQ(0, frame());
        EXPECT_FLOAT_EQ(c.vx, a->vector[0]);
        EXPECT_FLOAT_EQ(c.vy, a->vector[1]);
        EXPECT_FLOAT_EQ(50 + c.vx, a->position[0]);
        EXPECT_FLOAT_EQ(50 + c.vy, a->position[1]);
        EXPECT_EQ(c.way < 0 ? 5 : c.way, a->way);
        actor_kill(a);
        frame();
    }
    EXPECT_EQ("", notes());
}

TEST_F(Movers, PlayerButtonsRaiseEventsOnlyWhenFreshlyNegative) {
    run("function caught(actor, ctx, ev) note('event', ev) end");
    st_actor_class* cls = mover_class("buttons", "'test_player_action'");
    ASSERT_NE(nullptr, cls);
    actor_object* a = create(cls);
    ASSERT_NE(nullptr, a);
    codes[16] = -1;
    codes[17] = 5;
    codes[18] = INT32_MIN;
    codes[19] = -1;
    codes[20] = -1;  // not a button of the mover
    EXPECT_EQ(0, frame());
    EXPECT_EQ("event 1|event 4", notes());
    // Without an input nothing happens at all.
    set_action_library_hooks(action_library_hooks{});
    a->set_position(10, 10, 0);
    reading.axis[0] = 1;
    EXPECT_EQ(0, frame());
    EXPECT_EQ("", notes());
    EXPECT_FLOAT_EQ(10.0f, a->position[0]);
}

TEST_F(Movers, PlayerAnimationFollowsMovementAndSpeed) {
    run("W = {dir .. 'wide.bmp', nil, {32, 32}} "
        "sprites.class_create{name = 'walk', image = W, frame = {ways = 1, {0}, {1}, {2}, {3}}, "
        "  scene = {{0, 1, 0, 1}, {1, 2, 0, 1}, {2, 3, 0, 1}, {3, 4, 0, 1}}, "
        "  state = {{0, 0}, {1, 0}, {2, 0}, {3, 0}}} "
        "sprites.class_create{name = 'two', image = W, frame = {ways = 1, {0}, {1}}, "
        "  scene = {{0, 1, 0, 1}, {1, 2, 0, 1}}, state = {{0, 0}, {1, 0}}} "
        "function caught() end "
        "actors.class_create{name = 'walker', sprite = 'walk', param = {0, {4, 4}}, "
        "  action = {default = 'test_player_action', catch = caught}} "
        "actors.class_create{name = 'short', sprite = 'two', param = {0, {4, 4}}, "
        "  action = {default = 'test_player_action', catch = caught}}");
    struct anim_case {
        const char* cls;
        int32_t start_state;
        int32_t dx;
        int32_t code124;
        int32_t requested;  // -1 none
    };
    const anim_case cases[] = {
        {"walker", 0, 1, 0, 1},
        {"walker", 1, 0, 0, 0},
        {"walker", 0, 1, 3, 2},
        // A state beyond 2 is the script's own: left alone.
        {"walker", 3, 1, 0, -1},
        // A class with two states cannot show the running index.
        {"short", 0, 1, 3, -1},
        {"short", 0, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + std::to_string(c.start_state));
        actor_object* a = create(objects->actors.find_class(c.cls));
        ASSERT_NE(nullptr, a);
        ASSERT_NE(nullptr, a->sprite);
        a->sprite->set_state(c.start_state, true);
        a->sprite->pending_state = -1;
        reading.direction[0] = c.dx;
        reading.axis[0] = float(c.dx);
        codes[124] = c.code124;
        test_player_action(a, nullptr, &a->slots[slot_mode], 0, script_value{0, 0});
        EXPECT_EQ(c.requested, a->sprite->pending_state);
        actor_kill(a);
        frame();
    }
}
}  // namespace
