// Path building and splitting, folder chains and folder searches on real
// folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "core/directories.h"
#include "core/folders.h"
#include "scratch_dir.h"

namespace {
std::wstring text(const wstring& s) { return s.c_str(); }
}  // namespace

TEST(PathBuilding, JoinAndFullPaths) {
    struct join_case {
        const wchar_t *dir, *name, *expected;
    };
    const join_case joins[] = {
        {L"log\\", L"x", L"log\\x"}, {L"log", L"x", L"log\\x"}, {L"", L"x", L"x"}};
    for (const auto& c : joins) {
        wstring d(c.dir);
        path_join(d, c.name);
        EXPECT_EQ(text(d), c.expected) << c.dir;
    }

    std::wstring base = text(cached_base_directory());
    struct full_case {
        const wchar_t *dir, *name, *ext;
        std::wstring expected;
    };
    const full_case fulls[] = {
        {L"D:\\games", L"a", L"png", L"D:\\games\\a.png"},
        {L"d:\\games\\", L"a", L"", L"D:\\games\\a"},
        {L"data", L"a", L"png", base + L"data\\a.png"},
        {L"", L"a", L"png", base + L"a.png"},
        {L"data", L"sub\\b", L"wav", base + L"data\\sub\\b.wav"},
    };
    for (const auto& c : fulls) {
        wstring out;
        make_full_path(out, c.dir, c.name, c.ext);
        EXPECT_EQ(text(out), c.expected) << c.dir << L" " << c.name;
    }
    EXPECT_EQ(text(absolute_path(L"x\\y")), base + L"x\\y");
    EXPECT_EQ(text(absolute_path(L"c:\\x")), L"C:\\x");
}

TEST(PathBuilding, SplittingPaths) {
    struct split_case {
        const wchar_t* path;
        const wchar_t* directory;
        bool has_stem;
        const wchar_t* stem;
        bool has_extension;
        const wchar_t* extension;
    };
    const split_case cases[] = {
        {L"log\\trace", L"log\\", true, L"trace", false, L""},
        {L"data\\image\\a.png", L"data\\image\\", true, L"a", true, L"png"},
        {L"a\\file.tar.gz", L"a\\", true, L"file.tar", true, L"gz"},
        {L"dir.d\\file", L"dir.d\\", true, L"file", false, L""},  // dots in folders don't count
        {L"a\\file.", L"a\\", true, L"file", true, L""},
        {L"name.txt", L"", false, L"", true, L"txt"},
        {L"", L"", false, L"", false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "path " << std::wstring(c.path));
        EXPECT_EQ(text(directory_of(c.path)), c.directory);
        wstring stem, extension;
        EXPECT_EQ(file_stem_of(c.path, stem), c.has_stem);
        EXPECT_EQ(text(stem), c.stem);
        EXPECT_EQ(extension_of(c.path, extension), c.has_extension);
        EXPECT_EQ(text(extension), c.extension);
    }
    EXPECT_EQ(rfind_char(L"a\\b\\c", L'\\'), 3);
    EXPECT_EQ(rfind_char(L"abc", L'\\'), -1);
    EXPECT_EQ(wstring_rfind_char(wstring(), L'a'), -1);

    wstring p(L"C:\\Game\\Data\\x.png");
    EXPECT_FALSE(path_strip_prefix(p, L"c:\\other"));
    EXPECT_TRUE(path_strip_prefix(p, L"c:\\game"));
    EXPECT_EQ(text(p), L"Data\\x.png");
    wstring t(L"abcdef");
    wstring_truncate(t, 3);
    EXPECT_EQ(text(t), L"abc");
    wstring_truncate(t, 0);
    EXPECT_TRUE(t.empty());
}

TEST(Folders, CreatePathMakesWholeChains) {
    scratch_dir dir;
    std::wstring chain = dir.path(L"one\\two\\three");
    EXPECT_TRUE(create_path(chain.c_str(), FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(exists(chain));
    EXPECT_TRUE(create_path(chain.c_str(), FILE_ATTRIBUTE_DIRECTORY));  // already there
    EXPECT_TRUE(create_path((chain + L"\\").c_str(), FILE_ATTRIBUTE_DIRECTORY));

    std::wstring file = dir.path(L"four\\five\\note.txt");
    EXPECT_TRUE(create_path(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(read_whole(file), "");
    ASSERT_TRUE(write_whole(file, "kept"));
    EXPECT_TRUE(create_path(file.c_str(), FILE_ATTRIBUTE_NORMAL));  // opened, not truncated
    EXPECT_EQ(read_whole(file), "kept");

    // A file standing where a folder should be stops the chain.
    EXPECT_FALSE(create_path((file + L"\\inner").c_str(), FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(create_path(L"", FILE_ATTRIBUTE_DIRECTORY));
}

TEST(Folders, SearchesSkipDotEntries) {
    scratch_dir dir;
    file_finder finder;
    EXPECT_FALSE(find_first_file(finder, dir.dir().c_str(), L"*"));
    EXPECT_FALSE(finder.active());

    ASSERT_TRUE(write_whole(dir.path(L"a.png"), "a"));
    ASSERT_TRUE(write_whole(dir.path(L"b.txt"), "b"));
    ASSERT_TRUE(CreateDirectoryW(dir.path(L"sub").c_str(), nullptr));
    std::vector<std::wstring> names, folders;
    for (bool more = find_first_file(finder, dir.dir().c_str(), L"*"); more; more = find_next_file(finder)) {
        names.push_back(finder.name());
        if (finder.is_folder()) folders.push_back(finder.name());
    }
    EXPECT_FALSE(finder.active());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.png", L"b.txt", L"sub"}));
    EXPECT_EQ(folders, std::vector<std::wstring>{L"sub"});

    file_finder png(dir.dir().c_str(), L"*.png");
    ASSERT_TRUE(png.active());
    EXPECT_STREQ(png.name(), L"a.png");
    EXPECT_FALSE(find_next_file(png));

    // An empty pattern asks for the folder itself.
    file_finder self(dir.path(L"sub").c_str(), L"");
    ASSERT_TRUE(self.active());
    EXPECT_STREQ(self.name(), L"sub");
}
