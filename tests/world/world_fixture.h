// A world on a real Lua state: the action manager, the object manager and
// the system log captured in memory.
#ifndef VY_TESTS_WORLD_FIXTURE_H
#define VY_TESTS_WORLD_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/archive.h"
#include "core/system_log.h"
#include "graphics/graphic.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/coaction.h"
#include "world/object_manager.h"

class captured_log : public i_system_log {
public:
    int32_t level() const override { return 15; }
    void write(int32_t level, const char* origin, const char* message) override {
        lines.push_back(std::to_string(level) + " " + origin + ": " + message);
    }
    bool has(const std::string& text) const {
        for (const auto& line : lines) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
    std::vector<std::string> lines;
};

class world_test : public ::testing::Test {
protected:
    void SetUp() override {
        script_error_status = 0;
        L = luaL_newstate();
        luaL_openlibs(L);
        set_system_log(&log);
        // Images are opened as packages and stay open while their manager
        // lives: one per test, so the test's files can go with it.
        archives = std::make_unique<archive_manager>();
        screen = std::make_unique<graphic>();
        actions = std::make_unique<action_manager>();
        actions->set_lua(L);
        objects = std::make_unique<object_manager>();
        ASSERT_TRUE(objects->initialize(L));
        run("events = {}");
    }
    void TearDown() override {
        objects.reset();
        actions.reset();
        screen.reset();
        archives.reset();
        set_system_log(nullptr);
        lua_close(L);
        script_error_status = 0;
    }

    void run(const char* chunk) {
        ASSERT_EQ(0, luaL_dostring(L, chunk)) << lua_tostring(L, -1);
    }
    double number(const char* expr) {
        std::string chunk = std::string("return ") + expr;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }
    std::string text(const char* expr) {
        std::string chunk = std::string("return tostring(") + expr + ")";
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        std::string v = lua_tostring(L, -1);
        lua_pop(L, 1);
        return v;
    }

    // A class whose slots are given as Lua expressions (a function, a name,
    // a table {action, parameter}). With class_start_key the mode-0 function
    // runs as a coroutine.
    st_actor_class* make_class(const char* name, uint32_t flags,
                               std::vector<std::pair<int, const char*>> slots) {
        st_actor_class* cls = objects->actors.allocate_class(name, flags);
        if (!cls) return nullptr;
        cls->flags = flags;
        for (const auto& s : slots) {
            std::string chunk = std::string("return ") + s.second;
            EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
            action_definition& d = cls->actions[s.first];
            EXPECT_TRUE(actions_parse(L, &d));
            if (s.first == slot_mode && (flags & class_start_key) &&
                d.entry == action_manager::script_action) {
                d = action_definition{coaction::act_init, d.data, coaction::act_main, 0, d.param};
            }
        }
        return cls;
    }

    actor_object* create(st_actor_class* cls, const char* name = nullptr,
                         actor_object* parent = nullptr) {
        return objects->actors.create_object(name, cls, actor_create_values{}, parent);
    }
    // With the value of a Lua expression as the init value.
    actor_object* create_with(st_actor_class* cls, const char* init, const char* name = nullptr) {
        std::string chunk = std::string("return ") + init;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        actor_create_values values;
        // Relative to the top, as callers that just pushed it would say.
        values.init = make_value(script_value_stack, static_cast<uintptr_t>(-1));
        actor_object* actor = objects->actors.create_object(name, cls, values, nullptr);
        lua_pop(L, 1);
        return actor;
    }

    // One whole frame of the world; the step's result.
    int frame() {
        const int result = world_frame_step();
        world_end_frame();
        return result;
    }

    void set_global_pointer(const char* global, void* p) {
        lua_pushlightuserdata(L, p);
        lua_setglobal(L, global);
    }

    lua_State* L = nullptr;
    captured_log log;
    // The graphic without a device: sprites join it, nothing is drawn.
    std::unique_ptr<graphic> screen;
    std::unique_ptr<archive_manager> archives;
    std::unique_ptr<action_manager> actions;
    std::unique_ptr<object_manager> objects;
};

#endif
