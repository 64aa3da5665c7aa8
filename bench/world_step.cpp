// Cost of the world's frame step with N coroutine actors, beside the bare
// cost of resuming N plain Lua coroutines with the same body.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bare_resumes.h"
#include "core/system_timer.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/coaction.h"
#include "world/object_manager.h"

namespace {
const char* body =
    "return function(actor) "
    "  local x = 0 "
    "  while true do x = x + 1.5 * 2 - 1 actors.wait() end "
    "end";

double now_ns() { return double(system_timer::source()); }

// Nanoseconds a frame of the world with n actors.
double world_frame_ns(int n, int frames) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    auto actions = std::make_unique<action_manager>();
    actions->set_lua(L);
    auto objects = std::make_unique<object_manager>();
    objects->initialize(L);

    st_actor_class* cls = objects->actors.allocate_class("runner", class_start_key);
    luaL_dostring(L, body);
    action_definition& d = cls->actions[slot_mode];
    d = action_definition{coaction::act_init, static_cast<uint32_t>(world_ref_take(L)),
                          coaction::act_main, 0, {}};
    for (int i = 0; i < n; ++i) {
        if (!objects->actors.create_object(nullptr, cls, actor_create_values{}, nullptr)) {
            std::fprintf(stderr, "creation failed\n");
            return 0;
        }
    }
    for (int i = 0; i < 3; ++i) {
        world_frame_step();
        world_end_frame();
    }
    const double start = now_ns();
    for (int i = 0; i < frames; ++i) {
        if (world_frame_step() != 0) std::fprintf(stderr, "frame failed\n");
        world_end_frame();
    }
    const double elapsed = now_ns() - start;
    objects.reset();
    actions.reset();
    lua_close(L);
    return elapsed / frames;
}

// Nanoseconds for one round of resuming n plain coroutines.
double bare_round_ns(int n, int rounds) {
    lua_State* L = bare_actor_state();
    luaL_dostring(L, body);
    return bare_resume_round_ns(L, n, rounds, nullptr);
}
}  // namespace

int main() {
    std::printf("%8s %14s %12s %16s %12s %7s\n", "actors", "world us/frame", "ns/actor",
                "bare us/round", "ns/resume", "ratio");
    for (int n : {1000, 10000}) {
        const int frames = n >= 10000 ? 200 : 1000;
        double world = 0, bare = 0;
        // Best of three runs of each, interleaved, against noise.
        for (int run = 0; run < 3; ++run) {
            const double w = world_frame_ns(n, frames);
            const double b = bare_round_ns(n, frames);
            if (run == 0 || w < world) world = w;
            if (run == 0 || b < bare) bare = b;
        }
        std::printf("%8d %14.1f %12.1f %16.1f %12.1f %7.2f\n", n, world / 1000.0, world / n,
                    bare / 1000.0, bare / n, world / bare);
    }
    return 0;
}
