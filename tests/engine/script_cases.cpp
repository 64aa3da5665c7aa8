#include "script_cases.h"

#include <gtest/gtest.h>

const char* const show_prelude =
    "function show(label, ...)\n"
    "  local t = {}\n"
    "  for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end\n"
    "  system.trace(6, label, table.concat(t, ','))\n"
    "end\n";

namespace {
bool start_up_line(const std::string& line) {
    for (const char* noise : {": system.add_path: ", ": system.set_path(", ": system.add_patch: ",
                              "information: system: initialize ", "information: system: release ",
                              ": system_manager::switch_render_target: "})
        if (line.find(noise) != std::string::npos) return true;
    return false;
}

// "*" matches any text, everything else itself.
bool glob_match(const std::string& pattern, const std::string& text) {
    size_t star = pattern.find('*');
    if (star == std::string::npos) return pattern == text;
    if (text.compare(0, star, pattern, 0, star) != 0) return false;
    std::string rest = pattern.substr(star + 1);
    for (size_t at = star; at <= text.size(); ++at)
        if (glob_match(rest, text.substr(at))) return true;
    return false;
}

std::string with_dir(std::string text, const std::string& dir) {
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir);
    return text;
}
}  // namespace

std::vector<std::string> script_lines(const game_folder& game) {
    std::vector<std::string> out;
    for (const std::string& line : game.script_log())
        if (!start_up_line(line)) out.push_back(line);
    return out;
}

void expect_cases(game_folder& game, const std::vector<script_case>& cases) {
    std::string main = show_prelude;
    std::vector<std::string> expected;
    const std::string dir = to_utf8(game.dir());
    for (const script_case& c : cases) {
        main += c.lua + "\n";
        for (const std::string& line : c.lines) {
            if (!line.empty() && line[0] == '|') expected.push_back(with_dir(line.substr(1), dir));
            else if (line.find('*') != std::string::npos) expected.push_back(with_dir(line, dir));
            else expected.push_back(with_dir(line, dir) + " [0]");
        }
    }
    main += "system.exit(0)\n";
    game.write(L"script\\main.lua", main);
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\vytrace.log");
    std::vector<std::string> actual = script_lines(game);
    for (size_t i = 0; i < expected.size() || i < actual.size(); ++i) {
        std::string want = i < expected.size() ? expected[i] : "<none>";
        std::string got = i < actual.size() ? actual[i] : "<none>";
        bool same = glob_match(want, got);
        EXPECT_TRUE(same) << "line " << i << "\n  expected: " << want << "\n  actual:   " << got;
        if (!same) break;  // one mismatch shifts every later line
    }
}
