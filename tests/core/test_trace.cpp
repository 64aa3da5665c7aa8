// Trace logs on real files: line forms, flags, names, the registry and
// back-ups.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "core/trace.h"
#include "scratch_dir.h"

namespace {

const char* const stamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )";

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// Every test runs inside its own folder, so relative log names (the default
// trace's "log\...") land there too.
class Trace : public ::testing::Test {
protected:
    scratch_dir scratch;
    working_dir cwd{scratch.dir()};

    void TearDown() override {
        default_trace().close();
        trace::set_backups(false, -1);
    }

    std::wstring path(const wchar_t* name) { return scratch.path(name); }

    // What one trace with these flags writes for one action.
    template <class F>
    std::string written(uint32_t flags, F action) {
        std::wstring p = path(L"one.log");
        trace t;
        EXPECT_TRUE(t.open(p.c_str(), flags));
        action(t);
        t.close();
        return read_whole(p);
    }

    static const trace_registry_entry* last_entry_of(const trace* t) {
        const trace_registry_entry* found = nullptr;
        for (const trace_registry_entry& e : trace::registry())
            if (e.owner == t) found = &e;
        return found;
    }
};

TEST_F(Trace, LineFormsFollowTheFlags) {
    struct row {
        uint32_t flags;
        const char* source;
        std::string want;  // a regular expression of the whole file
    };
    const row rows[] = {
        {0x01, "C:\\src\\core\\graphic.cpp", std::string("^") + stamp + R"(graphic\.cpp\(120\): hello 5\n$)"},
        {0x11, "C:\\src\\core\\graphic.cpp", R"(^graphic\.cpp\(120\): hello 5\n$)"},
        {0x11, "/work/src/core/x.cpp", R"(^x\.cpp\(120\): hello 5\n$)"},
        {0x11, "plain.cpp", R"(^plain\.cpp\(120\): hello 5\n$)"},
        {0x21, "C:\\src\\core\\graphic.cpp", std::string("^") + stamp + R"(hello 5\n$)"},
        {0x31, "C:\\src\\core\\graphic.cpp", R"(^hello 5\n$)"},
        {0x71, "C:\\src\\core\\graphic.cpp", R"(^hello 5\n$)"},
        {0x11, nullptr, R"(^hello 5\n$)"},  // no location set yet
    };
    for (const row& r : rows) {
        std::string got = written(r.flags, [&](trace& t) {
            char cache[trace_short_name_size] = {};
            if (r.source) t.write_location(r.source, cache, sizeof cache, 120);
            log_printf(t, "hello %d", 5);
        });
        EXPECT_TRUE(std::regex_match(got, std::regex(r.want)))
            << "flags 0x" << std::hex << r.flags << ": " << got;
    }
}

TEST_F(Trace, LocationStaysUntilReplaced) {
    std::string big(5000, 'b');
    std::string got = written(0x11, [&](trace& t) {
        char cache_a[trace_short_name_size] = {};
        char cache_b[trace_short_name_size] = {};
        t.write_location("src\\a.cpp", cache_a, sizeof cache_a, 10);
        log_printf(t, "one");
        log_printf(t, "%s", big.c_str());
        t.write_location("src\\b.cpp", cache_b, sizeof cache_b, 20);
        log_printf(t, "three");
        // The cache was filled once: a later path is not looked at again.
        t.write_location("src\\other.cpp", cache_a, sizeof cache_a, 30);
        log_printf(t, "four");
        // A cache too small for the name keeps what fits.
        char tiny[4] = {};
        t.write_location("src\\long.cpp", tiny, sizeof tiny, 40);
        log_printf(t, "five");
        t.write_origin(3, "scripts\\main.lua");
        log_printf(t, "six");
        t.write_origin(0, "system.get_path");
        log_printf(t, "seven");
        t.write_origin(0, nullptr);
        log_printf(t, "eight");
    });
    EXPECT_EQ(got, "a.cpp(10): one\na.cpp(10): " + big +
                       "\nb.cpp(20): three\na.cpp(30): four\nlon(40): five\n"
                       "main.lua(3): six\nsystem.get_path: seven\neight\n");
}

TEST_F(Trace, ErrorLineForm) {
    struct row {
        int32_t code;
        const char* want;
    };
    const row rows[] = {
        {-1, "-1(0xFFFFFFFF)"},
        {0, "0(0x00000000)"},
        {183, "183(0x000000B7)"},
        {static_cast<int32_t>(0x8876086Cu), "-2005530516(0x8876086C)"},
    };
    for (const row& r : rows) {
        std::string got = written(0x11, [&](trace& t) {
            char cache[trace_short_name_size] = {};
            trace_error(t, "D:\\b\\src\\core\\file.cpp", cache, sizeof cache, 33, "file::open",
                        "CreateFileW", r.code);
        });
        EXPECT_EQ(got, std::string("file.cpp(33): file::open: CreateFileW, code=") + r.want + "\n");
    }
}

