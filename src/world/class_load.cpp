#include "world/class_load.h"

#include "core/script.h"
#include "world/action_manager.h"
#include "world/actor_object.h"

namespace {
lua_State* action_lua() {
    action_manager* manager = action_manager::instance();
    return manager ? manager->lua() : nullptr;
}

// A failing callback is reported and the load goes on being watched.
void report(class_load_record* record, int32_t count) {
    lua_State* L = action_lua();
    if (!L || record->callback <= 0) return;
    world_ref_push(L, record->callback);
    lua_pushnumber(L, count);
    lua_pushnumber(L, record->total);
    script_error_info error;
    if (!script(L).call(2, 0, error)) script_report_error_text(error, "class_load_notifier");
}
}  // namespace

class_load_record::class_load_record(int32_t t, int32_t cb, HANDLE d) : total(t), callback(cb), done(d) {}

class_load_record::~class_load_record() {
    if (done) CloseHandle(done);
    if (callback > 0) world_ref_release(action_lua(), callback);
}

bool class_load_step(class_load_record* record) {
    if (!record->done) return true;
    const int32_t finished = record->finished();
    while (record->reported < finished) report(record, ++record->reported);
    if (WaitForSingleObject(record->done, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(record->done);
    record->done = nullptr;
    // Items counted between the look above and the signal are told first.
    const int32_t last = record->finished();
    while (record->reported < last) report(record, ++record->reported);
    report(record, record->reported);
    return true;
}

int32_t class_load_notifier(actor_object* actor, void*, action_slot* slot, int32_t, script_value) {
    if (slot->param.kind != script_value_object) return 0;
    if (class_load_step(value_pointer_of<class_load_record>(slot->param))) actor_kill(actor);
    return 0;
}
