// The engine's math and string additions on a real Lua state: rounding,
// table trigonometry, bit operations, bit arrays, the global generators
// and string.firstof.
#include <gtest/gtest.h>

#include "../core/script_fixture.h"
#include "core/random.h"
#include "engine/math_library.h"

namespace {
class math_additions : public script_test {
protected:
    void SetUp() override {
        script_test::SetUp();
        register_math_additions(L());
        register_string_additions(L());
        run("function pack(...) local t = {} for i = 1, select('#', ...) do "
            "local v = select(i, ...) t[i] = type(v) == 'string' and "
            "'\"' .. (v:gsub('[%z\\1-\\31\\127-\\255]', function(c) return '\\\\' .. c:byte() end)) .. '\"' "
            "or tostring(v) end "
            "return table.concat(t, ',') end");
    }

    // Each Lua expression list against the text pack() makes of its values.
    void expect_table(const std::vector<std::pair<const char*, const char*>>& cases) {
        for (const auto& c : cases) {
            std::string text = std::string("return pack(") + c.first + ")";
            ASSERT_EQ(0, luaL_loadstring(L(), text.c_str())) << lua_tostring(L(), -1);
            ASSERT_EQ(0, lua_pcall(L(), 0, 1, 0)) << c.first << ": " << lua_tostring(L(), -1);
            EXPECT_STREQ(c.second, lua_tostring(L(), -1)) << c.first;
            lua_pop(L(), 1);
        }
    }
};
}  // namespace

TEST_F(math_additions, Rounding) {
    expect_table({
        {"math.round(2.5)", "3"},
        {"math.round(-2.5)", "-3"},
        {"math.round(2.49)", "2"},
        {"math.round(-2.49)", "-2"},
        {"math.round(2, 0)", "3"},
        {"math.round(2.2, 0.2)", "3"},
        {"math.round(2.2, 'x')", "3"},   // a non-number threshold counts as 0
        {"math.round(-2.2, 0.25)", "-2"},
        {"math.round('7.5')", "8"},
        {"math.round(0)", "0"},
    });
}

TEST_F(math_additions, SineAndCosineFromTheTables) {
    run("s, c = math.sincos(-90)");
    EXPECT_TRUE(holds("math.abs(s + 1) < 1e-6 and math.abs(c) < 1e-6"));
    EXPECT_TRUE(holds("pack(math.sincos(360)) == pack(math.sincos(0))"));
    EXPECT_TRUE(holds("pack(math.sincos(720.5)) == pack(math.sincos(0.5))"));
    run("a, b, c, d = math.sincos(30, 60)");
    EXPECT_TRUE(holds("math.abs(a - 0.5) < 1e-6 and math.abs(d - 0.5) < 1e-6 and c > 0.86 and b > 0.86"));
    EXPECT_TRUE(holds("select('#', math.sincos()) == 0"));
    EXPECT_TRUE(holds("pack(math.sincos(0/0)) == pack(math.sincos(0))"));
}

TEST_F(math_additions, BitOperations) {
    expect_table({
        {"math.bitnot(0)", "4294967295"},
        {"math.bitand(-1, 255)", "255"},
        {"math.bitor(0x0F, 0xF0), math.bitxor(0xFF, 0x0F)", "255,240"},
        {"math.bitand(4294967296 + 5, 7)", "5"},  // the low 32 bits
        {"math.bitand('12', 4.9)", "4"},           // numeric strings count, truncated
        {"math.bitand({}, 1)", "0"},
        {"math.bittest(6, 1, 2, 4)", "false,2,4"},
        {"math.bitset(37)", "1,5"},
        {"math.bitset(6, 1), math.bitset(6, 32), math.bitset(6, 33)", "true,false,true"},
        {"math.bitset(0, 31, true), math.bitset(7, 1, false), math.bitset(7, 1)", "2147483648,5,true"},
        {"math.bitset(), math.bitset(1, 2, 3, 4)", "nil,nil"},
        {"math.lshift(256, 4), math.rshift(1, 4)", "16,16"},
        {"math.lshift(-1, 28), math.rshift(1, 33), math.rshift(3, 31)", "15,2,2147483648"},
    });
}