// A loader thread and the main thread logging at once on one trace: every
// line carries its own caller's prefix, whole, and no line is lost.
struct logger_args {
    trace* t;
    const char* own_source;  // a call site of this thread alone
    const char* label;
    int lines;
};

void log_lines(const logger_args& a) {
    static char shared_site[trace_short_name_size];  // one call site, both threads
    char own_site[trace_short_name_size] = {};
    for (int i = 0; i < a.lines; ++i) {
        if (i % 2)
            trace_error(*a.t, a.own_source, own_site, sizeof own_site, 1, a.label, "own", i);
        else
            trace_error(*a.t, "D:\\src\\core\\shared_site.cpp", shared_site, sizeof shared_site, 2,
                        a.label, "shared", i);
    }
}

DWORD WINAPI log_lines_thread(void* a) {
    log_lines(*static_cast<logger_args*>(a));
    return 0;
}

TEST_F(Trace, TwoThreadsLoggingKeepTheirPrefixes) {
    const int lines = 3000;
    std::wstring p = path(L"threads.log");
    trace t;
    ASSERT_TRUE(t.open(p.c_str(), 0x11));
    logger_args loader{&t, "C:\\src\\core\\resource_loader_with_a_long_name.cpp", "loader", lines};
    logger_args main_thread{&t, "m.cpp", "main", lines};
    HANDLE other = CreateThread(nullptr, 0, log_lines_thread, &loader, 0, nullptr);
    ASSERT_NE(other, nullptr);
    log_lines(main_thread);
    ASSERT_EQ(WaitForSingleObject(other, 60000), WAIT_OBJECT_0);
    CloseHandle(other);
    t.close();

    const std::regex line_form(
        R"((resource_loader_with_a_long_name\.cpp\(1\): loader: own|m\.cpp\(1\): main: own|)"
        R"(shared_site\.cpp\(2\): (loader|main): shared), code=\d+\(0x[0-9A-F]{8}\))");
    std::string text = read_whole(p);
    int seen = 0, bad = 0;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        ++seen;
        if (!std::regex_match(line, line_form) && bad++ < 5) ADD_FAILURE() << line;
    }
    EXPECT_EQ(start, text.size());
    EXPECT_EQ(seen, 2 * lines);
    EXPECT_EQ(bad, 0);
}

uint64_t as_ms(const SYSTEMTIME& t) {
    FILETIME f;
    SystemTimeToFileTime(&t, &f);
    return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000;
}

TEST_F(Trace, TimeStampIsLocalTimeOfWriting) {
    SYSTEMTIME before, after, seen = {};
    GetLocalTime(&before);
    std::string got = written(0x21, [](trace& t) { log_printf(t, "x"); });
    GetLocalTime(&after);
    ASSERT_GE(got.size(), 24u);
    ASSERT_EQ(sscanf(got.c_str(), "%4hu/%2hu/%2hu %2hu:%2hu:%2hu.%3hu ", &seen.wYear, &seen.wMonth,
                     &seen.wDay, &seen.wHour, &seen.wMinute, &seen.wSecond, &seen.wMilliseconds),
              7)
        << got;
    EXPECT_LE(as_ms(before), as_ms(seen));
    EXPECT_LE(as_ms(seen), as_ms(after));
}

TEST_F(Trace, DefaultTraceAndTheErrorMacro) {
    ASSERT_TRUE(CreateDirectoryW(L"log", nullptr));
    ASSERT_TRUE(reopen_engine_trace());
    trace& t = default_trace();
    EXPECT_STREQ(t.name().c_str(), L"log\\vytrace.log");
    EXPECT_EQ(t.flags(), 0x01u);
    EXPECT_EQ(t.mode(), 0x101Eu);

    const unsigned line = __LINE__ + 1;
    TRACE_ERROR("trace_test::run", "the failing call", -1);
    TRACE_LOCATION(t);
    const unsigned line2 = __LINE__ - 1;
    log_printf(t, "after %s", "location");
    t.close();

    std::string want = std::string("^") + stamp + R"(test_trace\.cpp\()" + std::to_string(line) +
                       R"(\): trace_test::run: the failing call, code=-1\(0xFFFFFFFF\)\n)" + stamp +
                       R"(test_trace\.cpp\()" + std::to_string(line2) + R"(\): after location\n$)";
    std::string got = read_whole(path(L"log\\vytrace.log"));
    EXPECT_TRUE(std::regex_match(got, std::regex(want))) << got;

    bool first_name_seen = false;
    for (const trace_registry_entry& e : trace::registry())
        if (wcscmp(e.name.c_str(), L"log\\trace.log") == 0 && !e.dated) first_name_seen = true;
    EXPECT_TRUE(first_name_seen) << "the default trace first opens log\\trace.log";
}

