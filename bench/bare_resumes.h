// The floor the world's step is measured against: resuming plain Lua
// coroutines with the same body, once each a round.
#ifndef VY_BENCH_BARE_RESUMES_H
#define VY_BENCH_BARE_RESUMES_H

#include <cstdio>
#include <vector>

#include "core/system_timer.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

// A plain state whose `actors.wait` yields and `actors.set_position` does
// nothing: what the benchmarks' coroutine bodies call, without the engine.
inline lua_State* bare_actor_state() {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    lua_newtable(L);
    lua_pushcfunction(L, [](lua_State* s) { return lua_yield(s, 0); });
    lua_setfield(L, -2, "wait");
    lua_pushcfunction(L, [](lua_State*) { return 0; });
    lua_setfield(L, -2, "set_position");
    lua_setglobal(L, "actors");
    return L;
}

// The body function is on top of L; each thread starts with (nil, the
// values push_extra pushes for it) and must yield. Closes L. Nanoseconds a
// round of n resumes.
inline double bare_resume_round_ns(lua_State* L, int n, int rounds, int (*push_extra)(lua_State*, int)) {
    std::vector<lua_State*> threads;
    lua_newtable(L);  // keeps the threads alive
    for (int i = 0; i < n; ++i) {
        lua_State* t = lua_newthread(L);
        lua_rawseti(L, -2, i + 1);
        lua_pushvalue(L, -2);
        lua_xmove(L, t, 1);
        lua_pushnil(t);
        const int extra = push_extra ? push_extra(t, i) : 0;
        lua_resume(t, 1 + extra);
        threads.push_back(t);
    }
    for (int i = 0; i < 3; ++i) {
        for (lua_State* t : threads) lua_resume(t, 0);
    }
    const double start = double(system_timer::source());
    for (int r = 0; r < rounds; ++r) {
        for (lua_State* t : threads) {
            if (lua_resume(t, 0) != LUA_YIELD) std::fprintf(stderr, "resume failed\n");
        }
    }
    const double elapsed = double(system_timer::source()) - start;
    lua_close(L);
    return elapsed / rounds;
}

#endif
