// The action library across a script restart, in-process on the engine's
// own system manager: the old state's actions go before the state does,
// and the new state gets the globals again.
#include <gtest/gtest.h>

#include <string>

#include "../core/scratch_dir.h"
#include "core/directories.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/extend_action.h"

namespace {
const char* const main_script =
    "actors.class_create{name = 'holder', param = {0x100000}, action = {start = function(me)\n"
    "  box = new_request(me) p = new_progress(me) c = new_action(me, function() end)\n"
    "  box:receive(nil, 1, {}) box:wait(2, nil, true)\n"
    "end}}\n"
    "actors.create{'holder', 0, 0, 0}\n";

TEST(ActionLibraryRestart, ActionsGoWithTheStateAndTheGlobalsComeBack) {
    script_error_status = 0;
    scratch_dir dir;
    CreateDirectoryW(dir.path(L"script").c_str(), nullptr);
    write_whole(dir.path(L"script\\main.lua"), main_script);
    working_dir cwd(dir.dir());
    recache_base_directory();
    ASSERT_TRUE(engine_system_log().open(dir.path(L"system.log").c_str(), true));
    engine_system_log().set_level(6);
    system_manager& sm = engine_system_manager_object();
    sm.paths().builtin[0].set(dir.path(L"script").c_str(), "lua", "");
    sm.set_main_script(L"main");
    ASSERT_TRUE(sm.init_script());
    engine_system_log().file().flush();
    EXPECT_EQ(3u, sm.actions().extend_list().size()) << read_whole(dir.path(L"system.log"));
    const native_action* first = sm.actions().find_named("test_action");
    ASSERT_NE(nullptr, first);
    const uintptr_t entry = first->entry;

    ASSERT_TRUE(sm.restart_script());
    // The main script ran again: three new actions, none left of the old.
    EXPECT_EQ(3u, sm.actions().extend_list().size());
    EXPECT_EQ(entry, sm.actions().find_named("test_action")->entry);
    lua_State* L = sm.lua();
    ASSERT_EQ(0, luaL_dostring(L, "return type(new_request) .. type(new_progress) .. type(new_action) "
                                  ".. tostring(box:empty())"));
    EXPECT_STREQ("functionfunctionfunctionfalse", lua_tostring(L, -1));
    lua_pop(L, 1);

    sm.release_all();
    EXPECT_EQ(0u, sm.actions().extend_list().size());
    sm.set_running(true);
    sm.after_frame();
    engine_system_log().close();
    script_error_status = 0;
}
}  // namespace
