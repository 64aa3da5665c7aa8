// math.randgen and its generator objects, in a real Lua state.
#include <gtest/gtest.h>

#include <string>

#include "core/random_manager.h"
#include "core/script.h"

#include "lauxlib.h"
#include "lua.h"

namespace {

class RandomScript : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lua.open(script_all_libs));
        randgen_register(lua.state());
    }
    void TearDown() override { lua.close(); }

    // Runs a chunk and answers its single result as text ("nil" for nil,
    // "error: ..." when it fails).
    std::string run(const char* chunk) {
        lua_State* L = lua.state();
        int top = lua_gettop(L);
        std::string out;
        if (luaL_loadstring(L, chunk) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
            out = std::string("error: ") + lua_tostring(L, -1);
        } else if (lua_isnil(L, -1)) {
            out = "nil";
        } else {
            lua_getglobal(L, "tostring");
            lua_pushvalue(L, -2);
            lua_call(L, 1, 1);
            out = lua_tostring(L, -1);
        }
        lua_settop(L, top);
        return out;
    }

    random_manager manager;
    script lua;
};

TEST_F(RandomScript, GeneratorsBySeedAndBounds) {
    struct row {
        const char* chunk;
        const char* want;
    };
    const row rows[] = {
        {"return math.randgen('none')", "nil"},
        {"return math.randgen('bad kind', 0x40000)", "nil"},
        {"return math.randgen('huge ring', 0x30010)", "nil"},
        {"g = math.randgen('g', 0) return type(g.object)", "userdata"},
        {"return math.randgen('g') and math.randgen('g').object == g.object", "true"},
        {"return g:get()", "0"},  // not seeded yet
        {"g:seed(5489) return g:get()", "3499211612"},
        {"return g:seed()", "5489"},
        {"g:seed('7') return g:seed()", "5489"},  // a numeric string is no seed
        {"g:seed(-1) return g:seed()", "4294967295"},
        {"g:seed(1.9) return g:get()", "1791095845"},
        {"for i = 1, 2000 do local v = g:get(10) if v < 0 or v > 9 or v % 1 ~= 0 then return v end end return 'ok'",
         "ok"},
        {"for i = 1, 2000 do local v = g:get(3, 10) if v < 3 or v >= 10 then return v end end return 'ok'",
         "ok"},
        {"return g:get(0)", "0"},
        {"return g:get(5, 5)", "5"},
        {"x = math.randgen('x', 0x20000) x:seed(1) return x:get()", "723217730"},
        {"b = math.randgen('b', 0x3001B) b:seed(1) return #b:status() .. ' ' .. b:status()[2]", "3 1024"},
        {"return math.randgen(nil, 0) ~= nil and math.randgen('') ~= nil", "true"},
        {"math.randgen(12, 0) return math.randgen('12') ~= nil", "true"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.chunk), r.want) << r.chunk;
}

TEST_F(RandomScript, BoundsDrawNothingWhenEmpty) {
    run("a = math.randgen('a', 0) a:seed(42) b = math.randgen('b', 0) b:seed(42)");
    EXPECT_EQ(run("a:get(5, 5) a:get(0) return a:get() == b:get()"), "true");
}

TEST_F(RandomScript, StatusSavesAndRestores) {
    struct row {
        const char* chunk;
        const char* want;
    };
    const row rows[] = {
        {"g = math.randgen('g', 0) g:seed(99) for i = 1, 700 do g:get() end s = g:status() return #s", "627"},
        {"want = {} for i = 1, 5 do want[i] = g:get() end return g:status(s)", "true"},
        {"for i = 1, 5 do if g:get() ~= want[i] then return i end end return 'same'", "same"},
        {"return g:status({1, 2})", "false"},
        {"bad = {} for i, v in ipairs(s) do bad[i] = v end bad[3] = 625 return g:status(bad)", "false"},
        {"for i = 1, 5 do g:get() end g:status(s) for i = 1, 5 do if g:get() ~= want[i] then return i end end "
         "return 'same'",
         "same"},
        // Words that are not numbers count as 0; a numeric string counts.
        {"x = math.randgen('x', 0x20000) return x:status({'3', 'not a number'})", "true"},
        {"local t = x:status() return t[1] .. ' ' .. t[2]", "3 0"},
        {"b = math.randgen('b', 0x30000) return b:status({5, 16, 16})", "false"},
        {"local ok = b:status({5, 16, 15}) local x = b:get() b:status({5, 16, -1}) return ok and x == b:get()",
         "true"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.chunk), r.want) << r.chunk;
}

// A generator's status goes into save files as a stored value: the bytes
// are fixed, whichever build wrote them.
TEST_F(RandomScript, StoredStatusIsTheSameBytesInEveryBuild) {
    const struct {
        uint32_t type;
        size_t size;
        uint32_t hash;  // FNV-1a of the stored bytes
    } cases[] = {
        {0x00000, 11288, 155533367u},
        {0x20000, 38, 600637370u},
        {0x30000, 56, 380963093u},
    };
    for (const auto& c : cases) {
        const std::string chunk = "local g = math.randgen('golden" + std::to_string(c.type) + "', " +
                                  std::to_string(c.type) + ") g:seed(99) for i = 1, 3 do g:get() end status = g:status()";
        ASSERT_EQ(run(chunk.c_str()), "nil") << chunk;
        lua_getglobal(lua.state(), "status");
        std::vector<uint8_t> bytes;
        ASSERT_EQ(0, lua.store(bytes, -1));
        lua_pop(lua.state(), 1);
        uint32_t hash = 2166136261u;
        for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
        EXPECT_EQ(c.size, bytes.size()) << std::hex << c.type;
        EXPECT_EQ(c.hash, hash) << std::hex << c.type;
    }
}

TEST_F(RandomScript, ObjectsWithoutAGeneratorAnswerNothing) {
    run("old = math.randgen('g', 0) old:seed(3)");
    manager.create(0x20000, "g");  // replaces and deletes the old generator
    struct row {
        const char* chunk;
        const char* want;
    };
    const row rows[] = {
        {"return select('#', old:get())", "0"},
        {"return select('#', old:seed(4))", "0"},
        {"return old:status()", "nil"},
        {"return select('#', old.get({}))", "0"},
        {"return select('#', old.get(5))", "0"},
        {"return select('#', old.get({object = 'text'}))", "0"},
        {"return math.randgen('g'):seed()", "0"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.chunk), r.want) << r.chunk;

    manager.clear();
    EXPECT_EQ(run("return math.randgen('g')"), "nil");
}

}  // namespace
