// A game script stores a group of actors, brings it back and purges it
// across frames; the system log tells each step with its frame number.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
const char* const game =
    "actors.set_group('stage')\n"
    "actors.class_create{name = 'mover', param = {0x900000}, action = {\n"
    "  start = function(a) local x = 0 while true do x = x + 1 actors.set_position(a, x, 0, 0) actors.wait() end end,\n"
    "  catch = function(a, ctx, ev) system.trace(6, string.format('%s got %x at %d', actors.name(a) or '-', ev, actors.x(a))) end}}\n"
    "actors.create{'mover', 0, 0, 0, name = 'm1'}\n"
    "actors.create{'mover', 0, 0, 0}\n"
    "actors.set_group()\n"
    "actors.class_create{name = 'keeper', param = {0}}\n"
    "actors.create{'keeper', 0, 0, 0, name = 'k'}\n"
    "actors.set_name('k', 'kept')\n"
    "system.fork(function()\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  actors.store('stage')\n"
    "  coroutine.yield() coroutine.yield() coroutine.yield()\n"
    "  system.trace(6, 'frozen at ' .. actors.x('m1') .. ', members ' .. #actors.list_group('stage'))\n"
    "  actors.restore('stage')\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  actors.purge('stage')\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  system.trace(6, 'after purge ' .. tostring(actors.get('m1')) .. ' ' .. tostring(actors.class_get('mover'))\n"
    "    .. ' ' .. tostring(actors.get('kept') ~= nil) .. ' ' .. #actors.list_group('stage'))\n"
    "  system.exit(0)\n"
    "end)\n";

TEST(EngineActorGroups, AGroupIsStoredRestoredAndPurgedAcrossFrames) {
    game_folder folder("[Vy]\r\nFPS=60\r\n", game);
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    // The movers step once a frame from frame 1 on; stored in frame 2 they
    // stand still until the restore in frame 5, and the purge in frame 7
    // kills them and takes their class out.
    const std::vector<std::string> expected = {
        "information: system: initialize [0]",
        "information: actors.class_create: create actor class mover [0]",
        "information: actors.class_create: mover is created successfully [0]",
        "information: actors.create: create object from mover [0]",
        "information: trace: m1 got 70000001 at 1 [0]",
        "information: actors.create: m1<mover> is created successfully (1) [0]",
        "information: actors.create: create object from mover [0]",
        "information: trace: - got 70000001 at 1 [0]",
        "information: actors.create: *anonymous*<mover> is created successfully (2) [0]",
        "information: actors.class_create: create actor class keeper [0]",
        "information: actors.class_create: keeper is created successfully [0]",
        "information: actors.create: create object from keeper [0]",
        "information: actors.create: k<keeper> is created successfully (3) [0]",
        "information: actors.set_name: keeper[k] actor name is changed to kept successfully [0]",
        "information: trace: m1 got 70000005 at 2 [2]",
        "information: trace: m1 got 70000006 at 2 [2]",
        "information: trace: - got 70000005 at 2 [2]",
        "information: trace: - got 70000006 at 2 [2]",
        "information: trace: frozen at 2, members 2 [5]",
        "information: trace: m1 got 70000003 at 2 [5]",
        "information: trace: m1 got 70000004 at 2 [5]",
        "information: trace: - got 70000003 at 2 [5]",
        "information: trace: - got 70000004 at 2 [5]",
        "information: trace: m1 got 70000002 at 4 [7]",
        "information: trace: - got 70000002 at 4 [7]",
        "information: actors.kill: m1<mover> is dead [7]",
        "information: actors.kill: *anonymous*<mover> is dead [7]",
        "information: trace: after purge nil nil true 0 [9]",
        "information: system: release [9]",
    };
    EXPECT_EQ(expected, folder.script_log());
}
}  // namespace
