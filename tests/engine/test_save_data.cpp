// The save-data file: its bytes, reading it back, refusing damaged and
// foreign files, and never losing the previous file to a failed write.
#include <gtest/gtest.h>

#include "../core/script_fixture.h"
#include "engine/save_data.h"

namespace {
std::string bytes_of(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

const std::string header("VySF\0\0\1\0\0\0\0\0\0\0\0\0", 16);

class save_data_test : public script_test {
protected:
    wstring wide(const std::wstring& p) { return wstring(p.c_str()); }
    wstring file_path(const wchar_t* name) { return wide(scratch.path(name)); }

    // Reads every value of the file into a list of tostring'ed values.
    std::vector<std::string> read_all(save_data& data) {
        std::vector<std::string> out;
        while (data.restore(L())) {
            lua_getglobal(L(), "tostring");
            lua_insert(L(), -2);
            lua_call(L(), 1, 1);
            out.push_back(lua_tostring(L(), -1));
            lua_pop(L(), 1);
        }
        return out;
    }

    // The temporary files a write may have left in the folder.
    std::vector<std::wstring> leftovers() { return scratch.list(L"~*"); }
};
}  // namespace

TEST_F(save_data_test, WorkedExampleIsByteExactAndReadsBack) {
    // A thumbnail is any complete BMP file; its size field says how long.
    const std::string thumbnail("BM\x08\0\0\0\xAA\xBB", 8);
    save_data data;
    ASSERT_TRUE(data.open(file_path(L"slot.vsf"), thumbnail.data(), 8, false));
    lua_pushboolean(L(), 1);
    lua_pushstring(L(), "hi");
    EXPECT_TRUE(data.store(L(), -2));
    EXPECT_TRUE(data.store(L(), -1));
    lua_settop(L(), 0);
    // Nothing reaches the file's name before the close.
    EXPECT_FALSE(exists(scratch.path(L"slot.vsf")));
    ASSERT_TRUE(data.close());
    const std::string expected = thumbnail + header + std::string("\x02\x04\x02\0\0\0hi", 8);
    EXPECT_EQ(expected, read_whole(scratch.path(L"slot.vsf")));
    EXPECT_TRUE(leftovers().empty());

    ASSERT_TRUE(data.open(file_path(L"slot.vsf"), nullptr, 0, true));
    EXPECT_EQ(8u + 16u, data.cursor());
    EXPECT_EQ((std::vector<std::string>{"true", "hi"}), read_all(data));
    EXPECT_EQ(0, lua_gettop(L()));
    EXPECT_TRUE(data.close());
}

TEST_F(save_data_test, NestedTablesSurviveTheRoundTrip) {
    save_data data;
    ASSERT_TRUE(data.open(file_path(L"t.vsf"), nullptr, 0, false));
    run("t = {1, 'two', {x = 3.5, y = {false}}, name = 'nested'}");
    lua_getglobal(L(), "t");
    ASSERT_TRUE(data.store(L(), -1));
    lua_settop(L(), 0);
    ASSERT_TRUE(data.close());
    EXPECT_EQ(header, read_whole(scratch.path(L"t.vsf")).substr(0, 16));

    ASSERT_TRUE(data.open(file_path(L"t.vsf"), nullptr, 0, true));
    ASSERT_TRUE(data.restore(L()));
    lua_setglobal(L(), "u");
    EXPECT_TRUE(holds("u[1] == 1 and u[2] == 'two' and u[3].x == 3.5 and u[3].y[1] == false and u.name == 'nested'"));
    EXPECT_FALSE(data.restore(L()));
    data.close();
}

TEST_F(save_data_test, DamagedAndForeignFilesAreRefusedWithATraceLine) {
    struct damaged {
        const char* name;
        std::string bytes;
        bool opens;          // the header is accepted
        const char* report;  // the trace line's message
    };
    const std::string bmp_head("BM\x10\0\0\0", 6);
    const std::vector<damaged> cases = {
        {"empty", "", false, "empty save data file"},
        {"foreign", "PK\x03\x04 some archive", false, "invalid format save data file"},
        {"short foreign", "ab", false, "invalid format save data file"},
        {"thumbnail past the end", std::string("BM\xFF\xFF\0\0xx", 8), false,
         "invalid thumbnail size in save data file"},
        {"thumbnail without size", "BM\x01", false, "invalid thumbnail size in save data file"},
        {"thumbnail then nothing", bmp_head + std::string(10, 'p'), false, "invalid format save data file"},
        {"header cut short", std::string("VySF\0\0\1", 7), false, "truncated save data file header"},
        // Accepted headers whose values are damaged: the values read as absent.
        {"header only", header, true, nullptr},
        {"value cut short", header + std::string("\x04\x09\0\0\0abc", 8), true, "short of buffer length"},
        {"table never closed", header + std::string("\x05\x03", 2), true, "short of buffer length"},
        {"unknown code", header + "\xEE", true, nullptr},
    };
    for (const damaged& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(write_whole(scratch.path(L"bad.vsf"), c.bytes));
        reported();
        save_data data;
        EXPECT_EQ(c.opens, data.open(file_path(L"bad.vsf"), nullptr, 0, true));
        EXPECT_TRUE(data.reading());
        EXPECT_FALSE(data.restore(L()));
        EXPECT_EQ(0, lua_gettop(L()));
        EXPECT_TRUE(data.close());
        if (c.report) {
            std::string all;
            for (const std::string& line : reported()) all += line + "\n";
            EXPECT_NE(std::string::npos, all.find(c.report)) << all;
        }
        // Reading never changes the file.
        EXPECT_EQ(c.bytes, read_whole(scratch.path(L"bad.vsf")));
    }
}

TEST_F(save_data_test, OldFormatFilesReadOnlyWhenAllowed) {
    // A headerless file after a thumbnail: the values start right there.
    const std::string bytes = std::string("BM\x07\0\0\0z", 7) + std::string("\x03\0\0\0\0\0\0\x45\x40\x02", 10);
    ASSERT_TRUE(write_whole(scratch.path(L"old.vsf"), bytes));
    save_data data;
    EXPECT_FALSE(data.open(file_path(L"old.vsf"), nullptr, 0, true));
    EXPECT_EQ(report_line("system_manager::open_save_data", "invalid format save data file", 0x00000003),
              reported().back());
    data.set_allow_old_format(true);
    ASSERT_TRUE(data.open(file_path(L"old.vsf"), nullptr, 0, true));
    EXPECT_EQ(report_line("system_manager::open_save_data", "old format save data file", 0x00000003),
              reported().back());
    EXPECT_EQ((std::vector<std::string>{"42", "true"}), read_all(data));
    data.close();
}

TEST_F(save_data_test, RefusedValuesLeaveNothingBehind) {
    save_data data;
    lua_pushnumber(L(), 1);
    EXPECT_FALSE(data.store(L(), -1)) << "nothing is open";
    ASSERT_TRUE(data.open(file_path(L"v.vsf"), nullptr, 0, false));
    EXPECT_TRUE(data.store(L(), -1));
    run("f = {ok = 1, bad = print}");
    lua_getglobal(L(), "f");
    EXPECT_FALSE(data.store(L(), -1)) << "a native function stores with a warning";
    lua_pushstring(L(), "after");
    EXPECT_TRUE(data.store(L(), -1));
    lua_settop(L(), 0);
    ASSERT_TRUE(data.close());
    EXPECT_EQ(header + std::string("\x03\0\0\0\0\0\0\xF0\x3F\x04\x05\0\0\0after", 19),
              read_whole(scratch.path(L"v.vsf")));
    ASSERT_TRUE(data.open(file_path(L"v.vsf"), nullptr, 0, true));
    EXPECT_FALSE(data.store(L(), 1)) << "a file open for reading takes no values";
    data.close();
}

TEST_F(save_data_test, AFailedOrAbandonedWriteKeepsThePreviousFile) {
    const std::wstring target = scratch.path(L"keep.vsf");
    const std::string previous = header + "\x02";
    ASSERT_TRUE(write_whole(target, previous));

    // Abandoned: another file is opened before the close.
    save_data data;
    ASSERT_TRUE(data.open(wide(target), nullptr, 0, false));
    lua_pushstring(L(), "lost");
    ASSERT_TRUE(data.store(L(), -1));
    ASSERT_TRUE(data.open(file_path(L"other.vsf"), nullptr, 0, false));
    EXPECT_EQ(previous, read_whole(target));
    EXPECT_TRUE(data.close());
    EXPECT_EQ(header, read_whole(scratch.path(L"other.vsf"))) << "an empty save is its header";

    // Failed: the file can't be replaced while someone holds it open.
    ASSERT_TRUE(data.open(wide(target), nullptr, 0, false));
    ASSERT_TRUE(data.store(L(), -1));
    HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_FALSE(data.close());
    CloseHandle(holder);
    EXPECT_EQ(previous, read_whole(target));

    // Dropped with the object, as at shut-down.
    {
        save_data dying;
        ASSERT_TRUE(dying.open(wide(target), nullptr, 0, false));
        ASSERT_TRUE(dying.store(L(), -1));
    }
    EXPECT_EQ(previous, read_whole(target));
    EXPECT_TRUE(leftovers().empty());
    lua_settop(L(), 0);

    // And a write that completes replaces it.
    ASSERT_TRUE(data.open(wide(target), nullptr, 0, false));
    lua_pushboolean(L(), 0);
    ASSERT_TRUE(data.store(L(), -1));
    ASSERT_TRUE(data.close());
    EXPECT_EQ(header + "\x01", read_whole(target));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(save_data_test, AMissingFolderOrFileFailsToOpen) {
    save_data data;
    EXPECT_FALSE(data.open(file_path(L"nowhere\\x.vsf"), nullptr, 0, false));
    EXPECT_FALSE(data.writing());
    EXPECT_FALSE(data.open(file_path(L"absent.vsf"), nullptr, 0, true));
    EXPECT_FALSE(data.reading());
    EXPECT_TRUE(data.close());
}
