// Lua states keep to their heap ceiling: what a script asks beyond it is
// Lua's "not enough memory", and the state goes on.
#include <climits>

#include "../peak_memory.h"
#include "core/script_heap.h"
#include "script_fixture.h"

namespace {

using ScriptHeap = script_test;

int create_table(lua_State* L) {
    lua_createtable(L, static_cast<int>(lua_tointeger(L, 1)), static_cast<int>(lua_tointeger(L, 2)));
    return 1;
}

TEST_F(ScriptHeap, ScriptGrowthStopsAtTheCeilingAndTheStateGoesOn) {
    const size_t ceiling = size_t(32) << 20;
    ASSERT_TRUE(script_set_heap_ceiling(L(), ceiling));
    const char* const scripts[] = {
        "return string.rep(string.rep('x', 2^20), 2^12)",
        "local t = {} for i = 1, 2^40 do t[i] = i end",
        "local s = 'x' for i = 1, 60 do s = s .. s end",
        "local t, s = {}, string.rep('y', 2^20) for i = 1, 64 do t[i] = s end return table.concat(t)",
    };
    for (const char* text : scripts) {
        const size_t peak_before = peak_memory();
        ASSERT_EQ(0, luaL_loadstring(L(), text));
        EXPECT_NE(0, lua_pcall(L(), 0, 0, 0)) << text;
        EXPECT_NE(nullptr, strstr(lua_tostring(L(), -1), "not enough memory")) << lua_tostring(L(), -1);
        lua_pop(L(), 1);
        // The concatenation buffer shrinks by half a collection.
        for (int i = 0; i < 6; ++i) lua_gc(L(), LUA_GCCOLLECT, 0);
        EXPECT_LE(script_heap_used(L()), size_t(1) << 20) << text;
        EXPECT_LT(peak_memory(), peak_before + 2 * ceiling) << text;
        EXPECT_TRUE(holds("#string.rep('z', 1000) == 1000"));
    }
}

TEST_F(ScriptHeap, TablesPreSizedFromAScriptCountAreRefusedBeforeAllocating) {
    // Lua's own limits stop neither of these in a 64-bit process: gigabytes
    // of array or of hash nodes.
    const struct {
        int array, hash;
    } counts[] = {{INT_MAX - 16, 0}, {0, 1 << 26}, {1 << 28, 1 << 25}};
    lua_register(L(), "create_table", create_table);
    for (const auto& c : counts) {
        const size_t peak_before = peak_memory();
        lua_getglobal(L(), "create_table");
        lua_pushinteger(L(), c.array);
        lua_pushinteger(L(), c.hash);
        EXPECT_NE(0, lua_pcall(L(), 2, 1, 0)) << c.array << " " << c.hash;
        lua_pop(L(), 1);
        EXPECT_LT(peak_memory(), peak_before + (size_t(16) << 20)) << c.array << " " << c.hash;
    }
    lua_gc(L(), LUA_GCCOLLECT, 0);
    EXPECT_LE(script_heap_used(L()), size_t(1) << 20);
}

TEST(ScriptHeapState, EveryOpenedStateIsBoundedAndStatesOfOthersAreLeftAlone) {
    script s;
    ASSERT_TRUE(s.open(script_restricted_libs));
    EXPECT_GT(script_heap_used(s.state()), 0u);
    EXPECT_TRUE(script_set_heap_ceiling(s.state(), script_heap_ceiling));
    s.close();
    lua_State* plain = luaL_newstate();
    EXPECT_FALSE(script_set_heap_ceiling(plain, 1));
    EXPECT_EQ(0u, script_heap_used(plain));
    lua_close(plain);
}

}  // namespace
