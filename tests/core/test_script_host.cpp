// The script host against real Lua states: loading, protected calls,
// coroutines, the error report, copies between states and diagnostics.
#include <windows.h>

#include <cstring>
#include <functional>

#include "core/script_value.h"
#include "script_fixture.h"

namespace {

using ScriptHost = script_test;

std::string narrow(const std::wstring& wide) {
    char buffer[MAX_PATH * 2];
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer) : std::string();
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST_F(ScriptHost, LoadsChunksFromTextBytesAndFiles) {
    std::wstring file = scratch.path(L"chunk.lua");
    ASSERT_TRUE(write_whole(file, "local a, b = ... return a * b + 2"));
    run("return string.dump(function(a, b) return a * b + 3 end)", 1);
    size_t size = 0;
    const char* dumped = lua_tolstring(L(), -1, &size);
    std::string bytecode(dumped, size);
    lua_pop(L(), 1);

    struct load_case {
        const char* name;
        bool (*load)(script&, const std::string&, script_error_info&);
        std::string input;
        double expected;  // of chunk(6, 7)
    };
    const load_case cases[] = {
        {"text", [](script& s, const std::string& in, script_error_info& e) { return s.load(in.c_str(), e); },
         "local a, b = ... return a * b", 42},
        {"source bytes",
         [](script& s, const std::string& in, script_error_info& e) { return s.load_buffer(in.data(), in.size(), e); },
         "local a, b = ... return a * b + 1", 43},
        {"bytecode",
         [](script& s, const std::string& in, script_error_info& e) { return s.load_buffer(in.data(), in.size(), e); },
         bytecode, 45},
        {"file", [](script& s, const std::string& in, script_error_info& e) { return s.load_file(in.c_str(), e); },
         narrow(file), 44},
    };
    for (const load_case& c : cases) {
        SCOPED_TRACE(c.name);
        script_error_info info;
        int top = lua_gettop(L());
        ASSERT_TRUE(c.load(s, c.input, info));
        ASSERT_EQ(top + 1, lua_gettop(L()));
        ASSERT_EQ(LUA_TFUNCTION, lua_type(L(), -1));
        lua_pushnumber(L(), 6);
        lua_pushnumber(L(), 7);
        ASSERT_TRUE(s.call(2, 1, info));
        EXPECT_EQ(c.expected, lua_tonumber(L(), -1));
        lua_pop(L(), 1);
        EXPECT_TRUE(info.message.empty());
    }
    EXPECT_TRUE(reported().empty());
}

TEST_F(ScriptHost, LoadFailuresReportTheirLines) {
    const std::string text = "x = = 1";
    const std::string missing = narrow(scratch.path(L"missing.lua"));
    struct load_case {
        const char* name;
        std::function<bool(script_error_info&)> load;
        std::string message;
        std::vector<std::string> lines;
    };
    const std::string text_error = "[string \"x = = 1\"]:1: unexpected symbol near '='";
    const std::string buffer_error = "[string \"script::load\"]:1: unexpected symbol near '='";
    const std::string file_error = "cannot open " + missing + ": No such file or directory";
    const load_case cases[] = {
        {"text", [&](script_error_info& e) { return s.load(text.c_str(), e); }, text_error,
         {report_line("script::load", text_error, 3), report_line("script::load", "luaL_loadstring", 3),
          report_line("script::load", text, -1)}},
        {"bytes", [&](script_error_info& e) { return s.load_buffer(text.data(), text.size(), e); }, buffer_error,
         {report_line("script::load", buffer_error, 3), report_line("script::load", "luaL_loadbuffer", 3)}},
        {"file", [&](script_error_info& e) { return s.load_file(missing.c_str(), e); }, file_error,
         {report_line("script::load", file_error, LUA_ERRFILE),
          report_line("script::load", "luaL_loadfile", LUA_ERRFILE)}},
    };
    for (const load_case& c : cases) {
        SCOPED_TRACE(c.name);
        script_error_info info;
        lua_pushinteger(L(), 99);  // something below, which must survive
        EXPECT_FALSE(c.load(info));
        EXPECT_EQ(1, lua_gettop(L()));
        lua_pop(L(), 1);
        EXPECT_STREQ(c.message.c_str(), info.message.c_str());
        EXPECT_EQ(c.lines, reported());
        EXPECT_EQ(nullptr, script_current_error_info());
    }
}

TEST_F(ScriptHost, FailingCallsReportMessageAndStatus) {
    struct call_case {
        const char* chunk;
        const char* message;  // as reported
        const char* kept;     // in the record
    };
    const call_case cases[] = {
        {"error('boom')", "[string \"error('boom')\"]:1: boom", "[string \"error('boom')\"]:1: boom"},
        {"error(42, 0)", "42", "42"},
        {"error({})", "(null)", ""},
        {"local t = nil; return t.x", "[string \"local t = nil; return t.x\"]:1: attempt to index local 't' (a nil value)",
         "[string \"local t = nil; return t.x\"]:1: attempt to index local 't' (a nil value)"},
    };
    for (const call_case& c : cases) {
        SCOPED_TRACE(c.chunk);
        script_error_info info;
        lua_pushinteger(L(), 5);
        ASSERT_EQ(0, luaL_loadstring(L(), c.chunk));
        lua_pushinteger(L(), 1);
        EXPECT_FALSE(s.call(1, 0, info));
        EXPECT_EQ(1, lua_gettop(L()));  // function, argument and message gone
        lua_settop(L(), 0);
        EXPECT_STREQ(c.kept, info.message.c_str());
        EXPECT_EQ(std::vector<std::string>{report_line("script::call", c.message, LUA_ERRRUN)}, reported());
    }
    script_error_info info;
    run("function twice(x) return x, x * 2 end");
    lua_getglobal(L(), "twice");
    lua_pushinteger(L(), 21);
    ASSERT_TRUE(s.call(1, LUA_MULTRET, info));
    ASSERT_EQ(2, lua_gettop(L()));
    EXPECT_EQ(42, lua_tointeger(L(), 2));
}

// Every line the message handler wrote, and the record it reported through.
class ScriptHandler : public script_test {
protected:
    void SetUp() override {
        script_test::SetUp();
        ASSERT_TRUE(error_log.open(scratch.path(L"script.log").c_str(), bare_trace_flags));
        run("function inner(x) local y = x + 1; error('deep ' .. y) end\n"
            "function outer() local name = 'a' inner(4) end");
    }
    void TearDown() override {
        error_log.close();
        script_test::TearDown();
    }
    std::vector<std::string> logged() { return split_lines(read_whole(scratch.path(L"script.log"))); }

