// Shape actions on a real Lua state and collision world: the shape and body
// tables, bodies that block moves and are seen by sensors and rays, a body
// lent to the owner, and what release leaves behind.
#include <algorithm>

#include "actions/shape_action.h"
#include "actions_fixture.h"
#include "world/collision_manager.h"

namespace {

class shape_action_test : public actions_test {
protected:
    void SetUp() override {
        actions_test::SetUp();
        run("actors.class_create{name = 'holder', param = {0}, shape = {{0, -5, -5, 5, 5}, {2, 0, 0, 4}}} "
            "h = actors.create{'holder', 100, 50, 0} s = new_shape(h)");
        holder = actor("h");
        a = object_of<shape_action>("s");
    }
    actor_object* actor(const char* global) {
        lua_getglobal(L, global);
        actor_object* x = to_actor(L, -1);
        lua_pop(L, 1);
        return x;
    }
    std::string values(const char* call) {
        // The call runs once: its results packed with their count.
        run((std::string("local t = (function(...) return {n = select('#', ...), ...} end)(") + call +
             ") for i = 1, t.n do t[i] = tostring(t[i]) end got = table.concat(t, ' ', 1, t.n)").c_str());
        return text("got");
    }
    collision_manager& world() { return objects->actors.collision; }

    actor_object* holder = nullptr;
    shape_action* a = nullptr;
};

TEST_F(shape_action_test, ShapeAndBodyTablesAnswerAsTheirEntries) {
    ASSERT_TRUE(a);
    struct call_case {
        const char* call;
        const char* result;
        const char* line;  // logged, or empty
    } cases[] = {
        {"s:add_shape(-1, 0)", "true", ""},
        {"s:shape()", "0", ""},
        {"s:lastid()", "0 -1", ""},
        {"s:add_shape(0, 5, true)", "false", ""},
        {"s:add_shape(1, 2)", "false", ""},
        {"s:add_shape(1, {2, 1, 2, 6})", "true", ""},
        {"s:add_shape(2, {7})", "false", "1 load shape: invalid shape type"},
        {"s:add_shape(3, 2, true)", "true", ""},
        {"s:shape(1)", "true", ""},
        {"s:shape(2)", "false", ""},
        {"s:shape(3)", "true", ""},
        {"s:shape(0, 7)", "nil", "1 shape_action.shape: invalid shape type"},
        {"s:shape(2, 0)", "nil", "1 shape_action.shape: invalid shape index"},
        {"s:shape(0, -1)[1]", "10", ""},
        {"s:shape(1, 2)[3]", "6", ""},
        {"s:center(1)", "1 2", ""},
        {"s:center(9)", "", ""},
        {"s:add_body(0)", "true", ""},
        {"s:move(0)", "false nil", ""},
        {"s:set_shape(0, 0)", "true", ""},
        {"s:attr(0)", "1 0 0 0", ""},
        {"s:body(0, 1)", "true 0", ""},
        {"s:body(5)", "false", ""},
        {"s:add_sensor(1, 2, 3, 4)", "true", ""},
        {"s:add_sensor(2, 1, 2, 3, 4)", "false", "1 shape_action.add_body: invalid arguments"},
        {"s:add_reactor(2, {id = 9, type = 'x'})", "false", "1 shape_action.add_body: invalid attribute"},
        {"s:add_reactor(2, {id = 9})", "true", ""},
        {"(s:attr(2))", "9", ""},
        {"s:attr(7)", "nil nil nil nil", ""},
        {"s:set_shape(0)", "false", "1 shape_action.create: invalid arguments"},
        {"s:set_shape(9, 0)", "false", ""},
        {"s:set_attr(9, 1)", "", "1 shape_action.set_attr: invalid body id"},
        {"s:test(2)", "", "1 shape_action.test: invalid body id"},
        {"s:body()", "2", ""},
        {"s.add_body({}, 0)", "", "1 shape_action.add_body: invalid action object"},
    };
    for (const call_case& c : cases) {
        log.lines.clear();
        EXPECT_EQ(c.result, values(c.call)) << c.call;
        std::vector<std::string> logged;
        for (const std::string& line : log.lines)
            if (line.rfind("1 ", 0) == 0) logged.push_back(line);
        if (*c.line) {
            ASSERT_FALSE(logged.empty()) << c.call;
            EXPECT_EQ(0u, logged.back().find(c.line)) << c.call << ": " << logged.back();
        } else {
            EXPECT_TRUE(logged.empty()) << c.call << ": " << logged.front();
        }
    }
    // Body 0 was made at the owner with id 1; the sensor keeps its kind bits.
    ASSERT_TRUE(a->bodies[0].body);
    EXPECT_EQ(100.0f, a->bodies[0].body->position[0]);
    EXPECT_EQ(50.0f, a->bodies[0].body->position[1]);
    EXPECT_EQ(1u, a->bodies[0].body->attr.id);
    run("s:set_shape(1, 0) s:set_attr(1, 0xFFFFFFFF)");
    ASSERT_TRUE(a->bodies[1].body);
    EXPECT_EQ(0x37FFFFFFu | 0x40000000u, a->bodies[1].body->attr.attr);
    EXPECT_EQ(3u, a->bodies[1].body->attr.cond);
    // Removing a shape leaves its bodies without one.
    run("s:remove_shape(0)");
    EXPECT_EQ(nullptr, a->bodies[0].body->shape);
    EXPECT_EQ("false", values("s:body(0)"));
    EXPECT_EQ("false", values("s:shape(0)"));
}

TEST_F(shape_action_test, BodiesBlockMovesAndAreSeenBySensorsAndRays) {
    run("s:add_shape(0, {0, -10, -10, 10, 10}) s:add_body(0, 0, 0, 0) s:set_shape(0, 0, true) "
        "s:set_offset(30, 0) s:move() "
        "actors.class_create{name = 'mover', param = {0}, body = {{0, -5, -5, 5, 5}}} "
        "m = actors.create{'mover', 100, 50, 0} "
        "actors.class_create{name = 'eye', param = {0}, sensor = {{0, -50, -50, 50, 50}}, "
        "  action = {collide = function(me, other) seen[#seen + 1] = other end}} "
        "seen = {}");
    ASSERT_TRUE(a->bodies[0].body);
    EXPECT_EQ(130.0f, a->bodies[0].body->position[0]) << "placed at the owner plus the offset";
    EXPECT_EQ(100.0f, holder->position[0]) << "the owner stays where it is";
    // A mover walking right stops at the body; the holder's own place is free.
    actor_object* m = actor("m");
    ASSERT_TRUE(m && m->body);
    for (int i = 0; i < 20; ++i) {
        m->set_vector(2, 0, 0);
        m->move();
    }
    EXPECT_LE(m->position[0], 115.0f);
    EXPECT_GE(m->position[0], 110.0f);
    // A sensor nearby reports the holder through the shape action's body.
    run("eye = actors.create{'eye', 160, 50, 0}");
    world().test_sensors();
    EXPECT_TRUE(truth("(function() for _, x in ipairs(seen) do if x == h then return true end end end)()"));
    // A ray across it meets it and names the holder.
    run("hits = {actors.intersect{135, 30, 135, 70, 0}}");
    EXPECT_TRUE(truth("#hits == 1 and hits[1][1] == h")) << text("tostring(#hits)");
    // The action's own sensor finds the mover and the eye; moved with the
    // owner it finds what is there.
    run("s:add_sensor(1) s:add_shape(1, {2, 0, 0, 8}) s:set_shape(1, 1) s:set_offset(0, 0) s:move()");
    EXPECT_EQ("", values("s:test(1)")) << "only its own body is at the holder";
    m->set_position(104, 50, 0);
    EXPECT_TRUE(truth("s:test(1) == m"));
    // move(n) takes a body to its place through the world: stopped by the
    // mover it answers false and the contact; back out to a free place, or
    // already there, it answers true and no contact.
    run("s:set_offset(30, 0) s:move()");
    ASSERT_EQ(130.0f, a->bodies[0].body->position[0]);
    struct move_case {
        float offset;
        const char* answer;
        float at;
    } moves[] = {
        {-40, "false 67108868", 119.5f},  // 0x4000000 owned obstacle, 0x4 pushed back rightwards
        {30, "true nil", 130.0f},
        {30, "true nil", 130.0f},
    };
    for (const move_case& c : moves) {
        a->offset[0] = c.offset;
        EXPECT_EQ(c.answer, values("s:move(0)")) << c.offset;
        EXPECT_NEAR(c.at, a->bodies[0].body->position[0], 0.01f) << c.offset;
        EXPECT_EQ(104.0f, m->position[0]) << "the mover has no mass and is not pushed";
    }
}

TEST_F(shape_action_test, ALentBodyMovesTheOwnerAndGoesBackOnRelease) {
    run("s:add_shape(0, 0) for i = 0, 2 do s:add_body(i) s:set_shape(i, 0) end s:set_actor_body(2)");
    st_body* lent = a->bodies[2].body;
    ASSERT_TRUE(lent);
    EXPECT_EQ(lent, holder->body);
    EXPECT_TRUE(holder->flags & actor_body_lent);
    EXPECT_TRUE(truth("actors.inside(h, 104, 54)"));
    // The owner's move moves the lent body and the owner with it; the
    // others stay where the script put them.
    holder->set_vector(3, 0, 0);
    holder->move();
    EXPECT_EQ(103.0f, holder->position[0]);
    EXPECT_EQ(103.0f, lent->position[0]);
    EXPECT_EQ(100.0f, a->bodies[0].body->position[0]);
    // Taken back: no body for the owner.
    run("s:set_actor_body()");
    EXPECT_EQ(nullptr, holder->body);
    run("s:set_actor_body(2)");
    EXPECT_EQ(lent, holder->body);
    run("s:release()");
    EXPECT_EQ(nullptr, holder->body);
    EXPECT_FALSE(holder->flags & actor_body_lent);
    EXPECT_TRUE(lent->flags & body_flag_release);
    // Its owner's end takes every body of an action with it.
    run("t = new_shape(h) t:add_shape(0, 1) t:add_body(0) t:set_shape(0, 0)");
    st_body* kept = object_of<shape_action>("t")->bodies[0].body;
    ASSERT_TRUE(kept);
    actor_kill(holder);
    for (int i = 0; i < 2; ++i) frame();
    EXPECT_EQ(world().bodies.end(), std::find(world().bodies.begin(), world().bodies.end(), kept));
}

}  // namespace
