// The option scanner over tables of argument vectors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/command_line.h"

namespace {

const option_entry options[] = {
    {"D", option_value},           // 1
    {"I", option_no_value},        // 2
    {"M", option_no_value},        // 3
    {"U", option_no_value},        // 4
    {"O", option_optional_value},  // 5
    {"archive", option_value},     // 6
    {"expand", option_no_value},   // 7
    {"level", option_optional_value},  // 8
    {nullptr, 0},
};

// What a scan answers, call by call: "D=foo" an option with a value, "I"
// one without, "[x]" an operand, "!n" an error at argument n, "." the end.
// Stops after the end or an error.
std::string scan(const std::vector<const char*>& args_after_program) {
    std::vector<const char*> argv{"prog.exe"};
    argv.insert(argv.end(), args_after_program.begin(), args_after_program.end());
    argument_scanner s;
    s.count = static_cast<int32_t>(argv.size());
    s.args = argv.data();
    s.options = options;
    std::string out;
    for (int step = 0; step < 20; ++step) {
        const char* value = "<untouched>";
        int32_t r = parse_arguments(s, value);
        if (!out.empty()) out += ' ';
        if (r == arguments_end) {
            EXPECT_EQ(value, nullptr);
            return out + ".";
        }
        if (r < 0) return out + "!" + std::to_string(-r);
        if (r == 0) {
            out += std::string("[") + value + "]";
        } else {
            out += options[r - 1].name;
            if (value) out += std::string("=") + value;
        }
    }
    return out + " <no end>";
}

TEST(CommandLine, AcceptedForms) {
    struct row {
        std::vector<const char*> args;
        const char* want;
    };
    const row rows[] = {
        {{}, "."},
        {{"-Dfoo"}, "D=foo ."},
        {{"-D", "foo"}, "D=foo ."},
        {{"--D=foo"}, "D=foo ."},
        {{"/D:foo"}, "D=foo ."},
        {{"--D:foo"}, "D=foo ."},
        {{"/D", "foo"}, "D=foo ."},
        {{"/D=a:b"}, "D=a:b ."},  // the first separator ends the name
        {{"--D="}, "D= ."},
        {{"-IM"}, "I M ."},
        {{"-IMDfoo", "x"}, "I M D=foo [x] ."},
        {{"-IMD", "foo"}, "I M D=foo ."},
        {{"a", "-I", "b"}, "[a] I [b] ."},
        {{"--", "-I", "/U"}, "[-I] [/U] ."},
        {{"-U", "/", "-I", "--"}, "U [-I] [--] ."},
        {{"/U"}, "U ."},
        {{"-O"}, "O ."},
        {{"-Ov"}, "O=v ."},
        {{"-O", "v"}, "O [v] ."},
        {{"/O:"}, "O ."},
        {{"/O:v"}, "O=v ."},
        {{"--level"}, "level ."},
        {{"--level=3", "/archive:a.zip", "/expand"}, "level=3 archive=a.zip expand ."},
        {{"/archive", "a.zip"}, "archive=a.zip ."},
    };
    for (const row& r : rows) {
        std::string shown;
        for (const char* a : r.args) shown += std::string(a) + " ";
        EXPECT_EQ(scan(r.args), r.want) << "arguments: " << shown;
    }
}

TEST(CommandLine, RefusedForms) {
    struct row {
        std::vector<const char*> args;
        const char* want;
    };
    const row rows[] = {
        {{"-d", "foo"}, "!1"},                // short names keep their case
        {{"/d:foo"}, "!1"},                   // long names are matched exactly
        {{"--Archive:a.zip"}, "!1"},
        {{"--Dx=foo"}, "!1"},                 // the whole name must match
        {{"/arch:a.zip"}, "!1"},
        {{"-"}, "!1"},                        // a lone dash is no option here
        {{"-Ix"}, "I !1"},                    // unknown inside a cluster
        {{"-D"}, "!1"},                       // value missing at the end
        {{"x", "-I", "-D"}, "[x] I !3"},
        {{"/archive"}, "!1"},
        {{"/I:x"}, "!1"},                     // a value for an option without one
        {{"--I="}, "!1"},
        {{"/U", "--expand:yes"}, "U !2"},
    };
    for (const row& r : rows) {
        std::string shown;
        for (const char* a : r.args) shown += std::string(a) + " ";
        EXPECT_EQ(scan(r.args), r.want) << "arguments: " << shown;
    }
}

TEST(CommandLine, ErrorLeavesTheScannerAtTheBadArgument) {
    const char* argv[] = {"prog.exe", "-I", "/bad", "x"};
    argument_scanner s;
    s.count = 4;
    s.args = argv;
    s.options = options;
    const char* value = nullptr;
    EXPECT_EQ(parse_arguments(s, value), 2);
    EXPECT_EQ(parse_arguments(s, value), -2);
    EXPECT_EQ(s.next, 2);
    EXPECT_EQ(parse_arguments(s, value), -2) << "asking again answers the same";
    ++s.next;  // a caller may step over it
    EXPECT_EQ(parse_arguments(s, value), 0);
    EXPECT_STREQ(value, "x");
    EXPECT_EQ(parse_arguments(s, value), arguments_end);
    EXPECT_EQ(parse_arguments(s, value), arguments_end) << "the end stays the end";
}

}  // namespace
