// Rays cast with actors.intersect: hits with points and normals, the
// reporting modes, and what a ray never meets.
#include <string>
#include <vector>

#include "world/actor_manager.h"
#include "world/collision_manager.h"
#include "world_fixture.h"

namespace {
using CollisionRays = world_test;

const char* const scene =
    "names = {} "
    "function make(class, x, z) local a = actors.create{class, x, 0, z or 0} names[a] = class .. x return a end "
    "actors.class_create{name = 'T', param = {0}, body = {{0, -5, -5, 5, 5}, id = 3}} "
    "actors.class_create{name = 'C', param = {0}, body = {{2, 0, 0, 5}, id = 4}} "
    "actors.class_create{name = 'J', param = {0}, body = {{4, {0, -5, -5, 5, 5}}, id = 5}} "
    "actors.class_create{name = 'S', param = {0}, sensor = {{0, -5, -5, 5, 5}}} "
    "make('T', 20) make('C', 60) make('T', 40, 1) make('J', 90) make('S', 70) "
    "function cast(t) "
    "  local hits = {actors.intersect(t)} "
    "  local out = {} "
    "  for i, h in ipairs(hits) do "
    "    local parts = {names[h[1]] or '?'} "
    "    for k = 2, #h do parts[#parts + 1] = string.format('%g', h[k] + 0) end "
    "    out[#out + 1] = table.concat(parts, ',') "
    "  end "
    "  return table.concat(out, ' ') "
    "end ";

TEST_F(CollisionRays, HitsModesAndWhatRaysNeverMeet) {
    run(scene);
    // A body without owner across the ray is never met either.
    st_shape* box = shape_alloc();
    box->type = shape_box;
    box->bounds[0] = box->bounds[1] = -5;
    box->bounds[2] = box->bounds[3] = 5;
    shape_update_bounds(box);
    st_body* wall = objects->actors.collision.add_body(nullptr, objects->actors.collision.defaults, box);
    wall->position[0] = 80;
    struct ray_case {
        const char* ray;
        const char* hits;
    };
    // Points lie half a unit before the surface (the contact margin).
    const ray_case cases[] = {
        {"{0, 0, 100, 0, 0}", "T20,3,14.5,0,0,-1,0 C60,4,55,0,0,-1,0"},
        {"{0, 0, 100, 0, 0, attr = 0x10000000}", "T20,3,14.5,0,0,-1,0"},
        {"{0, 0, 100, 0, 0, attr = 0x20000000}", "C60,4,55,0,0,-1,0"},
        {"{100, 0, 0, 0, 0}", "T20,3,25.5,0,0,1,0 C60,4,65,0,0,1,0"},
        {"{0, 0, 100, 0, 1}", "T40,3,34.5,0,1,-1,0"},
        // From inside a box: five entries, the point holding the ray's delta.
        {"{20, 0, 30, 2, 0}", "T20,3,10,2,0"},
        {"{0, 0, 100, 0, 0, cond = 8, attr = 0x1000}", ""},  // type 0 refused
        {"{0, 20, 100, 20, 0}", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ray);
        run((std::string("result = cast(") + c.ray + ")").c_str());
        EXPECT_EQ(c.hits, text("result"));
    }
    body_release(wall);
}

TEST_F(CollisionRays, ABadRayIsLoggedAndGivesNothing) {
    run(scene);
    const char* rays[][2] = {
        {"{0, 0, 100, 0}", "layer"},
        {"{'a', 0, 100, 0, 0}", "start_point.x"},
        {"{0, 0, 100, nil, 0}", "end_point.y"},
        {"5", "start_point.x"},
    };
    for (const auto& r : rays) {
        SCOPED_TRACE(r[0]);
        log.lines.clear();
        run((std::string("n = select('#', actors.intersect(") + r[0] + "))").c_str());
        EXPECT_EQ(0, number("n"));
        EXPECT_EQ((std::vector<std::string>{std::string("1 load ray: ") + r[1], "1 actor.intersect: invalid ray"}),
                  log.lines);
    }
    log.lines.clear();
    run("n = select('#', actors.intersect{0, 0, 100, 0, 0, mass = 'a'})");
    EXPECT_EQ(0, number("n"));
    EXPECT_EQ((std::vector<std::string>{"1 load body attribute: invalid body.mass", "1 actor.intersect: invalid ray"}),
              log.lines);
    EXPECT_EQ(0, lua_gettop(L));
}
}  // namespace
