#include "input/input.h"

#include <windowsx.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/paths.h"
#include "core/trace.h"

std::vector<input*>& input_list() {
    static std::vector<input*> list;
    return list;
}

input* input_at(size_t index) {
    std::vector<input*>& list = input_list();
    return index < list.size() ? list[index] : nullptr;
}

input_devices& input_shared() {
    static input_devices devices;
    return devices;
}

namespace {
std::string ansi_path(const wchar_t* path) {
    int n = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}
}  // namespace

const input::mode* input::current_bindings() const {
    if (current_mode < 0 || static_cast<size_t>(current_mode) >= modes.size()) return nullptr;
    return &modes[static_cast<size_t>(current_mode)];
}

bool input::create_all(HWND main_window, const wchar_t* config_path) {
    // Inputs are numbered by their place in the list: start it afresh.
    destroy_all();
    input_devices& d = input_shared();
    d.main_window = main_window;
    d.window_lookup = nullptr;
    make_absolute_path(d.config_path, config_path ? config_path : L"input.ini");
    d.config_file = ansi_path(d.config_path.c_str());
    char value[32] = {};
    GetPrivateProfileStringA("INPUT", "NUM", "0", value, sizeof value, d.config_file.c_str());
    const long count = std::strtol(value, nullptr, 10);
    if (count <= 0) {
        TRACE_ERROR("input::create_all", "num is 0", -1);
        return true;
    }
    // Each input reads its sections at once: a damaged count would keep
    // start-up busy for hours. No game has more players than this.
    if (count > max_inputs) {
        TRACE_ERROR("input::create_all", "num too large", static_cast<int32_t>(count > 0x7FFFFFFFL ? 0x7FFFFFFFL : count));
        return true;
    }
    for (int n = 1; n <= count; ++n) {
        input* in = new (std::nothrow) input;
        if (!in) {
            TRACE_ERROR("input::create_all", "new", n);
            return false;
        }
        input_list().push_back(in);
        if (!create(n)) {
            TRACE_ERROR("input::create_all", "create", n);
            return false;
        }
    }
    return true;
}

bool input::create(int n) {
    TRACE_ERROR("input::create", "create input", n);
    input* in = input_at(static_cast<size_t>(n - 1));
    if (!in) return false;
    in->current_mode = 0;
    in->modes.clear();
    in->joystick = joystick_record();
    in->state = input_state();
    in->number = n;
    if (!load_config(in)) return false;
    if (in->joystick.number != 0 && !enable_joystick(in))
        TRACE_ERROR("input::create", "enable_joystick", static_cast<int32_t>(in->joystick.number));
    return true;
}

void input::destroy_all() {
    std::vector<input*>& list = input_list();
    for (input* in : list) delete in;
    list.clear();
}

int32_t input::code_state(const input* in, uint32_t code) {
    if (!in || code >= input_digital_count) return 0;
    const int32_t w = in->state.codes[code];
    return w == input_held_cleared ? 0 : w;
}

void input::clear(input* in) {
    for (input_state::axis& a : in->state.axes) a.value = 0.0f;
    for (int32_t& w : in->state.codes) {
        if (w == -1) w = 0;
        else if (w > 0) w = input_held_cleared;
    }
}

void input::set_code(uint32_t code, input_frame& frame, float value) {
    if (!code_is_analog(code)) {
        frame.bits[code >> 5] |= 1u << (code & 31);
        return;
    }
    // Only the six axes take analog values; other indexes would land on the
    // pointer or the code words.
    const int axis = code_axis(code);
    if (axis >= input_axis_count) return;
    frame.axes[axis] = (code & 1) ? value : -value;
}

namespace {
void commit_axis(input_state::axis& a, float v) {
    if (v == 0.0f) {
        a = {0.0f, 0.0f, 0};
        return;
    }
    a.value = v;
    a.accumulated += v;
    if (v >= 0.5f) a.counter = a.counter < 0 ? 1 : a.counter + 1;
    else if (v <= -0.5f) a.counter = a.counter > 0 ? -1 : a.counter - 1;
    else a.counter = 0;
}

void commit_code(int32_t& c, bool pressed) {
    if (pressed) {
        if (c == input_held_cleared) return;
        c = c < 0 ? 1 : c + 1;
    } else {
        c = c > 0 ? -1 : 0;
    }
}
}  // namespace

void input::commit(input_state& state, const input_frame& frame) {
    for (int i = 0; i < input_axis_count; ++i) commit_axis(state.axes[i], frame.axes[i]);
    std::memcpy(state.pointer, frame.pointer, sizeof state.pointer);
    for (uint32_t c = 0; c < input_digital_count; ++c) commit_code(state.codes[c], frame.pressed(c));
}

void input::sync_pointer(input* in) {
    auto has_pointer = [](const mode* m) {
        if (!m) return false;
        for (uint32_t e : *m)
            if (entry_device(e) == device_mouse_pointer) return true;
        return false;
    };
    const mode* first = in->modes.empty() ? nullptr : &in->modes[0];
    if (has_pointer(first) || has_pointer(in->current_bindings())) {
        in->state.pointer[1] = input_shared().pointer.x;
        in->state.pointer[2] = input_shared().pointer.y;
    } else {
        in->state.pointer[1] = 0;
        in->state.pointer[2] = 0;
    }
}

namespace {
void set_active(HWND window, bool active) {
    for (input* in : input_list())
        if (in && in->window == window) in->active = active ? 1 : 0;
}

bool mouse_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    input_devices& d = input_shared();
    auto button = [&](uint32_t n, bool down) {
        if (down) d.buttons |= 1u << n;
        else d.buttons &= ~(1u << n);
    };
    switch (message) {
    case WM_MOUSEMOVE: {
        POINT p = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        ClientToScreen(window, &p);
        d.cursor = p;
        break;
    }
    case WM_LBUTTONDOWN: button(1, true); break;
    case WM_LBUTTONUP: button(1, false); break;
    case WM_RBUTTONDOWN: button(2, true); break;
    case WM_RBUTTONUP: button(2, false); break;
    case WM_MBUTTONDOWN: button(3, true); break;
    case WM_MBUTTONUP: button(3, false); break;
    case WM_XBUTTONDOWN: button(GET_XBUTTON_WPARAM(wparam) == XBUTTON2 ? 5 : 4, true); break;
    case WM_XBUTTONUP: button(GET_XBUTTON_WPARAM(wparam) == XBUTTON2 ? 5 : 4, false); break;
    case WM_MOUSEWHEEL: d.vwheel -= GET_WHEEL_DELTA_WPARAM(wparam); break;
    case WM_MOUSEHWHEEL: d.hwheel -= GET_WHEEL_DELTA_WPARAM(wparam); break;
    default: return false;
    }
    d.mouse_window = window;
    return true;
}
}  // namespace

bool input::on_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (mouse_message(window, message, wparam, lparam)) return true;
    if (message == WM_ACTIVATE) {
        const bool on = LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam);
        if (on) input_shared().mouse_window = window;
        set_active(window, on);
        return false;
    }
    if (message == WM_DESTROY) {
        for (input* in : input_list()) {
            if (in && in->window == window) {
                in->window = nullptr;
                in->active = 0;
            }
        }
    }
    return false;
}
