// Screen transitions started, updated, suspended and finished from script.
#include <gtest/gtest.h>

#include "engine_run.h"

TEST(SystemLibraryTransit, ScriptsStartUpdateAndFinishTransitions) {
    game_folder game("[Vy]\r\nFPS=60\r\n[TRACE]\r\nLEVEL=10\r\n",
                     "system.transit(4, nil, 3, {fade = true})\n"
                     "system.trace(6, 't1', 'started')\n"
                     "system.transit(42, nil, 3)\n"
                     "system.update_transit(1, 2)\n"
                     "system.suspend_transit(true)\n"
                     "system.suspend_transit(false)\n"
                     "system.transit(8, 'unused', 0, {scale = 2})\n"
                     "system.update_transit(7, 3)\n"
                     "local n = 0\n"
                     "system.fork(function()\n"
                     "  while n < 5 do n = n + 1 coroutine.yield() end\n"
                     "  system.finish_transit()\n"
                     "  system.trace(6, 't2', 'finished')\n"
                     "  system.exit(0)\n"
                     "end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> wanted = {
        "system_manager::switch_render_target: transit id = 0 [0]",  // the default, at start-up
        "system_manager::switch_render_target: transit id = 4 [0]",
        "information: t1: started [0]",
        "system_manager::switch_render_target: transit id = 8 [0]",
        "system_manager::switch_render_target: transit id = 0 [5]",
        "information: t2: finished [5]",
    };
    std::vector<std::string> log = game.log_lines(L"log\\system.log");
    size_t at = 0;
    for (const std::string& line : log)
        if (at < wanted.size() && line.find(wanted[at]) != std::string::npos) ++at;
    EXPECT_EQ(wanted.size(), at) << "missing: " << (at < wanted.size() ? wanted[at] : "") << "\n"
                                 << game.read(L"log\\system.log");
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "system_manager::create_transition: transition_creater, code=-1"));
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "system_manager::start_transition: create_transition, code=-1"));
}
