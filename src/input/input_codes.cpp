#include "input/input_codes.h"

#include <cmath>

int joystick_axis_of(uint32_t device) {
    uint32_t d = device & ~device_joystick_negative;
    if (d >= device_joystick + 1 && d <= device_joystick + 6) return static_cast<int>(d - device_joystick);
    return 0;
}

bool is_pov_code(uint32_t device) {
    return device == device_pov_up || device == device_pov_right || device == device_pov_down ||
           device == device_pov_left;
}

uint32_t pov_direction(uint32_t angle) {
    if (angle >= 36000) return 0;
    if (angle < 4500 || angle >= 31500) return device_pov_up;
    if (angle < 13500) return device_pov_right;
    if (angle < 22500) return device_pov_down;
    return device_pov_left;
}

namespace {
struct degree_table {
    float cosine[360];
    float sine[360];
    degree_table() {
        const double radians = 3.14159265358979323846 / 180.0;
        for (int i = 0; i < 360; ++i) {
            cosine[i] = static_cast<float>(std::cos(i * radians));
            sine[i] = static_cast<float>(std::sin(i * radians));
        }
    }
};

const degree_table& degrees() {
    static const degree_table table;
    return table;
}
}  // namespace

float pov_cos(uint32_t angle) { return angle >= 36000 ? 0.0f : degrees().cosine[angle / 100]; }
float pov_sin(uint32_t angle) { return angle >= 36000 ? 0.0f : degrees().sine[angle / 100]; }

axis_thresholds make_axis_thresholds(uint32_t min, uint32_t max) {
    const uint32_t s = (max - min) / 16;
    axis_thresholds t;
    t.low = static_cast<int32_t>(min + s);
    t.dead_start = static_cast<int32_t>(min + 7 * s);
    t.dead_end = static_cast<int32_t>(min + 9 * s);
    t.high = static_cast<int32_t>(min + 15 * s);
    t.span = static_cast<int32_t>(6 * s);
    return t;
}

float normalize_axis(const axis_thresholds& t, int32_t raw) {
    if (t.low == 0 && t.dead_start == 0 && t.dead_end == 0 && t.high == 0 && t.span == 0) return 0.0f;
    if (raw <= t.low) return -1.0f;
    // A range too narrow to split has no span: only the ends count.
    if (raw < t.dead_start) return t.span ? -static_cast<float>(t.dead_start - raw) / t.span : -1.0f;
    if (raw <= t.dead_end) return 0.0f;
    if (raw >= t.high) return 1.0f;
    return t.span ? static_cast<float>(raw - t.dead_end) / t.span : 1.0f;
}
