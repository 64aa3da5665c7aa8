#include "controls/control_hooks.h"

namespace {
control_hooks installed;
HWND active_window = nullptr;
}  // namespace

void set_control_hooks(const control_hooks& hooks) { installed = hooks; }
const control_hooks& controls_hooks() { return installed; }

HWND control_main_window() { return installed.main_window ? installed.main_window() : nullptr; }

HWND active_script_window() {
    if (active_window && !IsWindow(active_window)) active_window = nullptr;
    return active_window;
}
void set_active_script_window(HWND window) { active_window = window; }
