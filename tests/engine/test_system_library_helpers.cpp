// The pure helpers behind system.makedir and the breakpoints, and what a
// script restart keeps of the breakpoints (in-process, on a real state).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../core/scratch_dir.h"
#include "core/directories.h"
#include "engine/directory_containment.h"
#include "engine/script_breakpoints.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "lauxlib.h"
#include "lua.h"

TEST(DirectoryContainment, OnlyPathsBelowTheFolderPass) {
    struct {
        const wchar_t* folder;
        const wchar_t* directory;
        bool inside;
        const wchar_t* result;
    } cases[] = {
        {L"C:\\game\\save", L"slot1", true, L"C:\\game\\save\\slot1"},
        {L"C:\\game\\save", L"a/./b/", true, L"C:\\game\\save\\a\\b\\"},
        {L"C:\\game\\save\\", L"x\\..\\y", true, L"C:\\game\\save\\y"},
        {L"C:\\game\\save", L"", true, L"C:\\game\\save\\"},
        {L"C:\\game\\save", L"..", false, nullptr},
        {L"C:\\game\\save", L"..\\save2", false, nullptr},
        {L"C:\\game\\save", L"..\\SAVE\\deep", true, L"C:\\game\\SAVE\\deep"},
        {L"C:\\game\\save", L"x\\..\\..\\..\\game\\save\\z", true, L"C:\\game\\save\\z"},
        {L"C:\\game\\save", L"..\\..\\windows", false, nullptr},
        {L"C:\\game\\save", L"\\rooted", false, nullptr},
        {L"C:\\game\\save", L"/rooted", false, nullptr},
        {L"C:\\game\\save", L"D:\\other", false, nullptr},
        {L"C:\\game\\save", L"D:relative", false, nullptr},
        {L"C:\\", L"anything", true, L"C:\\anything"},
        {L"", L"x", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.folder) + L" + " + c.directory);
        wstring out;
        ASSERT_EQ(c.inside, directory_inside(c.folder, c.directory, out));
        if (c.inside) EXPECT_EQ(std::wstring(c.result), std::wstring(out.c_str()));
    }
}

TEST(BreakpointSources, NamesBelowTheScriptFolderCompareLoosely) {
    struct {
        const char* source;
        const char* name;
    } names[] = {
        {"@C:\\game\\script\\main.lua", "main.lua"},
        {"@c:/GAME/script/sub/a.lua", "sub/a.lua"},
        {"@C:\\game\\scripts\\main.lua", "C:\\game\\scripts\\main.lua"},
        {"@C:\\other\\main.lua", "C:\\other\\main.lua"},
        {"@C:\\game\\script", "C:\\game\\script"},
        {"=stdin", "=stdin"},
        {"return 1", "return 1"},
    };
    for (const auto& c : names) {
        SCOPED_TRACE(c.source);
        EXPECT_STREQ(c.name, breakpoint_source_name(c.source, L"C:\\game\\script\\").c_str());
        EXPECT_STREQ(c.name, breakpoint_source_name(c.source, L"C:\\game\\script").c_str());
    }
    struct {
        const char* listed;
        const char* source;
        bool same;
    } matches[] = {
        {"sub\\a.lua", "sub/a.lua", true}, {"SUB\\A.LUA", "sub\\a.lua", true},
        {"sub\\a.lua", "sub\\a.lu", false}, {"sub\\a", "sub\\a.lua", false},
        {"", "", true},                    {"a.lua", nullptr, false},
    };
    for (const auto& m : matches) {
        SCOPED_TRACE(m.listed);
        EXPECT_EQ(m.same, breakpoint_source_matches(m.listed, m.source));
    }
}

TEST(BreakpointSources, ARestartHooksTheListedBreakpointsAgain) {
    scratch_dir dir;
    CreateDirectoryW(dir.path(L"script").c_str(), nullptr);
    write_whole(dir.path(L"script\\main.lua"), "\n");
    working_dir cwd(dir.dir());
    recache_base_directory();
    ASSERT_TRUE(engine_system_log().open(dir.path(L"system.log").c_str(), true));
    system_manager& sm = engine_system_manager_object();
    sm.paths().builtin[0].set(dir.path(L"script").c_str(), "lua", "");
    sm.set_main_script(L"main");
    ASSERT_TRUE(sm.init_script());
    auto hook_of = [&]() {
        lua_State* L = sm.lua();
        EXPECT_EQ(0, luaL_dostring(L, "return debug.gethook()"));
        std::string hook = lua_isstring(L, -3) ? lua_tostring(L, -3) : "none";
        lua_settop(L, 0);
        return hook;
    };
    EXPECT_EQ("none", hook_of());
    ASSERT_EQ(0, luaL_dostring(sm.lua(), "system.set_breakpoint('main.lua', 1)"));
    EXPECT_EQ("external hook", hook_of());
    ASSERT_TRUE(sm.restart_script());
    EXPECT_EQ(1u, sm.breakpoints().size());
    EXPECT_EQ("external hook", hook_of()) << "the new state is hooked again";
    ASSERT_EQ(0, luaL_dostring(sm.lua(), "system.unset_breakpoint(0)"));
    EXPECT_EQ("none", hook_of());
    sm.release_all();
    engine_system_log().close();
}
