// A Lua state opened through the script host, with the default trace moved
// into a scratch folder so tests can read exactly what was reported.
#ifndef VY_TESTS_CORE_SCRIPT_FIXTURE_H
#define VY_TESTS_CORE_SCRIPT_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/script.h"
#include "core/trace.h"
#include "scratch_dir.h"

#include "lauxlib.h"
#include "lualib.h"

// Bare lines: no time stamp, no location prefix. Lines reach the file at
// once without a flush; skipping it keeps the long reports quick.
constexpr uint32_t bare_trace_flags =
    trace_overwrite | trace_no_time | trace_no_location | trace_no_backup | trace_no_flush;

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

class script_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(default_trace().open(trace_path().c_str(), trace_flags()));
        ASSERT_TRUE(s.open(script_all_libs));
    }

    void TearDown() override {
        s.close();
        default_trace().close();
        set_script_error_trace(nullptr);
    }

    virtual uint32_t trace_flags() const { return bare_trace_flags; }
    std::wstring trace_path() const { return scratch.path(L"trace.log"); }

    // What the default trace holds since the last call.
    std::vector<std::string> reported() {
        std::vector<std::string> lines = split_lines(read_whole(trace_path()));
        default_trace().open(trace_path().c_str(), trace_flags());
        return lines;
    }

    // Runs Lua text that must succeed, leaving its results.
    void run(const char* text, int results = 0) {
        ASSERT_EQ(0, luaL_loadstring(L(), text)) << lua_tostring(L(), -1);
        ASSERT_EQ(0, lua_pcall(L(), 0, results, 0)) << lua_tostring(L(), -1);
    }

    // Evaluates a Lua expression that must answer true.
    bool holds(const char* expression) {
        std::string text = std::string("return ") + expression;
        if (luaL_loadstring(L(), text.c_str()) != 0 || lua_pcall(L(), 0, 1, 0) != 0) {
            ADD_FAILURE() << lua_tostring(L(), -1);
            lua_pop(L(), 1);
            return false;
        }
        bool ok = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return ok;
    }

    lua_State* L() { return s.state(); }

    scratch_dir scratch;
    script s;
};

// "label: message, code=N(0xN)" as the trace writes it.
inline std::string report_line(const std::string& label, const std::string& message, int32_t code) {
    char tail[48];
    snprintf(tail, sizeof tail, ", code=%d(0x%08X)", code, static_cast<unsigned>(code));
    return label + ": " + message + tail;
}

#endif
