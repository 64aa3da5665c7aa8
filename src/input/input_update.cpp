// The per-frame sample: walk the current mode's bindings over the devices
// and fold what is pressed into the state block.
#include <cstdlib>

#include "input/input.h"

namespace {
struct joystick_frame {
    bool ok = false;
    JOYINFOEX info = {};
    uint32_t served = 0;  // physical axes (bits 1-6) and POV components (8, 9) already taken
};

uint32_t axis_raw(const JOYINFOEX& info, int axis) {
    switch (axis) {
    case 1: return info.dwXpos;
    case 2: return info.dwYpos;
    case 3: return info.dwZpos;
    case 4: return info.dwRpos;
    case 5: return info.dwUpos;
    default: return info.dwVpos;
    }
}

// An analog logical code fed from one physical axis or POV component: only
// the first entry of that source counts in a frame.
void analog_once(joystick_frame& j, uint32_t source_bit, uint32_t code, float v, bool negative_entry,
                 input_frame& frame) {
    if (j.served & source_bit) return;
    j.served |= source_bit;
    if (negative_entry) v = -v;
    if (!(code & 1)) v = -v;
    const int axis = code_axis(code);
    if (v != 0.0f && axis < input_axis_count) frame.axes[axis] = v;
}

void joystick_entry(const input* in, joystick_frame& j, uint32_t entry, input_frame& frame) {
    if (!j.ok) return;
    const uint32_t device = entry_device(entry), code = entry_code(entry);
    if (device == device_joystick) {
        const uint32_t n = entry_key(entry);
        if (n >= 1 && n <= 32 && (j.info.dwButtons >> (n - 1)) & 1) input::set_code(code, frame, 1.0f);
        return;
    }
    if (const int axis = joystick_axis_of(device)) {
        const bool negative = (device & device_joystick_negative) != 0;
        const float v = normalize_axis(in->joystick.axes[axis - 1],
                                       static_cast<int32_t>(axis_raw(j.info, axis)));
        if (!code_is_analog(code)) {
            if (negative ? v <= -0.5f : v >= 0.5f) input::set_code(code, frame, 1.0f);
            return;
        }
        analog_once(j, 1u << axis, code, v, negative, frame);
        return;
    }
    if (is_pov_code(device)) {
        const uint32_t angle = j.info.dwPOV;
        if (!code_is_analog(code)) {
            if (pov_direction(angle) == device) input::set_code(code, frame, 1.0f);
            return;
        }
        const bool vertical = device == device_pov_up || device == device_pov_down;
        const float v = vertical ? pov_cos(angle) : pov_sin(angle);
        analog_once(j, vertical ? 0x100u : 0x200u, code, v, (device & device_joystick_negative) != 0, frame);
    }
}

void mouse_entry(const input* in, uint32_t entry, input_frame& frame) {
    const input_devices& d = input_shared();
    const uint32_t device = entry_device(entry), code = entry_code(entry);
    if (device == device_mouse_pointer) {
        POINT p = d.cursor;
        if (in->window) ScreenToClient(in->window, &p);
        frame.pointer[1] = p.x;
        frame.pointer[2] = p.y;
        return;
    }
    if (!in->window || d.mouse_window != in->window) return;
    if (device == device_mouse) {
        const uint32_t n = entry_key(entry);
        if (n >= 1 && n <= 5 && (d.buttons >> n) & 1) input::set_code(code, frame, 1.0f);
        return;
    }
    const bool horizontal = device == device_mouse_hwheel;
    if (!horizontal && device != device_mouse_vwheel) return;
    if (!code_is_analog(code)) {
        if ((horizontal ? d.hwheel : d.vwheel) != 0) input::set_code(code, frame, 1.0f);
        return;
    }
    const int32_t notches = horizontal ? d.hwheel_notches : d.vwheel_notches;
    if (notches != 0) input::set_code(code, frame, static_cast<float>(std::abs(notches)));
}
}  // namespace

void input::update(input* in) {
    joystick_frame j;
    if (in->joystick.number != 0) {
        j.info.dwSize = sizeof j.info;
        j.info.dwFlags = JOY_RETURNALL | JOY_CAL_READALWAYS;
        j.ok = joyGetPosEx(in->joystick.number - 1, &j.info) == JOYERR_NOERROR;
    }
    input_frame frame = {};
    if (const mode* m = in->current_bindings()) {
        for (uint32_t entry : *m) {
            const uint32_t device = entry_device(entry);
            if (device == device_keyboard) {
                const int key = static_cast<int>(entry_key(entry));
                if (in->active && key != 0 && GetAsyncKeyState(key) < 0)
                    set_code(entry_code(entry), frame, 1.0f);
            } else if ((device & 0xF000) == device_mouse) {
                mouse_entry(in, entry, frame);
            } else if ((device & 0xF000) == device_joystick) {
                joystick_entry(in, j, entry, frame);
            }
        }
    }
    commit(in->state, frame);
}
