#include "actions/action_library.h"

#include "actions/call_action_library.h"
#include "actions/draw_action_library.h"
#include "actions/native_actions.h"
#include "actions/progress_action_library.h"
#include "actions/render_layer_action_library.h"
#include "actions/request_action_library.h"
#include "actions/shape_action_library.h"
#include "actions/text_action_library.h"
#include "actions/text_action_ex_library.h"
#include "actions/text_draw_action_library.h"
#include "world/action_manager.h"

namespace {
action_library_hooks hooks_;
}

void set_action_library_hooks(const action_library_hooks& hooks) { hooks_ = hooks; }

const action_library_hooks& action_hooks() { return hooks_; }

void action_library_register(lua_State* L) {
    // Names already present keep their first entry; registration goes on.
    native_actions_register(action_manager::instance());
    text_action_register(action_manager::instance(), L);
    text_action_ex_register(L);
    text_draw_action_register(L);
    request_action_register(L);
    progress_action_register(L);
    call_action_register(L);
    draw_action_register(L);
    render_layer_action_register(L);
    shape_action_register(L);
}
