// The action library in the running engine: its constructor globals and
// native actions reach the main script, and mailboxes, progress counters
// and call actions work across frames between actors.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string ini = "[Vy]\r\nFPS=60\r\n";

const char* const classes =
    "actors.class_create{name = 'idle', param = {0, {5, 7}}, action = {default = function() end}}\n"
    "hero = actors.create{'idle', 10, 20, 0, name = 'hero'}\n";
}  // namespace

TEST(EngineActionLibrary, ConstructorsAndNativeActionsReachTheMainScript) {
    game_folder game(ini, "");
    expect_cases(game, {
        {"show('a1', type(new_request), type(new_progress), type(new_action))",
         {"information: a1: function,function,function"}},
        {classes, {"information: actors.class_create: *", "information: actors.class_create: *",
                   "information: actors.create: *", "information: actors.create: *"}},
        {"local box = new_request('hero') box:receive(nil, 3, 'x') "
         "local s, id, v = box:pop() show('a2', s, id, v, box:empty(), box:owner() == hero)",
         {"information: a2: nil,3,x,true,true"}},
        {"show('a3', new_request('nobody'), new_progress(nil))", {"information: a3: nil,nil"}},
        {"local p = new_progress(hero) p:init(5) p:count_up(10) show('a4', p:count(), p:max())",
         {"information: a4: 10,11"}},
        {"local c = new_action(hero, 'no_such_action') show('a5', c)",
         {"error: actions.parse: invalid action name", "information: a5: nil"}},
        {"local c = new_action(hero, function(a, ctx, ev) show('a6', a == hero, ev) end) c:call() c:release() "
         "show('a7', c.object)",
         {"information: a6: true,0", "information: a7: nil"}},
        // Way 0 is down: one step of the class's y speed.
        {"local m = new_action(hero, 'test_action') m:call() show('a8', actors.way(hero), actors.x(hero), actors.y(hero))",
         {"information: a8: 0,10,27"}},
        {"local box = new_request(hero) box:receive(nil, 'x')",
         {"error: request_action.receive: invalid request id"}},
    });
}

// Two actors trade requests; a third slices its work with a progress
// counter; the game ends when all are through.
TEST(EngineActionLibrary, MailboxesAndProgressAcrossFrames) {
    const char* const main =
        "actors.class_create{name = 'server', param = {0x100000}, action = {start = function(me)\n"
        "  local box = new_request(me)\n"
        "  server_box = box\n"
        "  while true do\n"
        "    box:wait()\n"
        "    local from, id, n = box:pop()\n"
        "    client_box:receive(me, id, n * n)\n"
        "  end\n"
        "end}}\n"
        "actors.class_create{name = 'client', param = {0x100000}, action = {start = function(me)\n"
        "  client_box = new_request(me)\n"
        "  actors.wait()\n"
        "  local sum = 0\n"
        "  for i = 1, 3 do\n"
        "    server_box:receive(me, i, i + 1)\n"
        "    client_box:wait()\n"
        "    local from, id, v = client_box:pop()\n"
        "    sum = sum + v\n"
        "  end\n"
        "  system.trace(6, 'client', 'sum ' .. sum)\n"
        "  client_done = true\n"
        "  while true do actors.wait() end\n"
        "end}}\n"
        "actors.class_create{name = 'worker', param = {0x100000}, action = {start = function(me)\n"
        "  local p = new_progress(me)\n"
        "  p:term(0)\n"
        "  p:init(4)\n"
        "  local frames = {}\n"
        "  while p:count() < 4 do p:progress(1) frames[#frames + 1] = system.frame() end\n"
        "  system.trace(6, 'worker', 'steps ' .. #frames .. ' count ' .. p:count())\n"
        "  worker_done = true\n"
        "  while true do actors.wait() end\n"
        "end}}\n"
        "actors.create{'server', 0, 0, 0}\n"
        "actors.create{'client', 0, 0, 0}\n"
        "actors.create{'worker', 0, 0, 0}\n"
        "system.fork(function()\n"
        "  for i = 1, 60 do\n"
        "    if client_done and worker_done then system.exit(0) end\n"
        "    coroutine.yield()\n"
        "  end\n"
        "  system.exit(3)\n"
        "end)\n";
    game_folder game(ini, main);
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    std::vector<std::string> wanted = {"information: client: sum 29 [", "information: worker: steps 4 count 4 ["};
    for (const std::string& w : wanted) {
        bool found = false;
        for (const std::string& line : script_lines(game)) found = found || line.find(w) != std::string::npos;
        EXPECT_TRUE(found) << w << "\n" << game.read(L"log\\system.log");
    }
}
