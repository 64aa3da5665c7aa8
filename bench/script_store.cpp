// Store and restore speed of Lua values: a nested table of about 1 MB
// (numbers, strings and subtables), stored and restored repeatedly;
// prints MB/s of stream for each direction.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "core/script.h"

#include "lauxlib.h"

namespace {

const char* build_value =
    "local value = {}\n"
    "for i = 1, 1800 do\n"
    "  local row = {id = i, name = 'row number ' .. i, scale = i / 7, flags = {i % 2 == 0, i % 3 == 0}}\n"
    "  for j = 1, 12 do row[j] = i * j + 0.25 end\n"
    "  row.tags = {'alpha' .. i, 'beta' .. i, 'gamma' .. i}\n"
    "  row.child = {x = i, y = -i, label = string.rep('z', 40), inner = {depth = 3, list = {1, 2, 3}}}\n"
    "  value[i] = row\n"
    "end\n"
    "return value\n";

double seconds_since(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main() {
    script s;
    if (!s.open(script_all_libs)) return 1;
    lua_State* L = s.state();
    if (luaL_dostring(L, build_value) != 0) {
        std::printf("building the value failed: %s\n", lua_tostring(L, -1));
        return 1;
    }
    std::vector<uint8_t> stream;
    if (s.store(stream, -1) != 0) return 1;
    const double megabytes = static_cast<double>(stream.size()) / (1024.0 * 1024.0);
    std::printf("stream: %zu bytes (%.2f MB)\n", stream.size(), megabytes);

    const int rounds = 30;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) {
        std::vector<uint8_t> out;
        out.reserve(stream.size());
        if (s.store(out, -1) != 0 || out.size() != stream.size()) return 1;
    }
    const double store_time = seconds_since(start);

    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i) {
        if (!s.restore(stream.data(), stream.size())) return 1;
        lua_pop(L, 1);
    }
    const double restore_time = seconds_since(start);

    std::printf("store:   %.1f MB/s (%d rounds, %.3f s)\n", megabytes * rounds / store_time, rounds, store_time);
    std::printf("restore: %.1f MB/s (%d rounds, %.3f s)\n", megabytes * rounds / restore_time, rounds,
                restore_time);
    s.close();
    return 0;
}
