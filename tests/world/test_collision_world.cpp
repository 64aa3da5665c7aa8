// The collision world with actors: sensors reporting into collide slots,
// the two moves, gravity, responses, pushing and effects.
#include <cmath>
#include <string>
#include <vector>

#include "world/actor_manager.h"
#include "world/collision_counters.h"
#include "world/collision_manager.h"
#include "world_fixture.h"

namespace {
// Classes: a sensing actor 'S' that logs its collide events, plain bodies
// 'T' and 'U' (ids 3 and 4), and a box that moves 'M'.
const char* const classes =
    "function sensing(name, attr) "
    "  return actors.class_create{name = name, param = {0}, "
    "    sensor = {{0, -5, -5, 5, 5}, id = 7, attr = attr or 0}, "
    "    action = {collide = function(self, other, event, value) "
    "      events[#events + 1] = (names[other] or '?') .. ':' .. event .. ':' .. tostring(value) end}} "
    "end "
    "names = {} "
    "function make(class, x, y, z) local a = actors.create{class, x, y, z or 0} names[a] = class .. x "
    "  return a end "
    "actors.class_create{name = 'T', param = {0}, body = {{0, -5, -5, 5, 5}, id = 3}} "
    "actors.class_create{name = 'U', param = {0}, body = {{0, -5, -5, 5, 5}, id = 4, type = 2}} ";

class collision_world : public world_test {
protected:
    void SetUp() override {
        world_test::SetUp();
        run(classes);
    }
    collision_manager& world() { return objects->actors.collision; }
    std::string events() {
        std::string out;
        run("event_text = table.concat(events, ' ') events = {}");
        return text("event_text");
    }
    actor_object* actor(const char* global) {
        lua_getglobal(L, global);
        actor_object* a = to_actor(L, -1);
        lua_pop(L, 1);
        return a;
    }
};

using CollisionSensors = collision_world;

TEST_F(CollisionSensors, HitsReachTheCollideSlotWithTheirIdRules) {
    struct id_case {
        const char* attr;
        const char* events;
    };
    // Own id and nothing; own id and the other's id; the other's id.
    const id_case cases[] = {
        {"0", "T10:7:nil U12:7:nil"},
        {"0x2000", "T10:7:3 U12:7:4"},
        {"0x1000", "U12:4:nil"},  // a body of type 0 never matches then
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attr);
        run((std::string("sensing('S', ") + c.attr + ") s = make('S', 5, 0) "
             "make('T', 10, 0) make('U', 12, 0) make('T', 30, 0) make('U', 12, 0, 1)").c_str());
        EXPECT_EQ(0, frame());
        EXPECT_EQ(c.events, events());
        // Every frame again while they overlap.
        EXPECT_EQ(0, frame());
        EXPECT_EQ(c.events, events());
        run("for a in pairs(names) do actors.kill(a) end names = {} actors.class_dispose('S')");
        EXPECT_EQ(0, frame());
        EXPECT_EQ(0, frame());
        EXPECT_TRUE(world().bodies.empty());
        EXPECT_TRUE(world().sensors.empty());
    }
}

TEST_F(CollisionSensors, NearestAndFarthestReportOnce) {
    run("sensing('N', 0x10000000) sensing('F', 0x20000000) make('N', 0, 0) make('F', 0, 100) "
        "make('T', 6, 0) make('T', 3, 0) make('T', -8, 0) "
        "make('T', 6, 100) make('T', 3, 100) make('T', -8, 100)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T3:7:nil T-8:7:nil", events());
    const uint32_t tests = *collision_counters[count_sensor_test];
    const uint32_t hits = *collision_counters[count_sensor_collide];
    EXPECT_EQ(0, frame());
    EXPECT_EQ(12u, *collision_counters[count_sensor_test] - tests);
    EXPECT_EQ(6u, *collision_counters[count_sensor_collide] - hits);
}

