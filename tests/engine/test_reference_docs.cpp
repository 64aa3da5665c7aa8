// The script reference in docs/reference must name exactly the functions the
// engine registers: the engine's own system manager starts a real Lua state
// as a game does, and every function it adds to the stock Lua libraries or
// to the globals must have a "### `name`" heading, and every such heading
// must name a registered function.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "../core/scratch_dir.h"
#include "core/directories.h"
#include "core/script.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "lauxlib.h"
#include "lua.h"

namespace {
// "name" for a global function, "table.name" for a function in a global
// table (one level down, as libraries are laid out).
std::set<std::string> function_names(lua_State* L) {
    std::set<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        if (lua_type(L, -2) == LUA_TSTRING) {
            std::string global = lua_tostring(L, -2);
            if (lua_isfunction(L, -1)) {
                names.insert(global);
            } else if (lua_istable(L, -1) && global != "_G") {
                lua_pushnil(L);
                while (lua_next(L, -2)) {
                    if (lua_type(L, -2) == LUA_TSTRING && lua_isfunction(L, -1))
                        names.insert(global + "." + lua_tostring(L, -2));
                    lua_pop(L, 1);
                }
            }
        }
        lua_pop(L, 1);
    }
    return names;
}

std::wstring reference_dir() {
    std::wstring out = L"Z:";
    for (const char* p = VY_SOURCE_DIR; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out + L"\\docs\\reference";
}

// The name of an entry heading "### `name`" (trailing text allowed), or "".
std::string entry_name(const std::string& line) {
    const std::string mark = "### `";
    if (line.compare(0, mark.size(), mark) != 0) return "";
    size_t end = line.find('`', mark.size());
    return end == std::string::npos ? "" : line.substr(mark.size(), end - mark.size());
}

// Every entry heading of the reference's Markdown files.
std::set<std::string> reference_names(std::string& files_read) {
    std::set<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((reference_dir() + L"\\*.md").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring file = found.cFileName;
        files_read += std::string(file.begin(), file.end()) + " ";
        std::string text = read_whole(reference_dir() + L"\\" + file);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::string name = entry_name(line);
            if (!name.empty()) names.insert(name);
            start = end + 1;
        }
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string joined(const std::set<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += "\n  " + n;
    return out;
}

TEST(ReferenceDocs, EveryRegisteredFunctionHasAnEntryAndEveryEntryIsRegistered) {
    // What stock Lua brings: the engine's additions are what lies beyond it.
    script plain;
    ASSERT_TRUE(plain.open(script_all_libs));
    const std::set<std::string> stock = function_names(plain.state());
    plain.close();

    script_error_status = 0;
    scratch_dir dir;
    CreateDirectoryW(dir.path(L"script").c_str(), nullptr);
    write_whole(dir.path(L"script\\main.lua"), "");
    std::set<std::string> engine;
    {
        working_dir cwd(dir.dir());
        recache_base_directory();
        ASSERT_TRUE(engine_system_log().open(dir.path(L"system.log").c_str(), true));
        system_manager& sm = engine_system_manager_object();
        sm.paths().builtin[0].set(dir.path(L"script").c_str(), "lua", "");
        sm.set_main_script(L"main");
        ASSERT_TRUE(sm.init_script());
        for (const std::string& n : function_names(sm.lua()))
            if (!stock.count(n)) engine.insert(n);
        sm.release_all();
        sm.set_running(true);
        sm.after_frame();
        engine_system_log().close();
        script_error_status = 0;
    }
    // A sanity floor: the libraries registered at all.
    ASSERT_GT(engine.size(), 250u);
    ASSERT_TRUE(engine.count("actors.create"));
    ASSERT_TRUE(engine.count("new_text"));

    std::string files;
    const std::set<std::string> documented = reference_names(files);
    ASSERT_FALSE(documented.empty()) << "no \"### `name`\" entries found in " << VY_SOURCE_DIR << "/docs/reference";

    std::set<std::string> missing, stale;
    for (const std::string& n : engine)
        if (!documented.count(n)) missing.insert(n);
    for (const std::string& n : documented)
        if (!engine.count(n)) stale.insert(n);
    EXPECT_TRUE(missing.empty()) << "registered but missing from docs/reference (add a \"### `name`\" entry):"
                                 << joined(missing);
    EXPECT_TRUE(stale.empty()) << "named in docs/reference (" << files << ") but not registered:" << joined(stale);
}
}  // namespace
