// Files and text files on real files in a scratch folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/directories.h"
#include "core/file.h"
#include "scratch_dir.h"

namespace {

class Files : public ::testing::Test {
protected:
    scratch_dir scratch;
    std::wstring path(const wchar_t* name) { return scratch.path(name); }
};

TEST_F(Files, OpenModes) {
    struct row {
        uint32_t mode;
        bool existing;  // "old" is there before the open
        bool opens;
        const char* after;  // content once closed
        uint32_t position;  // right after opening
    };
    const row rows[] = {
        {0x0E, true, true, "", 0},         // create or replace
        {0x0E, false, true, "", 0},
        {0x06, true, false, "old", 0},     // create new only
        {0x06, false, true, "", 0},
        {0x0A, true, true, "old", 0},      // open or create
        {0x0A, false, true, "", 0},
        {0x02, true, true, "old", 0},      // existing only
        {0x02, false, false, "<missing>", 0},
        {0x01, true, true, "old", 0},
        {0x00, false, false, "<missing>", 0},  // no access: disk untouched
        {0x0C, false, false, "<missing>", 0},
        {0x12, true, true, "", 0},         // truncate
        {0x11, true, true, "old", 0},      // read: no truncation
        {0x91, true, true, "old", 0},      // read: no append either
        {0x82, true, true, "old", 3},      // append
        {0x92, true, true, "", 0},         // truncate wins over append
        {0x108A, true, true, "old", 3},    // the appending log mode
        {0x101E, true, true, "", 0},       // the fresh log mode
    };
    for (const row& r : rows) {
        std::wstring p = path(L"m.bin");
        DeleteFileW(p.c_str());
        if (r.existing) ASSERT_TRUE(write_whole(p, "old"));
        SCOPED_TRACE(::testing::Message() << "mode 0x" << std::hex << r.mode
                                          << (r.existing ? " existing" : " missing"));
        file f(p.c_str());
        EXPECT_EQ(f.open(r.mode), r.opens);
        EXPECT_EQ(f.is_open(), r.opens);
        EXPECT_EQ(f.mode(), r.mode) << "a failed open keeps the new mode";
        if (r.opens) EXPECT_EQ(f.seek(0, FILE_CURRENT), r.position);
        f.close();
        EXPECT_EQ(read_whole(p), r.after);
    }
}

TEST_F(Files, ReopenWithStoredModeAndSharing) {
    std::wstring p = path(L"r.bin");
    file f(p.c_str());
    ASSERT_TRUE(f.open(0x0E));
    ASSERT_TRUE(f.write("abc", 3));
    ASSERT_TRUE(f.open(0));  // same mode: replaces the file again
    EXPECT_EQ(f.mode(), 0x0Eu);
    EXPECT_EQ(f.size(), 0u);
    f.close();

    // A writer that shares reading only: readers must share writing too.
    file writer(p.c_str());
    ASSERT_TRUE(writer.open(0x100A));
    file reader(p.c_str());
    EXPECT_FALSE(reader.open(0x1001));
    EXPECT_TRUE(reader.open(0x3001));
    file exclusive(p.c_str());
    EXPECT_FALSE(exclusive.open(0x01));
}

TEST_F(Files, ReadWriteSeekSizeTruncate) {
    file f(path(L"rw.bin").c_str());
    char buf[16] = {};
    uint32_t done = 99;
    EXPECT_FALSE(f.read(buf, 4, done)) << "closed";
    EXPECT_FALSE(f.write("x", 1));
    EXPECT_EQ(f.seek(0, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_FALSE(f.flush());

    ASSERT_TRUE(f.open(0x0F));  // read, write, create or replace
    EXPECT_TRUE(f.write("0123456789", 10));
    EXPECT_FALSE(f.write(nullptr, 3));
    EXPECT_FALSE(f.write("x", 0));
    EXPECT_EQ(f.size(), 10u);
    EXPECT_TRUE(f.flush());

    struct seek_row {
        int32_t offset;
        uint32_t origin;
        uint32_t want;
    };
    const seek_row seeks[] = {
        {0, FILE_BEGIN, 0}, {4, FILE_BEGIN, 4}, {2, FILE_CURRENT, 6},
        {-3, FILE_END, 7},  {-100, FILE_BEGIN, 0xFFFFFFFFu},
    };
    for (const seek_row& s : seeks) EXPECT_EQ(f.seek(s.offset, s.origin), s.want) << s.offset;

    ASSERT_EQ(f.seek(6, FILE_BEGIN), 6u);
    EXPECT_TRUE(f.read(buf, 16, done));
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(std::string(buf, done), "6789");
    EXPECT_TRUE(f.read(buf, 16, done)) << "end of file is not an error";
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(f.read(nullptr, 4, done));
    EXPECT_FALSE(f.read(buf, 0, done));

    f.seek(0, FILE_BEGIN);
    EXPECT_TRUE(f.read_exact(buf, 10));
    f.seek(8, FILE_BEGIN);
    EXPECT_FALSE(f.read_exact(buf, 3)) << "only two bytes left";

    ASSERT_EQ(f.seek(5, FILE_BEGIN), 5u);
    EXPECT_TRUE(f.truncate());
    EXPECT_EQ(f.size(), 5u);
    f.close();
    EXPECT_EQ(read_whole(path(L"rw.bin")), "01234");
}

TEST_F(Files, VectorWritesAndText) {
    std::wstring p = path(L"v.bin");
    file f(p.c_str());
    ASSERT_TRUE(f.open(0x0E));
    const std::vector<uint8_t> bytes = {'a', 'b', 'c'};
    EXPECT_TRUE(f.write_sized(bytes, 0));
    EXPECT_TRUE(f.write(bytes, 2));
    EXPECT_TRUE(f.write(bytes, 99));  // past the end: the whole vector
    EXPECT_TRUE(f.write_sized(bytes, 1));
    EXPECT_FALSE(f.write(std::vector<uint8_t>(), 0));
    EXPECT_FALSE(f.write_sized(std::vector<uint8_t>(), 0));
    EXPECT_TRUE(f.write_string(string("|txt")));
    EXPECT_FALSE(f.write_string(string()));
    EXPECT_TRUE(f.printf("|%d-%s", 42, "z"));
    EXPECT_FALSE(f.printf("%s", ""));
    std::string big(5000, 'L');
    EXPECT_TRUE(f.printf("|%s", big.c_str()));
    f.close();
    EXPECT_EQ(read_whole(p), std::string("\x03\0\0\0abc", 7) + "ab" + "abc" +
                                 std::string("\x01\0\0\0a", 5) + "|txt|42-z|" + big);
}

TEST_F(Files, DeleteOnClose) {
    std::wstring p = path(L"d.bin");
    {
        file f(p.c_str());
        ASSERT_TRUE(f.open(0x2000E));
        EXPECT_TRUE(exists(p));
        EXPECT_TRUE(f.close());
        EXPECT_FALSE(exists(p)) << "close deletes";
        EXPECT_TRUE(f.close()) << "closing again is harmless";
    }
    {
        file f(p.c_str());
        ASSERT_TRUE(f.open(0x2000E));
    }
    EXPECT_FALSE(exists(p)) << "the destructor deletes";
    {
        textfile t(p.c_str());
        ASSERT_TRUE(t.open(0x2000E));
    }
    EXPECT_FALSE(exists(p)) << "so does the text file's";

    // An open that never got the file must not delete someone else's.
    ASSERT_TRUE(write_whole(p, "theirs"));
    {
        file f(p.c_str());
        EXPECT_FALSE(f.open(0x20006));  // create new: it exists
    }
    EXPECT_EQ(read_whole(p), "theirs");
}

TEST_F(Files, FreeFunctions) {
    std::wstring a = path(L"a.txt"), b = path(L"b.txt"), c = path(L"c.txt");
    ASSERT_TRUE(write_whole(a, "A"));
    ASSERT_TRUE(write_whole(c, "C"));
    EXPECT_TRUE(file_exists(a.c_str()));
    EXPECT_FALSE(file_exists(scratch.dir().c_str())) << "a directory is no file";
    EXPECT_FALSE(file_exists(b.c_str()));
    EXPECT_TRUE(copy_file(a.c_str(), c.c_str())) << "copy overwrites";
    EXPECT_EQ(read_whole(c), "A");
    EXPECT_TRUE(move_file(c.c_str(), b.c_str()));
    EXPECT_FALSE(move_file(a.c_str(), b.c_str())) << "move does not overwrite";
    EXPECT_FALSE(file_exists(c.c_str()));
    EXPECT_TRUE(delete_file(b.c_str()));
    EXPECT_FALSE(delete_file(b.c_str()));
}

TEST_F(Files, UniqueTemporaryFile) {
    std::wstring folder = scratch.dir();
    {
        file f(folder.c_str());
        ASSERT_TRUE(f.open(0x41006 | 0x20000));  // share read: we look inside
        std::wstring made = f.temp_name().c_str();
        EXPECT_EQ(std::wstring(f.name().c_str()), folder) << "the object keeps its own name";
        EXPECT_EQ(made.compare(0, folder.size() + 2, folder + L"\\~"), 0) << made;
        EXPECT_TRUE(f.write("t", 1));
        EXPECT_EQ(read_whole(made), "t");

        file g(folder.c_str());
        ASSERT_TRUE(g.open(0x40006));
        EXPECT_NE(std::wstring(g.temp_name().c_str()), made);
        std::wstring second = g.temp_name().c_str();
        g.close();
        EXPECT_TRUE(exists(second)) << "kept without delete-on-close";
        f.close();
        EXPECT_FALSE(exists(made)) << "delete-on-close removes the generated file";
    }
    {
        // No name: the cached temporary directory.
        file f;
        ASSERT_TRUE(f.open(0x40006 | 0x20000));
        std::wstring temp = cached_temp_directory().c_str();
        EXPECT_EQ(std::wstring(f.temp_name().c_str()).compare(0, temp.size(), temp), 0);
    }
    file missing(path(L"no\\such\\folder").c_str());
    EXPECT_FALSE(missing.open(0x40006));
}

// The naming loop, with names that are already taken so the real
// CreateFileW(CREATE_NEW) refuses them.
TEST_F(Files, TempNamingLoop) {
    std::wstring taken = path(L"taken.tmp");
    ASSERT_TRUE(write_whole(taken, "x"));

    struct row {
        int taken_first;       // names already taken before a free one
        uint32_t race_error;   // error reported for a taken name (0: the real one)
        int max_tries;
        bool succeeds;
        int names_made;
    };
    const row rows[] = {
        {0, 0, 100, true, 1},
        {3, 0, 100, true, 4},                        // real ERROR_FILE_EXISTS
        {3, ERROR_ALREADY_EXISTS, 100, true, 4},
        {1000, 0, 5, false, 5},                      // bounded
        {1, ERROR_ACCESS_DENIED, 100, false, 1},     // other errors end at once
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "taken " << r.taken_first << " error " << r.race_error);
        int made = 0;
        std::wstring fresh = path(L"fresh.tmp");
        DeleteFileW(fresh.c_str());
        auto make_name = [&](const wchar_t*, wstring& name) {
            name.assign((made++ < r.taken_first ? taken : fresh).c_str());
            return true;
        };
        auto create = [&](const wstring& name, uint32_t& error) -> void* {
            HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) return h;
            error = GetLastError();
            if (r.race_error) error = r.race_error;
            return nullptr;
        };
        wstring created(L"stale");
        void* h = create_temp_file(scratch.dir().c_str(), make_name, create, created, r.max_tries);
        EXPECT_EQ(h != nullptr, r.succeeds);
        EXPECT_EQ(made, r.names_made);
        if (h) {
            EXPECT_EQ(std::wstring(created.c_str()), fresh);
            CloseHandle(h);
        } else {
            EXPECT_TRUE(created.empty());
        }
    }

    // A name that can't be made ends the loop without a file.
    int calls = 0;
    wstring created;
    EXPECT_EQ(create_temp_file(
                  L"x", [&](const wchar_t*, wstring&) { ++calls; return false; },
                  [](const wstring&, uint32_t&) -> void* { return nullptr; }, created),
              nullptr);
    EXPECT_EQ(calls, 1);
}

TEST_F(Files, TextLinesAcrossTheBuffer) {
    std::string long_line(3000, 'w');
    std::string edge(textfile::buffer_size - 1, 'e');  // its "\n" is the buffer's last byte
    struct row {
        const char* label;
        std::string content;
        std::vector<std::string> lines;
    };
    const std::vector<row> rows = {
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf, last line open", "a\r\nb", {"a", "b"}},
        {"blank lines", "\n\r\n\n", {"", "", ""}},
        {"empty file", "", {}},
        {"lone cr kept", "x\ry\na\r", {"x\ry", "a\r"}},
        {"long line", long_line + "\nend", {long_line, "end"}},
        {"buffer edge", edge + "\n" + "next\n", {edge, "next"}},
        {"comment", "# c\nhttp://h/p.zip\n", {"# c", "http://h/p.zip"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.label);
        std::wstring p = path(L"t.txt");
        ASSERT_TRUE(write_whole(p, r.content));
        textfile t(p.c_str());
        ASSERT_TRUE(t.open(0x1001));
        std::vector<std::string> got;
        string line;
        while (t.read_line(line)) got.push_back(line.c_str());
        EXPECT_EQ(got, r.lines);
        EXPECT_FALSE(t.read_line(line)) << "stays at the end";
        EXPECT_TRUE(line.empty());

        // Reopening starts over, not from what was buffered.
        ASSERT_TRUE(t.open(0));
        got.clear();
        while (t.read_line(line)) got.push_back(line.c_str());
        EXPECT_EQ(got, r.lines);
    }

    textfile closed(path(L"none.txt").c_str());
    string line;
    EXPECT_FALSE(closed.read_line(line));
}

TEST_F(Files, TextLinesWritten) {
    std::wstring p = path(L"w.txt");
    {
        textfile t(p.c_str());
        ASSERT_TRUE(t.open(0x101E));
        EXPECT_TRUE(t.write_line_text("first"));
        EXPECT_TRUE(t.write_line_text(""));
        EXPECT_TRUE(t.write_line_text("third"));
    }
    EXPECT_EQ(read_whole(p), "first\n\nthird\n");
    textfile t(p.c_str());
    ASSERT_TRUE(t.open(0x01));
    string line;
    ASSERT_TRUE(t.read_line(line));
    EXPECT_STREQ(line.c_str(), "first");
}

}  // namespace