TEST_F(math_additions, BitArraysAreNewStrings) {
    expect_table({
        {"math.bitarray(1)", "\"\\0\\0\\0\\0\""},
        {"#math.bitarray(33), #math.bitarray(64), #math.bitarray(65), #math.bitary(0)", "5,8,9,4"},
        {"math.bitarray(math.bitarray(1), 9, true)", "\"\\0\\2\\0\\0\""},
        {"math.bitarray('\\0\\2\\0\\0', 9), math.bitarray('\\0\\2\\0\\0', 8)", "true,false"},
        {"math.bitarray('\\255\\255', 3, false)", "\"\\247\\255\""},
        {"math.bitarray('ab', true), math.bitarray('ab', false)", "\"\\255\\255\",\"\\0\\0\""},
        // Past the end: clear, and the array does not grow.
        {"math.bitarray('\\255', 8), math.bitarray('\\255', 8, false), math.bitarray('\\255', -1)",
         "false,\"\\255\",false"},
        {"math.bitarray({}), math.bitarray(nil)", "nil,nil"},
    });
    run("a = math.bitarray(1) b = math.bitarray(a, 0, true)");
    EXPECT_TRUE(holds("a == '\\0\\0\\0\\0' and b == '\\1\\0\\0\\0'"));
}

TEST_F(math_additions, GlobalGenerators) {
    // After seeding with 1: one xorshift step of 1 XOR 0x92D68CA2.
    uint32_t x = 1u ^ 0x92D68CA2u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    run("math.srandomseed(1) first = math.srandom()");
    lua_getglobal(L(), "first");
    EXPECT_EQ(double(x), lua_tonumber(L(), -1));
    lua_pop(L(), 1);

    mt_random mt;
    mt.seed(77);
    uint32_t m1 = mt.next(), m2 = mt.next();
    buf_random ring;
    ring.seed(77);
    uint32_t f1 = ring.next();
    run("math.xrandomseed(77) x1, x2 = math.xrandom(), math.xrandom() math.frandomseed(77) f1 = math.frandom()");
    EXPECT_TRUE(holds(("x1 == " + std::to_string(m1) + " and x2 == " + std::to_string(m2)).c_str()));
    EXPECT_TRUE(holds(("f1 == " + std::to_string(f1)).c_str()));

    // The bounded forms, and the ones that draw nothing.
    run("math.srandomseed(5) a = math.srandom() math.srandomseed(5) "
        "b, c = math.srandom(5, 5), math.srandom(0) d = math.srandom()");
    EXPECT_TRUE(holds("b == 5 and c == 0 and d == a"));
    EXPECT_TRUE(holds("(function() for i = 1, 200 do local v = math.xrandom(10) "
                      "if v < 0 or v >= 10 or v % 1 ~= 0 then return false end end return true end)()"));
    EXPECT_TRUE(holds("(function() for i = 1, 200 do local v = math.frandom(-3, 4) "
                      "if v < -3 and v ~= 4294967293 and v ~= 4294967294 and v ~= 4294967295 then return false end "
                      "if v >= 4 and v < 4294967293 then return false end end return true end)()"));
    EXPECT_TRUE(holds("type(math.randgen) == 'function'"));
}

TEST_F(math_additions, FirstOfSplitsNumberAndFirstCharacter) {
    expect_table({
        {"string.firstof('12abc')", "12,\"2abc\""},
        {"string.firstof('  -5x')", "4294967291,\" -5x\""},
        {"string.firstof('+7')", "7,\"7\""},
        {"string.firstof('abc')", "0,\"bc\""},
        {"string.firstof('')", "0,\"\""},
        {"string.firstof(42)", "42,\"2\""},
        {"string.firstof('4294967297')", "1,\"294967297\""},
        // A Shift_JIS double-byte character counts as one.
        {"string.firstof('\\130\\160\\130\\162x')", "0,\"\\130\\162x\""},
        {"string.firstof('\\224')", "0,\"\""},
        {"string.firstof('a\\0b')", "0,\"\\0b\""},
    });
}