TEST_F(CollisionSensors, WhoIsSensedAndWhoSenses) {
    // An actor's sensor never reports its own body.
    run("actors.class_create{name = 'B', param = {0}, body = {{0, -5, -5, 5, 5}}, "
        "  sensor = {{0, -5, -5, 5, 5}, id = 7}, "
        "  action = {collide = function() events[#events + 1] = 'self' end}} "
        "b = make('B', 0, 0)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("", events());

    run("sensing('S') s = make('S', 100, 0) t = make('T', 104, 0) make('U', 100, 0, 1)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T104:7:nil", events());  // the body on layer 1 is elsewhere

    // Asleep sensors do not sense, asleep bodies are not sensed.
    run("actors.sleep(s, true)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("", events());
    run("actors.sleep(s, false) actors.sleep(t, true)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("", events());
    run("actors.sleep(t, false)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T104:7:nil", events());

    // A sensor whose cond does not take the other's type.
    run("actors.class_create{name = 'C', param = {0}, sensor = {{0, -5, -5, 5, 5}, cond = 1}, "
        "  action = {collide = function(self, other) events[#events + 1] = names[other] end}} "
        "make('C', 200, 0) make('U', 200, 0) make('T', 204, 0)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T104:7:nil T204", events());

    // A killed body is not sensed in the frame of its death, and its
    // bodies go at the next disposal.
    const size_t bodies = world().bodies.size();
    run("actors.kill(t)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T204", events());
    EXPECT_EQ(0, frame());
    EXPECT_EQ(bodies - 1, world().bodies.size());
}

TEST_F(CollisionSensors, ACollideSlotMayKillAndCreateDuringThePass) {
    run("actors.class_create{name = 'K', param = {0}, sensor = {{0, -5, -5, 5, 5}}, "
        "  action = {collide = function(self, other) events[#events + 1] = names[other] "
        "    actors.kill(other) for i = 1, 50 do make('T', 1000 + i, 0) end end}} "
        "make('K', 0, 0) make('T', 2, 0) make('T', 3, 0)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T2 T3", events());
    EXPECT_EQ(0, frame());
    EXPECT_EQ("", events());
}

using CollisionMoves = collision_world;

TEST_F(CollisionMoves, ABodyFallsOntoAFloorAndStays) {
    st_shape* floor_shape = shape_alloc();
    floor_shape->type = shape_box;
    const float fb[4] = {-100, -5, 100, 5};
    std::copy(fb, fb + 4, floor_shape->bounds);
    shape_update_bounds(floor_shape);
    st_body* floor = world().add_body(nullptr, world().defaults, floor_shape);
    floor->position[1] = 20;
    world().gravity[1] = 1.0f;
    run("actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}, attr = 0x400000}} "
        "m = actors.create{'M', 0, 0, 0}");
    actor_object* m = actor("m");
    ASSERT_NE(nullptr, m->body);
    uint32_t code = 0;
    for (int i = 0; i < 30; ++i) {
        code = m->move2();
        ASSERT_LE(m->position[1], 10.0f) << i;
    }
    // Resting on the floor within the margin; no speed into it.
    EXPECT_GE(m->position[1], 9.4f);
    EXPECT_EQ(0.0f, m->body->vector[1]);
    EXPECT_EQ(0x1000010u, code);
    EXPECT_EQ(0x1000010u, m->body->collide);
    EXPECT_EQ(floor, m->body->collided);
    // The sprite-less actor follows its body.
    EXPECT_EQ(m->body->position[1], m->position[1]);
    run("ok, code = actors.move2(m) id, other = actors.collide_info(m)");
    EXPECT_EQ("false", text("ok"));
    EXPECT_EQ(double(0x1000010), number("id"));
    EXPECT_EQ("nil", text("other"));  // the floor has no owner

    // Full restitution on both sides bounces.
    world().gravity[1] = 0.0f;
    floor->attr.reflect = 1.0f;
    m->body->attr.reflect = 1.0f;
    m->set_position(0, 0, 0);
    m->set_vector(0, 10, 0);
    m->move2();
    EXPECT_NEAR(-10.0f, m->body->vector[1], 1e-4f);
    // Touching at 9.5, then back up with what was left of the move.
    EXPECT_NEAR(9.0f, m->position[1], 1e-4f);
    body_release(floor);
}

TEST_F(CollisionMoves, ContactsForgetBodiesThatAreGone) {
    run("actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "floor = make('T', 0, 20) m = actors.create{'M', 0, 0, 0, 0, 0, 0, 20}");
    run("actors.move2(m) id, other = actors.collide_info(m)");
    EXPECT_EQ("true", text("other == floor"));
    run("actors.set_position(m, 0, 15, 0)");
    EXPECT_EQ(-1, body_find_overlap(&world(), actor("m")->body));
    run("actors.kill(floor)");
    frame();
    frame();
    run("id, other = actors.collide_info(m)");
    EXPECT_EQ("nil", text("other"));
    EXPECT_EQ(nullptr, actor("m")->body->collided);
    EXPECT_EQ(0, body_find_overlap(&world(), actor("m")->body));
}

TEST_F(CollisionMoves, LeftoverMotionIsCarriedAtMostFourUnits) {
    st_shape* floor_shape = shape_alloc();
    floor_shape->type = shape_box;
    const float fb[4] = {-100, -5, 100, 5};
    std::copy(fb, fb + 4, floor_shape->bounds);
    shape_update_bounds(floor_shape);
    st_body* floor = world().add_body(nullptr, world().defaults, floor_shape);
    floor->position[1] = 20;
    floor->attr.reflect = 1.0f;
    world().pass_count = 1;
    run("actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}, reflect = 1}} "
        "m = actors.create{'M', 0, 0, 0, 0, 0, 0, 100}");
    actor_object* m = actor("m");
    m->move2();
    EXPECT_NEAR(0.0f, m->body->carry[0], 1e-5f);
    EXPECT_NEAR(-4.0f, m->body->carry[1], 1e-4f);
    body_release(floor);
}

TEST_F(CollisionMoves, SlidingAlongAWallAndTheCollisionSwitch) {
    run("actors.class_create{name = 'W', param = {0}, body = {{0, -5, -50, 5, 50}}} "
        "actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "make('W', 12, 0) m = actors.create{'M', 0, 0, 0, 0, 0, 5, 5}");
    run("ok, code = actors.move(m) x, y = actors.position(m) vx, vy = actors.vector(m)");
    // The slanted move keeps its part along the wall.
    EXPECT_EQ("true", text("ok"));
    EXPECT_EQ(2, number("code"));
    EXPECT_EQ(0, number("x"));
    EXPECT_EQ(5, number("y"));
    actor_object* m = actor("m");
    EXPECT_EQ(0.0f, m->body->vector[0]);
    EXPECT_EQ(5.0f, m->body->vector[1]);

    run("actors.set_position(m, 0, 0, 0) actors.set_vector(m, -3, 4, 0) ok, code = actors.move(m)");
    EXPECT_EQ(0, number("code"));
    EXPECT_EQ(-3.0f, m->position[0]);

    // Switched off, nothing moves through either move.
    run("actors.collision(1) actors.set_position(m, 0, 0, 0) actors.set_vector(m, -3, 4, 0) "
        "ok, code = actors.move(m) ok2, code2 = actors.move2(m)");
    EXPECT_EQ(-1, number("code"));
    EXPECT_EQ(0, number("code2"));
    EXPECT_EQ(0.0f, m->position[0]);
    EXPECT_EQ(0.0f, m->position[1]);
    run("actors.collision(0) ok, code = actors.move(m)");
    EXPECT_EQ(0, number("code"));
    EXPECT_EQ(-3.0f, m->position[0]);
    log.lines.clear();
    run("actors.collision(2) actors.collision('a')");
    EXPECT_EQ((std::vector<std::string>{"1 actor.collision: invalid request", "1 actor.collision: invalid request"}),
              log.lines);
    EXPECT_EQ(-1, world().collision_switch);
}

TEST_F(CollisionMoves, KinematicMoversPushAndStopAtWalls) {
    run("actors.class_create{name = 'K', param = {0}, body = {{0, -5, -5, 5, 5}, attr = 1}} "
        "actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "k = actors.create{'K', 0, 0, 0, 0, 0, 10, 0} b = actors.create{'M', 12, 0, 0, 0, 0, 0, 1}");
    actor_object* k = actor("k");
    actor_object* b = actor("b");
    const uint32_t code = k->move2();
    EXPECT_EQ(0u, code);
    EXPECT_EQ(10.0f, k->position[0]);
    // Pushed ahead of the mover, its own motion kept for its own move.
    EXPECT_GE(b->position[0], 20.0f);
    EXPECT_EQ(0.0f, b->body->vector[0]);
    EXPECT_EQ(1.0f, b->body->vector[1]);

    // A wall (no owner) stops the kinematic mover.
    st_shape* wall_shape = shape_alloc();
    wall_shape->type = shape_box;
    const float wb[4] = {-5, -50, 5, 50};
    std::copy(wb, wb + 4, wall_shape->bounds);
    shape_update_bounds(wall_shape);
    st_body* wall = world().add_body(nullptr, world().defaults, wall_shape);
    wall->position[0] = 10;
    wall->position[1] = 200;
    k->set_position(0, 200, 0);
    const uint32_t hit = k->move2();
    EXPECT_EQ(0x80000000u | 0x1000040u, hit);
    EXPECT_LE(k->position[0], 0.0f + 1e-4f);
    body_release(wall);
}

TEST_F(CollisionMoves, FieldEffectsAddToTheMove) {
    st_shape* area = shape_alloc();
    area->type = shape_box;
    const float ab[4] = {-50, -50, 50, 50};
    std::copy(ab, ab + 4, area->bounds);
    shape_update_bounds(area);
    const st_effect_record push = {0x10000000, {3, 0, 0, 0}, 0};
    st_body* e = world().body_list_add(nullptr, world().defaults, area, kind_effect, false);
    e->effect = &push;
    run("actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "m = actors.create{'M', 0, 0, 0, 0, 0, 1, 0} n = actors.create{'M', 100, 0, 0, 0, 0, 1, 0}");
    actor_object* m = actor("m");
    actor_object* n = actor("n");
    const uint32_t applied = *collision_counters[count_effect_collide];
    m->move2();
    n->move2();
    EXPECT_EQ(4.0f, m->position[0]);  // its own 1 and the effect's 3
    EXPECT_EQ(101.0f, n->position[0]);
    EXPECT_EQ(1u, *collision_counters[count_effect_collide] - applied);
    body_release(e);
}

// Stairs: an effect with a layer step takes a body that far to another
// layer, where the owner finds it even when the move itself goes nowhere.
TEST_F(CollisionMoves, FieldEffectsStepBodiesToOtherLayers) {
    st_shape* area = shape_alloc();
    area->type = shape_box;
    const float ab[4] = {-50, -50, 50, 50};
    std::copy(ab, ab + 4, area->bounds);
    shape_update_bounds(area);
    const st_effect_record up = {0x30000000, {0, 0, 0, 0}, 2};
    st_body* e = world().body_list_add(nullptr, world().defaults, area, kind_effect, false);
    e->effect = &up;
    run("actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "m = actors.create{'M', 10, 0, 1, 0, 0, 1, 0} still = actors.create{'M', 0, 20, 0}");
    for (const char* name : {"m", "still"}) {
        SCOPED_TRACE(name);
        actor_object* a = actor(name);
        const float x = a->position[0], y = a->position[1];
        a->move2();
        EXPECT_EQ(a == actor("m") ? 3 : 2, a->body->layer);
        EXPECT_EQ(float(a->body->layer), a->position[2]);
        EXPECT_EQ(a == actor("m") ? x + 1 : x, a->position[0]);
        EXPECT_EQ(y, a->position[1]);
    }
    body_release(e);
}
}  // namespace

namespace {
// Three field layers: 0 and 1 of one size, 2 smaller.
class three_layers : public i_collision_field {
public:
    const void* current() const override { return this; }
    int32_t layer_count() const override { return 3; }
    bool layer_size(int32_t layer, int32_t& width, int32_t& height) const override {
        if (layer < 0 || layer > 2) return false;
        width = height = layer == 2 ? 50 : 100;
        return true;
    }
};

TEST_F(CollisionSensors, LayersOfTheSameSizeMeetWhenAsked) {
    three_layers field;
    world().field = &field;
    run("sensing('A', 0x800000) sensing('N', 0x10800000) sensing('P', 0) "
        "make('A', 0, 0, 0) make('N', 100, 0, 0) make('P', 200, 0, 0) "
        "make('T', 2, 0, 0) make('T', 2, 0, 1) make('T', 2, 0, 2) "
        "make('T', 102, 0, 0) make('T', 104, 0, 0) make('T', 103, 0, 1) make('T', 101, 0, 2) "
        "make('T', 202, 0, 1)");
    EXPECT_EQ(0, frame());
    // Each layer record keeps its own nearest.
    EXPECT_EQ("T2:7:nil T2:7:nil T102:7:nil T103:7:nil", events());

    // A mover that crosses layers is stopped by a wall on a layer of its
    // size; one that does not cross passes.
    run("actors.class_create{name = 'W', param = {0}, body = {{0, -5, -50, 5, 50}}} "
        "actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}, attr = 0x800000}} "
        "actors.class_create{name = 'L', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "make('W', 312, 0, 1) make('W', 312, 100, 1) "
        "m = actors.create{'M', 300, 0, 0, 0, 0, 5, 0} l = actors.create{'L', 300, 100, 0, 0, 0, 5, 0} "
        "ok, mcode = actors.move(m) ok, lcode = actors.move(l)");
    EXPECT_EQ(2, number("mcode"));
    EXPECT_EQ(300, number("actors.x(m)"));
    EXPECT_EQ(0, number("lcode"));
    EXPECT_EQ(305, number("actors.x(l)"));

    // A collide action that moves a body leaves the sensor's layer rules.
    run("actors.class_create{name = 'X', param = {0}, sensor = {{0, -5, -5, 5, 5}, attr = 0x800000}, "
        "  action = {collide = function(self, other) events[#events + 1] = names[other] actors.move(mover) end}} "
        "mover = actors.create{'L', 500, 500, 0, 0, 0, 1, 0} make('X', 400, 0, 0) "
        "make('T', 401, 0, 0) make('T', 402, 0, 1)");
    events();
    EXPECT_EQ(0, frame());
    EXPECT_EQ("T2:7:nil T2:7:nil T102:7:nil T103:7:nil T401 T402", events());
    world().field = nullptr;
}
}  // namespace
