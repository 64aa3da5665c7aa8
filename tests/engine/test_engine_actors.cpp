// Actors and sprites of a game script run by VyEngine.exe: creation from
// classes, coroutine starts, movement, animation states, kills, lookups by
// name and by handle, and the system log lines they leave.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
// A 24-bit BMP of four 32x32 cells side by side.
std::string cells_bmp() {
    const int width = 128, height = 32, row = width * 3;
    std::string bytes(54 + size_t(row) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char* p = &bytes[54 + size_t(y) * row + size_t(x) * 3];
            p[0] = char(60 * (x / 32));
            p[1] = char(40);
            p[2] = char(200);
        }
    }
    return bytes;
}

const char* const game =
    "sprites.class_create{name = 'cells', image = {'cells', nil, {32, 32}}, "
    "  frame = {ways = 1, {0}, {1}, {2}, {3}}, scene = {{0, 2, 0, 1}, {2, 4, 0, 1}}, state = {{0, 0}, {1, 0}}}\n"
    "actors.class_create{name = 'walker', sprite = 'cells', param = {0x100500}, action = {start = function(a, x)\n"
    "  for i = 1, 3 do x = x + 2 actors.set_position(a, x, 100, 0) actors.wait() end\n"
    "  system.trace(6, actors.name(a) .. ' at ' .. actors.x(a) .. ' in state ' .. actors.state(a))\n"
    "end}}\n"
    "actors.class_create{name = 'idler', sprite = 'cells', param = {0x100500}, action = {start = function(a)\n"
    "  while true do actors.wait() end\n"
    "end}}\n"
    "local hero = actors.create{'walker', 10, 100, 0, name = 'hero', init = 10}\n"
    "local idle = actors.create{'idler', 200, 50, 0}\n"
    "sprites.set_state(actors.sprite('hero'), 1)\n"
    "system.trace(6, 'found ' .. tostring(actors.get('hero') == hero) .. ' ' .. tostring(actors.get(idle) == idle))\n"
    "system.fork(function()\n"
    "  for i = 1, 5 do coroutine.yield() end\n"
    "  system.trace(6, 'hero alive ' .. tostring(actors.get('hero') ~= nil))\n"
    "  actors.kill(idle)\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  system.trace(6, 'idler ' .. tostring(actors.x(idle)))\n"
    "  system.exit(0)\n"
    "end)\n";

TEST(EngineActors, ScriptActorsLiveMoveAnimateAndDie) {
    game_folder folder("[Vy]\r\nFPS=60\r\n", game);
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    folder.write(L"graphic\\cells.bmp", cells_bmp());
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    // Handles: the first actor takes id 2 after its sprite's 1, the second
    // 4 after its sprite's 3. The walker's coroutine ends in frame 3 and
    // the actor dies with it; the idler is killed in frame 6.
    const std::vector<std::string> expected = {
        "information: system: initialize [0]",
        "information: sprites.class_create: create sprite class cells [0]",
        "information: sprites.class_create: cells is created successfully [0]",
        "information: actors.class_create: create actor class walker [0]",
        "information: actors.class_create: walker is created successfully [0]",
        "information: actors.class_create: create actor class idler [0]",
        "information: actors.class_create: idler is created successfully [0]",
        "information: actors.create: create object from walker [0]",
        "information: actors.create: hero<walker> is created successfully (2) [0]",
        "information: actors.create: create object from idler [0]",
        "information: actors.create: *anonymous*<idler> is created successfully (4) [0]",
        "information: trace: found true true [0]",
        "information: trace: hero at 16 in state 1 [3]",
        "information: actors.kill: hero<walker> is dead [3]",
        "information: trace: hero alive false [5]",
        "information: actors.kill: *anonymous*<idler> is dead [5]",
        "information: trace: idler nil [7]",
        "information: system: release [7]",
    };
    EXPECT_EQ(expected, folder.script_log());
}

