// Input codes: device codes name the physical key, button, axis or
// direction; logical codes (0-127 digital, 128-255 analog) name what the
// game sees. A binding entry joins one of each in 32 bits: bytes 0-1 the
// device code, byte 2 the logical code, byte 3 the key or button number.
#ifndef VY_INPUT_INPUT_CODES_H
#define VY_INPUT_INPUT_CODES_H

#include <cstdint>

enum : uint32_t {
    device_keyboard = 0x1000,
    device_mouse = 0x4000,
    device_mouse_pointer = 0x4001,
    device_mouse_hwheel = 0x4002,
    device_mouse_vwheel = 0x4003,
    device_joystick = 0x2000,
    device_joystick_negative = 0x80,  // added to an axis or POV code
    device_pov_up = 0x2007,
    device_pov_right = 0x2008,
    device_pov_down = 0x2087,
    device_pov_left = 0x2088,
};

constexpr int input_axis_count = 6;
constexpr int input_digital_count = 128;

inline uint32_t entry_device(uint32_t entry) { return entry & 0xFFFF; }
inline uint32_t entry_code(uint32_t entry) { return (entry >> 16) & 0xFF; }
inline uint32_t entry_key(uint32_t entry) { return entry >> 24; }
inline uint32_t make_entry(uint32_t device, uint32_t code, uint32_t key) {
    return (device & 0xFFFF) | ((code & 0xFF) << 16) | ((key & 0xFF) << 24);
}

inline bool code_is_analog(uint32_t code) { return code >= 128; }
// The axis an analog code drives; even codes are the negative direction.
inline int code_axis(uint32_t code) { return static_cast<int>((code >> 1) & 63); }

// Joystick axis 1-6 of a device code (either direction), else 0.
int joystick_axis_of(uint32_t device);
bool is_pov_code(uint32_t device);

// The POV direction code of a reading in hundredths of degrees; 0 when
// centred (36000 and above).
uint32_t pov_direction(uint32_t angle);
// Cosine and sine of a POV reading, by whole degrees.
float pov_cos(uint32_t angle);
float pov_sin(uint32_t angle);

// Thresholds of one joystick axis, from its range.
struct axis_thresholds {
    int32_t low = 0, dead_start = 0, dead_end = 0, high = 0, span = 0;
};
axis_thresholds make_axis_thresholds(uint32_t min, uint32_t max);
// A raw reading as -1.0..1.0 with a dead zone about the centre.
float normalize_axis(const axis_thresholds& t, int32_t raw);

#endif
