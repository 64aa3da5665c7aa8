// The actors functions of speed, way, state, placement and the collision
// world's settings; each case asserts in Lua on a fresh world.
#include "sprite_fixture.h"

#include "world/actor_manager.h"
#include "world/actor_rect.h"

namespace {
using ActorMotion = sprite_test;

// Class M: speeds (2, 3), (1, 1), (4, 6); a 20 x 10 rectangle around its
// position; a 32 x 32 sprite whose way 1 has its centre at (16, 16).
const char* const prelude =
    "sprites.class_create{name = 's', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
    "  frame = {ways = 1, {0}, {1}}, scene = {{0, 2, 0, 1}}, state = {{0, 0}, {0, 0}}} "
    "actors.class_create{name = 'M', sprite = 's', "
    "  param = {0, {2, 3}, {1, 1}, {4, 6}, rect = {-10, -5, 10, 5}}, "
    "  body = {{0, -4, -4, 4, 4}}} "
    "actors.class_create{name = 'E', param = {0, rect = {3, 3, 3, 3}}} "
    "actors.class_create{name = 'X', param = {0, rect = {5, 0, 1, 2}}} ";
bool test_size(float size[2]) {
    size[0] = 160;
    size[1] = 120;
    return true;
}
bool test_layer_size(int32_t, float size[2]) { return test_size(size); }
// The view 100 units to the right of the world.
bool test_view(const float world[3], float view[2]) {
    view[0] = world[0] + 100;
    view[1] = world[1];
    return true;
}
}  // namespace

TEST_F(ActorMotion, EachFunctionAsTheCasesSay) {
    actor_bounds().view_size = test_size;
    actor_bounds().layer_size = test_layer_size;
    actor_bounds().view_position = test_view;
    const char* const cases[] = {
        // Speeds by pair; a pair past 2 gives three nils and changes nothing.
        "local a = actors.create{'M', 0, 0, 0} "
        "local x, y, z = actors.speed(a, 2) assert(x == 4 and y == 6 and z == 0) "
        "assert(select('#', actors.speed(a, 3)) == 3 and actors.speed(a, 3) == nil) "
        "actors.set_speed(a, 0, 2, '0.5') assert(actors.vx(a) == 4 and actors.vy(a) == 1.5) "
        "actors.set_speed(a, 3, 1, 1) assert(actors.vx(a) == 4) "
        "assert(actors.speed('nobody', 0) == nil) actors.set_speed('nobody', 0, 1, 1)",
        // Ways 0 to 7; 8 is logged and changes nothing.
        "local a = actors.create{'M', 0, 0, 0} actors.set_way(a, 5) assert(actors.way(a) == 5) "
        "actors.set_way(a, 8) assert(actors.way(a) == 5)",
        // The world's settings.
        "actors.set_gravity(1, 2) local x, y, z = actors.gravity() assert(x == 1 and y == 2 and z == 0) "
        "actors.set_resist(0.5) assert(actors.resist() == 0.5) actors.set_resist() assert(actors.resist() == 0) "
        "local d = actors.attr_defaults() assert(d.mass == 100 and d.resist == 1) "
        "actors.set_attr_defaults{mass = 5, reflect = -1, frict = 0.25} d = actors.attr_defaults() "
        "assert(d.mass == 5 and d.reflect == 0 and d.frict == 0.25 and actors.attr_defaults() ~= d)",
        // Collision status of a body; nil without one.
        "local a = actors.create{'M', 7, 8, 0} local e = actors.create{'E', 0, 0, 0} "
        "local s = actors.coll_status(a) assert(s.position[1] == 7 and s.position[2] == 8 and s.layer == 0) "
        "assert(type(s.vector) == 'table' and s.collide ~= nil) "
        "assert(actors.coll_status(e) == nil and next(actors.collinfo()) == nil)",
        // Rectangles and sizes.
        "local a = actors.create{'M', 100, 50, 0} local e = actors.create{'E', 1, 1, 0} "
        "local w, h = actors.size(a) assert(w == 20 and h == 10) "
        "local l, t, r, b = actors.rect(a) assert(l == -10 and t == -5 and r == 10 and b == 5) "
        "l, t, r, b = actors.rect(a, true) assert(l == 90 and t == 45 and r == 110 and b == 55) "
        "l, t, r, b = actors.rect(e) assert(l == 3 and r == 3) "
        "assert(select('#', actors.rect(actors.create{'X', 0, 0, 0})) == 4 and actors.rect(actors.create{'X', 0, 0, 0}) == nil)",
        // Alignment by edges: 5 puts the top-left corner at (x, y); 10 the
        // bottom-right; 0x4000 uses the sprite frame, 0x8000 the body's shape.
        "local a = actors.create{'M', 0, 0, 0} "
        "actors.align(a, 5, 10, 20, 0) local x, y = actors.position(a) assert(x == 20 and y == 25) "
        "actors.align(a, 10, 10, 20, 1) x, y = actors.position(a) assert(x == 0 and y == 15 and actors.z(a) == 1) "
        "actors.align(a, 0x8005, 0, 0, 0) x, y = actors.position(a) assert(x == 4 and y == 4) "
        "actors.align(a, 0, 3, 4, 0) x, y = actors.position(a) assert(x == 3 and y == 4)",
        // Out of bounds: the rectangle must lie wholly inside the layer, or
        // the view with the position converted first.
        "local a = actors.create{'M', 50, 50, 0} "
        "assert(actors.out_of_bounds(a, 0, 0, 0) == false and actors.out_of_bounds(a, 0, -45, 0) == true) "
        "assert(actors.out_of_bounds(a, 0, 100, 0) == false and actors.out_of_bounds(a, 0, 101, 0) == true) "
        "assert(actors.out_of_bounds(a, 0x2000, 0, 0) == false and actors.out_of_bounds(a, 0x2000, 1, 0) == true) "
        "assert(actors.out_of_bounds('nobody', 0, 0, 0) == nil)",
        // Act levels: the manager's, and an actor's own.
        "local a = actors.create{'M', 0, 0, 0} assert(actors.act_level() == 255 and actors.act_level(a) == 0) "
        "assert(actors.act_level('nobody') == nil)",
    };
    for (const char* chunk : cases) {
        SCOPED_TRACE(chunk);
        run(prelude);
        run(chunk);
        TearDown();
        SetUp();
    }
    actor_bounds() = actor_bounds_hooks();
}

TEST_F(ActorMotion, BadWaysAndStatesAreLogged) {
    run(prelude);
    run("local a = actors.create{'M', 0, 0, 0} actors.set_way(a, 8) actors.set_way(a, -1) actors.set_state(a, 99)");
    EXPECT_EQ((std::vector<std::string>{"invalid way 8", "invalid way -1"}), errors("actors.set_way"));
    EXPECT_EQ((std::vector<std::string>{"error: invalid state id 99"}), errors("actors.set_state"));
}