TEST_F(Trace, OverwriteOrAppend) {
    std::wstring p = path(L"sys.log");
    struct row {
        uint32_t flags;
        uint32_t mode;
        const char* want;
    };
    const row rows[] = {
        {0x11, 0x101E, "new\n"},
        {0x10, 0x108A, "old\nnew\n"},
        {0x90, 0x108A, "old\nnew\n"},
    };
    for (const row& r : rows) {
        ASSERT_TRUE(write_whole(p, "old\n"));
        trace t;
        ASSERT_TRUE(t.open(p.c_str(), r.flags | 0x20));
        EXPECT_EQ(t.mode(), r.mode);
        log_printf(t, "new");
        t.close();
        EXPECT_EQ(read_whole(p), r.want) << "flags 0x" << std::hex << r.flags;
    }
}

TEST_F(Trace, DatedNames) {
    ASSERT_TRUE(CreateDirectoryW(path(L"sub.d").c_str(), nullptr));
    struct row {
        const wchar_t* name;
        const char* want;  // pattern of the opened name after the folder
        uint32_t flags;
    };
    const row rows[] = {
        {L"x", R"(x\.\d{8}\.\d{6}\.log)", 0x08},
        {L"y.txt", R"(y\.\d{8}\.\d{6}\.txt)", 0x09},  // 0x01 doesn't make it overwrite
        {L"sub.d\\z", R"(sub\.d\\z\.\d{8}\.\d{6}\.log)", 0x28},
        {L"w.", R"(w\.\d{8}\.\d{6}\.log)", 0x08},
    };
    for (const row& r : rows) {
        std::wstring given = path(r.name);
        trace t;
        ASSERT_TRUE(t.open(given.c_str(), r.flags));
        EXPECT_EQ(t.mode(), 0x108Au);
        const trace_registry_entry* e = last_entry_of(&t);
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(e->dated);
        EXPECT_STREQ(e->name.c_str(), t.name().c_str());
        std::string opened = narrow(t.name().c_str());
        std::string folder = narrow(scratch.dir()) + "\\";
        ASSERT_EQ(opened.compare(0, folder.size(), folder), 0);
        EXPECT_TRUE(std::regex_match(opened.substr(folder.size()), std::regex(r.want))) << opened;
        log_printf(t, "dated");
        t.close();
        EXPECT_NE(read_whole(t.name().c_str()).find("dated\n"), std::string::npos);
    }
}

TEST_F(Trace, FailedOpenStillRegisters) {
    std::wstring p = path(L"missing\\x.log");
    trace t;
    EXPECT_FALSE(t.open(p.c_str(), 0x01));
    EXPECT_FALSE(t.is_open());
    const trace_registry_entry* e = last_entry_of(&t);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name.c_str(), p.c_str());
    EXPECT_FALSE(e->dated);

    // A closed trace ignores writes and locations.
    char cache[trace_short_name_size] = {};
    t.write_location("a.cpp", cache, sizeof cache, 1);
    t.write_origin(1, "b");
    log_printf(t, "lost");
    EXPECT_TRUE(t.location().empty());
    EXPECT_EQ(cache[0], 0);
}

TEST_F(Trace, RegistryFollowsCloseAndDestruction) {
    std::wstring a = path(L"a.log"), b = path(L"b.log"), bad = path(L"none\\c.log");
    const std::vector<trace_registry_entry>& reg = trace::registry();

    auto t = std::make_unique<trace>();
    size_t first = reg.size();
    ASSERT_TRUE(t->open(a.c_str(), 0x01));
    ASSERT_TRUE(t->open(b.c_str(), 0x01));  // reopening closes a.log
    ASSERT_EQ(reg.size(), first + 2);
    EXPECT_EQ(reg[first].owner, nullptr);
    EXPECT_EQ(reg[first + 1].owner, t.get());
    EXPECT_TRUE(t->close());
    EXPECT_EQ(reg[first + 1].owner, nullptr);

    // A failed open leaves its entry set; the next successful one adds its
    // own. Closing forgets the first of them only.
    first = reg.size();
    EXPECT_FALSE(t->open(bad.c_str(), 0x01));
    ASSERT_TRUE(t->open(a.c_str(), 0x01));
    EXPECT_EQ(reg[first].owner, t.get());
    EXPECT_EQ(reg[first + 1].owner, t.get());
    t->close();
    EXPECT_EQ(reg[first].owner, nullptr);
    EXPECT_EQ(reg[first + 1].owner, t.get());

    // Destruction forgets every entry, so close_all/backup_all can't reach it.
    trace* dead = t.get();
    t.reset();
    for (const trace_registry_entry& e : reg) EXPECT_NE(e.owner, dead);
    EXPECT_TRUE(trace::backup_all());
    trace::close_all();
}

