// Cosine and sine tables in hundredths of a degree, and the single-precision
// helpers of the collision geometry.
#ifndef VY_GRAPHICS_TRIGON_H
#define VY_GRAPHICS_TRIGON_H

#include <cstdint>

#include "core/singleton.h"

struct lua_State;

class fast_trigon : public singleton<fast_trigon> {
public:
    static constexpr int32_t steps = 36000;

    // Built on first call, destroyed at process exit.
    static fast_trigon& instance();

    float cos_table[steps];
    float sin_table[steps];

private:
    fast_trigon();
};

// 0 to 35999; a NaN or infinite angle gives 0.
int32_t angle_to_trigon_index(float degrees);

struct trigon_vector {
    float x, y;
};
trigon_vector rotate_vector(const trigon_vector& in, float degrees);

float sqrt_f(float v);
float hypot2(float a, float b);
float leg2(float a, float b);
float leg2_or_zero(float a, float b);

// A new table on the Lua stack; answers its absolute index.
int lua_push_new_table(lua_State* L, int array_hint, int record_hint);

#endif