    trace error_log;
};

TEST_F(ScriptHandler, WritesLevelsAndLocalsAndAnswersFixedText) {
    set_script_error_trace(&error_log);
    lua_pushcfunction(L(), script_error_trace);
    script_error_info info;
    info.handler_index = lua_gettop(L());
    lua_getglobal(L(), "outer");
    EXPECT_FALSE(s.call(0, 0, info));
    EXPECT_STREQ("script.call error", info.message.c_str());
    EXPECT_EQ(std::vector<std::string>{report_line("script::call", "script.call error", LUA_ERRRUN)},
              reported());

    std::vector<std::string> lines = logged();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("script-error: [string \"function inner(x) local y = x + 1; error('d...\"]:1: deep 5",
              lines[0]);
    // Level 0 is the handler itself; then error, inner and outer.
    auto find = [&](const std::string& prefix) {
        for (const std::string& line : lines)
            if (starts_with(line, prefix)) return line;
        return std::string("<none: ") + prefix + ">";
    };
    EXPECT_EQ("\t[0]: name=[(null)] namewhat=[] what=[C] source=[=[C]] short_src=[[C]] currentline=-1 nups=0 "
              "linedefined=-1 lastlinedefined=-1",
              find("\t[0]: "));
    EXPECT_TRUE(starts_with(find("\t[2]: "), "\t[2]: name=[inner] namewhat=[global] what=[Lua] source=["));
    EXPECT_EQ("\t\t[2]-[1]: name=[x] value=[number = 4.000000]", find("\t\t[2]-[1]: "));
    EXPECT_EQ("\t\t[2]-[2]: name=[y] value=[number = 5.000000]", find("\t\t[2]-[2]: "));
    EXPECT_EQ("\t\t[3]-[1]: name=[name] value=[string = a]", find("\t\t[3]-[1]: "));
    // error() is a native function: its argument is an unnamed slot.
    EXPECT_EQ("\t\t[1]-[1]: name=[(*temporary)] value=[string = deep 5]", find("\t\t[1]-[1]: "));
    lua_settop(L(), 0);
}

TEST_F(ScriptHandler, GoesToTheRecordsTraceFirstAndDefaultTraceLast) {
    trace other;
    ASSERT_TRUE(other.open(scratch.path(L"other.log").c_str(), bare_trace_flags));
    struct target_case {
        const char* name;
        trace* record_trace;
        trace* error_trace;
        std::wstring expected_file;
    };
    const target_case cases[] = {
        {"record", &other, &error_log, scratch.path(L"other.log")},
        {"script-error trace", nullptr, &error_log, scratch.path(L"script.log")},
        {"default", nullptr, nullptr, trace_path()},
    };
    for (const target_case& c : cases) {
        SCOPED_TRACE(c.name);
        set_script_error_trace(c.error_trace);
        lua_pushcfunction(L(), script_error_trace);
        script_error_info info;
        info.handler_index = 1;
        info.error_trace = c.record_trace;
        lua_getglobal(L(), "outer");
        EXPECT_FALSE(s.call(0, 0, info));
        lua_settop(L(), 0);
        std::string text = read_whole(c.expected_file);
        EXPECT_NE(std::string::npos, text.find("script-error: ")) << text;
        reported();
    }
    other.close();
}

// Runs a nested load and call with a record of its own, then fails.
int nested_then_fail(lua_State* state) {
    script inner(state);
    script_error_info nested;
    EXPECT_TRUE(inner.load("return 1", nested));
    EXPECT_TRUE(inner.call(0, 1, nested));
    EXPECT_FALSE(inner.load("this is not lua", nested));
    lua_pop(state, 1);
    lua_pushlightuserdata(state, script_current_error_info());
    lua_setglobal(state, "seen");
    return luaL_error(state, "outer fails");
}

TEST_F(ScriptHandler, NestedOperationsKeepTheOuterRecord) {
    lua_register(L(), "nested_then_fail", nested_then_fail);
    lua_pushcfunction(L(), script_error_trace);
    script_error_info outer;
    outer.handler_index = 1;
    outer.error_trace = &error_log;
    lua_getglobal(L(), "nested_then_fail");
    EXPECT_FALSE(s.call(0, 0, outer));
    lua_settop(L(), 0);
    lua_getglobal(L(), "seen");
    EXPECT_EQ(&outer, lua_touserdata(L(), -1));
    lua_pop(L(), 1);
    EXPECT_EQ(nullptr, script_current_error_info());
    std::vector<std::string> lines = logged();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("script-error: outer fails", lines[0]);
}

TEST_F(ScriptHost, ResumesCoroutinesUntilTheyFinishOrFail) {
    run("function counter(n) local got = coroutine.yield(n + 1) return got * 2 end\n"
        "function failing() coroutine.yield() error('in thread') end");
    struct step {
        int nargs_value;  // pushed as the one argument (0: none)
        int result;
        double top;  // the first value handed back, when any
    };
    struct resume_case {
        const char* function;
        std::vector<step> steps;
        std::vector<std::string> lines;
    };
    const resume_case cases[] = {
        {"counter", {{1, 0, 2}, {10, 1, 20}, {0, -2, 0}},
         {report_line("script::resume", "attempt to call a nil value", LUA_ERRRUN)}},
        {"failing", {{0, 0, 0}, {0, -2, 0}},
         {report_line("script::resume",
                      "[string \"function counter(n) local got = coroutine.y...\"]:2: in thread",
                      LUA_ERRRUN)}},
    };
    for (const resume_case& c : cases) {
        SCOPED_TRACE(c.function);
        lua_State* thread = nullptr;
        int ref = s.create_thread(thread);
        ASSERT_GT(ref, 0);
        ASSERT_NE(nullptr, thread);
        EXPECT_EQ(0, lua_gettop(L()));  // anchored in the registry, not on the stack
        lua_gc(L(), LUA_GCCOLLECT, 0);
        lua_getglobal(thread, c.function);
        script co(thread);
        for (const step& st : c.steps) {
            int nargs = 0;
            if (st.nargs_value) {
                lua_pushinteger(thread, st.nargs_value);
                nargs = 1;
            }
            script_error_info info;
            ASSERT_EQ(st.result, co.resume(nargs, &info));
            if (st.result >= 0 && lua_gettop(thread) > 0) {
                EXPECT_EQ(st.top, lua_tonumber(thread, 1));
                lua_settop(thread, 0);
            }
            if (st.result < 0) EXPECT_FALSE(info.message.empty());
        }
        EXPECT_EQ(c.lines, reported());
        script_value anchor = script_value::reference(ref);
        script_value_release(anchor, L());
        EXPECT_EQ(script_value_none, anchor.kind);
    }
    // A record is optional.
    lua_State* thread = nullptr;
    s.create_thread(thread);
    lua_getglobal(thread, "failing");
    EXPECT_EQ(0, script(thread).resume(0));
    EXPECT_EQ(-2, script(thread).resume(0));
    EXPECT_EQ(1u, reported().size());
}

TEST_F(ScriptHost, CopiesValuesBetweenStates) {
    script other;
    ASSERT_TRUE(other.open(script_all_libs));
    run("shared = {'s'}\n"
        "source = {a = 1, [2] = 'x\\0y', n = {b = true, f = print}, fn = function() end,\n"
        "          s1 = shared, s2 = shared, [shared] = 'key', [true] = false}\n"
        "source.self = source");
    lua_getglobal(L(), "source");
    int top = lua_gettop(L());
    EXPECT_TRUE(s.copy_value(other.state(), -1));
    EXPECT_EQ(top, lua_gettop(L()));
    ASSERT_EQ(1, lua_gettop(other.state()));
    lua_setglobal(other.state(), "c");
    lua_pop(L(), 1);

    script keep = s;
    s = other;  // let holds() look at the copy
    const char* checks[] = {
        "c.a == 1",
        "c[2] == 'x\\0y' and #c[2] == 3",
        "c.n.b == true and c.n.f == nil",
        "c.fn == nil",
        "c.self == c",
        "c.s1 == c.s2 and c.s1[1] == 's'",
        "c[c.s1] == 'key'",
        "c[true] == false",
    };
    for (const char* check : checks) EXPECT_TRUE(holds(check)) << check;
    s = keep;

    // Scalars and values that can't cross: exactly one value each.
    struct scalar_case {
        const char* expression;
        int type;
    };
    const scalar_case scalars[] = {
        {"nil", LUA_TNIL}, {"12.5", LUA_TNUMBER}, {"'text'", LUA_TSTRING}, {"false", LUA_TBOOLEAN},
        {"print", LUA_TNIL}, {"function() end", LUA_TNIL}, {"coroutine.create(function() end)", LUA_TNIL},
    };
    for (const scalar_case& c : scalars) {
        SCOPED_TRACE(c.expression);
        run((std::string("return ") + c.expression).c_str(), 1);
        EXPECT_TRUE(s.copy_value(other.state(), -1));
        EXPECT_EQ(1, lua_gettop(other.state()));
        EXPECT_EQ(c.type, lua_type(other.state(), -1));
        EXPECT_TRUE(lua_equal(L(), -1, -1));
        lua_settop(other.state(), 0);
        lua_settop(L(), 0);
    }

    // Too deep: the copy stops at the limit but still pushes one value.
    run("local t = {} deep = t for i = 1, 1100 do t.next = {} t = t.next end");
    lua_getglobal(L(), "deep");
    EXPECT_FALSE(s.copy_value(other.state(), -1));
    EXPECT_EQ(1, lua_gettop(other.state()));
    EXPECT_EQ(LUA_TTABLE, lua_type(other.state(), -1));
    lua_settop(L(), 0);
    other.close();
}

TEST_F(ScriptHost, CopyWithinOneStateMakesANewTable) {
    run("orig = {1, {2}, name = 'n'}");
    lua_getglobal(L(), "orig");
    EXPECT_TRUE(s.copy_value(L(), 1));
    ASSERT_EQ(2, lua_gettop(L()));
    EXPECT_FALSE(lua_rawequal(L(), 1, 2));
    lua_setglobal(L(), "copy");
    lua_pop(L(), 1);
    EXPECT_TRUE(holds("copy ~= orig and copy[1] == 1 and copy[2][1] == 2 and copy[2] ~= orig[2] and copy.name == 'n'"));
}

TEST_F(ScriptHost, OpensRestrictedLibrariesOnly) {
    script restricted;
    ASSERT_TRUE(restricted.open(script_restricted_libs));
    script keep = s;
    s = restricted;
    const char* open[] = {"print", "pairs", "unpack", "coroutine", "table", "string", "math", "debug",
                          "string.format", "debug.traceback"};
    const char* closed[] = {"package", "io", "os", "require", "module"};
    for (const char* name : open) EXPECT_TRUE(holds((std::string(name) + " ~= nil").c_str())) << name;
    for (const char* name : closed) EXPECT_TRUE(holds((std::string(name) + " == nil").c_str())) << name;
    // The raised native stack limit is what lets unpack spread a big table.
    EXPECT_TRUE(holds("select('#', unpack((function() local t = {} for i = 1, 20000 do t[i] = i end "
                      "return t end)())) == 20000"));
    s = keep;
    restricted.close();
    for (const char* name : {"package", "io", "os", "require"})
        EXPECT_TRUE(holds((std::string(name) + " ~= nil").c_str())) << name;
}

// Pushes one value for every kind the value text knows.
int push_all_kinds(lua_State* state) {
    lua_pushnil(state);
    lua_pushnumber(state, 1.5);
    lua_pushstring(state, "12");
    lua_pushstring(state, "abc");
    lua_pushboolean(state, 1);
    lua_pushcfunction(state, push_all_kinds);
    luaL_loadstring(state, "return 1");
    lua_pushlightuserdata(state, reinterpret_cast<void*>(0x1234));
    lua_newuserdata(state, 4);
    lua_newthread(state);
    lua_newtable(state);
    return 11;
}

TEST_F(ScriptHost, ValueTextAndStackDumpHaveTheirForm) {
    push_all_kinds(L());
    // A pointer shows all its digits: 8 in the 32-bit build, 16 in the 64-bit one.
    const std::string pointer = std::string(2 * sizeof(void*) - 4, '0') + "1234";
    const std::string light = "lightuserdata = " + pointer;
    const char* expected[] = {"nil", "number = 1.500000", "number = 12.000000", "string = abc", "boolean = true",
                              "cfunction = ", "function = ", light.c_str(), "userdata = ",
                              "thread = ", "table = "};
    string text;
    for (int i = 1; i <= 11; ++i) {
        script_value_text(L(), i, text);
        EXPECT_TRUE(starts_with(text.c_str(), expected[i - 1])) << i << ": " << text.c_str();
    }
    script_value_text(L(), 12, text);
    EXPECT_STREQ("unlnown", text.c_str());

    script_stack_trace(nullptr, L(), "dump");
    script_stack_trace(nullptr, L(), nullptr);
    std::vector<std::string> lines = reported();
    ASSERT_EQ(24u, lines.size());
    EXPECT_EQ("stack_trace: dump (11)", lines[0]);
    EXPECT_TRUE(starts_with(lines[1], "\t[11]: table = ")) << lines[1];
    EXPECT_EQ("\t[5]: boolean = true", lines[7]);
    EXPECT_EQ("\t[1]: nil", lines[11]);
    EXPECT_EQ("stack_trace:  (11)", lines[12]);
    lua_settop(L(), 0);
}

int leaves_one_extra(lua_State* state) {
    SCRIPT_STACK_CHECK(state);
    lua_pushinteger(state, 7);
    return 0;
}

int stays_balanced(lua_State* state) {
    SCRIPT_STACK_CHECK(state);
    lua_pushinteger(state, 7);
    lua_pop(state, 1);
    return 0;
}

TEST_F(ScriptHost, StackCheckerReportsAnUnbalancedFunction) {
    lua_pushcfunction(L(), stays_balanced);
    lua_pushinteger(L(), 1);
    lua_call(L(), 1, 0);
    EXPECT_TRUE(reported().empty());

    lua_pushcfunction(L(), leaves_one_extra);
    lua_pushinteger(L(), 1);
    lua_pushinteger(L(), 2);
    lua_call(L(), 2, 0);
    std::vector<std::string> lines = reported();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ("script::stack_checker: current stack=3, right stack=2", lines[0]);
    EXPECT_EQ("stack_trace: script::stack_checker error (3)", lines[1]);
    EXPECT_EQ("\t[3]: number = 7.000000", lines[2]);
    EXPECT_EQ("script::stack_checker error", lines[5]);
    EXPECT_TRUE(starts_with(lines[6], "\t[0]: name=[(null)] namewhat=[] what=[C]")) << lines[6];
}

class ScriptLogs : public script_test {
protected:
    void SetUp() override {
        script_test::SetUp();
        ASSERT_TRUE(log.open(scratch.path(L"system.log").c_str(), trace_overwrite | trace_no_time | trace_no_backup));
        set_script_error_trace(&log);
    }
    void TearDown() override {
        log.close();
        script_test::TearDown();
    }
    std::vector<std::string> logged() { return split_lines(read_whole(scratch.path(L"system.log"))); }

