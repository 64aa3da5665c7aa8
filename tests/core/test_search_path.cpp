// Search-path records, numbering, patches and listings over real folders
// and packages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/file_enumeration.h"
#include "core/search_path.h"
#include "core/system_log.h"
#include "package_builder.h"
#include "scratch_dir.h"

namespace {

struct recording_log : i_system_log {
    std::vector<std::string> lines;
    int32_t level() const override { return 10; }
    void write(int32_t level, const char* origin, const char* message) override {
        lines.push_back(std::to_string(level) + "|" + origin + "|" + message);
    }
};

class log_capture {
public:
    log_capture() { set_system_log(&log); }
    ~log_capture() { set_system_log(nullptr); }
    recording_log log;
};

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

struct lookup {
    bool ok;
    std::wstring path;
    std::string entry;
};

lookup get(search_path_set& set, int32_t number, const char* name, bool skip = false) {
    wstring path;
    string entry;
    bool ok = search_path_get(set, number, name, path, entry, skip);
    return {ok, path.c_str(), entry.c_str()};
}

std::vector<std::string> sorted(const std::vector<string>& names) {
    std::vector<std::string> out;
    for (const auto& n : names) out.push_back(n.c_str());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(SearchPathRecords, NumbersSelectBuiltinAndAddedRecords) {
    search_path_set set;
    const char* names[] = {"script", "graphic", "sound", "save", "movie", "patch"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(set.entry(-1 - i), &set.builtin[i]);
        EXPECT_STREQ(set.name_of(-1 - i).c_str(), names[i]);
    }
    EXPECT_EQ(set.entry(-7), nullptr);
    EXPECT_STREQ(set.name_of(3).c_str(), "PATH3");

    set.added.resize(2);
    struct numbering {
        int32_t base, number;
        int index;  // -1: none
    };
    const numbering cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, -1}, {1, 0, -1},
                               {1, 1, 0}, {1, 2, 1}, {1, 3, -1}, {0, -8, -1}};
    for (const auto& c : cases) {
        set.base = c.base;
        search_path* expected = c.index < 0 ? nullptr : &set.added[size_t(c.index)];
        EXPECT_EQ(search_path_entry(set, c.number), expected) << "base " << c.base << " number " << c.number;
    }
}

