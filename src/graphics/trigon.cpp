#include "graphics/trigon.h"

#include <cmath>

#include "lua.h"

fast_trigon::fast_trigon() {
    const double pi = 3.14159265358979323846;
    for (int32_t i = 0; i < steps; ++i) {
        double radians = i / 100.0 * pi / 180.0;
        cos_table[i] = float(std::cos(radians));
        sin_table[i] = float(std::sin(radians));
    }
    // The right angles exactly, so axis-aligned rotations stay exact.
    cos_table[0] = 1.0f;      sin_table[0] = 0.0f;
    cos_table[9000] = 0.0f;   sin_table[9000] = 1.0f;
    cos_table[18000] = -1.0f; sin_table[18000] = 0.0f;
    cos_table[27000] = 0.0f;  sin_table[27000] = -1.0f;
}

fast_trigon& fast_trigon::instance() {
    static fast_trigon tables;
    return tables;
}

int32_t angle_to_trigon_index(float degrees) {
    if (!std::isfinite(degrees)) return 0;
    float a = std::fmod(degrees, 360.0f);
    if (a < 0.0f) a += 360.0f;
    int32_t index = int32_t(a * 100.0f);
    if (index >= fast_trigon::steps) index -= fast_trigon::steps;
    return index;
}

trigon_vector rotate_vector(const trigon_vector& in, float degrees) {
    const fast_trigon& t = fast_trigon::instance();
    int32_t i = angle_to_trigon_index(degrees);
    float c = t.cos_table[i], s = t.sin_table[i];
    return {in.x * c - in.y * s, in.y * c + in.x * s};
}

float sqrt_f(float v) {
    return std::sqrt(v);
}

float hypot2(float a, float b) {
    float x = std::fabs(a), y = std::fabs(b);
    float m = x < y ? x : y;
    float big = x < y ? y : x;
    if (m == 0.0f) return big;
    float r = big / m;
    return m * sqrt_f(r * r + 1.0f);
}

float leg2(float a, float b) {
    if (b == 0.0f) return a;
    float r = a / b;
    return b * sqrt_f(r * r - 1.0f);
}

float leg2_or_zero(float a, float b) {
    return a <= b ? 0.0f : leg2(a, b);
}

int lua_push_new_table(lua_State* L, int array_hint, int record_hint) {
    lua_createtable(L, array_hint, record_hint);
    return lua_gettop(L);
}