// An actor whose set-up fails leaves nothing behind: the creation answers
// nil, the log says why, and the engine goes on (or ends with 1 when the
// failure was a script error of the init function) without a crash.
TEST(EngineActors, FailedCreationLeavesNoActorBehind) {
    const std::string classes =
        "sprites.class_create{name = 'cells', image = {'cells', nil, {32, 32}}, "
        "  frame = {ways = 1, {0}, {1}}, scene = {{0, 2, 0, 1}}, state = {{0, 0}}}\n"
        "local function class(name, sprite, flags, action)\n"
        "  actors.class_create{name = name, sprite = sprite, param = {flags}, action = action}\n"
        "end\n"
        "local function try(t) system.trace(6, 'made ' .. tostring(actors.create(t))) end\n";
    // After the failure a good named actor is made and lives a few frames.
    const std::string then =
        "class('good', 'cells', 0x100500, {start = function(a) while true do actors.wait() end end})\n"
        "local good = actors.create{'good', 5, 5, 0, name = 'again'}\n"
        "system.trace(6, 'good ' .. tostring(good ~= nil) .. ' ' .. actors.name(good))\n"
        "system.fork(function()\n"
        "  for i = 1, 3 do coroutine.yield() end\n"
        "  system.trace(6, 'alive ' .. tostring(actors.get('again') == good))\n"
        "  system.exit(0)\n"
        "end)\n";
    struct {
        const char* name;
        std::string make;        // defines the class and tries to create
        const char* reason;      // the failure line of actors.create
        const char* not_created; // the closing line of actors.create
        int32_t exit_code;       // 1: a script error failed the frame
    } cases[] = {
        {"init function raises",
         "class('bad', nil, 0, {init = function(a) error('init broke') end})\n"
         "try{'bad', 1, 2, 0}\n",
         "failed in initialization of actor", "*anonymous*<bad> is not created (-1)", 1},
        {"init function of an inline class raises",
         "try{{param = {0}, action = {init = function(a) error('init broke') end}}, 1, 2, 0}\n",
         "failed in initialization of actor", "*anonymous*<*anonymous*> is not created (-1)", 1},
        {"init function hands the actor to a child as its parent, then raises",
         "class('kid', nil, 0, {default = function(a) end})\n"
         "class('bad', nil, 0, {init = function(a) actors.create{'kid', 0, 0, 0, parent = a} error('init broke') end})\n"
         "try{'bad', 1, 2, 0}\n",
         "failed in initialization of actor", "*anonymous*<bad> is not created (-1)", 1},
        {"init function makes the actor a thread's owner, then raises",
         "class('bad', nil, 0, {init = function(a)\n"
         "  system.fork(function() coroutine.yield() end, a, 5) error('init broke') end})\n"
         "try{'bad', 1, 2, 0}\n",
         "failed in initialization of actor", "*anonymous*<bad> is not created (-1)", 1},
        {"init function of a named actor with a sprite raises",
         "class('bad', 'cells', 0x500, {init = function(a) error('init broke') end,\n"
         "  default = function(a) end})\n"
         "try{'bad', 1, 2, 0, name = 'again'}\n",
         "failed in initialization of actor", "again<bad> is not created (-1)", 1},
        {"coroutine raises in its first part",
         "class('bad', 'cells', 0x100500, {start = function(a) error('start broke') end})\n"
         "try{'bad', 1, 2, 0, name = 'again'}\n",
         "failed in initialization of actor", "again<bad> is not created (-1)", 0},
        {"coroutine ends without yielding",
         "class('bad', 'cells', 0x100500, {start = function(a) end})\n"
         "try{'bad', 1, 2, 0, name = 'again'}\n",
         "failed in initialization of actor", "again<bad> is not created (-1)", 0},
        {"sprite can't be made for way 8",
         "class('bad', 'cells', 0x100500, {start = function(a) while true do actors.wait() end end})\n"
         "try{'bad', 1, 2, 0, 0, 8, name = 'again'}\n",
         "failed in initialization of actor", "again<bad> is not created (-1)", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        game_folder folder("[Vy]\r\nFPS=60\r\n", classes + c.make + then);
        CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
        folder.write(L"graphic\\cells.bmp", cells_bmp());
        engine_outcome out = run_engine(folder.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(c.exit_code, out.exit_code) << folder.read(L"log\\vytrace.log");
        EXPECT_EQ(c.exit_code == 0 ? 0u : 1u, out.boxes.size());
        EXPECT_TRUE(folder.log_has(L"log\\system.log", std::string("error: actors.create: ") + c.reason + " [0]"));
        EXPECT_TRUE(folder.log_has(L"log\\system.log", std::string("information: actors.create: ") + c.not_created + " [0]"));
        EXPECT_TRUE(folder.log_has(L"log\\system.log", "information: trace: made nil [0]"));
        // The name is free again and the engine carries on with the next actor.
        EXPECT_TRUE(folder.log_has(L"log\\system.log", "information: trace: good true again [0]"))
            << folder.read(L"log\\system.log");
        if (c.exit_code == 0) {
            EXPECT_TRUE(folder.log_has(L"log\\system.log", "information: trace: alive true [3]"));
        } else {
            EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "WinMain: system_manager::onframe, code=-1(0xFFFFFFFF)"));
        }
    }
}
}  // namespace

// Two actors walk towards each other; when their sensors meet, each one's
// collide action hears of the other in the same frame.
TEST(EngineActors, SensorsThatMeetCallTheCollideActions) {
    const char* meeting =
        "local seen = {}\n"
        "local function walker(step) return function(a)\n"
        "  while true do if not seen[a] then actors.set_position(a, actors.x(a) + step, 0, actors.z(a)) end actors.wait() end\n"
        "end end\n"
        "local function met(a, other, event, value)\n"
        "  if seen[a] then return end\n"
        "  seen[a] = true\n"
        "  system.trace(6, actors.name(a) .. ' meets ' .. actors.name(other) .. ' ' .. event .. ' ' ..\n"
        "    tostring(value) .. ' at ' .. actors.x(a))\n"
        "end\n"
        "actors.class_create{name = 'left', param = {0x100000}, body = {{0, -5, -5, 5, 5}, id = 1},\n"
        "  sensor = {{0, -5, -5, 5, 5}, id = 7, attr = 0x2000}, action = {start = walker(4), collide = met}}\n"
        "actors.class_create{name = 'right', param = {0x100000}, body = {{0, -5, -5, 5, 5}, id = 2},\n"
        "  sensor = {{0, -5, -5, 5, 5}, id = 8}, action = {start = walker(-4), collide = met}}\n"
        "actors.create{'left', 0, 0, 0, name = 'lefty'}\n"
        "actors.create{'right', 40, 0, 0, name = 'righty'}\n"
        "actors.create{'right', 40, 0, 1, name = 'elsewhere'}\n"
        "system.fork(function() for i = 1, 8 do coroutine.yield() end system.exit(0) end)\n";
    game_folder folder("[Vy]\r\nFPS=60\r\n", meeting);
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    std::vector<std::string> traces;
    for (const std::string& line : folder.script_log()) {
        if (line.find("trace:") != std::string::npos) traces.push_back(line);
    }
    // Their fourth steps bring them to 16 and 24, where the sensors meet;
    // the actor on layer 1 meets no one.
    const std::vector<std::string> expected = {
        "information: trace: lefty meets righty 7 2 at 16 [3]",
        "information: trace: righty meets lefty 8 nil at 24 [3]",
    };
    EXPECT_EQ(expected, traces);
}
