// The VYCOMM channel, both sides in one process on real kernel objects, and
// a companion program served by a running engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../graphics/device_fixture.h"
#include "engine_run.h"
#include "engine/vycommdll.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "vycomm_request.h"

namespace {
class vycomm_test : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        luaL_openlibs(L);
        server = VyCommConnect(capacity, GetCurrentProcessId());
        ASSERT_NE(nullptr, server);
        client = VyCommConnect(0, GetCurrentProcessId());
        ASSERT_NE(nullptr, client);
    }
    void TearDown() override {
        if (client) VyCommClose(client);
        if (server) EXPECT_TRUE(VyCommClose(server));
        lua_close(L);
    }
    // One round trip: the request served in L, the reply's status as the
    // server left it, and whether the client took it.
    uint32_t round_trip(const std::string& source, bool* taken = nullptr) {
        vycomm_send(client, source);
        EXPECT_TRUE(VyCommWait(server));
        EXPECT_FALSE(VyCommWait(server)) << "the event resets itself";
        int top = lua_gettop(L);
        VyCommReceive(server, L);
        EXPECT_EQ(top, lua_gettop(L)) << "the serving state's stack is left as it was";
        uint32_t status = server->header()->status;
        EXPECT_TRUE(VyCommWait(client));
        bool ok = VyCommReceive(client, nullptr);
        if (taken) *taken = ok;
        return status;
    }
    std::string value(int i) {
        lua_State* s = client->state;
        if (lua_isnil(s, i)) return "nil";
        return lua_tostring(s, i) ? lua_tostring(s, i) : lua_typename(s, lua_type(s, i));
    }

    static constexpr uint32_t capacity = 64;
    lua_State* L = nullptr;
    vycomm_channel* server = nullptr;
    vycomm_channel* client = nullptr;
};
}  // namespace

TEST_F(vycomm_test, BlockLayoutAndCapacity) {
    EXPECT_EQ(capacity, server->header()->capacity);
    EXPECT_EQ(capacity, client->capacity) << "read from the block";
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(0xCD, server->data()[capacity + i]);
    // Unusable channels.
    trace_capture log;
    EXPECT_FALSE(VyCommWait(nullptr));
    EXPECT_FALSE(VyCommReceive(nullptr, L));
    EXPECT_TRUE(VyCommClose(nullptr));
    EXPECT_EQ(2u, log.count("Invalid Handle, code=0"));
    EXPECT_EQ(nullptr, VyCommConnect(0xFFFFFFC1u, 1));
    EXPECT_EQ(nullptr, VyCommConnect(0, 0x7FFFFFF0u)) << "nobody serves that peer";
    EXPECT_EQ(1u, log.count("VyCommConnect: DataSize too Huge"));
    EXPECT_EQ(1u, log.count("VyCommConnect: OpenFileMapping"));
}

TEST_F(vycomm_test, RepliesCarryTheResultsAsStoredValues) {
    bool taken = false;
    EXPECT_EQ(vycomm_success, round_trip("return 6 * 7, 'text', {1}, nil, true", &taken));
    EXPECT_TRUE(taken);
    EXPECT_EQ(5u, server->header()->count);
    ASSERT_EQ(5, lua_gettop(client->state));
    EXPECT_EQ("42", value(1));
    EXPECT_EQ("text", value(2));
    EXPECT_EQ("table", value(3));
    EXPECT_EQ("nil", value(4));
    EXPECT_EQ(vycomm_success + vycomm_taken, client->header()->status);
    // Requests run in the serving state: its globals stay.
    round_trip("kept = 5");
    EXPECT_EQ(0u, client->header()->count);
    EXPECT_EQ(0u, client->header()->length);
    round_trip("return kept");
    EXPECT_EQ("5", value(1));
}

