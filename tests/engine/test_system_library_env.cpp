// Script environments: separate Lua states that scripts open by name and
// exchange copied values with.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
class env_game : public game_folder {
public:
    env_game() : game_folder("[Vy]\r\nFPS=60\r\n", "") {
        write(L"script\\inside.lua", "from_file = (from_file or 0) + 1\n");
        write(L"script\\broken.lua", "x = = 1\n");
    }
};
}  // namespace

TEST(SystemLibraryEnv, OpenExecGetAndClose) {
    env_game game;
    expect_cases(game, {
        {"show('o1', system.env_open('calc'), system.env_open('calc'))",
         {"error: system.env_open: specified environ name already exists", "information: o1: true,false"}},
        {"show('o2', system.env_exec('calc', 'x = 6 * 7'), system.env_get('calc', 'x'))", {"information: o2: true,42"}},
        // Only the standard libraries: no engine library, no io or os.
        {"system.env_exec('calc', 'libs = tostring(system) .. tostring(io) .. tostring(os) .. type(string.format)')"
         " show('o3', system.env_get('calc', 'libs'))",
         {"information: o3: nilnilnilfunction"}},
        {"show('o4', system.env_exec_file('calc', 'inside'), system.env_exec_file('calc', 'inside'),"
         " system.env_get('calc', 'from_file'), from_file)",
         {"information: o4: true,true,2,nil"}},
        {"show('o5', select('#', system.env_close('calc')))", {"information: o5: 0"}},
        {"show('o6', system.env_close('calc'), system.env_get('calc', 'x'), system.env_exec('calc', 'y = 1'))",
         {"error: system.env_close: invalid environ name", "error: system.env_get: invalid environ name",
          "error: system.env_exec: invalid environ name", "information: o6: nil,nil,false"}},
        // Closed names open again, empty.
        {"show('o7', system.env_open('calc'), system.env_get('calc', 'x')) system.env_close('calc')",
         {"information: o7: true,nil"}},
        {"show('o8', system.env_open(''), system.env_open(), system.env_open(3))",
         {"error: system.env_open: env_open is failed", "error: system.env_open: env_open is failed",
          "error: system.env_open: env_open is failed", "information: o8: false,false,false"}},
    });
}

TEST(SystemLibraryEnv, ValuesCrossByCopy) {
    env_game game;
    expect_cases(game, {
        {"e = system.environ('vals') show('v1', e.name, type(e.close), system.environ('vals'))",
         {"error: system.env_open: specified environ name already exists", "information: v1: vals,function,nil"}},
        // Tables arrive as copies: changing one side leaves the other.
        {"local t = {a = 1, sub = {b = 'two'}} show('v2', e:set('t', t)) t.a = 9"
         " e:exec('t.a = t.a + 10 n = t.sub.b') show('v3', e:get('n'), e:get('t').a, t.a)",
         {"information: v2: true", "information: v3: two,11,9"}},
        // Functions and other kinds don't cross.
        {"show('v4', e:set('f', print), e:get('f'))", {"information: v4: true,nil"}},
        // The two-argument form works on the environment's own stack.
        {"e:set(10) e:set('twenty') show('v5', e:get(1), e:get(2), e:get(-1), e:get(3), e:get(0))",
         {"information: v5: 10,twenty,twenty,nil,nil"}},
        // A coroutine's values travel through its own stack.
        {"system.fork(function() e:set('co', {k = 'from co'}) show('v6', e:get('co').k) end)",
         {"information: v6: from co"}},
        {"show('v7', e:set(), e:set('a', 1, 2), e:set(1, 2), e:get(), e:get(true))",
         {"error: system.env_set: invalid arguments", "error: system.env_set: invalid arguments",
          "error: system.env_set: invalid arguments", "error: system.env_get: invalid arguments",
          "error: system.env_get: invalid arguments", "information: v7: false,false,false,nil,nil"}},
        {"show('v8', system.env_set('nowhere', 'a', 1), system.env_set(42, 'a', 1))",
         {"error: system.env_set: invalid environ name", "error: system.env_set: invalid environ name",
          "information: v8: false,false"}},
    });
}

TEST(SystemLibraryEnv, FailuresLeaveTheEnvironmentUsable) {
    env_game game;
    expect_cases(game, {
        {"e = system.environ('work')", {}},
        {"show('f1', e:exec('x = = 1'))", {"error: system.env_exec: *unexpected symbol*", "information: f1: false"}},
        {"show('f2', e:exec('error(\"inside broke\")'))", {"error: system.env_exec: *inside broke*", "information: f2: false"}},
        {"show('f3', e:exec_file('broken'), e:exec_file('missing'))",
         {"error: system.env_exec_file: *unexpected symbol*", "error: system.env_exec_file: *missing*",
          "information: f3: false,false"}},
        {"show('f4', e:exec(12), e:exec_file(12))",
         {"error: system.env_exec: invalid arguments", "error: system.env_exec_file: invalid arguments",
          "information: f4: false,false"}},
        // A userdata's bytes load as a chunk: a file handle's are no Lua.
        {"show('f5', e:exec(io.stdout), e:exec('ok = 1'), e:get('ok'))",
         {"error: system.env_exec: *", "information: f5: false,true,1"}},
    });
}
