// Actors' bodies and sensors: shapes that follow the sprite frame and the
// way, target-only bodies, run states, and polygons that spin.
#include <string>

#include "sprite_fixture.h"
#include "world/actor_manager.h"
#include "world/collision_manager.h"
#include "world/sprite_class.h"

namespace {
using CollisionActors = sprite_test;

actor_object* global_actor(lua_State* L, const char* name) {
    lua_getglobal(L, name);
    actor_object* a = to_actor(L, -1);
    lua_pop(L, 1);
    return a;
}

TEST_F(CollisionActors, BodiesFollowTheSpriteFrameAndSensorsTheWay) {
    run("sprites.class_create{name = 's', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 1, {0, shape = {0, -4, -4, 4, 4, max = 1, ways = 1}}, "
        "                     {1, shape = {0, -8, -8, 8, 8, max = 1, ways = 1}}}, "
        "  scene = {{0, 2, 0, 1}}, state = {{0, 0}}} "
        "actors.class_create{name = 'F', sprite = 's', param = {0}, body = {index = 1}, "
        "  sensor = {{0, -2, -1, 2, 1}, ways = 8}} "
        "f = actors.create{'F', 50, 60, 0}");
    actor_object* f = global_actor(L, "f");
    ASSERT_NE(nullptr, f);
    ASSERT_NE(nullptr, f->body);
    ASSERT_NE(nullptr, f->sensor);
    const st_sprite_class* sc = objects->sprites.find_class("s");
    EXPECT_EQ(sc->frames[0].shapes[0][0], f->body->shape);
    EXPECT_EQ(50.0f, f->body->position[0]);
    EXPECT_EQ(60.0f, f->sensor->position[1]);
    for (int i = 0; i < 8 && f->sprite->frame != 1; ++i) frame();
    ASSERT_EQ(1, f->sprite->frame);
    frame();
    EXPECT_EQ(sc->frames[1].shapes[0][0], f->body->shape);

    // Way 2: the sensor's shape turned a quarter to the left.
    EXPECT_FLOAT_EQ(-2.0f, f->sensor->shape->bounds[0]);
    ASSERT_TRUE(f->set_way(2));
    EXPECT_NEAR(-1.0f, f->sensor->shape->bounds[0], 1e-4f);
    EXPECT_NEAR(-2.0f, f->sensor->shape->bounds[1], 1e-4f);
    EXPECT_NEAR(1.0f, f->sensor->shape->bounds[2], 1e-4f);
    EXPECT_NEAR(2.0f, f->sensor->shape->bounds[3], 1e-4f);

    // Asleep or stored actors keep their bodies but switch them off.
    EXPECT_TRUE(f->body->flags & body_flag_enabled);
    f->set_run_state(run_frozen);
    EXPECT_FALSE(f->body->flags & body_flag_enabled);
    EXPECT_FALSE(f->sensor->flags & body_flag_enabled);
    f->set_run_state(run_running);
    EXPECT_TRUE(f->sensor->flags & body_flag_enabled);
}

TEST_F(CollisionActors, TargetOnlyBodiesAreSensedButNeitherMoveNorBlock) {
    run("actors.class_create{name = 'R', param = {0x40000}, body = {{0, -5, -5, 5, 5}, id = 5}} "
        "actors.class_create{name = 'M', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "actors.class_create{name = 'S', param = {0}, sensor = {{0, -5, -5, 5, 5}}, "
        "  action = {collide = function(self, other, event) hit = other end}} "
        "r = actors.create{'R', 0, 0, 0, 0, 0, 3, 0} m = actors.create{'M', -12, 0, 0, 0, 0, 10, 0} "
        "s = actors.create{'S', 4, 0, 0}");
    actor_object* r = global_actor(L, "r");
    actor_object* m = global_actor(L, "m");
    collision_manager& world = objects->actors.collision;
    ASSERT_EQ(1u, world.reactors.size());
    EXPECT_EQ(r->body, world.reactors[0]);
    // Its own position only: the vector is not applied.
    run("ok, code = actors.move2(r)");
    EXPECT_EQ(0.0f, r->position[0]);
    // Nothing stops at it.
    EXPECT_EQ(0u, m->move2());
    EXPECT_EQ(-2.0f, m->position[0]);
    frame();
    EXPECT_EQ("true", text("hit == r"));
}

TEST_F(CollisionActors, ASpinningPolygonPushesWhatItsEdgesSweep) {
    run("actors.class_create{name = 'Bar', param = {0}, "
        "  body = {{1, {-20, -2}, {20, -2}, {20, 2}, {-20, 2}}, attr = 0x4}} "
        "actors.class_create{name = 'M', param = {0}, body = {{0, -2, -2, 2, 2}}} "
        "bar = actors.create{'Bar', 0, 0, 0} m = actors.create{'M', 10, 6, 0} "
        "actors.set_angular(bar, 10)");
    actor_object* bar = global_actor(L, "bar");
    actor_object* m = global_actor(L, "m");
    for (int i = 0; i < 3; ++i) bar->move2();
    EXPECT_FLOAT_EQ(30.0f, bar->body->angle);
    EXPECT_EQ(4u, bar->body->sub_count);
    run("angle = actors.rotate(bar)");
    EXPECT_EQ(30, number("angle"));
    // The push waits in the body's carry; its own speed is untouched.
    EXPECT_GT(m->body->carry[1], 0.0f);
    EXPECT_EQ(0.0f, m->body->vector[0]);
    EXPECT_EQ(0.0f, m->body->vector[1]);
    m->move2();
    EXPECT_GT(m->position[1], 6.0f);

    // A new shape drops the edge bodies; released bodies go at disposal.
    body_set_shape(bar->body, nullptr);
    EXPECT_EQ(0u, bar->body->sub_count);
    run("actors.kill(bar) actors.kill(m)");
    frame();
    frame();
    EXPECT_TRUE(objects->actors.collision.bodies.empty());
}
}  // namespace

namespace {
// A script picks one of the class's shapes for the body, reads a shape's
// numbers, and asks whether points lie inside; nil gives the frames back.
TEST_F(CollisionActors, ScriptsChooseReadAndTestBodyShapes) {
    run("sprites.class_create{name = 's2', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 1, {0, shape = {0, -4, -4, 4, 4, max = 1, ways = 1}}}, "
        "  scene = {{0, 1, 0, 1}}, state = {{0, 0}}} "
        "actors.class_create{name = 'B', sprite = 's2', param = {0}, body = {index = 1}, "
        "  shape = {{0, -10, -20, 10, 20}, {2, 1, 2, 8}}} "
        "actors.class_create{name = 'P', param = {0}, body = {{0, -5, -5, 5, 5}}, shape = {{0, -30, -1, 30, 1}}} "
        "b = actors.create{'B', 100, 50, 0} p = actors.create{'P', 0, 0, 2}");
    actor_object* b = global_actor(L, "b");
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, b->body);
    struct read_case {
        const char* call;
        const char* numbers;
    } reads[] = {
        {"actors.shape(b, 0, 0)", "-10 -20 10 20"},
        {"actors.shape(b, 1, 2)", "1 2 8"},
        {"actors.shape(b, 0, 2)", "nil"},
        {"actors.shape(b, 1, 0)", "nil"},
        {"actors.shape(b, 2, 0)", "nil"},
        {"actors.shape(b, -1, 0)", "nil"},
        {"actors.shape('nobody', 0, 0)", "nil"},
    };
    for (const read_case& r : reads) {
        run((std::string("local t = {") + r.call + "} for i = 1, #t do t[i] = tostring(t[i]) end "
             "got = #t == 0 and 'nil' or table.concat(t, ' ')").c_str());
        EXPECT_EQ(r.numbers, text("got")) << r.call;
    }
    // Point tests against whatever shape the body holds, step by step.
    struct inside_case {
        const char* before;  // run first
        const char* point;
        bool inside;
    } points[] = {
        {"", "104, 54", true},
        {"", "106, 50", false},
        {"actors.set_body_shape(b, 0)", "106, 65", true},
        {"", "106, 65, 0", true},
        {"", "106, 65, 1", false},
        {"", "111, 50", false},
        {"actors.set_body_shape(b, 1)", "101, 59", true},
        {"", "101, 61", false},
        {"actors.set_body_shape(b, 9)", "100, 50", false},
        {"actors.set_body_shape(b)", "104, 54", true},
        {"", "106, 65", false},
        {"", "'x', 50", false},
        {"", "nil", false},
    };
    for (const inside_case& c : points) {
        if (*c.before) run(c.before);
        run((std::string("got = actors.inside(b, ") + c.point + ")").c_str());
        EXPECT_EQ(c.inside ? "true" : "false", text("tostring(got)")) << c.before << " / " << c.point;
    }
    // A shape the script chose stays through the frames; nil hands it back.
    run("actors.set_body_shape(b, 0)");
    for (int i = 0; i < 3; ++i) frame();
    EXPECT_EQ(text("tostring(actors.inside(b, 106, 65))"), "true");
    run("actors.set_body_shape(b)");
    frame();
    EXPECT_EQ(text("tostring(actors.inside(b, 106, 65))"), "false");
    // A class body without frames: nil gives the class's own shape back.
    run("actors.set_body_shape(p, 0)");
    EXPECT_EQ("true false", text("tostring(actors.inside(p, 25, 0, 2)) .. ' ' .. tostring(actors.inside(p, 0, 4))"));
    run("actors.set_body_shape(p)");
    EXPECT_EQ("false true", text("tostring(actors.inside(p, 25, 0)) .. ' ' .. tostring(actors.inside(p, 0, 4))"));
}
}  // namespace
