// The process-wide control table: control ids 10001 to 39999, reused lowest
// first, and the main window's dialog mode while any control lives.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "controls/control_action.h"
#include "controls/control_hooks.h"

namespace {
std::vector<control_action*> table;
int32_t live_count = 0;
bool common_controls_ready = false;

bool main_in_dialog_mode() {
    const control_hooks& h = controls_hooks();
    return h.dialog_mode && h.dialog_mode();
}

void switch_dialog_mode(bool on) {
    const control_hooks& h = controls_hooks();
    if (h.enable_control) h.enable_control(on);
}
}  // namespace

bool allocate_id(control_action* control) {
    size_t index = 0;
    while (index < table.size() && table[index]) ++index;
    if (index == table.size()) table.push_back(nullptr);
    if (index + control_first_id > control_last_id) {
        table[index] = nullptr;
        control->control_id = 0;
        return false;
    }
    table[index] = control;
    control->control_id = static_cast<uint32_t>(index + control_first_id);
    if (live_count == 0 && !main_in_dialog_mode()) {
        switch_dialog_mode(true);
        if (!common_controls_ready) {
            INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
            InitCommonControlsEx(&icc);
            common_controls_ready = true;
        }
    }
    ++live_count;
    return true;
}

void release_control_id(control_action* control) {
    if (control->control_id == 0) return;
    const size_t index = control->control_id - control_first_id;
    if (index < table.size() && table[index] == control) table[index] = nullptr;
    --live_count;
    control->control_id = 0;
    if (live_count == 0 && main_in_dialog_mode()) switch_dialog_mode(false);
}

control_action* control_table_at(uint32_t index) { return index < table.size() ? table[index] : nullptr; }

int32_t live_control_count() { return live_count; }

void control_route_command(uint32_t id, uint32_t code) {
    if (id < control_first_id || id > control_last_id) return;
    if (control_action* control = control_table_at(id - control_first_id)) control->raise_event(static_cast<int32_t>(code));
}
