// The world fixture with the action library registered, and actors whose
// start function runs as a coroutine.
#ifndef VY_TESTS_ACTIONS_FIXTURE_H
#define VY_TESTS_ACTIONS_FIXTURE_H

#include "../world/world_fixture.h"
#include "actions/action_library.h"
#include "world/extend_action.h"

class actions_test : public world_test {
protected:
    void SetUp() override {
        world_test::SetUp();
        set_action_library_hooks(action_library_hooks{});
        action_library_register(L);
        run("log = {} function note(...) local t = {} "
            "for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end "
            "log[#log + 1] = table.concat(t, ' ') end");
    }
    void TearDown() override {
        world_test::TearDown();
        set_action_library_hooks(action_library_hooks{});
    }

    // An actor whose mode-0 function (a Lua expression) runs as its
    // coroutine, started at creation; the actor is the global `name`.
    actor_object* coroutine_actor(const char* name, const char* start) {
        std::string cls = std::string(name) + "_class";
        st_actor_class* c = make_class(cls.c_str(), class_start_key, {{slot_mode, start}});
        if (!c) return nullptr;
        actor_object* actor = create(c);
        if (actor) set_global_pointer(name, actor);
        return actor;
    }
    actor_object* plain_actor(const char* name) {
        st_actor_class* c = objects->actors.find_class("plain");
        if (!c) c = make_class("plain", 0, {});
        actor_object* actor = create(c);
        if (actor) set_global_pointer(name, actor);
        return actor;
    }
    coaction* coroutine_of(actor_object* actor) {
        return value_pointer_of<coaction>(actor->slots[slot_mode].state);
    }
    // Runs frames until the Lua condition holds, at most `limit` of them;
    // the number of frames run, or -1 when it never held.
    int frames_until(const char* condition, int limit) {
        for (int i = 0; i <= limit; ++i) {
            if (truth(condition)) return i;
            if (i < limit) EXPECT_EQ(0, frame());
        }
        return -1;
    }
    bool truth(const char* expr) {
        std::string chunk = std::string("return (") + expr + ") and true or false";
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        const bool v = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return v;
    }
    // The notes the scripts made, joined by "|", then cleared.
    std::string notes() {
        std::string all = text("table.concat(log, '|')");
        run("log = {}");
        return all;
    }
    // The engine object of a script table held in a global.
    template <class A>
    A* object_of(const char* global) {
        lua_getglobal(L, global);
        void* p = nullptr;
        if (lua_istable(L, -1)) {
            lua_getfield(L, -1, "object");
            p = lua_touserdata(L, -1);
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        return static_cast<A*>(static_cast<extend_action*>(p));
    }
    size_t listed() const { return actions->extend_list().size(); }
};

#endif
