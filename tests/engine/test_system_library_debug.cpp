// Breakpoints, the debug routine and the stack traces of the `system`
// library, in the running engine.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string debug_ini = "[Vy]\r\nFPS=60\r\n";

class debug_game : public game_folder {
public:
    debug_game() : game_folder(debug_ini, "") {
        CreateDirectoryW(path(L"script\\game").c_str(), nullptr);
        write(L"script\\game\\logic.lua",
              "function work(n)\n"
              "  local doubled = n * 2\n"
              "  return doubled\n"
              "end\n");
    }
};

const char* const recorder =
    "hits = {}\n"
    "function on_break(source, line, locals)\n"
    "  hits[#hits + 1] = source .. ':' .. line .. ':' .. tostring(locals.n) .. ':' .. tostring(locals.doubled)\n"
    "end\n"
    "function take_hits() local h = table.concat(hits, ' ') hits = {} return h end\n"
    "system.exec('game\\\\logic')\n";
}  // namespace

TEST(SystemLibraryDebug, BreakpointsCallTheDebugRoutine) {
    debug_game game;
    expect_cases(game, {
        {recorder, {}},
        {"system.set_debug_routine('on_break')", {}},
        // Sources are named below the script folder; case and slashes don't matter.
        {R"(show('d1', system.set_breakpoint('game\\logic.lua', 3), system.set_breakpoint('GAME/Logic.lua', 2)))",
         {"information: d1: 1,2"}},
        {"work(5) show('d2', take_hits())", {R"(information: d2: game\logic.lua:2:5:nil game\logic.lua:3:5:10)"}},
        {"show('d3', debug.gethook())", {"information: d3: external hook,crl,0"}},
        {"system.unset_breakpoint(0) work(1) show('d4', take_hits())", {R"(information: d4: game\logic.lua:2:1:nil)"}},
        // Removing the last entry removes the hook; the next one puts it back.
        {"system.unset_breakpoint('game/logic.lua', 2) show('d5', debug.gethook())", {"information: d5: nil,,0"}},
        {R"(show('d6', system.set_breakpoint('game\\logic.lua', 3), debug.gethook()))",
         {"information: d6: 1,external hook,crl,0"}},
        {"function on_break() error('routine broke') end work(1)", {"error: system.breakpoint: *routine broke*"}},
        {"system.set_debug_routine('') system.trace(10) work(1) system.trace(6)",
         {"debuginfo: system.breakpoint: name=[work] namewhat=[global] what=[Lua] "
          "source=[@{dir}\\script\\game\\logic.lua] short_src=[*] currentline=3 nups=0 linedefined=1 "
          "lastlinedefined=4 [0]"}},
        {"system.set_breakpoint(3) system.unset_breakpoint(5) system.unset_breakpoint()",
         {"error: system.set_breakpoint: invalid argument", "error: system.unset_breakpoint: invalid argument",
          "error: system.unset_breakpoint: invalid argument"}},
        {"system.unset_breakpoint(0) show('d7', debug.gethook())", {"information: d7: nil,,0"}},
    });
}

TEST(SystemLibraryDebug, BreakpointCallAndStackTraces) {
    debug_game game;
    expect_cases(game, {
        {recorder, {}},
        {"system.set_debug_routine('on_break') function probe(n) system.breakpoint() end probe(4)"
         " show('b1', take_hits())",
         {"information: b1: main.lua:*:4:nil [0]"}},
        {"system.set_debug_routine('') system.trace(10) probe(4) system.trace(6)",
         {"debuginfo: system.breakpoint: name=[probe] namewhat=[global] what=[Lua] "
          "source=[@{dir}\\script\\main.lua] *"}},
        {"function g(a) local b = 'bee' system.stack_trace(1) end g(5)",
         {"|[1] system.stack_trace", "|\t[1]: name=[a] value=[number = 5.000000]",
          "|\t[1]: name=[b] value=[string = bee]"}},
        {"function h() system.call_stack_trace() end system.fork(function() h() end)",
         {"|call stack trace:", "|\t[0]: name=[call_stack_trace] namewhat=[field] what=[C] *",
          "|\t[1]: name=[h] namewhat=[global] what=[Lua] *", "|\t[2]: name=[(null)] *"}},
        {"function h2(v) system.call_stack_trace(true) end system.fork(function() h2('vee') end)",
         {"|call stack trace:", "|\t[0]: name=[call_stack_trace] *", "|\t\t[0]-[1]: *",
          "|\t[1]: name=[h2] *", "|\t\t[1]-[1]: name=[v] value=[string = vee]", "|\t[2]: name=[(null)] *"}},
    });
}