    trace log;
};

int level_trace(lua_State* state) {
    script_level_trace(state, 1);
    script_call_stack_trace(state, nullptr, "system.call_stack_trace");
    return 0;
}

TEST_F(ScriptLogs, LevelAndCallStackTracesGoToTheScriptErrorTrace) {
    lua_register(L(), "level_trace", level_trace);
    run("local a = 7\nlocal b = 'bee'\nlevel_trace()");
    std::vector<std::string> lines = logged();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ("[1] system.stack_trace", lines[0]);
    EXPECT_EQ("\t[1]: name=[a] value=[number = 7.000000]", lines[1]);
    EXPECT_EQ("\t[1]: name=[b] value=[string = bee]", lines[2]);
    EXPECT_EQ("system.call_stack_trace: call stack trace:", lines[3]);
    EXPECT_EQ("system.call_stack_trace: \t[0]: name=[level_trace] namewhat=[global] what=[C] source=[=[C]] "
              "short_src=[[C]] currentline=-1 nups=0 linedefined=-1 lastlinedefined=-1",
              lines[4]);
    EXPECT_TRUE(starts_with(lines[5], "system.call_stack_trace: \t[1]: name=[(null)] namewhat=[] what=[main] "))
        << lines[5];
}

TEST_F(ScriptHost, DebugHookAppendsToTheCurrentRecord) {
    run("function f(x) return x end");
    lua_sethook(L(), script_debug_hook, LUA_MASKCALL, 0);
    // Outside any operation the hook writes nowhere.
    lua_getglobal(L(), "f");
    lua_pushinteger(L(), 1);
    lua_call(L(), 1, 1);
    lua_pop(L(), 1);

    script_error_info info;
    lua_getglobal(L(), "f");
    lua_pushinteger(L(), 1);
    ASSERT_TRUE(s.call(1, 1, info));
    lua_sethook(L(), nullptr, 0, 0);
    lua_pop(L(), 1);
    std::vector<std::string> lines = split_lines(info.trace_text.c_str());
    ASSERT_EQ(4u, lines.size()) << info.trace_text.c_str();
    EXPECT_EQ("event = function call", lines[0]);
    EXPECT_EQ("stack top = 2", lines[1]);  // f's frame: its parameter and one register
    EXPECT_TRUE(starts_with(lines[2], "name=[(null)] namewhat=[] what=[Lua] source=[function f(x) return x end]"))
        << lines[2];
    EXPECT_TRUE(starts_with(lines[3], "[0] name=[(null)] namewhat=[] what=[Lua] ")) << lines[3];
    EXPECT_TRUE(reported().empty());
}

}  // namespace