TEST_F(vycomm_test, FailuresAndLimits) {
    trace_capture log;
    struct request_case {
        std::string source;
        uint32_t status;
        int values;  // on the client after taking; -1: not taken
    };
    const request_case cases[] = {
        {"x = = 1", vycomm_failure, 2},
        {"error('broke')", vycomm_failure, 2},
        {"return print", vycomm_failure_empty, -1},
        {"return string.rep('a', 100)", vycomm_failure_empty, -1},
        // capacity - 1 bytes: the terminating 0 is the data area's last byte.
        {"return 1" + std::string(capacity - 9, ' '), vycomm_success, 1},
        {"return 1" + std::string(capacity - 8, ' '), vycomm_failure_empty, -1},
        {std::string("return 1\0return 2", 17), vycomm_success, 1},
    };
    for (const request_case& c : cases) {
        SCOPED_TRACE(c.source.substr(0, 20));
        bool taken = false;
        EXPECT_EQ(c.status, round_trip(c.source, &taken));
        EXPECT_EQ(c.values >= 0, taken);
        if (c.values >= 0) EXPECT_EQ(c.values, lua_gettop(client->state));
        if (c.values < 0) EXPECT_EQ(vycomm_failure_empty, client->header()->status) << "a refused reply stays";
    }
    EXPECT_EQ(1u, log.count("VyCommReceive: store, code=1"));
    EXPECT_EQ(1u, log.count("Reply DataLength too Long"));
    EXPECT_EQ(1u, log.count("Receieve DataLength too Long, code=64"));
    EXPECT_EQ(3u, log.count("VyCommReceive: Invalid Status, code=5"));

    // A request event without a request is logged and left unanswered.
    client->header()->status = 0;
    SetEvent(client->request_event);
    EXPECT_TRUE(VyCommWait(server));
    EXPECT_FALSE(VyCommReceive(server, L));
    EXPECT_FALSE(VyCommWait(client));
    EXPECT_EQ(1u, log.count("VyCommReceive: Invalid Status, code=0"));
}

TEST_F(vycomm_test, ErrorRepliesHoldTheMessage) {
    round_trip("error('broke here')");
    ASSERT_EQ(2, lua_gettop(client->state));
    EXPECT_NE(std::string::npos, value(1).find("broke here"));
    EXPECT_EQ(vycomm_failure + vycomm_taken, client->header()->status);
}

TEST_F(vycomm_test, WritingPastTheDataAreaIsFoundAtClose) {
    trace_capture log;
    client->data()[capacity + 3] = 0;
    EXPECT_FALSE(VyCommClose(server));
    server = nullptr;
    EXPECT_EQ(1u, log.count("VyCommClose: Detect Buffer Overflow"));
}

TEST(EngineCompanions, ACompanionRunsSourceInTheEngine) {
    game_folder game("[Vy]\r\nFPS=60\r\n[COMM]\r\nNUM=3\r\nPATH1=companion.exe\r\nARGS1=\"<0>\" <1>\r\n"
                     "SIZE1=4096\r\nPATH2=missing.exe\r\nARGS2=x\r\nPATH3=companion.exe\r\n",
                     "frames = 0\n"
                     "system.fork(function() while true do frames = frames + 1 coroutine.yield() end end)\n");
    // The companion program of this build, copied into the game folder.
    std::wstring program = L"Z:" + to_wide(VY_BINARY_DIR "/tests/comm_companion.exe");
    std::replace(program.begin(), program.end(), L'/', L'\\');
    ASSERT_TRUE(CopyFileW(program.c_str(), game.path(L"companion.exe").c_str(), FALSE));
    game.write(L"requests.txt", "return 6 * 7, type(system), frames > 0\n----\nreturn missing.field\n----\nsystem.exit(7)\n");
    engine_outcome out = run_engine(game.dir(), L"", 30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(7, out.exit_code);
    std::string replies = game.read(L"replies.txt");
    EXPECT_NE(std::string::npos, replies.find("3 3: 42|table|true\n")) << replies;
    EXPECT_NE(std::string::npos, replies.find("4 2: ")) << replies;
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "\t[COMM] PATH2: not file: ")) << game.read(L"log\\vytrace.log");
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log", "\t[COMM] PATH3: no args"));
}
