// Joystick capabilities and axis thresholds, and the detection of the
// physical input being pressed (for binding set-up screens).
#include "core/trace.h"
#include "input/input.h"

namespace {
bool read_caps(uint32_t number, JOYCAPSW& caps) {
    if (number == 0) return false;
    return joyGetDevCapsW(number - 1, &caps, sizeof caps) == JOYERR_NOERROR;
}

void compute_thresholds(input::joystick_record& j) {
    const JOYCAPSW& c = j.caps;
    for (axis_thresholds& t : j.axes) t = axis_thresholds();
    j.axes[0] = make_axis_thresholds(c.wXmin, c.wXmax);
    j.axes[1] = make_axis_thresholds(c.wYmin, c.wYmax);
    if (c.wCaps & JOYCAPS_HASZ) j.axes[2] = make_axis_thresholds(c.wZmin, c.wZmax);
    if (c.wCaps & JOYCAPS_HASR) j.axes[3] = make_axis_thresholds(c.wRmin, c.wRmax);
    if (c.wCaps & JOYCAPS_HASU) j.axes[4] = make_axis_thresholds(c.wUmin, c.wUmax);
    if (c.wCaps & JOYCAPS_HASV) j.axes[5] = make_axis_thresholds(c.wVmin, c.wVmax);
}
}  // namespace

bool input::enable_joystick(input* in) {
    if (!read_caps(in->joystick.number, in->joystick.caps)) {
        TRACE_ERROR("input::enable_joystick", "enable_joystick", -1);
        return false;
    }
    compute_thresholds(in->joystick);
    return true;
}

bool input::check_joystick(input* in, uint32_t number) {
    in->joystick.number = number;
    if (!read_caps(number, in->joystick.caps)) {
        TRACE_ERROR("input::check_joystick", "no device", static_cast<int32_t>(number));
        return false;
    }
    char name[MAXPNAMELEN * 2 + 1] = {};
    WideCharToMultiByte(CP_ACP, 0, in->joystick.caps.szPname, -1, name, sizeof name - 1, nullptr, nullptr);
    TRACE_ERROR("input::check_joystick", name, static_cast<int32_t>(number));
    compute_thresholds(in->joystick);
    return true;
}

bool input::joystick_attached(uint32_t number) {
    JOYCAPSW caps;
    return read_caps(number, caps);
}

namespace {
uint32_t detect_keyboard() {
    BYTE keys[256];
    if (!GetKeyboardState(keys)) return 0;
    static const uint8_t first[] = {8, 9, 13, 160, 161, 16, 162, 163, 17, 164, 165, 18, 19, 27};
    auto down = [&](int k) { return (keys[k] & 0x80) != 0; };
    for (uint8_t k : first)
        if (down(k)) return make_entry(device_keyboard, 0, k);
    for (int k = 32; k <= 159; ++k)
        if (down(k)) return make_entry(device_keyboard, 0, static_cast<uint32_t>(k));
    for (int k = 166; k <= 185; ++k)
        if (down(k)) return make_entry(device_keyboard, 0, static_cast<uint32_t>(k));
    if (down(0)) return make_entry(device_keyboard, 0, 0);
    return 0;
}

uint32_t detect_mouse() {
    const input_devices& d = input_shared();
    for (uint32_t n = 1; n <= 5; ++n)
        if ((d.buttons >> n) & 1) return make_entry(device_mouse, 0, n);
    if (d.hwheel != 0) return device_mouse_hwheel;
    if (d.vwheel != 0) return device_mouse_vwheel;
    return 0;
}

uint32_t detect_joystick(uint32_t number) {
    input probe;
    probe.joystick.number = number;
    if (!read_caps(number, probe.joystick.caps)) return 0;
    compute_thresholds(probe.joystick);
    JOYINFOEX info = {};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL | JOY_CAL_READALWAYS;
    if (joyGetPosEx(number - 1, &info) != JOYERR_NOERROR) return 0;
    for (uint32_t n = 1; n <= 32; ++n)
        if ((info.dwButtons >> (n - 1)) & 1) return make_entry(device_joystick, 0, n);
    const DWORD raw[input_axis_count] = {info.dwXpos, info.dwYpos, info.dwZpos,
                                         info.dwRpos, info.dwUpos, info.dwVpos};
    for (uint32_t a = 1; a <= input_axis_count; ++a) {
        const float v = normalize_axis(probe.joystick.axes[a - 1], static_cast<int32_t>(raw[a - 1]));
        if (v > 0.5f) return device_joystick | a;
        if (v < -0.5f) return device_joystick | device_joystick_negative | a;
    }
    return pov_direction(info.dwPOV);
}
}  // namespace

uint32_t input::detect_physical(uint32_t mask) {
    uint32_t found = 0;
    if (mask & device_keyboard) found = detect_keyboard();
    if (!found && (mask & device_mouse)) found = detect_mouse();
    if (!found && (mask & device_joystick)) found = detect_joystick((mask & 0xFF) ? (mask & 0xFF) : 1);
    return found;
}
