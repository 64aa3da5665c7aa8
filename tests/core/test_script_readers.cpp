// Readers of Lua values and script values, against a real Lua state.
#include <cmath>
#include <functional>
#include <optional>

#include "core/lua_readers.h"
#include "core/script_value.h"
#include "script_fixture.h"

namespace {

using ScriptReaders = script_test;
using ScriptValues = script_test;

TEST_F(ScriptReaders, GettersFollowTheExactTypeRules) {
    struct getter_case {
        const char* lua;  // expression pushed
        std::optional<int32_t> as_int;
        std::optional<uint32_t> as_uint;
        std::optional<double> as_double;  // NaN compares as NaN
        std::optional<std::string> as_string;
        std::optional<bool> as_bool;
        bool is_number, is_string;
    };
    const double nan = std::nan("");
    const getter_case cases[] = {
        {"2.5", 2, 2u, 2.5, "2.5", {}, true, false},
        {"3.5", 4, 3u, 3.5, "3.5", {}, true, false},
        {"-2.5", -2, 4294967294u, -2.5, "-2.5", {}, true, false},
        {"2.9", 3, 2u, 2.9, "2.9", {}, true, false},
        {"-1", -1, 4294967295u, -1.0, "-1", {}, true, false},
        {"5e9", 705032704, 705032704u, 5e9, "5000000000", {}, true, false},
        {"1e20", 0, 0u, 1e20, "1e+20", {}, true, false},
        {"0/0", 0, 0u, nan, {}, {}, true, false},
        {"'7.5'", 8, 7u, 7.5, "7.5", {}, false, true},
        {"'0x10'", 16, 16u, 16.0, "0x10", {}, false, true},
        {"'abc'", {}, {}, {}, "abc", {}, false, true},
        {"'a\\0b'", {}, {}, {}, "a", {}, false, true},
        {"true", {}, {}, {}, {}, true, false, false},
        {"false", {}, {}, {}, {}, false, false, false},
        {"nil", {}, {}, {}, {}, {}, false, false},
        {"{}", {}, {}, {}, {}, {}, false, false},
    };
    for (const getter_case& c : cases) {
        SCOPED_TRACE(c.lua);
        run((std::string("return ") + c.lua).c_str(), 1);
        const int type = lua_type(L(), -1);
        EXPECT_EQ(c.is_number, lua_is_number(L(), -1));
        EXPECT_EQ(c.is_string, lua_is_string(L(), -1));
        EXPECT_EQ(type == LUA_TNIL, lua_is_none_or_nil(L(), -1));
        EXPECT_EQ(type == LUA_TTABLE, lua_is_table(L(), -1));

        int32_t i = 123;
        EXPECT_EQ(c.as_int.has_value(), lua_get_int(L(), -1, i));
        EXPECT_EQ(c.as_int.value_or(123), i);
        uint32_t u = 123;
        EXPECT_EQ(c.as_uint.has_value(), lua_get_uint(L(), -1, u));
        EXPECT_EQ(c.as_uint.value_or(123), u);
        EXPECT_EQ(c.as_uint.value_or(0), lua_to_uint(L(), -1));
        double d = 123;
        EXPECT_EQ(c.as_double.has_value(), lua_get_double(L(), -1, d));
        if (c.as_double && std::isnan(*c.as_double))
            EXPECT_TRUE(std::isnan(d));
        else
            EXPECT_EQ(c.as_double.value_or(123), d);
        float f = 123;
        EXPECT_EQ(c.as_double.has_value(), lua_get_float(L(), -1, f));
        bool b = true;
        EXPECT_EQ(c.as_bool.has_value(), lua_get_bool(L(), -1, b));
        EXPECT_EQ(c.as_bool.value_or(true), b);
        EXPECT_EQ(type != LUA_TNIL && !(type == LUA_TBOOLEAN && !lua_toboolean(L(), -1)), lua_to_bool(L(), -1));
        // The string reader last: it turns a number into a string in place.
        string text("unchanged");
        bool number_before = type == LUA_TNUMBER;
        bool read = lua_get_string(L(), -1, text);
        EXPECT_EQ(type == LUA_TNUMBER || type == LUA_TSTRING, read);
        if (c.as_string) EXPECT_STREQ(c.as_string->c_str(), text.c_str());
        if (!read) EXPECT_STREQ("unchanged", text.c_str());
        if (number_before) EXPECT_EQ(LUA_TSTRING, lua_type(L(), -1));
        EXPECT_EQ(1, lua_gettop(L()));
        lua_settop(L(), 0);
    }
}

TEST_F(ScriptReaders, PointersCStringsAndStackHelpers) {
    int target = 0;
    lua_pushlightuserdata(L(), &target);
    void* block = lua_newuserdata(L(), 8);
    lua_pushnumber(L(), 12);
    lua_pushboolean(L(), 1);
    void* p = nullptr;
    EXPECT_TRUE(lua_get_pointer(L(), 1, p));
    EXPECT_EQ(&target, p);
    EXPECT_TRUE(lua_get_pointer(L(), 2, p));
    EXPECT_EQ(block, p);
    EXPECT_FALSE(lua_get_pointer(L(), 3, p));
    EXPECT_EQ(block, p);
    EXPECT_EQ(&target, lua_to_pointer(L(), 1));
    EXPECT_EQ(block, lua_to_pointer(L(), -3));
    EXPECT_EQ(nullptr, lua_to_pointer(L(), 3));
    EXPECT_STREQ("12", lua_get_cstring(L(), 3));
    EXPECT_EQ(LUA_TSTRING, lua_type(L(), 3));
    EXPECT_EQ(nullptr, lua_get_cstring(L(), 4));
    EXPECT_TRUE(lua_is_none_or_nil(L(), 9));

    struct abs_case {
        int index, expected;
    };
    const abs_case abs_cases[] = {{0, 4},  {2, 2},   {-1, 4}, {-4, 1}, {LUA_REGISTRYINDEX, LUA_REGISTRYINDEX},
                                  {LUA_ENVIRONINDEX, LUA_ENVIRONINDEX}, {LUA_GLOBALSINDEX, LUA_GLOBALSINDEX},
                                  {lua_upvalueindex(1), lua_upvalueindex(1)}};
    for (const abs_case& c : abs_cases) EXPECT_EQ(c.expected, script_abs_index(L(), c.index)) << c.index;

    script_remove(L(), 2);
    ASSERT_EQ(3, lua_gettop(L()));
    EXPECT_EQ(LUA_TSTRING, lua_type(L(), 2));
    script_remove(L(), -1);
    EXPECT_EQ(2, lua_gettop(L()));

    lua_pushstring(L(), "referenced");
    int ref = luaL_ref(L(), LUA_REGISTRYINDEX);
    for (int r : {ref, 0, -1}) {
        script_ref_push(L(), r);
        EXPECT_EQ(r > 0 ? LUA_TSTRING : LUA_TNIL, lua_type(L(), -1)) << r;
        lua_pop(L(), 1);
    }
    lua_settop(L(), 0);
}

TEST_F(ScriptReaders, ElementReadersAnswerQuietlyOrThrowTheirMessage) {
    int target = 0;
    lua_pushlightuserdata(L(), &target);
    lua_setglobal(L(), "pointer");
    run("t = {10.5, 'x', [7] = -3.7, n = 3.5, s = 'abc', b = true, f = false, sub = {}, num = '12'}");
    using reader = std::function<bool(lua_State*, std::string&)>;
    struct reader_case {
        const char* name;
        reader read;
        bool result;
        const char* thrown;  // null: no exception
        std::string value;
        int left;  // values left on the stack
    };
    auto text = [](auto v) { return std::to_string(v); };
    const reader_case cases[] = {
        {"uint [1]", [&](lua_State* l, std::string& v) { uint32_t o = 0; bool r = lua_get_index_uint(l, 1, 1, o, false, "no 1"); v = text(o); return r; }, true, nullptr, "10", 0},
        {"int [1] ties to even", [&](lua_State* l, std::string& v) { int32_t o = 0; bool r = lua_get_index_int(l, 1, 1, o, false, "no 1"); v = text(o); return r; }, true, nullptr, "10", 0},
        {"int [7]", [&](lua_State* l, std::string& v) { int32_t o = 0; bool r = lua_get_index_int(l, 1, 7, o, false, "no 7"); v = text(o); return r; }, true, nullptr, "-4", 0},
        {"uint [7] truncates", [&](lua_State* l, std::string& v) { uint32_t o = 0; bool r = lua_get_index_uint(l, 1, 7, o, false, "no 7"); v = text(o); return r; }, true, nullptr, "4294967293", 0},
        {"long [1]", [&](lua_State* l, std::string& v) { long o = 0; bool r = lua_get_index_long(l, -1, 1, o, false, "no 1"); v = text(o); return r; }, true, nullptr, "10", 0},
        {"float [1]", [&](lua_State* l, std::string& v) { float o = 0; bool r = lua_get_index_float(l, 1, 1, o, false, "no 1"); v = text(o); return r; }, true, nullptr, "10.500000", 0},
        {"double [1]", [&](lua_State* l, std::string& v) { double o = 0; bool r = lua_get_index_double(l, 1, 1, o, false, "no 1"); v = text(o); return r; }, true, nullptr, "10.500000", 0},
        {"string [2]", [&](lua_State* l, std::string& v) { string o; bool r = lua_get_index_string(l, 1, 2, o, false, "no 2"); v = o.c_str(); return r; }, true, nullptr, "x", 0},
        {"string [1] from a number", [&](lua_State* l, std::string& v) { string o; bool r = lua_get_index_string(l, 1, 1, o, false, "no 1"); v = o.c_str(); return r; }, true, nullptr, "10.5", 0},
        {"missing, optional", [&](lua_State* l, std::string& v) { uint32_t o = 5; bool r = lua_get_index_uint(l, 1, 9, o, true, "no 9"); v = text(o); return r; }, false, nullptr, "5", 0},
        {"missing, required", [&](lua_State* l, std::string& v) { uint32_t o = 5; bool r = lua_get_index_uint(l, 1, 9, o, false, "no 9"); v = text(o); return r; }, false, "no 9", "", 1},
        {"missing, no message", [&](lua_State* l, std::string& v) { uint32_t o = 5; bool r = lua_get_index_uint(l, 1, 9, o, false, nullptr); v = text(o); return r; }, false, nullptr, "5", 0},
        {"wrong type, optional", [&](lua_State* l, std::string& v) { uint32_t o = 5; bool r = lua_get_index_uint(l, 1, 2, o, true, "invalid 2"); v = text(o); return r; }, false, "invalid 2", "", 1},
        {"field int", [&](lua_State* l, std::string& v) { int32_t o = 0; bool r = lua_get_field_int(l, 1, "n", o, false, "no n"); v = text(o); return r; }, true, nullptr, "4", 0},
        {"field int from text", [&](lua_State* l, std::string& v) { int32_t o = 0; bool r = lua_get_field_int(l, 1, "num", o, false, "no num"); v = text(o); return r; }, true, nullptr, "12", 0},
        {"field uint", [&](lua_State* l, std::string& v) { uint32_t o = 0; bool r = lua_get_field_uint(l, 1, "n", o, false, "no n"); v = text(o); return r; }, true, nullptr, "3", 0},
        {"field float", [&](lua_State* l, std::string& v) { float o = 0; bool r = lua_get_field_float(l, 1, "n", o, false, "no n"); v = text(o); return r; }, true, nullptr, "3.500000", 0},
        {"field float wrong type", [&](lua_State* l, std::string& v) { float o = 0; bool r = lua_get_field_float(l, 1, "s", o, true, "invalid s"); v = text(o); return r; }, false, "invalid s", "", 1},
        {"field bool", [&](lua_State* l, std::string& v) { bool o = false; bool r = lua_get_field_bool(l, 1, "b", o, "invalid b"); v = text(o); return r; }, true, nullptr, "1", 0},
        {"field bool false", [&](lua_State* l, std::string& v) { bool o = true; bool r = lua_get_field_bool(l, 1, "f", o, "invalid f"); v = text(o); return r; }, true, nullptr, "0", 0},
        {"field bool nil", [&](lua_State* l, std::string& v) { bool o = true; bool r = lua_get_field_bool(l, 1, "none", o, "invalid none"); v = text(o); return r; }, true, nullptr, "0", 0},
        {"field bool wrong type", [&](lua_State* l, std::string& v) { bool o = true; bool r = lua_get_field_bool(l, 1, "n", o, "invalid n"); v = text(o); return r; }, false, "invalid n", "", 1},
        {"field bool wrong type, no message", [&](lua_State* l, std::string& v) { bool o = true; bool r = lua_get_field_bool(l, 1, "n", o, nullptr); v = text(o); return r; }, false, nullptr, "1", 0},
        {"field table", [&](lua_State* l, std::string&) { return lua_get_field_table(l, 1, "sub", false, "no sub"); }, true, nullptr, "", 1},
        {"field table missing, optional", [&](lua_State* l, std::string&) { return lua_get_field_table(l, 1, "none", true, "no none"); }, false, nullptr, "", 0},
        {"field table wrong type", [&](lua_State* l, std::string&) { return lua_get_field_table(l, 1, "s", true, "invalid s"); }, false, "invalid s", "", 1},
        {"field table, no message", [&](lua_State* l, std::string&) { return lua_get_field_table(l, 1, "s", false, nullptr); }, false, nullptr, "", 0},
        {"index table wrong type", [&](lua_State* l, std::string&) { return lua_get_index_table(l, 1, 1, false, "invalid 1"); }, false, "invalid 1", "", 1},
    };
    for (const reader_case& c : cases) {
        SCOPED_TRACE(c.name);
        lua_settop(L(), 0);
        lua_getglobal(L(), "t");
        std::string value;
        const char* thrown = nullptr;
        bool result = false;
        try {
            result = c.read(L(), value);
        } catch (const char* message) {
            thrown = message;
        }
        if (c.thrown) {
            ASSERT_NE(nullptr, thrown);
            EXPECT_STREQ(c.thrown, thrown);
        } else {
            EXPECT_EQ(nullptr, thrown) << thrown;
            EXPECT_EQ(c.result, result);
            EXPECT_EQ(c.value, value);
        }
        EXPECT_EQ(1 + c.left, lua_gettop(L()));
    }
    lua_settop(L(), 0);
}

TEST_F(ScriptReaders, FixedReadersOfActionParsers) {
    run("pointer_set = {set = newproxy()}");
    int target = 0;
    lua_getglobal(L(), "pointer_set");
    lua_pushlightuserdata(L(), &target);
    lua_setfield(L(), -2, "light");
    lua_pop(L(), 1);
    struct fixed_case {
        const char* arg2;  // global holding argument 2
        const char* rect;  // rect table expression
        bool set_result;
        const char* set_thrown;
        bool rect_result;
        bool rect_value;
        const char* rect_thrown;
    };
    const fixed_case cases[] = {
        {"pointer_set", "{1, 2, 3, 4, true}", true, nullptr, true, true, nullptr},
        {"{}", "{1, 2, 3, 4}", false, nullptr, false, false, nullptr},
        {"{set = 5}", "{1, 2, 3, 4, 'yes'}", false, "invalid other set", false, false, "invalid rect.attribute"},
        {"nil", "{1, 2, 3, 4, false}", false, nullptr, true, false, nullptr},
    };
    for (const fixed_case& c : cases) {
        SCOPED_TRACE(c.arg2);
        lua_settop(L(), 0);
        lua_pushnil(L());
        run((std::string("return ") + c.arg2).c_str(), 1);
        void* p = nullptr;
        const char* thrown = nullptr;
        bool result = false;
        try {
            result = lua_get_other_set(L(), p);
        } catch (const char* m) {
            thrown = m;
        }
        EXPECT_EQ(c.set_result, result);
        if (c.set_thrown) EXPECT_STREQ(c.set_thrown, thrown);
        else EXPECT_EQ(nullptr, thrown);
        if (result) EXPECT_NE(nullptr, p);

        lua_settop(L(), 0);
        run((std::string("return ") + c.rect).c_str(), 1);
        bool value = false;
        thrown = nullptr;
        result = false;
        try {
            result = lua_get_rect_attribute(L(), 1, value);
        } catch (const char* m) {
            thrown = m;
        }
        if (c.rect_thrown) {
            EXPECT_STREQ(c.rect_thrown, thrown);
        } else {
            EXPECT_EQ(nullptr, thrown);
            EXPECT_EQ(c.rect_result, result);
            EXPECT_EQ(c.rect_value, value);
            EXPECT_EQ(1, lua_gettop(L()));
        }
    }
    lua_settop(L(), 0);
}

TEST_F(ScriptReaders, TableHelpersSetAndGetWithMetamethods) {
    run("logged = {} proxy = setmetatable({}, {__index = function(t, k) return k * 10 end,"
        " __newindex = function(t, k, v) logged[k] = v end})");
    lua_getglobal(L(), "proxy");
    lua_get_index(L(), -1, 4);
    EXPECT_EQ(40, lua_tointeger(L(), -1));
    lua_pop(L(), 1);
    lua_set_index_number(L(), -1, 3, 2.5);
    EXPECT_EQ(1, lua_gettop(L()));
    script_table table(L(), -1);
    EXPECT_EQ(1, table.index);
    table.get_index(7);
    EXPECT_EQ(70, lua_tointeger(L(), -1));
    lua_pop(L(), 1);
    lua_pushinteger(L(), 5);
    lua_pushstring(L(), "five");
    table.set();
    EXPECT_EQ(1, lua_gettop(L()));
    EXPECT_TRUE(holds("logged[3] == 2.5 and logged[5] == 'five'"));
    lua_settop(L(), 0);
}

class counted_object : public script_value_object_base {
public:
    explicit counted_object(int* deaths) : deaths_(deaths) {}
    ~counted_object() override { ++*deaths_; }

private:
    int* deaths_;
};

TEST_F(ScriptValues, PushAndReleaseEachKind) {
    int deaths = 0;
    int target = 0;
    auto* object = new counted_object(&deaths);
    lua_pushstring(L(), "referenced");
    int ref = luaL_ref(L(), LUA_REGISTRYINDEX);
    lua_pushstring(L(), "on the stack");  // index 1
    struct push_case {
        const char* name;
        script_value value;
        int pushed_type;  // LUA_TNONE: nothing pushed
        std::function<void(lua_State*)> check;
    };
    const push_case cases[] = {
        {"none", {}, LUA_TNONE, nullptr},
        {"unknown kind", {3, 77}, LUA_TNONE, nullptr},
        {"pointer", script_value::pointer(&target), LUA_TLIGHTUSERDATA,
         [&](lua_State* l) { EXPECT_EQ(&target, lua_touserdata(l, -1)); }},
        {"stack", script_value::stack(1), LUA_TSTRING,
         [](lua_State* l) { EXPECT_STREQ("on the stack", lua_tostring(l, -1)); }},
        {"integer", script_value::integer(-5), LUA_TNUMBER, [](lua_State* l) { EXPECT_EQ(-5, lua_tonumber(l, -1)); }},
        {"object", script_value::object(object), LUA_TLIGHTUSERDATA,
         [&](lua_State* l) { EXPECT_EQ(object, lua_touserdata(l, -1)); }},
        {"reference", script_value::reference(ref), LUA_TSTRING,
         [](lua_State* l) { EXPECT_STREQ("referenced", lua_tostring(l, -1)); }},
        {"reference 0", script_value::reference(0), LUA_TNIL, nullptr},
    };
    for (const push_case& c : cases) {
        SCOPED_TRACE(c.name);
        script_value_push(c.value, L());
        if (c.pushed_type == LUA_TNONE) {
            EXPECT_EQ(1, lua_gettop(L()));
            continue;
        }
        ASSERT_EQ(2, lua_gettop(L()));
        EXPECT_EQ(c.pushed_type, lua_type(L(), -1));
        if (c.check) c.check(L());
        lua_pop(L(), 1);
    }
    for (const push_case& c : cases) {
        SCOPED_TRACE(c.name);
        script_value v = c.value;
        script_value_release(v, L());
        EXPECT_EQ(script_value_none, v.kind);
        EXPECT_EQ(0u, v.data);
    }
    EXPECT_EQ(1, deaths);
    lua_rawgeti(L(), LUA_REGISTRYINDEX, ref);
    EXPECT_TRUE(lua_isnil(L(), -1));  // the reference was given back
    lua_settop(L(), 0);
}

TEST_F(ScriptValues, StackValuesCrossToThreadsAndOtherStates) {
    run("value = {1, {2}, name = 'v'}");
    lua_State* thread = lua_newthread(L());
    lua_getglobal(L(), "value");  // index 2
    script other;
    ASSERT_TRUE(other.open(script_all_libs));
    for (lua_State* dest : {thread, other.state()}) {
        script_value_push(script_value::stack(2), dest, L());
        ASSERT_EQ(1, lua_gettop(dest));
        ASSERT_EQ(LUA_TTABLE, lua_type(dest, 1));
        lua_rawgeti(dest, 1, 2);
        lua_rawgeti(dest, -1, 1);
        EXPECT_EQ(2, lua_tointeger(dest, -1));
        lua_settop(dest, 0);
    }
    // A thread of the same state gets the very table, another state a copy.
    script_value_push(script_value::stack(2), thread, L());
    lua_xmove(thread, L(), 1);
    EXPECT_TRUE(lua_rawequal(L(), 2, 3));
    EXPECT_EQ(3, lua_gettop(L()));
    other.close();
    lua_settop(L(), 0);
}

TEST_F(ScriptValues, TypedReaderTakesTheFirstAcceptedKind) {
    struct typed_case {
        const char* lua;
        uint32_t mask;
        uint32_t kind;
        std::function<void(const script_typed_value&)> check;
    };
    const typed_case cases[] = {
        {"2.7", 0x6, script_typed_number, [](const script_typed_value& v) { EXPECT_EQ(2.7, v.data.number); }},
        {"2.7", 0x4, script_typed_truncated, [](const script_typed_value& v) { EXPECT_EQ(2, v.data.integer); }},
        {"2.7", 0x8, script_typed_rounded, [](const script_typed_value& v) { EXPECT_EQ(3, v.data.integer); }},
        {"'-2.5'", 0x8, script_typed_rounded, [](const script_typed_value& v) { EXPECT_EQ(-2, v.data.integer); }},
        {"nil", 0x21, script_typed_nil, nullptr},
        {"true", 0x12, script_typed_boolean, [](const script_typed_value& v) { EXPECT_EQ(1.0, v.data.number); }},
        {"5", 0x20, script_typed_string, [](const script_typed_value& v) { EXPECT_STREQ("5", v.data.text); }},
        {"'9'", 0x22, script_typed_number, [](const script_typed_value& v) { EXPECT_EQ(9.0, v.data.number); }},
        {"newproxy()", 0x40, script_typed_userdata, [](const script_typed_value& v) { EXPECT_NE(nullptr, v.data.pointer); }},
        {"coroutine.create(function() end)", 0x80, script_typed_thread,
         [](const script_typed_value& v) { EXPECT_NE(nullptr, v.data.thread); }},
        {"print", 0x30000, script_typed_function, [](const script_typed_value& v) { EXPECT_EQ(2, v.data.index); }},
        {"{}", 0x30000, script_typed_table, [](const script_typed_value& v) { EXPECT_EQ(2, v.data.index); }},
        {"'abc'", 0xE, 0, nullptr},
        {"{}", 0xFFFF, 0, nullptr},
    };
    for (const typed_case& c : cases) {
        SCOPED_TRACE(std::string(c.lua) + " mask " + std::to_string(c.mask));
        lua_pushnil(L());
        run((std::string("return ") + c.lua).c_str(), 1);
        script_typed_value v;
        v.kinds = c.mask;
        v.data.integer = 4242;
        EXPECT_EQ(c.kind, script_value_from_stack(L(), v));
        if (c.kind == 0) {
            EXPECT_EQ(c.mask, v.kinds);
            EXPECT_EQ(4242, v.data.integer);
        } else {
            EXPECT_EQ(c.kind, v.kinds);
        }
        if (c.check) c.check(v);
        lua_settop(L(), 0);
    }
}

}  // namespace
