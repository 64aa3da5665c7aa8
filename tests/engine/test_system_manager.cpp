// The system manager's script side and frame step, in-process on a real
// Lua state (no window or device: the frame step doesn't draw).
#include <gtest/gtest.h>

#include <string>

#include "../core/scratch_dir.h"
#include "core/directories.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/actor_class.h"
#include "world/actor_object.h"

namespace {
class system_manager_test : public ::testing::Test {
protected:
    void SetUp() override {
        script_error_status = 0;
        CreateDirectoryW(dir.path(L"script").c_str(), nullptr);
        write_whole(dir.path(L"script\\main.lua"), "ticks = 0\n");
        cwd = std::make_unique<working_dir>(dir.dir());
        recache_base_directory();  // scripts are found from the game folder
        ASSERT_TRUE(engine_system_log().open(dir.path(L"system.log").c_str(), true));
        engine_system_log().set_level(6);
        sm.paths().builtin[0].set(dir.path(L"script").c_str(), "lua", "");
        sm.set_main_script(L"main");
        ASSERT_TRUE(sm.init_script());
        L = sm.lua();
    }
    void TearDown() override {
        sm.release_all();
        sm.set_running(true);
        sm.after_frame();
        engine_system_log().close();
        script_error_status = 0;
        cwd.reset();
    }
    void run(const char* chunk) { ASSERT_EQ(0, luaL_dostring(L, chunk)) << lua_tostring(L, -1); }
    double number(const char* global) {
        lua_getglobal(L, global);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }
    int frame() {
        int rc = sm.onframe(false);
        sm.after_frame();
        return rc;
    }
    std::string log_text() {
        engine_system_log().file().flush();
        return read_whole(dir.path(L"system.log"));
    }

    scratch_dir dir;
    std::unique_ptr<working_dir> cwd;
    system_manager& sm = engine_system_manager_object();
    lua_State* L = nullptr;
};
}  // namespace

TEST_F(system_manager_test, FrameCounterStartsAtZeroAndRestartResetsIt) {
    EXPECT_EQ(0u, sm.frame());
    frame();
    frame();
    EXPECT_EQ(2u, sm.frame());
    ASSERT_TRUE(sm.restart_script());
    EXPECT_EQ(0u, sm.frame());
    EXPECT_NE(std::string::npos, log_text().find("information: system: release [2]"));
}

TEST_F(system_manager_test, PauseStopsScriptFramesAndStepOnceRunsExactlyOne) {
    run("system.fork(function() while true do ticks = ticks + 1 coroutine.yield() end end)");
    EXPECT_EQ(1, number("ticks"));
    frame();
    EXPECT_EQ(2, number("ticks"));
    sm.set_running(false);
    frame();  // takes effect from the next frame on
    EXPECT_EQ(3, number("ticks"));
    frame();
    frame();
    EXPECT_EQ(3, number("ticks"));
    sm.request_step();
    frame();  // the step applies at the end of this frame
    frame();
    frame();
    EXPECT_EQ(4, number("ticks"));
    EXPECT_EQ(3u, sm.frame()) << "only frames that ran scripts count";
}

TEST_F(system_manager_test, AnActorScriptErrorFailsTheFrame) {
    run("function broken(actor) error('actor broke') end");
    st_actor_class* cls = sm.objects().actors.allocate_class("broken", class_frame_list);
    ASSERT_NE(nullptr, cls);
    cls->flags = class_frame_list;
    lua_getglobal(L, "broken");
    ASSERT_TRUE(actions_parse(L, &cls->actions[slot_mode]));
    ASSERT_NE(nullptr, sm.objects().actors.create_object(nullptr, cls, actor_create_values{}, nullptr));
    run("system.fork(function() while true do ticks = ticks + 1 coroutine.yield() end end)");
    EXPECT_EQ(-1, frame());
    EXPECT_EQ(2, number("ticks")) << "threads still ran in the failing frame";
    EXPECT_NE(std::string::npos, log_text().find("actor broke"));
}

TEST_F(system_manager_test, CallbackResultsAndSlots) {
    struct {
        const char* body;
        bool ok;
        int32_t result;
    } cases[] = {
        {"return 3", true, 3},       {"return '3'", true, 3},     {"return 2.9", true, 2},
        {"return -2.9", true, -2},   {"return true", true, 1},    {"return false", true, 0},
        {"return {}", true, 0},      {"return 'x'", true, 0},     {"return", true, -1},
        {"error('no')", false, 77},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.body);
        std::string chunk = std::string("system.callback(1, function(a, b) ") + c.body + " end)";
        run(chunk.c_str());
        int32_t result = 77;
        EXPECT_EQ(c.ok, sm.call_callback(1, 0, nullptr, result));
        EXPECT_EQ(c.result, result);
    }
    int32_t result = 0;
    EXPECT_FALSE(sm.call_callback(2, 0, nullptr, result)) << "an empty slot";
    EXPECT_FALSE(sm.call_callback(4, 0, nullptr, result)) << "no such slot";
    run("system.callback(0, function(a, b, c) got = tostring(a) .. ' ' .. tostring(b) .. ' ' .. tostring(c) return 1 end)");
    callback_value values[3];
    values[0].kind = callback_value::kind_int;
    values[0].integer = -5;
    values[1].kind = callback_value::kind_string;
    values[1].pointer = "text";
    values[2].kind = callback_value::kind_bool;
    values[2].boolean = 1;
    EXPECT_TRUE(sm.call_callback(0, 3, values, result));
    lua_getglobal(L, "got");
    EXPECT_STREQ("-5 text true", lua_tostring(L, -1));
    lua_pop(L, 1);
    // A restart releases the state: the slots must not call into the new one.
    ASSERT_TRUE(sm.restart_script());
    EXPECT_FALSE(sm.call_callback(0, 0, nullptr, result));
}

TEST_F(system_manager_test, EnvironmentsOutliveARestartWithTheirGlobalsAndStack) {
    run("system.env_open('kept') system.env_exec('kept', 'x = 6 * 7') system.env_set('kept', 'pushed')");
    ASSERT_TRUE(sm.restart_script());
    L = sm.lua();
    run("kept_x = system.env_get('kept', 'x') kept_slot = system.env_get('kept', 1)"
        " reopened = system.env_open('kept') system.env_close('kept')");
    EXPECT_EQ(42, number("kept_x"));
    lua_getglobal(L, "kept_slot");
    EXPECT_STREQ("pushed", lua_tostring(L, -1));
    lua_getglobal(L, "reopened");
    EXPECT_FALSE(lua_toboolean(L, -1));
    lua_pop(L, 2);
    EXPECT_EQ(nullptr, sm.find_env("kept"));
}
