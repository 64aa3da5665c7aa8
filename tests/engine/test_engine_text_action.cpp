// Text actions in the running engine: new_text and new_text_ex from the
// main script, their requests and messages, and a reveal that ends in a
// finish event.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string ini = "[Vy]\r\nFPS=60\r\n";
}  // namespace

TEST(EngineTextAction, NewTextAndItsRequestsReachTheMainScript) {
    game_folder game(ini, "");
    expect_cases(game, {
        {"actors.class_create{name = 'idle', param = {0, {5, 7}}, action = {default = function() end}}\n"
         "hero = actors.create{'idle', 10, 20, 0, name = 'hero'}\n",
         {"information: actors.class_create: *", "information: actors.class_create: *",
          "information: actors.create: *", "information: actors.create: *"}},
        {"t = new_text(hero, {16, 400, 'IPAGothic', rect = {0, 0, 200, 60}}) "
         "t:request(0x50000102, 'abc') show('t1', type(new_text), t:state(), t:is_finished(), t:owner() == hero)",
         {"information: t1: function,6,false,true"}},
        {"t:request(0x50000106, 2) t:request(0x50000102, 'abc') show('t2', t:state())",
         {"information: t2: 5"}},
        {"show('t3', new_text(hero, {16, rect = {1, 2, 3}}))",
         {"error: text_action.parse: no text_action.rect.bottom", "information: t3: nil"}},
        {"t:request(0x50000104, {}) t:request('0x50000103') show('t4', t:state())",
         {"error: text_action.request: no font color", "information: t4: 13"}},
        {"t:release() show('t5', t.object)", {"information: t5: nil"}},
        {"x = new_text_ex(hero, {font = {size = 16, face = 'IPAGothic'}}) local s = x:add_set{} "
         "x:add_text('AB') x:end_text() x:state(s, 6) show('x1', type(new_text_ex), type(s), x:owner() == hero)",
         {"information: x1: function,userdata,true"}},
        {"show('x2', new_text_ex(hero, {}))",
         {"error: text_action_ex.parse: no font", "information: x2: nil"}},
        {"x:add_set{effect = {{type = 6}}}", {"error: text_action_ex.add_set: invalid effect parameter"}},
    });
}

TEST(EngineTextAction, RevealEndsInOneFinishEvent) {
    const char* const main =
        "actors.class_create{name = 'listener', param = {0, {5, 7}}, action = {default = function() end,\n"
        "  catch = function(me, ctx, ev) finished = (finished or 0) + 1 last_event = ev end}}\n"
        "actors.class_create{name = 'idle', param = {0, {5, 7}}, action = {default = function() end}}\n"
        "local hero = actors.create{'idle', 10, 20, 0}\n"
        "local listener = actors.create{'listener', 0, 0, 0}\n"
        "local t = new_text(hero, {16, 400, 'IPAGothic', rect = {0, 0, 200, 60}})\n"
        "t:request(0x50000106, {1, 1, 3, 0})\n"
        "t:request(0x50000107, 42)\n"
        "t:request(0x50000108, listener)\n"
        "t:request(0x50000102, 'HELLO')\n"
        "system.fork(function()\n"
        "  for i = 1, 120 do\n"
        "    t:step()\n"
        "    if t:is_finished() and i > 2 then break end\n"
        "    coroutine.yield()\n"
        "  end\n"
        "  for i = 1, 5 do t:step() coroutine.yield() end\n"
        "  system.trace(6, 'text', 'events ' .. tostring(finished) .. ' ' .. tostring(last_event))\n"
        "  system.exit(0)\n"
        "end)\n";
    game_folder game(ini, main);
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    bool found = false;
    for (const std::string& line : script_lines(game))
        found = found || line.find("information: text: events 1 42 [") != std::string::npos;
    EXPECT_TRUE(found) << game.read(L"log\\system.log");
}
