#include "engine/action_hooks.h"

#include "actions/action_library.h"
#include "core/frame_timer.h"
#include "engine/frame_loop.h"
#include "input/input.h"

namespace {
uint64_t frame_period() { return engine_frame_timer().period(); }

bool first_input(player_input_reading& out) {
    input* in = input_at(0);
    if (!in) return false;
    out.axis[0] = in->state.axes[0].value;
    out.axis[1] = in->state.axes[1].value;
    out.direction[0] = in->state.axes[0].counter;
    out.direction[1] = in->state.axes[1].counter;
    out.codes = in->state.codes;
    return true;
}

// Digital codes only: the text keys read presses and releases.
bool input_code(int32_t index, int32_t code, int32_t& value) {
    input* in = index >= 0 ? input_at(size_t(index)) : nullptr;
    if (!in || code < 0 || code >= int32_t(input_digital_count)) return false;
    value = in->state.codes[code];
    return true;
}
}  // namespace

void install_action_hooks() {
    action_library_hooks hooks;
    hooks.frame_period = frame_period;
    hooks.first_input = first_input;
    hooks.input_code = input_code;
    set_action_library_hooks(hooks);
}
