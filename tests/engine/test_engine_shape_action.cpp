// A shape action in the running engine: its body stops a moving actor, a
// sensor and a ray see it as its owner's, a body it lends to its owner moves
// with the owner, and moving a body into something answers the contact.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

TEST(EngineShapeAction, BodiesCollideAreSeenAndMoveWithTheirOwner) {
    const char* const main =
        "local function say(...) local t = {...} for i = 1, select('#', ...) do t[i] = tostring(t[i]) end\n"
        "  system.trace(6, 'shape', table.concat(t, ' ', 1, select('#', ...))) end\n"
        "actors.class_create{name = 'holder', param = {0}}\n"
        "actors.class_create{name = 'mover', param = {0}, body = {{0, -5, -5, 5, 5}}}\n"
        "actors.class_create{name = 'eye', param = {0}, sensor = {{0, -50, -50, 50, 50}},\n"
        "  action = {collide = function(me, other) if other == h then seen = true end end}}\n"
        "h = actors.create{'holder', 100, 50, 0}\n"
        "m = actors.create{'mover', 100, 50, 0}\n"
        "s = new_shape(h)\n"
        // Made owned, so that contacts with it name the holder.
        "say('made', s:add_shape(0, {0, -10, -10, 10, 10}), s:add_body(0, 0, 0, 0), s:set_shape(0, 0, true))\n"
        "s:set_offset(30, 0) s:move()\n"
        "system.fork(function()\n"
        // The mover walks right into the body placed at the holder + 30; its
        // last step slides along y only (answer 2).
        "  local ok, r\n"
        "  for i = 1, 20 do\n"
        "    actors.set_vector(m, 2, 0, 0) ok, r = actors.move(m) actors.set_vector(m, 0, 0, 0)\n"
        "    coroutine.yield()\n"
        "  end\n"
        "  say('mover', actors.x(m), ok, r)\n"
        // The physical move reports what stopped it: an owned obstacle on
        // its right (0x4000040), the holder.
        "  actors.set_vector(m, 4, 0, 0) ok = actors.move2(m) actors.set_vector(m, 0, 0, 0)\n"
        "  local code, other = actors.collide_info(m)\n"
        "  say('pushed', ok, actors.x(m), code, other == h)\n"
        "  eye = actors.create{'eye', 160, 50, 0}\n"
        "  for i = 1, 3 do coroutine.yield() end\n"
        "  say('sensor', seen)\n"
        "  local hits = {actors.intersect{135, 30, 135, 70, 0}}\n"
        "  say('ray', #hits, hits[1] and hits[1][1] == h)\n"
        // Moving the body back through the mover stops it there, with an
        // owned obstacle on its left (0x4000004); the massless mover stays.
        "  s:set_offset(-40, 0)\n"
        "  local ok, r = s:move(0)\n"
        "  say('blocked', ok, r, actors.x(m))\n"
        // A small body lent to the holder goes where the holder goes.
        "  s:add_shape(1, {0, -4, -4, 4, 4}) s:add_body(1) s:set_shape(1, 1) s:set_actor_body(1)\n"
        "  actors.set_vector(h, 0, 30, 0) actors.move(h) actors.set_vector(h, 0, 0, 0)\n"
        "  coroutine.yield()\n"
        "  local below = {actors.intersect{90, 80, 110, 80, 0}}\n"
        "  local above = {actors.intersect{90, 50, 105, 50, 0}}\n"
        "  say('lent', actors.x(h), actors.y(h), actors.inside(h, 102, 82), actors.inside(h, 100, 50),\n"
        "      #below, below[1] and below[1][1] == h, #above)\n"
        "  s:set_actor_body()\n"
        "  say('taken back', actors.inside(h, 100, 80))\n"
        "  system.exit(0)\n"
        "end)\n";
    game_folder game("[Vy]\r\nFPS=60\r\n", main);
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    const std::vector<std::string> lines = script_lines(game);
    for (const char* w : {
             "information: shape: made true true true [",
             "information: shape: mover 114 true 2 [",
             "information: shape: pushed false 114 67108928 true [",
             "information: shape: sensor true [",
             "information: shape: ray 1 true [",
             "information: shape: blocked false 67108868 114 [",
             "information: shape: lent 100 80 true false 1 true 0 [",
             "information: shape: taken back false [",
         }) {
        bool found = false;
        for (const std::string& line : lines) found = found || line.find(w) != std::string::npos;
        EXPECT_TRUE(found) << w << "\n" << game.read(L"log\\system.log");
    }
}
