// The `system` library's search paths, folders, listings and settings,
// run in the engine on a game folder made here.
#include <gtest/gtest.h>

#include "../core/package_builder.h"
#include "engine_run.h"
#include "script_cases.h"

namespace {
const std::string files_ini =
    "[PRODUCT]\r\nPRODUCTNAME=Sample\r\n"
    "[Vy]\r\nFPS=60\r\n"
    "[PATH]\r\nNUM=1\r\nPATH1=data,txt\r\n"
    "[GAME]\r\nNAME=Sample Game\r\n"
    "[OTHER]\r\nKEY=other value\r\n";

class files_game : public game_folder {
public:
    files_game() : game_folder(files_ini, "") {
        for (const wchar_t* folder : {L"graphic", L"save", L"data", L"data\\deep", L"script\\sub"})
            CreateDirectoryW(path(folder).c_str(), nullptr);
        write(L"script\\lib.lua", "return 'lib'\n");
        write(L"script\\notes.txt", "not a script\n");
        write(L"script\\sub\\a.lua", "\n");
        write(L"data\\one.txt", "1");
        write(L"data\\deep\\two.txt", "2");
        write(L"data\\skip.bin", "x");
        write(L"save\\blocker", "a file where a folder is wanted");
    }
};

bool folder_exists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Sorted names of a listing, space-separated.
const char* const names_helper =
    "function names(t) if not t then return 'none' end table.sort(t) return table.concat(t, ' ') end";
}  // namespace

TEST(SystemLibraryFiles, PathsAndSearchPathRecords) {
    files_game game;
    expect_cases(game, {
        {"show('p1', system.path(-1))", {"information: p1: {dir}\\script,lua,script"}},
        {"show('p2', system.path(-1, 'lib'))", {"information: p2: {dir}\\script\\lib.lua,nil"}},
        {"show('p3', system.path(0))", {"information: p3: {dir}\\data,txt,"}},
        {"show('p4', pcall(system.path, -9))", {"information: p4: false,system.path: invalid path type: -9"}},
        {"show('p5', pcall(system.path, 3, 'lib'))", {"information: p5: false,system.path: invalid path type: 3"}},
        // A built-in path takes a numbered one, and goes back to its setting.
        {"show('s1', system.set_path(-2, 1), system.path(-2))", {"information: s1: true,{dir}\\data,txt,"}},
        {"show('s2', system.set_path(-2), system.path(-2))", {"information: s2: true,{dir}\\graphic,bmp,graphic"}},
        {"show('s3', system.set_path(-2, 7))",
         {"error: system.set_path: path[1]: invalid path-list index 7", "information: s3: false"}},
        {"show('s4', pcall(system.set_path, -7, 1))", {"information: s4: false,system.set_path: invalid path type -7"}},
        {"show('s5', pcall(system.set_path, 0))", {"information: s5: false,system.set_path: invalid path type 0"}},
    });
    EXPECT_TRUE(game.log_has(L"log\\vytrace.log",
                             "system_manager::lua_set_path: path[1] = '" + to_utf8(game.dir()) + "\\data'.'txt'()"))
        << game.read(L"log\\vytrace.log");
}

TEST(SystemLibraryFiles, MakedirStaysInsideTheKindsFolder) {
    files_game game;
    expect_cases(game, {
        {R"(show('m1', system.makedir(-4, 'slot1\\deep')))", {"information: m1: true"}},
        {"show('m2', system.makedir(-4, 'a/./b'))", {"information: m2: true"}},
        {R"(show('m3', system.makedir(-4, 'x\\..\\..\\SAVE\\inside')))", {"information: m3: true"}},
        {"show('m4', system.makedir(-4, ''))", {"information: m4: true"}},
        {R"(show('m5', system.makedir(-4, '..\\escape')))",
         {"error: system.makedir: invalid directory path", "information: m5: false"}},
        // A sibling whose name begins with the folder's name is outside.
        {R"(show('m6', system.makedir(-4, '..\\save2\\x')))",
         {"error: system.makedir: invalid directory path", "information: m6: false"}},
        {R"(show('m7', system.makedir(-4, 'C:\\temp\\vy')))",
         {"error: system.makedir: invalid directory path", "information: m7: false"}},
        {R"(show('m8', system.makedir(-4, '\\rooted')))",
         {"error: system.makedir: invalid directory path", "information: m8: false"}},
        {"show('m9', system.makedir('x', 'a'), system.makedir(-4))",
         {"error: system.makedir: invalid argument", "error: system.makedir: invalid argument",
          "information: m9: false,false"}},
        {"show('m10', system.makedir(9, 'a'), system.makedir(-5, 'a'))",
         {"error: system.makedir: invalid path id", "error: system.makedir: invalid path id",
          "information: m10: false,false"}},
        {R"(show('m11', system.makedir(-4, 'blocker\\x')))",
         {"error: system.makedir: fail to create directory", "information: m11: false"}},
    });
    EXPECT_TRUE(folder_exists(game.path(L"save\\slot1\\deep")));
    EXPECT_TRUE(folder_exists(game.path(L"save\\a\\b")));
    EXPECT_TRUE(folder_exists(game.path(L"save\\inside")));
    EXPECT_FALSE(exists(game.path(L"escape")));
    EXPECT_FALSE(exists(game.path(L"save2")));
}

TEST(SystemLibraryFiles, EnumFilesListsTheFolderTree) {
    files_game game;
    expect_cases(game, {
        {names_helper, {}},
        {"show('e1', names(system.enum_files(-1)))", {"information: e1: lib main sub\\a"}},
        {"show('e2', names(system.enum_files(-1, 'sub')))", {"information: e2: sub\\a"}},
        {"show('e3', names(system.enum_files(0)))", {"information: e3: deep\\two one"}},
        {"show('e4', system.enum_files(9))",
         {"error: system.enum_files: fail to enum entries (id=9)", "information: e4: "}},
        {"show('e5', system.enum_files(-5))",
         {"error: system.enum_files: fail to enum entries (id=-5)", "information: e5: "}},
    });
}

TEST(SystemLibraryFiles, InfoReadsTheSettings) {
    files_game game;
    expect_cases(game, {
        {"show('i1', system.info('NAME'))", {"information: i1: Sample Game"}},
        {"show('i2', system.info('OTHER', 'KEY'))", {"information: i2: other value"}},
        {"show('i3', system.info('MISSING'), system.info('NOSECTION', 'KEY'), system.info())",
         {"information: i3: ,,"}},
    });
}

TEST(SystemLibraryFiles, PatchPackagesComeFirstInListingsAndLookups) {
    files_game game;
    game.write(L"patch01.arc", make_package(0, {{"script\\extra", "show('px', 'from the patch')\n"},
                                                {"script\\lib", "return 'patched'\n"},
                                                {"graphic\\pic", "not a script"}}));
    expect_cases(game, {
        {names_helper, {}},
        {"show('q1', names(system.enum_files(-1)))", {"information: q1: extra lib main sub\\a"}},
        {"show('q2', system.path(-1, 'extra'))", {"information: q2: {dir}\\patch01.arc,script\\extra"}},
        {"show('q3', system.exec('extra'), system.load('lib')())",
         {"information: px: from the patch", "information: q3: true,patched"}},
    });
}
