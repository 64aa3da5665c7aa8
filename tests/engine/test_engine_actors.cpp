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
}  // namespace
