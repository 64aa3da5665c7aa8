// Script restarts and dead actors in runs of VyEngine.exe: what a restart
// leaves behind, restarts asked for inside a frame, and script calls on
// actors whose records are already dead.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_run.h"
#include "image_files.h"

namespace {
std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

bool has_line(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// Every run of the main script counts itself in an environment (they
// outlive restarts), makes a sprite class whose frame holds an extend
// table, a bare sprite and an actor, then spends its frames busy and in
// nested message loops, where the test's Esc keys land.
const char* const restart_game =
    "system.env_open('runs')\n"
    "local n = (system.env_get('runs', 'n') or 0) + 1\n"
    "system.env_set('runs', 'n', n)\n"
    "local made = sprites.class_create{name = 'cells', image = {'cells', nil, {32, 32}},\n"
    "  frame = {ways = 1, {0, extend = {run = n}}}, scene = {{0, 1, 0, 1}}, state = {{0, 0}}}\n"
    "actors.class_create{name = 'idler', sprite = 'cells', param = {0x100500}, action = {start = function(a)\n"
    "  while true do actors.wait() end end}}\n"
    "local a = actors.create{'idler', 10, 10, 0}\n"
    "local bare = sprites.create{'cells', 40, 40, 0, 0, 0}\n"
    "local x = actors.sprite_extend(a)\n"
    "system.trace(6, 'run ' .. n .. ' class ' .. tostring(made ~= nil) .. ' extend ' .. tostring(x and x.run)"
    "  .. ' bare ' .. tostring(bare ~= nil))\n"
    "if n >= 3 then system.exit(0) return end\n"
    "system.fork(function()\n"
    "  while true do\n"
    "    local t = os.clock()\n"
    "    while os.clock() - t < 0.03 do end\n"
    "    system.msgloop(-1)\n"
    "    system.trace(6, 'after loop ' .. n)\n"
    "    coroutine.yield()\n"
    "  end\n"
    "end)\n";

TEST(EngineRestart, RestartsInNestedMessageLoopsRunAtTheNextFrameAndLeaveNothingBehind) {
    game_folder folder("[Vy]\r\nFPS=60\r\nDEBUG=vydebug\r\n", restart_game);
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    folder.write(L"graphic\\cells.bmp", solid_bmp(32, 32, 0x2080C0));
    engine_process engine(folder.dir(), L"");
    ASSERT_TRUE(engine.started());
    HWND window = engine.wait_main_window(20000);
    ASSERT_NE(nullptr, window);
    // Esc keys until the third run ends the engine; most of them arrive
    // while a script thread runs its own message loop.
    const DWORD start = GetTickCount();
    while (engine.running() && GetTickCount() - start < 30000) {
        PostMessageW(window, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        Sleep(40);
    }
    engine_outcome out = engine.wait(10000);
    ASSERT_FALSE(out.timed_out) << joined(folder.script_log()) << folder.read(L"log\\vytrace.log");
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    const std::vector<std::string> log = folder.script_log();
    for (const char* run : {"run 1 class true extend 1 bare true", "run 2 class true extend 2 bare true",
                            "run 3 class true extend 3 bare true"}) {
        EXPECT_TRUE(has_line(log, run)) << run;
    }
    EXPECT_FALSE(has_line(log, "already existed"));
    // Each loop of run 1 that was interrupted by a restart still ended
    // its frame in the old state.
    EXPECT_TRUE(has_line(log, "after loop 1"));
    EXPECT_NE(std::string::npos, folder.read(L"log\\vytrace.log").find("VyEngine: exit, code=0"));
}

// A locked actor killed in one frame is a dead record from the next on;
// one killed in this frame is still dying. Neither may crash a call, and
// nothing may be attached to the dead record.
const char* const dead_game =
    "sprites.class_create{name = 'cells', image = {'cells', nil, {32, 32}},\n"
    "  frame = {ways = 1, {0}, {0}}, scene = {{0, 1, 0, 1}, {1, 2, 0, 1}}, state = {{0, 0}, {1, 0}}}\n"
    "actors.class_create{name = 'idler', sprite = 'cells', param = {0x100500}, action = {start = function(a)\n"
    "  while true do actors.wait() end end}}\n"
    "local held = actors.create{'idler', 10, 10, 0}\n"
    "local other = actors.create{'idler', 50, 10, 0}\n"
    "local spare = sprites.create{'cells', 40, 40, 0, 0, 0}\n"
    "actors.lock(held)\n"
    "local function all(a)\n"
    "  return table.concat({tostring(actors.play(a, 0)), tostring(actors.class_name(a)),\n"
    "    tostring(actors.state(a))}, ' ')\n"
    "end\n"
    "system.fork(function()\n"
    "  coroutine.yield()\n"
    "  actors.kill(held)\n"
    "  actors.kill(other)\n"
    "  system.trace(6, 'dying ' .. all(other))\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  system.trace(6, 'dead ' .. all(held) .. ' ' .. tostring(actors.action_class(held)))\n"
    "  actors.set_sprite(held, spare)\n"
    "  actors.set_extend(held, {1})\n"
    "  actors.transfer_sprite(held, other)\n"
    "  actors.sleep(held, true)\n"
    "  actors.act_state(held, 0x1, false)\n"
    "  system.trace(6, 'after ' .. tostring(actors.sprite(held)) .. ' ' .. tostring(actors.extend(held)))\n"
    "  actors.unlock(held)\n"
    "  coroutine.yield() coroutine.yield()\n"
    "  system.trace(6, 'freed ' .. tostring(actors.get(held)))\n"
    "  system.exit(0)\n"
    "end)\n";

TEST(EngineRestart, CallsOnDyingAndDeadActorsRefuseWithoutCrashing) {
    game_folder folder("[Vy]\r\nFPS=60\r\n", dead_game);
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    folder.write(L"graphic\\cells.bmp", solid_bmp(32, 32, 0x2080C0));
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    const std::vector<std::string> log = folder.script_log();
    EXPECT_TRUE(has_line(log, "dying false idler 0")) << joined(log);
    EXPECT_TRUE(has_line(log, "dead false  0 false"));
    EXPECT_TRUE(has_line(log, "after nil nil")) << joined(log);
    EXPECT_TRUE(has_line(log, "freed nil")) << "the unlock frees the record";
}
}  // namespace