TEST_F(Trace, CloseAllClosesEveryRegisteredTrace) {
    trace t1, t2;
    ASSERT_TRUE(t1.open(path(L"1.log").c_str(), 0x01));
    ASSERT_TRUE(t2.open(path(L"2.log").c_str(), 0x01));
    trace::close_all();
    EXPECT_FALSE(t1.is_open());
    EXPECT_FALSE(t2.is_open());
    EXPECT_EQ(last_entry_of(&t1), nullptr);
    EXPECT_EQ(last_entry_of(&t2), nullptr);
}

// Old back-ups of sys.log, oldest first.
const wchar_t* const old_backups[] = {
    L"sys.20200101.000001.backup.log", L"sys.20200101.000002.backup.log",
    L"sys.20200101.000003.backup.log", L"sys.20200102.000000.backup.log",
    L"sys.20210101.000000.backup.log",
};

TEST_F(Trace, BackupsOnlyWhenAsked) {
    std::wstring p = path(L"sys.log");
    struct row {
        bool enabled;
        uint32_t flags;
        int backups;         // new back-ups made by the open
        const char* log;     // the log afterwards
        const char* backup;  // content of the new back-up
    };
    const row rows[] = {
        {false, 0x01, 0, "", nullptr},
        {false, 0x00, 0, "old\n", nullptr},
        {true, 0x81, 0, "", nullptr},
        {true, 0x01, 1, "", "old\n"},      // moved away, log starts empty
        {true, 0x00, 1, "old\n", "old\n"}, // copied, log goes on appending
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.enabled << " flags " << r.flags);
        for (const std::wstring& f : scratch.list(L"*.backup.log")) DeleteFileW(path(f.c_str()).c_str());
        ASSERT_TRUE(write_whole(p, "old\n"));
        trace::set_backups(r.enabled, 3);
        trace t;
        ASSERT_TRUE(t.open(p.c_str(), r.flags | 0x30));
        t.close();
        std::vector<std::wstring> made = scratch.list(L"*.backup.log");
        ASSERT_EQ(made.size(), static_cast<size_t>(r.backups));
        EXPECT_EQ(read_whole(p), r.log);
        if (r.backup) {
            EXPECT_TRUE(std::regex_match(narrow(made[0]), std::regex(R"(sys\.\d{8}\.\d{6}\.backup\.log)")));
            EXPECT_EQ(read_whole(path(made[0].c_str())), r.backup);
        }
    }
}

TEST_F(Trace, PruningKeepsGenerationsPlusTheNewCopy) {
    std::wstring p = path(L"sys.log");
    struct row {
        int32_t generations;
        size_t remain;  // old back-ups that survive
    };
    const row rows[] = {{3, 3}, {1, 1}, {5, 5}, {10, 5}, {0, 5}, {-1, 5}};
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "generations " << r.generations);
        for (const std::wstring& f : scratch.list()) DeleteFileW(path(f.c_str()).c_str());
        for (const wchar_t* name : old_backups) ASSERT_TRUE(write_whole(path(name), "b"));
        // Other logs' back-ups are not this log's generations.
        ASSERT_TRUE(write_whole(path(L"other.20200101.000000.backup.log"), "o"));
        ASSERT_TRUE(write_whole(path(L"sys.20200101.000000.backup.txt"), "o"));
        ASSERT_TRUE(write_whole(p, "old\n"));

        trace::set_backups(true, r.generations);
        trace t;
        ASSERT_TRUE(t.open(p.c_str(), 0x01));
        t.close();

        std::vector<std::wstring> left = scratch.list(L"sys.*.*.backup.log");
        ASSERT_EQ(left.size(), r.remain + 1);
        // The oldest went first; the new copy sorts last.
        for (size_t i = 0; i < r.remain; ++i)
            EXPECT_EQ(left[i], old_backups[5 - r.remain + i]);
        EXPECT_EQ(read_whole(path(left.back().c_str())), "old\n");
        EXPECT_TRUE(exists(path(L"other.20200101.000000.backup.log")));
        EXPECT_TRUE(exists(path(L"sys.20200101.000000.backup.txt")));
    }
}

