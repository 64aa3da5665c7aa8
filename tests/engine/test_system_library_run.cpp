// system.trace, crypt, abort and the engine's state as scripts read it,
// in the running engine.
#include <gtest/gtest.h>

#include <vector>

#include "core/cipher.h"
#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string run_ini = "[PRODUCT]\r\nPRODUCTNAME=Sample\r\n[Vy]\r\nFPS=60\r\n";

// The scrambled bytes of a text as a Lua table constructor; extra is added
// to every byte (system.crypt keeps the low 8 bits), drop cuts bytes off.
std::string scrambled_table(const wchar_t* text, const wchar_t* key, int extra = 0, size_t drop = 0,
                            const std::string& tail = "") {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(cipher_apply(text, key, bytes));
    std::string out = "{";
    for (size_t i = 0; i + drop < bytes.size(); ++i) out += std::to_string(bytes[i] + extra) + ",";
    return out + tail + "}";
}
}  // namespace

TEST(SystemLibraryRun, TraceLevelsOriginsAndRefusals) {
    game_folder game(run_ini, "");
    expect_cases(game, {
        {"show('t1', system.trace())", {"information: t1: 6"}},
        {"system.trace(7, 'hidden') system.trace(6, 'shown')", {"information: trace: shown"}},
        // Texts are printed as they stand, never as formats.
        {"system.trace(1, 'my.origin', 'with %s and %d%%')", {"error: my.origin: with %s and %d%%"}},
        {"system.trace(6, '100%s', 'ok')", {"information: 100%s: ok"}},
        {"system.trace(6, 12) system.trace(2.9, 'w')", {"information: trace: 12", "warning: trace: w"}},
        {"system.trace('3') system.trace(110, 'x') system.trace(-1) system.trace(nil, 'x')",
         {"error: system.trace: invalid trace level", "error: system.trace: invalid trace level",
          "error: system.trace: invalid trace level", "error: system.trace: invalid trace level"}},
        {"show('t2', system.trace())", {"information: t2: 6"}},
        // With the level at 3, level 4 and up are dropped.
        {"system.trace(3) system.trace(3, 'at3', 'kept') system.trace(4, 'at4', 'dropped') "
         "system.trace(109) system.trace(109, 'at109', 'kept') system.trace(6)",
         {"important: at3: kept", "debug99: at109: kept"}},
    });
}

TEST(SystemLibraryRun, EngineStateAndMessagePump) {
    game_folder game(run_ini, "");
    expect_cases(game, {
        {"show('r1', system.frame(), system.is_tool(), system.is_debug(), system.last_exit_code())",
         {"information: r1: 0,false,false,0"}},
        {"system.msgloop() system.msgloop(5) system.msgloop(-1) show('r2', 'pumped')", {"information: r2: pumped"}},
    });
    game_folder debug_game("[Vy]\r\nFPS=60\r\nDEBUG=vydebug\r\n", "");
    expect_cases(debug_game, {{"show('r3', system.is_debug(), system.trace())", {"information: r3: true,99"}}});
}

TEST(SystemLibraryRun, CryptComparesTheScrambledText) {
    game_folder game(run_ini, "");
    const std::string abc_k = scrambled_table(L"abc", L"k");
    const std::string abc_default = scrambled_table(L"abc", cipher_default_key);
    expect_cases(game, {
        {"show('k1', system.crypt(" + abc_k + ", 'abc', 'k'), system.crypt(" + abc_k + ", 'abc'))",
         {"information: k1: true,false"}},
        // An empty or missing key is the engine's own key.
        {"show('k2', system.crypt(" + abc_default + ", 'abc'), system.crypt(" + abc_default + ", 'abc', ''))",
         {"information: k2: true,true"}},
        // The text defaults to the product name.
        {"show('k3', system.crypt(" + scrambled_table(L"Sample", cipher_default_key) + "))",
         {"information: k3: true"}},
        {"show('k4', system.crypt(" + scrambled_table(L"abc", L"k", 0, 1) + ", 'abc', 'k'))",
         {"information: k4: false"}},
        {"show('k5', system.crypt(" + scrambled_table(L"abc", L"k", 256) + ", 'abc', 'k'))",
         {"information: k5: true"}},
        // The bytes end at the first element that is not a number.
        {"show('k6', system.crypt(" + scrambled_table(L"abc", L"k", 0, 0, "'end', 1, 2") + ", 'abc', 'k'))",
         {"information: k6: true"}},
        {"show('k7', system.crypt('abcdefgh', 'abc', 'k'), system.crypt(42, 'abc'), system.crypt())",
         {"information: k7: false,false,false"}},
    });
}

TEST(SystemLibraryRun, AbortEndsAtOnceWithoutShutDown) {
    game_folder game(run_ini,
                     "system.trace(6, 'before', 'abort')\n"
                     "system.abort()\n"
                     "system.trace(6, 'after', 'abort')\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(-1, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(game.log_has(L"log\\system.log", "information: before: abort [0]"));
    EXPECT_FALSE(game.log_has(L"log\\system.log", "after"));
    EXPECT_FALSE(game.log_has(L"log\\vytrace.log", "VyEngine: exit"));
    wchar_t code[32] = {};
    GetPrivateProfileStringW(L"STATUS", L"EXITCODE", L"", code, 32, game.path(L"save.ini").c_str());
    EXPECT_EQ(std::wstring(L"-32768"), code) << "the next run sees an abnormal end";
}
