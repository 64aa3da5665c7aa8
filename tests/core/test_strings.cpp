// Engine strings and the path helpers built on them.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <cstring>
#include <map>
#include <string>

#include "core/directories.h"
#include "core/paths.h"
#include "core/strings.h"
#include "scratch_dir.h"

namespace {

// The storage invariant every operation must keep.
void expect_well_formed(const string& s) {
    const std::vector<char>& v = s.chars();
    if (v.empty()) {
        EXPECT_STREQ(s.c_str(), "");
        return;
    }
    EXPECT_EQ(v.back(), 0);
    EXPECT_EQ(v.size(), strlen(v.data()) + 1) << "exactly one terminator";
}

TEST(String, EmptyTextOwnsNoStorage) {
    string none;
    string from_null(nullptr);
    string from_empty("");
    for (const string* s : {&none, &from_null, &from_empty}) {
        EXPECT_TRUE(s->empty());
        EXPECT_STREQ(s->c_str(), "");
        EXPECT_TRUE(s->chars().empty());
        EXPECT_EQ(s->length(), 0u);
    }

    string s("text");
    s.assign("");
    EXPECT_TRUE(s.chars().empty());
    EXPECT_STREQ(s.c_str(), "");
    s = "text";
    s.assign(nullptr);
    EXPECT_TRUE(s.chars().empty());
    s = "text";
    s.assign_from(none);
    EXPECT_TRUE(s.chars().empty());
}

TEST(String, AssignAndAppendCounts) {
    struct row {
        const char* start;
        const char* text;
        size_t n;
        bool append;
        const char* want;
    };
    const row rows[] = {
        {"", "hello", 0, false, "hello"},
        {"old", "hello", 3, false, "hel"},
        {"old", "hi", 10, false, "hi"},  // n past the text stops at its end
        {"", "hello", 2, true, "he"},    // empty target: plain assign
        {"ab", "cdef", 0, true, "abcdef"},
        {"ab", "cdef", 1, true, "abc"},
        {"ab", "", 0, true, "ab"},
        {"ab", nullptr, 0, true, "ab"},
    };
    for (const row& r : rows) {
        string s(r.start);
        if (r.append)
            s.append_n(r.text, r.n);
        else
            s.assign(r.text, r.n);
        EXPECT_STREQ(s.c_str(), r.want) << r.start << " / " << (r.text ? r.text : "(null)");
        expect_well_formed(s);
    }
}

TEST(String, CopiesConcatAndSelfAppend) {
    string a("abc");
    string b(a);
    b.append_string(string("def"));
    EXPECT_STREQ(a.c_str(), "abc");
    EXPECT_STREQ(b.c_str(), "abcdef");
    EXPECT_STREQ(string_concat(a, b).c_str(), "abcabcdef");
    EXPECT_STREQ(string_concat(string(), a).c_str(), "abc");

    // Appending a string to itself must not read freed storage.
    a.append_string(a);
    EXPECT_STREQ(a.c_str(), "abcabc");
    a.append_n(a.c_str() + 1, 2);
    EXPECT_STREQ(a.c_str(), "abcabcbc");
    expect_well_formed(a);
    a.assign(a.c_str() + 3);
    EXPECT_STREQ(a.c_str(), "abcbc");
    string_printf(a, "<%s|%s>", a.c_str(), a.c_str() + 3);
    EXPECT_STREQ(a.c_str(), "<abcbc|bc>");
    wstring w(L"wide");
    w.assign(w.c_str() + 1, 2);
    EXPECT_STREQ(w.c_str(), L"id");
    format_wstring(w, L"%ls%ls", w.c_str(), w.c_str());
    EXPECT_STREQ(w.c_str(), L"idid");

    string moved(std::move(b));
    EXPECT_STREQ(moved.c_str(), "abcdef");
    EXPECT_STREQ(b.c_str(), "");
}

TEST(String, LengthEndsAtEmbeddedNul) {
    string s;
    s.chars() = {'a', 'b', 0, 'c', 0};
    EXPECT_EQ(s.length(), 2u);
    EXPECT_EQ(s.find_char_from('c', 0), -1);
    string copy(s.c_str());
    EXPECT_STREQ(copy.c_str(), "ab");
}

TEST(String, CompareIsUnsignedByteOrder) {
    struct row {
        const char* a;
        const char* b;
        int sign;
    };
    const row rows[] = {
        {"a", "b", -1}, {"B", "a", -1},    {"\xE0", "z", 1}, {"abc", "abc", 0},
        {"ab", "abc", -1}, {"", "a", -1}, {"", "", 0},      {"a\x7F", "a\x80", -1},
    };
    for (const row& r : rows) {
        int got = string_compare(string(r.a), string(r.b));
        EXPECT_EQ((got > 0) - (got < 0), r.sign) << r.a << " vs " << r.b;
        int back = string_compare(string(r.b), string(r.a));
        EXPECT_EQ((back > 0) - (back < 0), -r.sign);
    }

    std::map<string, int, string_less> m;
    m[string("z")] = 1;
    m[string("\xE0")] = 2;
    m[string("B")] = 3;
    m[string("a")] = 4;
    std::string order;
    for (const auto& kv : m) order += std::to_string(kv.second);
    EXPECT_EQ(order, "3412");
}

TEST(String, FindChar) {
    const string s("a.b.c");
    struct row {
        char c;
        int pos;
        int at;
        int from;
    };
    const row rows[] = {
        {'.', 0, 1, 1}, {'.', 1, 1, 1}, {'.', 2, 3, 3}, {'.', 4, -1, -1},
        {'x', 0, -1, -1}, {'.', 5, -1, -1},  // at the end
        {'.', 9, -1, -1},
    };
    for (const row& r : rows) {
        if (r.pos <= 5) EXPECT_EQ(s.find_char_at(r.c, r.pos), r.at) << r.c << "@" << r.pos;
        EXPECT_EQ(s.find_char_from(r.c, r.pos), r.from) << r.c << "@" << r.pos;
    }
    EXPECT_EQ(string().find_char_from('a', 0), -1);
}

TEST(String, PrintfSizesToFit) {
    string s("previous");
    EXPECT_EQ(string_printf(s, "%s(%u): ", "x.cpp", 120u), 12);
    EXPECT_STREQ(s.c_str(), "x.cpp(120): ");
    expect_well_formed(s);

    std::string big(10000, 'q');
    EXPECT_EQ(string_printf(s, "<%s>%d", big.c_str(), -1), 10004);
    EXPECT_EQ(std::string(s.c_str()), "<" + big + ">-1");
    expect_well_formed(s);

    EXPECT_EQ(string_printf(s, "%s", ""), 0);
    EXPECT_TRUE(s.chars().empty());

    EXPECT_EQ(string_printf(s, "%llu|%08X", 18446744073709551615ull, 0xABCu), 29);
    EXPECT_STREQ(s.c_str(), "18446744073709551615|00000ABC");
}

TEST(Wstring, StorageAndEdits) {
    wstring w;
    EXPECT_EQ(w.data_or_null(), nullptr);
    EXPECT_STREQ(w.c_str(), L"");
    EXPECT_EQ(w.length(), 0u);

    EXPECT_STREQ(w.append_chars(L"C:/game/data", 7), L"C:/game");
    EXPECT_STREQ(w.append_chars(L"/x.png"), L"C:/game/x.png");
    EXPECT_EQ(w.length(), 13u);
    EXPECT_NE(w.data_or_null(), nullptr);
    w.replace_char(L'/', L'\\');
    EXPECT_STREQ(w.c_str(), L"C:\\game\\x.png");

    w.assign(L"");
    EXPECT_EQ(w.data_or_null(), nullptr);
    w.assign(L"abcdef", 3);
    EXPECT_STREQ(w.c_str(), L"abc");
    wstring copy(w);
    w.assign_from(wstring());
    EXPECT_TRUE(w.empty());
    EXPECT_STREQ(copy.c_str(), L"abc");
    EXPECT_EQ(copy.chars().size(), 4u);
}

TEST(Wstring, CompareFoldsOnlyAsciiLetters) {
    struct row {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    };
    const row rows[] = {
        {L"PATH", L"path", 0},
        {L"Data\\X.PNG", L"data\\x.png", 0},
        {L"a", L"B", -1},
        {L"", L"a", -1},
        {L"\u00C4", L"\u00E4", -1},  // outside A-Z: compared as code units
    };
    for (const row& r : rows) {
        int got = wstring_compare(wstring(r.a), wstring(r.b));
        EXPECT_EQ((got > 0) - (got < 0), r.sign);
    }
    std::map<wstring, int, wstring_less> m;
    m[wstring(L"Font")] = 1;
    m[wstring(L"FONT")] = 2;
    EXPECT_EQ(m.size(), 1u);
    EXPECT_EQ(m.begin()->second, 2);
}

TEST(Wstring, FormatListAndConversion) {
    wstring w;
    EXPECT_EQ(format_wstring(w, L"%ls.%04d%02d.%ls", L"log\\x", 2026, 12, L"log"), 16);
    EXPECT_STREQ(w.c_str(), L"log\\x.202612.log");
    EXPECT_EQ(w.chars().size(), 17u);
    EXPECT_EQ(format_wstring(w, L"%ls", L""), 0);
    EXPECT_EQ(w.data_or_null(), nullptr);

    const wchar_t list[] = L"C:\\dir\0a.png\0bc.png\0";
    const wchar_t* p = list;
    std::wstring seen;
    while (*p) {
        seen += p;
        seen += L'|';
        p = wstring_list_next(p);
    }
    EXPECT_EQ(seen, L"C:\\dir|a.png|bc.png|");
    EXPECT_EQ(wstring_list_next(p), p) << "the end marker stays put";

    wstring out(L"stale");
    EXPECT_TRUE(string_to_wstring("data\\x.png", out));
    EXPECT_STREQ(out.c_str(), L"data\\x.png");
    EXPECT_EQ(out.chars().size(), 11u);
    EXPECT_TRUE(string_to_wstring(string(), out));
    EXPECT_TRUE(out.empty());

    // The current code page decides; a cut double-byte character fails.
    ASSERT_NE(setlocale(LC_ALL, ".932"), nullptr);
    EXPECT_TRUE(string_to_wstring("\x82\xA0x", out));
    EXPECT_STREQ(out.c_str(), L"\u3042x");
    EXPECT_EQ(out.chars().size(), 3u);
    EXPECT_FALSE(string_to_wstring("a\x82", out));
    EXPECT_TRUE(out.empty());
    setlocale(LC_ALL, "C");
}

TEST(Paths, MakeAbsolute) {
    std::wstring base = base_directory();
    ASSERT_FALSE(base.empty());
    ASSERT_EQ(base.back(), L'\\');
    std::wstring upper_base = base;
    upper_base[0] = towupper(upper_base[0]);

    struct row {
        const wchar_t* path;
        std::wstring want;
    };
    const row rows[] = {
        {L"data\\x.png", upper_base + L"data\\x.png"},
        {L"d:\\y", L"D:\\y"},
        {L"c:relative", L"C:relative"},
        {L"\\\\server\\x", L"\\\\server\\x"},  // UNC: already absolute
        {L"", upper_base},
    };
    for (const row& r : rows) {
        wstring out(L"stale");
        make_absolute_path(out, r.path);
        EXPECT_EQ(std::wstring(out.c_str()), r.want) << r.path;
    }
    wstring out(L"stale");
    make_absolute_path(out, nullptr);
    EXPECT_TRUE(out.empty());
}

TEST(Paths, BaseDirectoryIsCachedOnce) {
    ASSERT_EQ(cache_directories(), 0u);
    std::wstring base = base_directory();
    std::wstring temp = cached_temp_directory().c_str();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(is_directory(base.c_str()));

    scratch_dir scratch;
    {
        working_dir moved(scratch.dir());
        EXPECT_EQ(std::wstring(base_directory()), base) << "a later chdir must not move it";
    }
}

TEST(Paths, AttributesOfRealPaths) {
    scratch_dir scratch;
    std::wstring file = scratch.path(L"f.txt");
    ASSERT_TRUE(write_whole(file, "x"));
    std::wstring missing = scratch.path(L"nothing");

    struct row {
        std::wstring path;
        bool exists;
        bool dir;
    };
    const row rows[] = {
        {scratch.dir(), true, true},
        {scratch.dir() + L"\\", true, true},
        {file, true, false},
        {missing, false, false},
        {missing + L"\\deeper.txt", false, false},
    };
    for (const row& r : rows) {
        uint32_t attrs = file_attributes(r.path.c_str());
        EXPECT_EQ(path_exists(r.path.c_str()), r.exists) << r.path;
        EXPECT_EQ(is_directory(r.path.c_str()), r.dir) << r.path;
        if (r.exists) {
            EXPECT_EQ(attrs & FILE_ATTRIBUTE_NORMAL, 0u);
            EXPECT_EQ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0, r.dir);
        } else {
            EXPECT_EQ(attrs, path_missing);
        }
    }
}

}  // namespace
