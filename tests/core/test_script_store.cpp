// Stored script values: byte-exact streams, warnings, failures, and a
// restore that survives any stream it is handed.
#include <float.h>
#include <windows.h>
#include <psapi.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>
#include <random>

#include "script_fixture.h"

namespace {

using bytes = std::vector<uint8_t>;
using ScriptStore = script_test;

bytes number_bytes(double value) {
    bytes out(9, 3);
    std::memcpy(out.data() + 1, &value, 8);
    return out;
}

bytes sized(uint8_t code, const std::string& payload) {
    bytes out{code};
    uint32_t n = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

bytes operator+(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The most memory this process has held so far. One restore of a damaged
// stream of a few hundred bytes must not move it by much: a 64-bit process
// would get what a 32-bit one is refused.
size_t peak_memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}
constexpr size_t peak_allowance = 4u << 20;

bool mentions(const std::vector<std::string>& lines, const char* text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

TEST_F(ScriptStore, TableStreamIsByteExact) {
    // {1, "a", {true}}: pairs in lua_next order, each key before its value.
    run("return {1, 'a', {true}}", 1);
    bytes stream;
    EXPECT_EQ(0, s.store(stream, -1));
    EXPECT_EQ(1, lua_gettop(L()));
    const bytes expected = bytes{5} + number_bytes(1) + number_bytes(1) + number_bytes(2) + sized(4, "a") +
                           number_bytes(3) + bytes{5} + number_bytes(1) + bytes{2, 6} + bytes{6};
    EXPECT_EQ(expected, stream);
    EXPECT_TRUE(reported().empty());

    const uint8_t* end = nullptr;
    ASSERT_TRUE(s.restore(stream.data(), stream.size(), &end));
    EXPECT_EQ(stream.data() + stream.size(), end);
    lua_setglobal(L(), "back");
    lua_pop(L(), 1);
    EXPECT_TRUE(holds("back[1] == 1 and back[2] == 'a' and back[3][1] == true and #back == 3"));
}

TEST_F(ScriptStore, NumbersKeepDoublePrecisionWhateverTheX87ControlWord) {
    // Direct3D drops the x87 unit to single precision; Lua's arithmetic runs
    // on SSE, so its numbers and their stored bytes must not change. (The C
    // runtime's pow and friends still use the x87 unit: the device has to
    // keep the control word as it is.)
    unsigned int saved = 0;
    ASSERT_EQ(0, _controlfp_s(&saved, 0, 0));
    unsigned int ignored = 0;
    ASSERT_EQ(0, _controlfp_s(&ignored, _PC_24, _MCW_PC));
    run("local a, b = 1, 2 return a / 3, a / 10 + b / 7", 2);
    bytes stream;
    int third = s.store(stream, 1);
    int root = s.store(stream, 2);
    _controlfp_s(&ignored, saved, _MCW_PC);
    EXPECT_EQ(0, third);
    EXPECT_EQ(0, root);
    const uint64_t expected[] = {0x3FD5555555555555ull, 0x3FD8AF8AF8AF8AF8ull};
    ASSERT_EQ(18u, stream.size());
    for (int i = 0; i < 2; ++i) {
        uint64_t bits = 0;
        std::memcpy(&bits, stream.data() + 9 * i + 1, 8);
        EXPECT_EQ(expected[i], bits) << i;
    }
    lua_settop(L(), 0);
}

int native(lua_State*) { return 0; }

TEST_F(ScriptStore, EachCodeStoresAndRestores) {
    int target = 0;
    run("return string.dump(function(a) return a * 2 end)", 1);
    size_t n = 0;
    const char* code = lua_tolstring(L(), -1, &n);
    const std::string bytecode(code, n);
    lua_pop(L(), 1);
    struct code_case {
        const char* name;
        std::function<void(lua_State*)> push;
        bytes stream;
        int result;
        std::vector<std::string> lines;
        std::function<void(lua_State*)> check_restored;
    };
    const code_case cases[] = {
        {"nil", lua_pushnil, {0}, 0, {}, [](lua_State* l) { EXPECT_TRUE(lua_isnil(l, -1)); }},
        {"false", [](lua_State* l) { lua_pushboolean(l, 0); }, {1}, 0, {},
         [](lua_State* l) { EXPECT_EQ(LUA_TBOOLEAN, lua_type(l, -1)); EXPECT_FALSE(lua_toboolean(l, -1)); }},
        {"true", [](lua_State* l) { lua_pushboolean(l, 1); }, {2}, 0, {},
         [](lua_State* l) { EXPECT_TRUE(lua_toboolean(l, -1)); }},
        {"number", [](lua_State* l) { lua_pushnumber(l, -1.0 / 3); }, number_bytes(-1.0 / 3), 0, {},
         [](lua_State* l) { EXPECT_EQ(-1.0 / 3, lua_tonumber(l, -1)); }},
        {"empty string", [](lua_State* l) { lua_pushstring(l, ""); }, {4, 0, 0, 0, 0}, 0, {},
         [](lua_State* l) { EXPECT_EQ(LUA_TSTRING, lua_type(l, -1)); EXPECT_EQ(0u, lua_objlen(l, -1)); }},
        {"string with zero bytes", [](lua_State* l) { lua_pushlstring(l, "a\0b", 3); }, sized(4, std::string("a\0b", 3)),
         0, {}, [](lua_State* l) { size_t k = 0; const char* t = lua_tolstring(l, -1, &k);
                                   EXPECT_EQ(std::string("a\0b", 3), std::string(t, k)); }},
        {"Lua function", [&](lua_State* l) { luaL_loadbuffer(l, bytecode.data(), bytecode.size(), "f"); },
         sized(7, bytecode), 0, {},
         [](lua_State* l) { lua_pushinteger(l, 21); lua_call(l, 1, 1); EXPECT_EQ(42, lua_tointeger(l, -1)); }},
        {"native function", [](lua_State* l) { lua_pushcfunction(l, native); }, {8}, 1,
         {report_line("script::store", "warning: C-function exists", 1)},
         [](lua_State* l) { EXPECT_TRUE(lua_isnil(l, -1)); }},
        {"userdata", [](lua_State* l) { std::memcpy(lua_newuserdata(l, 3), "xyz", 3); }, sized(9, "xyz"), 0, {},
         [](lua_State* l) { EXPECT_TRUE(lua_isnil(l, -1)); }},
        {"light userdata", [&](lua_State* l) { lua_pushlightuserdata(l, &target); }, {10}, 1,
         {report_line("script::store", "warning: light user data exists", 1)},
         [](lua_State* l) { EXPECT_TRUE(lua_isnil(l, -1)); }},
        {"thread", [](lua_State* l) { lua_newthread(l); }, {11}, 1,
         {report_line("script::store", "warning: thread exists", 1)},
         [](lua_State* l) { EXPECT_TRUE(lua_isnil(l, -1)); }},
    };
    for (const code_case& c : cases) {
        SCOPED_TRACE(c.name);
        lua_pushinteger(L(), 1);  // keeps relative and absolute indices apart
        c.push(L());
        bytes stream{0xEE};  // appended to, never cleared
        EXPECT_EQ(c.result, s.store(stream, -1));
        EXPECT_EQ(2, lua_gettop(L()));
        EXPECT_EQ(bytes{0xEE} + c.stream, stream);
        EXPECT_EQ(c.lines, reported());
        lua_settop(L(), 0);

        const uint8_t* end = nullptr;
        ASSERT_TRUE(s.restore(stream.data() + 1, stream.size() - 1, &end));
        EXPECT_EQ(stream.data() + stream.size(), end);
        ASSERT_EQ(1, lua_gettop(L()));
        c.check_restored(L());
        lua_settop(L(), 0);
        EXPECT_TRUE(reported().empty());
    }
}

TEST_F(ScriptStore, WarningsAndFailuresInTablesReportEveryLaterPair) {
    struct table_case {
        const char* name;
        std::function<void(lua_State*)> push;
        int result;
        std::vector<std::string> lines;
    };
    const table_case cases[] = {
        {"one native function",
         [](lua_State* l) { luaL_dostring(l, "return {10, print, 30}"); }, 1,
         {report_line("script::store", "warning: C-function exists", 1),
          report_line("script::store_table", "storing of table value is failed", 1),
          report_line("script::store_table", "storing of table key is failed", 2),
          report_line("script::store_table", "storing of table value is failed", 2),
          report_line("script::store", "warning in storing of table", 1)}},
        {"a table inside itself",
         [](lua_State* l) { luaL_dostring(l, "local t = {5} t[2] = t return t"); }, -1,
         {report_line("script::store", "storing of table is failed", -1),
          report_line("script::store_table", "storing of table value is failed", 1),
          report_line("script::store", "storing of table is failed", -1)}},
        {"no value", [](lua_State*) {}, -1,
         {report_line("script::store", "invalid value type", -1), "stack_trace: script::store (1)",
          "\t[1]: number = 1.000000"}},
    };
    for (const table_case& c : cases) {
        SCOPED_TRACE(c.name);
        lua_pushinteger(L(), 1);
        c.push(L());
        const int top = lua_gettop(L());
        bytes stream;
        EXPECT_EQ(c.result, s.store(stream, top == 1 ? 2 : -1));
        EXPECT_EQ(top, lua_gettop(L()));
        EXPECT_EQ(c.lines, reported());
        lua_settop(L(), 0);
    }

    // The table form alone: the same stream, without the whole-value report.
    run("return {print}, 5", 2);
    bytes table_stream;
    EXPECT_EQ(1, s.store_table(table_stream, 1));
    EXPECT_EQ((bytes{5} + number_bytes(1) + bytes{8, 6}), table_stream);
    EXPECT_EQ(-1, s.store_table(table_stream, 2));
    EXPECT_EQ((std::vector<std::string>{report_line("script::store", "warning: C-function exists", 1),
                                        report_line("script::store_table", "storing of table value is failed", 0),
                                        report_line("script::store", "invalid value type", -1)}),
              reported());
    ASSERT_TRUE(s.restore_table(table_stream.data(), table_stream.size()));
    EXPECT_EQ(LUA_TTABLE, lua_type(L(), -1));
    EXPECT_EQ(3, lua_gettop(L()));
    lua_settop(L(), 0);

    // Shared subtables are not cycles; runaway nesting is refused.
    run("local shared = {1} ok = {a = shared, b = shared, c = {shared}}\n"
        "deep = {} local t = deep for i = 1, 1100 do t[1] = {} t = t[1] end");
    bytes stream;
    lua_getglobal(L(), "ok");
    EXPECT_EQ(0, s.store(stream, -1));
    lua_getglobal(L(), "deep");
    EXPECT_EQ(-1, s.store(stream, -1));
    EXPECT_EQ(2, lua_gettop(L()));
    lua_settop(L(), 0);
}

TEST_F(ScriptStore, RestoreFailuresReportAndLeaveTheStack) {
    auto shortage = [](int32_t needed, int32_t length, int32_t settled) {
        return std::vector<std::string>{report_line("script::restore", "short of buffer length", needed),
                                        report_line("script::restore", "     buffer length", length),
                                        report_line("script::restore", "    settled length", settled)};
    };
    auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct restore_case {
        const char* name;
        bytes stream;
        std::vector<std::string> lines;
    };
    const std::string load_error = "[string \"script::load\"]:1: '=' expected near 'is'";
    const restore_case cases[] = {
        {"empty", {}, shortage(1, 0, 0)},
        {"cut number", {3, 1, 2, 3}, shortage(8, 4, 1)},
        {"cut length", {4, 1, 0}, shortage(4, 3, 1)},
        {"cut string", sized(4, "abcde") , {}},  // replaced below
        {"huge length", {4, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, shortage(-1, 6, 5)},
        {"cut userdata", {9, 2, 0, 0, 0, 'x'}, shortage(2, 6, 5)},
        {"unknown code", {12}, {report_line("script::restore", "invalid code", 12)}},
        {"table end alone", {6}, {report_line("script::restore", "invalid code", 6)}},
        {"open table", {5}, {report_line("script::restore_table", "invalid table data", 0)}},
        {"table without end", bytes{5} + number_bytes(1) + bytes{2}, {report_line("script::restore_table", "invalid table data", 1)}},
        {"bad key", {5, 12}, {report_line("script::restore", "invalid code", 12),
                              report_line("script::restore_table", "invalid table key", 0)}},
        {"bad value", bytes{5, 2, 2} + number_bytes(1) + bytes{6, 6},
         {report_line("script::restore", "invalid code", 6), report_line("script::restore_table", "invalid table value", 1)}},
        {"value missing", bytes{5} + number_bytes(1),
         join(shortage(1, 0, 0), {report_line("script::restore_table", "invalid table value", 0)})},
        {"bad function", sized(7, "this is not Lua"),
         {report_line("script::load", load_error, 3), report_line("script::load", "luaL_loadbuffer", 3),
          report_line("script::restore", load_error, -1)}},
    };
    for (const restore_case& c : cases) {
        SCOPED_TRACE(c.name);
        bytes stream = c.stream;
        std::vector<std::string> lines = c.lines;
        if (std::string(c.name) == "cut string") {  // cut inside the string's bytes
            stream.resize(stream.size() - 2);
            lines = shortage(5, 8, 5);
        }
        lua_pushinteger(L(), 1);
        const uint8_t* end = nullptr;
        EXPECT_FALSE(s.restore(stream.data(), stream.size(), &end));
        EXPECT_EQ(nullptr, end);
        EXPECT_EQ(1, lua_gettop(L()));
        EXPECT_EQ(lines, reported());
        lua_settop(L(), 0);
    }
    const bytes not_a_table{2};
    EXPECT_FALSE(s.restore_table(not_a_table.data(), not_a_table.size()));
    EXPECT_EQ(std::vector<std::string>{report_line("script::restore_table", "invalid table data", -1)}, reported());

    // Nesting past the limit fails cleanly however long the stream is.
    bytes deep(5000, 5);
    deep.insert(deep.end(), 5000, 6);
    EXPECT_FALSE(s.restore(deep.data(), deep.size()));
    EXPECT_EQ(0, lua_gettop(L()));
}

TEST_F(ScriptStore, RestoreDropsPairsWithoutAUsableKey) {
    const double nan = std::nan("");
    const bytes stream = bytes{5} + sized(4, "k") + sized(9, "xyz")   // userdata value: nil
                         + number_bytes(1) + bytes{2}                   // [1] = true, read after the block
                         + bytes{11} + sized(4, "thread key")          // dropped
                         + sized(9, "ud") + bytes{2}                    // dropped
                         + number_bytes(nan) + bytes{1}                // dropped
                         + bytes{8} + bytes{2}                          // dropped
                         + sized(4, "n") + bytes{5, 6}                  // empty table
                         + bytes{6} + bytes{2};                         // a second item follows
    const uint8_t* end = nullptr;
    ASSERT_TRUE(s.restore(stream.data(), stream.size(), &end));
    EXPECT_EQ(stream.data() + stream.size() - 1, end);
    lua_setglobal(L(), "back");
    EXPECT_TRUE(holds("back.k == nil and back[1] == true and type(back.n) == 'table' and next(back.n) == nil"));
    EXPECT_TRUE(holds("(function() local n = 0 for _ in pairs(back) do n = n + 1 end return n end)() == 2"));
    ASSERT_TRUE(s.restore(end, 1));
    EXPECT_TRUE(lua_toboolean(L(), -1));
    lua_settop(L(), 0);
    EXPECT_TRUE(reported().empty());
}

TEST_F(ScriptStore, RoundTripsBetweenStates) {
    run("value = {1.5, 'two', {3, {4, {5}}}, name = 'x\\0y', flag = false, [10] = true, [2.25] = -0.5,\n"
        "         f = function(a, b) return a .. b end, nested = {list = {'a', 'b', 'c'}}}");
    lua_getglobal(L(), "value");
    bytes stream;
    ASSERT_EQ(0, s.store(stream, -1));
    script other;
    ASSERT_TRUE(other.open(script_all_libs));
    ASSERT_TRUE(other.restore(stream.data(), stream.size()));
    lua_setglobal(other.state(), "value");
    script keep = s;
    s = other;
    EXPECT_TRUE(holds("value[1] == 1.5 and value[2] == 'two' and value[3][2][2][1] == 5"));
    EXPECT_TRUE(holds("value.name == 'x\\0y' and value.flag == false and value[10] == true and value[2.25] == -0.5"));
    EXPECT_TRUE(holds("value.f('p', 'q') == 'pq' and table.concat(value.nested.list) == 'abc'"));
    s = keep;
    other.close();
    lua_settop(L(), 0);
}

using ScriptStoreFuzz = script_test;

TEST_F(ScriptStoreFuzz, CorruptStreamsRestoreOrFailCleanly) {
    run("return {1, -2.5, 'text', {true, false, {'deep', {1, {2, {3}}}}}, name = 'n\\0m',\n"
        "        f = function(x) return x + 1 end, list = {10, 20, 30, {a = {b = {c = 'd'}}}}}", 1);
    bytes base;
    ASSERT_EQ(0, s.store(base, -1));
    lua_settop(L(), 0);

    std::mt19937 random(20261210);
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
    int restored = 0, failed = 0;
    for (int round = 0; round < 4000; ++round) {
        bytes stream = base;
        switch (round % 5) {
        case 0:  // truncation
            stream.resize(pick(stream.size()));
            break;
        case 1:  // flipped bytes
            for (int i = 0, n = 1 + static_cast<int>(pick(4)); i < n; ++i)
                stream[pick(stream.size())] ^= static_cast<uint8_t>(1 + pick(255));
            break;
        case 2: {  // a huge or odd length word
            size_t at = pick(stream.size() - 4);
            uint32_t word = random() | 0x80000000u >> pick(32);
            std::memcpy(stream.data() + at, &word, 4);
            break;
        }
        case 3: {  // deep nesting spliced in
            bytes nest(1 + pick(1200), 5);  // now and then past the limit
            stream.insert(stream.begin() + static_cast<long>(pick(stream.size())), nest.begin(), nest.end());
            if (random() % 2) stream.insert(stream.end(), nest.size(), 6);
            break;
        }
        default:  // random bytes from the codes and beyond
            stream.resize(1 + pick(64));
            for (uint8_t& b : stream) b = static_cast<uint8_t>(random() % 3 ? pick(13) : pick(256));
            break;
        }
        const uint8_t* end = nullptr;
        const size_t peak_before = peak_memory();
        const bool ok = s.restore(stream.data(), stream.size(), &end);
        ASSERT_LT(peak_memory(), peak_before + peak_allowance) << "round " << round << ": a damaged length was allocated";
        if (ok) {
            ++restored;
            ASSERT_EQ(1, lua_gettop(L())) << round;
            ASSERT_GE(end, stream.data() + 1);
            ASSERT_LE(end, stream.data() + stream.size());
            lua_settop(L(), 0);
        } else {
            ++failed;
            ASSERT_EQ(0, lua_gettop(L())) << round;
        }
    }
    EXPECT_GT(restored, 0);
    EXPECT_GT(failed, 0);
    // Whatever failed said so.
    EXPECT_FALSE(reported().empty());
}

// A stored function's chunk: its header says which build made it (the size
// of size_t differs between 32 and 64 bits), and its counts size Lua's
// arrays.
TEST_F(ScriptStoreFuzz, ForeignAndDamagedChunksAreRefusedBeforeAllocating) {
    run("return {before = 1, f = function(a, b) local c = a * b return c + 1, 'k' end, after = 'x'}", 1);
    bytes base;
    ASSERT_EQ(0, s.store(base, -1));
    lua_settop(L(), 0);
    // The function item: code 7, 32-bit length, then the chunk.
    const uint8_t header[] = {0x1B, 'L', 'u', 'a', 0x51};
    auto at = std::search(base.begin(), base.end(), header, header + sizeof header);
    ASSERT_NE(base.end(), at);
    const size_t chunk = static_cast<size_t>(at - base.begin());
    ASSERT_EQ(7, base[chunk - 5]);
    ASSERT_EQ(sizeof(size_t), base[chunk + 8]);

    // Made by the other build: Lua's own header error, the function
    // becomes nil and the rest of the table restores.
    bytes foreign = base;
    foreign[chunk + 8] = sizeof(size_t) == 4 ? 8 : 4;
    ASSERT_TRUE(s.restore(foreign.data(), foreign.size()));
    lua_setglobal(L(), "back");
    EXPECT_TRUE(holds("back.before == 1 and back.after == 'x' and back.f == nil"));
    EXPECT_TRUE(mentions(reported(), "bad header in precompiled chunk"));

    // A precompiled script file from the other build: the same refusal.
    const std::string chunk_bytes(foreign.begin() + static_cast<long>(chunk), foreign.end());
    const std::wstring file = scratch.path(L"other.luac");
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, chunk_bytes.data(), static_cast<DWORD>(chunk_bytes.size()), &written, nullptr);
    CloseHandle(h);
    char narrow[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
    script_error_info info;
    EXPECT_FALSE(s.load_file(narrow, info));
    EXPECT_NE(std::string::npos, std::string(info.message.c_str()).find("bad header in precompiled chunk"))
        << info.message.c_str();
    reported();

    // This build's header with a count past the end, for each array the
    // loader sizes from the chunk: refused, nothing reserved.
    const size_t peak_before = peak_memory();
    size_t source_length = 0;
    std::memcpy(&source_length, base.data() + chunk + 12, sizeof source_length);
    const size_t first_count = chunk + 12 + sizeof(size_t) + source_length + 2 * sizeof(int) + 4;
    ASSERT_LT(first_count, base.size());
    int refused = 0;
    for (size_t offset = first_count; offset + 4 <= base.size(); ++offset) {
        bytes damaged = base;
        const int32_t huge = 0x7FFFFFF0;
        std::memcpy(damaged.data() + offset, &huge, 4);
        if (!s.restore(damaged.data(), damaged.size())) {
            ++refused;
            EXPECT_EQ(0, lua_gettop(L()));
        }
        lua_settop(L(), 0);
    }
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(mentions(reported(), "unexpected end in precompiled chunk"));
    EXPECT_LT(peak_memory(), peak_before + peak_allowance) << "a damaged count was allocated";
}

}  // namespace