TEST(SearchPathRecords, ValidateSetsTheKindAndEndsTheList) {
    scratch_dir dir;
    ASSERT_TRUE(write_whole(dir.path(L"data.pak"), make_package(0, {{"a", "1"}})));
    struct validate_case {
        std::wstring path;
        const char* second;
        bool ok;
        uint32_t kind;
        const char* stored_second;
    };
    const validate_case cases[] = {
        {dir.dir(), "png", true, 1, "png"},
        {dir.dir(), "png;bmp", true, 0x101, "png;bmp;"},
        {dir.dir(), "png;bmp;", true, 0x101, "png;bmp;"},
        {dir.dir(), ";png", true, 1, ";png"},
        {dir.path(L"data.pak"), "image", true, 2, "image"},
        {dir.path(L"missing"), "png", false, 0, "png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        search_path r;
        EXPECT_EQ(r.set(c.path.c_str(), c.second, ""), c.ok);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_STREQ(r.second.c_str(), c.stored_second);
        EXPECT_TRUE(r.validate() == c.ok);  // validating again changes nothing
        EXPECT_STREQ(r.second.c_str(), c.stored_second);
    }
}

TEST(SearchPathRecords, ResolveFoldersListsAndPackages) {
    scratch_dir dir;
    ASSERT_TRUE(write_whole(dir.path(L"a.bmp"), "a"));
    ASSERT_TRUE(write_whole(dir.path(L"b.png"), "b"));
    ASSERT_TRUE(write_whole(dir.path(L"b.bmp"), "b"));
    ASSERT_TRUE(write_whole(dir.path(L"data.pak"), make_package(0, {{"image\\a.png", "1"}})));
    std::wstring folder = dir.dir() + L"\\";
    search_path single, list, package, bare;
    ASSERT_TRUE(single.set(dir.dir().c_str(), "png", ""));
    ASSERT_TRUE(list.set(dir.dir().c_str(), "png;bmp", ""));
    ASSERT_TRUE(package.set(dir.path(L"data.pak").c_str(), "image", ""));
    ASSERT_TRUE(bare.set(dir.path(L"data.pak").c_str(), "", ""));
    struct resolve_case {
        const search_path* record;
        const char* name;
        std::wstring path;
        const char* entry;
    };
    const resolve_case cases[] = {
        {&single, "a", folder + L"a.png", ""},
        {&list, "a", folder + L"a.bmp", ""},   // a.png is missing
        {&list, "b", folder + L"b.png", ""},   // the first of the list wins
        {&list, "c", folder + L"c.bmp", ""},   // none exists: the last candidate
        {&package, "a.png", dir.path(L"data.pak"), "image\\a.png"},
        {&bare, "a.png", dir.path(L"data.pak"), "a.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wstring path;
        string entry;
        ASSERT_TRUE(c.record->resolve(c.name, path, entry));
        EXPECT_EQ(_wcsicmp(path.c_str(), c.path.c_str()), 0) << narrow(path.c_str());
        EXPECT_STREQ(entry.c_str(), c.entry);
    }
    search_path disabled;
    wstring path;
    string entry;
    EXPECT_FALSE(disabled.resolve("a", path, entry));
}

TEST(SearchPathGet, ReportsDisabledRecordsAndVerboseLines) {
    scratch_dir dir;
    log_capture capture;
    search_path_set set;
    ASSERT_TRUE(set.builtin[1].set(dir.dir().c_str(), "png", ""));
    EXPECT_FALSE(get(set, -1, "main").ok);  // "script" never set: disabled
    EXPECT_FALSE(get(set, -9, "main").ok);  // no record: nothing said
    lookup found = get(set, -2, "a");
    EXPECT_TRUE(found.ok);
    set.verbose = true;
    found = get(set, -2, "a");
    ASSERT_EQ(capture.log.lines.size(), 2u);
    EXPECT_EQ(capture.log.lines[0], "0|system.get_path|script: path is disable");
    EXPECT_EQ(capture.log.lines[1], "9|system.get_path|[graphic]a = " + narrow(found.path) + "[]");
}

TEST(SearchPathGet, PatchesAreSearchedNewestFirst) {
    scratch_dir dir;
    std::wstring game = dir.path(L"game"), p1 = dir.path(L"patch1"), p2 = dir.path(L"patch2.pak");
    for (const auto& d : {game, p1, p1 + L"\\graphic", p1 + L"\\sound"})
        ASSERT_TRUE(CreateDirectoryW(d.c_str(), nullptr));
    ASSERT_TRUE(write_whole(game + L"\\a.png", "game a"));
    ASSERT_TRUE(write_whole(game + L"\\d.png", "game d"));
    ASSERT_TRUE(write_whole(p1 + L"\\graphic\\a.png", "p1 a"));
    ASSERT_TRUE(write_whole(p1 + L"\\graphic\\b.png", "p1 b"));
    ASSERT_TRUE(write_whole(p1 + L"\\sound\\x.wav", "p1 x"));
    ASSERT_TRUE(write_whole(dir.path(L"sound.pak"), make_package(0, {{"se\\x.wav", "game x"}, {"se\\y.wav", "game y"}})));
    ASSERT_TRUE(write_whole(p2, make_package(0, {{"graphic\\a", "p2 a"}, {"sound\\se\\y.wav", "p2 y"}})));

    search_path_set set;
    ASSERT_TRUE(set.builtin[1].set(game.c_str(), "png", "graphic"));
    ASSERT_TRUE(set.builtin[2].set(dir.path(L"sound.pak").c_str(), "se", "sound"));
    set.add_patch(p1.c_str());
    set.add_patch(p2.c_str());
    ASSERT_NE(set.patches[1].package, nullptr);
    EXPECT_EQ(set.patches[0].package, nullptr);

    struct patch_case {
        int32_t number;
        const char* name;
        bool skip;
        std::wstring path;
        const char* entry;
    };
    const patch_case cases[] = {
        {-2, "a", false, p2, "graphic\\a"},                 // the newest patch wins
        {-2, "b", false, p1 + L"\\graphic\\b.png", ""},     // only the older patch has it
        {-2, "d", false, game + L"\\d.png", ""},            // no patch has it
        {-2, "a", true, game + L"\\a.png", ""},             // patches skipped
        {-3, "x.wav", false, p1 + L"\\sound\\x.wav", ""},   // folder patch of a package record
        {-3, "y.wav", false, p2, "sound\\se\\y.wav"},       // package patch of a package record
        {-3, "z.wav", false, dir.path(L"sound.pak"), "se\\z.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lookup l = get(set, c.number, c.name, c.skip);
        ASSERT_TRUE(l.ok);
        EXPECT_EQ(_wcsicmp(l.path.c_str(), c.path.c_str()), 0) << narrow(l.path);
        EXPECT_EQ(l.entry, c.entry);
    }

    // The verbose patch lines name each patch tried.
    {
        log_capture capture;
        set.verbose = true;
        wstring path;
        string entry;
        EXPECT_TRUE(search_path_find_file(set, -2, "b", path, entry));
        ASSERT_GE(capture.log.lines.size(), 2u);
        EXPECT_EQ(capture.log.lines[0], "9|system.search_patch|[graphic]b: [1]" + narrow(p2) + "[]");
        EXPECT_EQ(capture.log.lines[1], "9|system.search_patch|[graphic]b: [0]" + narrow(p1) + "[png]");
        set.verbose = false;
    }

    // A patch location that has gone away ends the patch search; the
    // record itself still answers.
    set.add_patch(dir.path(L"gone").c_str());
    wstring path;
    string entry;
    EXPECT_FALSE(search_path_find_file(set, -2, "a", path, entry));
    lookup l = get(set, -2, "a");
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(_wcsicmp(l.path.c_str(), (game + L"\\a.png").c_str()), 0);
}

TEST(SearchPathNames, RelativePathInvertsFolderResolve) {
    scratch_dir dir;
    search_path single, list;
    ASSERT_TRUE(single.set(dir.dir().c_str(), "png", ""));
    ASSERT_TRUE(list.set(dir.dir().c_str(), "png;bmp", ""));
    struct relative_case {
        const search_path* record;
        std::wstring path;
        bool ok;
        const char* name;
    };
    const relative_case cases[] = {
        {&single, dir.path(L"a.png"), true, "a"},
        {&single, dir.path(L"sub\\deep\\b.PNG"), true, "sub\\deep\\b"},
        {&single, dir.path(L"a.bmp"), false, ""},
        {&list, dir.path(L"a.bmp"), true, "a"},
        {&list, dir.path(L"a.gif"), false, ""},
        {&single, dir.dir() + L"_other\\a.png", false, ""},  // outside the folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.path));
        string name;
        EXPECT_EQ(relative_path(c.path.c_str(), *c.record, name), c.ok);
        if (c.ok) EXPECT_STREQ(name.c_str(), c.name);
    }
    // Whatever resolve makes of a name comes back as that name.
    wstring path;
    string entry, name;
    ASSERT_TRUE(single.resolve("sub\\c", path, entry));
    ASSERT_TRUE(relative_path(path.c_str(), single, name));
    EXPECT_STREQ(name.c_str(), "sub\\c");
}

TEST(SearchPathNames, EnumerationListsFolderTreesAndPackagePrefixes) {
    scratch_dir dir;
    std::wstring game = dir.path(L"game");
    for (const auto& d : {game, game + L"\\sub", game + L"\\sub\\deep"})
        ASSERT_TRUE(CreateDirectoryW(d.c_str(), nullptr));
    for (const auto& f : {L"\\a.png", L"\\b.txt", L"\\sub\\c.png", L"\\sub\\deep\\d.PNG", L"\\sub\\e.bmp"})
        ASSERT_TRUE(write_whole(game + f, "x"));
    ASSERT_TRUE(write_whole(dir.path(L"data.pak"),
                            make_package(0, {{"image\\a.png", "1"}, {"image\\ui\\b.png", "2"},
                                             {"sound\\c.wav", "3"}, {"imagery.png", "4"}})));
    search_path png, list, all, package, disabled;
    ASSERT_TRUE(png.set(game.c_str(), "png", "*.png"));
    ASSERT_TRUE(list.set(game.c_str(), "png;bmp", ""));
    ASSERT_TRUE(all.set(game.c_str(), "", ""));
    ASSERT_TRUE(package.set(dir.path(L"data.pak").c_str(), "image", ""));
    using names = std::vector<std::string>;
    struct enum_case {
        const search_path* record;
        const char* sub;
        names expected;
    };
    const enum_case cases[] = {
        {&png, "", {"a", "sub\\c", "sub\\deep\\d"}},
        {&png, "sub", {"sub\\c", "sub\\deep\\d"}},
        {&list, "sub", {"sub\\c", "sub\\deep\\d", "sub\\e"}},
        {&all, "", {"a.png", "b.txt", "sub\\c.png", "sub\\deep\\d.PNG", "sub\\e.bmp"}},
        {&package, "", {"a.png", "ui\\b.png"}},
        {&package, "ui", {"ui\\b.png"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sub);
        std::vector<string> out;
        ASSERT_TRUE(enumerate_files(*c.record, c.sub, out));
        EXPECT_EQ(sorted(out), c.expected);
    }
    std::vector<string> out;
    EXPECT_FALSE(enumerate_files(disabled, "", out));

    // The record's own pattern lists the matching files of its folder.
    ASSERT_TRUE(png.find_files(out));
    EXPECT_EQ(sorted(out), names{"a.png"});
}
