// The update settings read from the engine's system file and "version.ini",
// and the rule that reads a patch version out of an archive's name.
#include <gtest/gtest.h>

#include "core/directories.h"
#include "update_run.h"
#include "updater/update_settings.h"

namespace {

std::string text_of(const wstring& s) { return narrow(s.c_str()); }

// Relative settings resolve against the base directory: the test moves it
// into its own folder and back.
class base_directory_in {
public:
    explicit base_directory_in(const std::wstring& dir) : cd_(dir) { recache_base_directory(); }
    ~base_directory_in() { recache_base_directory(); }

private:
    working_dir cd_;
};

TEST(UpdateSettings, ReadConfig) {
    struct row {
        const char* name;
        std::string system_ini;
        const char* version_ini;  // null: no file
        bool tool_ini;            // VyUpdate.ini present
        const wchar_t* initial;
        bool ok;
        const char* url;
        const char* work;       // below the folder
        const char* patch_version;
    };
    const row rows[] = {
        {"defaults", "", nullptr, true, L"", true, "", "update", ""},
        {"a slash ends the URL", "[UPDATE]\r\nURL=http://h/p\r\n", nullptr, true, L"", true, "http://h/p/",
         "update", ""},
        {"a slash is not doubled", "[UPDATE]\r\nURL=http://h/p/\r\n", nullptr, true, L"", true, "http://h/p/",
         "update", ""},
        {"the recorded version wins", "", "[VERSION]\r\nPATCHVER=0102\r\n", true, L"0100", true, "", "update",
         "0102"},
        {"an empty record keeps the initial one", "", "[VERSION]\r\nPATCHVER=\r\n", true, L"0100", true, "",
         "update", "0100"},
        {"missing folders are made", "[UPDATE]\r\nWORK=w\\x\\y\r\n", nullptr, true, L"", true, "", "w\\x\\y", ""},
        {"no updater ini", "", nullptr, false, L"", false, "", "update", ""},
        {"the work folder is a file", "[UPDATE]\r\nWORK=blocked\r\n", nullptr, true, L"", false, "", "blocked",
         ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        scratch_dir dir;
        base_directory_in base(dir.dir());
        ASSERT_TRUE(write_whole(dir.path(L"system.ini"), r.system_ini));
        if (r.version_ini) ASSERT_TRUE(write_whole(dir.path(L"version.ini"), r.version_ini));
        if (r.tool_ini) ASSERT_TRUE(write_whole(dir.path(L"VyUpdate.ini"), "[zip]\r\n"));
        ASSERT_TRUE(write_whole(dir.path(L"blocked"), "a file"));

        updater u;
        EXPECT_EQ(u.read_config(L"system.ini", r.initial), r.ok);
        const update_settings& s = u.settings;
        EXPECT_EQ(text_of(s.url), r.url);
        EXPECT_EQ(text_of(s.work), narrow(dir.path(widen(r.work))));
        EXPECT_EQ(text_of(s.system), narrow(dir.path(L"VyUpdate.ini")));
        EXPECT_EQ(text_of(s.version), narrow(dir.path(L"version.ini")));
        EXPECT_EQ(text_of(s.patch_version), r.patch_version);
        if (r.ok) EXPECT_TRUE(is_folder(dir.path(widen(r.work))));
    }
}

TEST(UpdateSettings, NamedSettingsAndDefaults) {
    scratch_dir dir;
    base_directory_in base(dir.dir());
    std::string elsewhere = narrow(dir.path(L"elsewhere"));
    ASSERT_TRUE(write_whole(dir.path(L"system.ini"),
                            "[UPDATE]\r\nLIST=lists/p.txt\r\nNAME=Up_\r\nEXT=lzh\r\nWORK=" + elsewhere +
                                "\r\nSYSTEM=tools\\u.ini\r\nVERSION=v.ini\r\n"));
    ASSERT_TRUE(CreateDirectoryW(dir.path(L"tools").c_str(), nullptr));
    ASSERT_TRUE(write_whole(dir.path(L"tools\\u.ini"), ""));
    ASSERT_TRUE(write_whole(dir.path(L"v.ini"), "[VERSION]\r\nPATCHVER=7\r\n"));
    updater u;
    ASSERT_TRUE(u.read_config(L"system.ini", L""));
    EXPECT_EQ(text_of(u.settings.list), "lists/p.txt");
    EXPECT_STREQ(u.settings.name.c_str(), "Up_");
    EXPECT_STREQ(u.settings.ext.c_str(), ".lzh");
    EXPECT_EQ(text_of(u.settings.work), elsewhere);
    EXPECT_EQ(text_of(u.settings.system), narrow(dir.path(L"tools\\u.ini")));
    EXPECT_EQ(text_of(u.settings.patch_version), "7");

    updater defaults;
    ASSERT_TRUE(write_whole(dir.path(L"empty.ini"), ""));
    ASSERT_TRUE(write_whole(dir.path(L"VyUpdate.ini"), ""));
    ASSERT_TRUE(defaults.read_config(L"empty.ini", L""));
    EXPECT_EQ(text_of(defaults.settings.list), "patch.txt");
    EXPECT_STREQ(defaults.settings.name.c_str(), "patch*");
    EXPECT_STREQ(defaults.settings.ext.c_str(), ".zip");
}

TEST(UpdateSettings, PatchVersionFromName) {
    struct row {
        const char* name;      // NAME
        const char* recorded;  // the recorded patch version
        const char* file;
        const char* version;   // null: no (new) patch
    };
    const row rows[] = {
        {"patch", "0101", "patch0102.zip", "0102"},
        {"patch", "0101", "PATCH0102.ZIP", "0102"},   // prefix and suffix ignore case
        {"patch", "0101", "patch0101.zip", nullptr},  // equal is not new
        {"patch", "0101", "patch0100.zip", nullptr},
        {"patch", "9", "patch10.zip", nullptr},       // versions compare as text
        {"patch", "0102a", "patch0102B.zip", "0102B"},
        {"patch", "0102a", "patch0102A.zip", nullptr},
        {"patch", "", "patch.zip", ""},                // the empty version, new only without a record
        {"patch", "0101", "patch.zip", nullptr},
        {"patch", "", "patch0102.lzh", nullptr},
        {"patch", "", "xpatch0102.zip", nullptr},
        {"patch", "", "patc.zip", nullptr},
        {"patch", "", "patch.zi", nullptr},
        {"patch*", "", "patch0102.zip", nullptr},      // the asterisk is a plain character
        {"patch*", "", "patch*0102.zip", "0102"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + " " + r.recorded + " " + r.file);
        updater u;
        u.settings.name = r.name;
        u.settings.ext = ".zip";
        u.settings.patch_version = widen(r.recorded).c_str();
        wstring version(L"untouched");
        EXPECT_EQ(u.patch_version_from_name(r.file, version), r.version != nullptr);
        EXPECT_EQ(text_of(version), r.version ? r.version : "untouched");
    }
}

}  // namespace
