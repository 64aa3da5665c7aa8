// The VYCOMM channel, both sides in one process on real kernel objects, and
// a companion program served by a running engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

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

TEST_F(vycomm_test, TraceLinesLocateAsTheChannel) {
    trace_capture log;
    EXPECT_FALSE(VyCommWait(nullptr));
    const std::string text = log.text();
    EXPECT_NE(std::string::npos, text.find("vycommdll(")) << text;
    EXPECT_EQ(std::string::npos, text.find("vycommdll.cpp")) << text;
}

// A requester that keeps writing the length after it signalled must not
// make the server read or write outside the block.
TEST_F(vycomm_test, ALengthChangedAfterTheSignalStaysInside) {
    trace_capture log;
    std::atomic<bool> stop{false};
    vycomm_send(client, "return 1");
    volatile uint32_t* length = &client->header()->length;
    std::thread writer([&] {
        while (!stop) {
            *length = 0x7FFFFFF0u;
            *length = 8;
        }
    });
    int served = 0;
    for (int i = 0; i < 3000; ++i) {
        server->header()->status = vycomm_request;
        VyCommReceive(server, L);
        ++served;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(3000, served);
    EXPECT_EQ(lua_gettop(L), 0);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(0xCD, server->data()[capacity + i]) << "guard byte " << i;
}

// What the requester reads from the block is checked against its view.
TEST_F(vycomm_test, TheRequesterChecksCapacityAndLength) {
    trace_capture log;
    EXPECT_EQ(vycomm_success, round_trip("return string.rep('a', 20)"));
    vycomm_header* h = client->header();
    h->length = capacity + 1000;
    h->count = 1;
    h->status = vycomm_success;
    EXPECT_FALSE(VyCommReceive(client, nullptr));
    EXPECT_EQ(0, lua_gettop(client->state));
    EXPECT_EQ(1u, log.count("VyCommReceive: Invalid DataLength, code=1064"));

    // A capacity larger than the mapping is refused at connect.
    const uint32_t kept = server->header()->capacity;
    for (uint32_t bad : {0x40000000u, 0xFFFFFFFFu, capacity + 4096}) {
        server->header()->capacity = bad;
        EXPECT_EQ(nullptr, VyCommConnect(0, GetCurrentProcessId())) << bad;
    }
    server->header()->capacity = kept;
    EXPECT_EQ(3u, log.count("VyCommConnect: Invalid Capacity"));
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

namespace {
// The other arch's build folder by the scheme of the build scripts: the
// 64-bit one is the 32-bit one's name with "64" appended. Empty when this
// process can't start its programs: a 64-bit prefix runs both archs, a
// 32-bit one only 32-bit programs.
std::string sibling_build_dir(std::string* why) {
    if (sizeof(void*) == 4) {
        *why = "a 32-bit Wine prefix cannot start 64-bit programs; the 64-bit suite tests both pairings";
        return "";
    }
    std::string own = VY_BINARY_DIR;
    if (own.size() < 2 || own.compare(own.size() - 2, 2, "64") != 0) {
        *why = "this build folder's name doesn't end in 64: no sibling 32-bit build to find";
        return "";
    }
    return own.substr(0, own.size() - 2);
}

std::wstring windows_path(const std::string& unix_path) {
    std::wstring path = L"Z:" + to_wide(unix_path);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}
}  // namespace

// The shared block reads the same in both builds: a companion of one arch
// talks to an engine of the other, both ways.
TEST(EngineCompanions, CompanionAndEngineOfDifferentArchs) {
    std::string why;
    const std::string sibling = sibling_build_dir(&why);
    if (sibling.empty()) GTEST_SKIP() << why;
    const std::wstring other_engine = windows_path(sibling + "/bin/VyEngine.exe");
    const std::wstring other_companion = windows_path(sibling + "/tests/comm_companion.exe");
    if (GetFileAttributesW(other_engine.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(other_companion.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no 32-bit build beside this one (" << sibling << "): build it to test the pairing";
    struct pairing {
        const char* what;
        std::wstring engine;
        std::wstring companion;
    };
    const pairing pairings[] = {
        {"64-bit engine, 32-bit companion", engine_program(), other_companion},
        {"32-bit engine, 64-bit companion", other_engine, windows_path(VY_BINARY_DIR "/tests/comm_companion.exe")},
    };
    for (const pairing& p : pairings) {
        SCOPED_TRACE(p.what);
        game_folder game("[Vy]\r\nFPS=60\r\n[COMM]\r\nNUM=1\r\nPATH1=companion.exe\r\nARGS1=\"<0>\" <1>\r\nSIZE1=4096\r\n",
                         "frames = 0\n"
                         "system.fork(function() while true do frames = frames + 1 coroutine.yield() end end)\n");
        ASSERT_TRUE(CopyFileW(p.companion.c_str(), game.path(L"companion.exe").c_str(), FALSE));
        game.write(L"requests.txt",
                   "return 6 * 7, {a = 'b'}, 'text', frames > 0\n----\nerror('broke')\n----\nsystem.exit(7)\n");
        engine_process engine(game.dir(), L"", p.engine);
        ASSERT_TRUE(engine.started());
        engine_outcome out = engine.wait(30000);
        ASSERT_FALSE(out.timed_out);
        EXPECT_EQ(7, out.exit_code);
        const std::string replies = game.read(L"replies.txt");
        EXPECT_NE(std::string::npos, replies.find("3 4: 42|table|text|true\n")) << replies;
        EXPECT_NE(std::string::npos, replies.find("4 2: ")) << replies;
    }
}