TEST_F(Trace, BackupNamesAndDatedLogsNeverPrune) {
    SYSTEMTIME at = {};
    at.wYear = 2026;
    at.wMonth = 12;
    at.wDay = 8;
    at.wHour = 2;
    at.wMinute = 6;
    at.wSecond = 41;
    trace::set_backups(true, 1);

    std::wstring log = path(L"trace.log");
    ASSERT_TRUE(write_whole(log, "t\n"));
    EXPECT_TRUE(trace::backup(&at, log.c_str(), false, true));
    EXPECT_EQ(read_whole(path(L"trace.20261208.020641.backup.log")), "t\n");
    EXPECT_EQ(read_whole(log), "t\n") << "copy only keeps the log";

    std::wstring bare = path(L"bare");
    ASSERT_TRUE(write_whole(bare, "b\n"));
    EXPECT_TRUE(trace::backup(&at, bare.c_str(), false, false));
    EXPECT_EQ(read_whole(path(L"bare.20261208.020641.backup.log")), "b\n");
    EXPECT_FALSE(exists(bare)) << "moved";

    EXPECT_TRUE(trace::backup(&at, path(L"nothing.log").c_str(), false, false));
    EXPECT_TRUE(scratch.list(L"nothing*").empty());

    // A dated log already carries its time; its back-ups are never pruned.
    for (const wchar_t* name : {L"d.20200101.000000.backup.log", L"d.20200102.000000.backup.log"})
        ASSERT_TRUE(write_whole(path(name), "x"));
    std::wstring dated = path(L"d.20261208.020641.log");
    ASSERT_TRUE(write_whole(dated, "d\n"));
    EXPECT_TRUE(trace::backup(&at, dated.c_str(), true, true));
    EXPECT_EQ(read_whole(path(L"d.20261208.020641.backup.log")), "d\n");
    EXPECT_EQ(scratch.list(L"d.*.backup.log").size(), 3u);

    // Opening a dated trace backs up under its given name, and that must
    // not prune the earlier runs' dated back-ups either.
    trace t;
    ASSERT_TRUE(t.open(path(L"d.log").c_str(), 0x08));
    t.close();
    EXPECT_EQ(scratch.list(L"d.*.backup.log").size(), 3u);
}

TEST_F(Trace, BackupAllCopiesEveryLogAndKeepsAppending) {
    trace::set_backups(false, -1);  // backup_all does not depend on the switch
    trace open_one, closed_one, dated_one;
    ASSERT_TRUE(open_one.open(path(L"a.log").c_str(), 0x31));
    log_printf(open_one, "one");
    ASSERT_TRUE(closed_one.open(path(L"b.log").c_str(), 0x31));
    log_printf(closed_one, "two");
    closed_one.close();
    ASSERT_TRUE(dated_one.open(path(L"c.log").c_str(), 0x38));
    log_printf(dated_one, "three");
    const trace_registry_entry* open_entry = last_entry_of(&open_one);

    EXPECT_TRUE(trace::backup_all());

    std::vector<std::wstring> copies = scratch.list(L"*.backup.log");
    ASSERT_EQ(copies.size(), 3u);
    std::smatch m;
    std::string a = narrow(copies[0]), b = narrow(copies[1]), c = narrow(copies[2]);
    ASSERT_TRUE(std::regex_match(a, m, std::regex(R"(a\.(\d{8}\.\d{6})\.backup\.log)"))) << a;
    EXPECT_EQ(b, "b." + m[1].str() + ".backup.log") << "one time for every copy";
    EXPECT_TRUE(std::regex_match(c, std::regex(R"(c\.\d{8}\.\d{6}\.backup\.log)"))) << c;
    EXPECT_EQ(read_whole(path(copies[0].c_str())), "one\n");
    EXPECT_EQ(read_whole(path(copies[1].c_str())), "two\n");
    EXPECT_EQ(read_whole(path(copies[2].c_str())), "three\n");

    // Open traces were reopened to append; the closed one stays closed.
    ASSERT_TRUE(open_one.is_open());
    EXPECT_EQ(open_one.mode(), 0x108Au);
    EXPECT_EQ(last_entry_of(&open_one), open_entry) << "the registry is left as it was";
    log_printf(open_one, "four");
    EXPECT_EQ(read_whole(path(L"a.log")), "one\nfour\n");
    EXPECT_FALSE(closed_one.is_open());
    EXPECT_TRUE(dated_one.is_open());
    log_printf(dated_one, "five");
    EXPECT_EQ(read_whole(dated_one.name().c_str()), "three\nfive\n");
}

}  // namespace
