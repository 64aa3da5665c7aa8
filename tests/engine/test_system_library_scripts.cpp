// system.load, exec, fork and callback in the running engine.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string scripts_ini = "[Vy]\r\nFPS=60\r\n";

class scripts_game : public game_folder {
public:
    scripts_game() : game_folder(scripts_ini, "") {
        write(L"script\\lib.lua", "return 'lib value'\n");
        write(L"script\\bad.lua", "x = = 1\n");
        write(L"script\\raises.lua", "error('exec broke')\n");
        write(L"script\\counter.lua", "count = (count or 0) + 1\n");
        write(L"script\\thread.lua", "system.trace(6, 'thread', 'ran')\n");
    }
};

// Shows what a callback receives: the count, then each value (tables by
// their field x).
const char* const receiver =
    "function receive(label)\n"
    "  return function(...)\n"
    "    local t = {}\n"
    "    for i = 1, select('#', ...) do\n"
    "      local v = select(i, ...)\n"
    "      t[#t + 1] = type(v) == 'table' and 'table:' .. tostring(v.x) or tostring(v)\n"
    "    end\n"
    "    show(label, select('#', ...), unpack(t))\n"
    "    return 7\n"
    "  end\n"
    "end\n";
}  // namespace

TEST(SystemLibraryScripts, LoadAndExecThroughTheScriptPath) {
    scripts_game game;
    expect_cases(game, {
        {"local f = system.load('lib') show('l1', type(f), f())", {"information: l1: function,lib value"}},
        {"show('l2', system.load('ignored', 'lib')())", {"information: l2: lib value"}},
        {"show('l3', system.load('bad'))", {"error: system.load: *unexpected symbol near '='*", "information: l3: nil"}},
        {"show('l4', system.load('missing'))", {"error: system.load: cannot open *missing.lua*", "information: l4: nil"}},
        {"show('l5', system.load(), system.load(12))",
         {"error: system.load: invalid argument", "error: system.load: invalid argument", "information: l5: nil,nil"}},
        {"show('x1', system.exec('counter'), system.exec('counter'), count)", {"information: x1: true,true,2"}},
        {"show('x2', system.exec('raises'))", {"error: system.exec: *exec broke*", "information: x2: false"}},
        {"show('x3', system.exec('bad'))", {"error: system.exec: *unexpected symbol*", "information: x3: false"}},
    });
}

TEST(SystemLibraryScripts, ForkStartsThreadsAtOnce) {
    scripts_game game;
    expect_cases(game, {
        {"show('f1', system.fork('thread'))", {"information: thread: ran", "information: f1: true"}},
        {"show('f2', system.fork(function() system.trace(6, 'forked', 'ran') end))",
         {"information: forked: ran", "information: f2: true"}},
        {"show('f3', system.fork(42), system.fork())",
         {"error: system.fork: invalid arg", "error: system.fork: invalid arg", "information: f3: false,false"}},
        {"show('f4', system.fork(function() error('at once') end))",
         {"error: system.fork: *at once*", "information: f4: false"}},
        {"show('f5', system.fork('missing'))", {"error: system.fork: cannot open *", "information: f5: false"}},
    });
}

TEST(SystemLibraryScripts, CallbackSlotsRegisterAndCall) {
    scripts_game game;
    expect_cases(game, {
        {receiver, {}},
        {"show('c1', system.callback(1, receive('cb')))", {"information: c1: true"}},
        // Every argument after the id is handed on, nil and tables included.
        {"show('c2', system.callback(1, 'a', 2, true, nil, {x = 'tx'}))",
         {"information: cb: 5,a,2,true,nil,table:tx", "information: c2: true"}},
        {"show('c3', system.callback(1))", {"information: cb: 0", "information: c3: true"}},
        // A caller in a coroutine hands over values from its own stack.
        {"system.fork(function() show('c4', system.callback(1, 'co', {x = 'cx'})) end)",
         {"information: cb: 2,co,table:cx", "information: c4: true"}},
        // A function registered from a coroutine lands in the slot.
        {"system.fork(function() system.callback(2, receive('cb2')) end) show('c5', system.callback(2, 'main'))",
         {"information: cb2: 1,main", "information: c5: true"}},
        {"show('c6', system.callback(4, function() end), system.callback(-1, function() end))",
         {"error: system.callback: fail to register: 4", "error: system.callback: fail to register: -1",
          "information: c6: false,false"}},
        // A refused id leaves the slots alone.
        {"show('c7', system.callback(1, 'still'))", {"information: cb: 1,still", "information: c7: true"}},
        {"show('c8', system.callback(3, 'x'), system.callback(4, 'x'))", {"information: c8: false,false"}},
        {"system.callback(2, function() error('cb broke') end) show('c9', system.callback(2))",
         {"error: system.callback: *cb broke*", "information: c9: false"}},
        // Many values need room on the main state's stack.
        {"local t = {} for i = 1, 5000 do t[i] = (i % 2 == 0) and i or {x = i} end "
         "system.callback(2, function(...) n = select('#', ...) end) "
         "show('c10', system.callback(2, unpack(t)), n)",
         {"information: c10: true,5000"}},
        {"system.fork(function() local t = {} for i = 1, 5000 do t[i] = {} end "
         "show('c11', system.callback(2, unpack(t)), n) end)",
         {"information: c11: true,5000"}},
    });
}

TEST(SystemLibraryScripts, ExitAsksTheCloseCallbackOnlyWhenNotForced) {
    const std::string ask =
        "system.callback(0, function() system.trace(6, 'asked', 'close') return 1 end)\n";
    struct exit_case {
        std::string main;
        int32_t exit_code;
        bool asked;
    };
    const exit_case cases[] = {
        {ask + "system.exit(0)\n", 0, true},
        {ask + "system.exit(0, true)\n", 0, false},
        {ask + "system.exit(1)\n", 1, false},
        {ask + "system.exit(-5, false)\n", -5, false},
        // A callback that answers nothing refuses; a forced exit still ends.
        {"system.callback(0, function() system.trace(6, 'asked', 'close') end)\n"
         "system.exit(0)\n"
         "system.fork(function() for i = 1, 5 do coroutine.yield() end system.exit(0, true) end)\n",
         0, true},
    };
    for (const exit_case& c : cases) {
        SCOPED_TRACE(c.main);
        game_folder game(scripts_ini, c.main);
        engine_outcome out = run_engine(game.dir());
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(c.exit_code, out.exit_code);
        EXPECT_EQ(c.asked, game.log_has(L"log\\system.log", "information: asked: close [0]"));
        EXPECT_EQ(c.exit_code != 0, !out.boxes.empty());
    }
}

TEST(SystemLibraryScripts, ForkThrowsTheEndEventAtItsOwner) {
    game_folder game(scripts_ini,
                     std::string(show_prelude) +
                         "actors.class_create{name = 'owner', param = {0x100500}, action = {\n"
                         "  start = function(a) while true do actors.wait() end end,\n"
                         "  catch = function(a, ctx, ev) system.trace(6, 'caught', tostring(ev)) end}}\n"
                         "local owner = actors.create{'owner', 0, 0, 0, name = 'boss'}\n"
                         "show('at once', system.fork(function() end, owner, 77))\n"
                         "show('later', system.fork(function() coroutine.yield() coroutine.yield() end, 'boss', 78))\n"
                         "system.fork(function() for i = 1, 5 do coroutine.yield() end system.exit(0) end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> lines;
    for (const std::string& line : script_lines(game))
        if (line.find(": actors.") == std::string::npos) lines.push_back(line);
    // The first ends inside the call, the second in its third resume.
    EXPECT_EQ((std::vector<std::string>{"information: caught: 77 [0]", "information: at once: true [0]",
                                        "information: later: true [0]", "information: caught: 78 [2]"}),
              lines)
        << game.read(L"log\\system.log");
}
