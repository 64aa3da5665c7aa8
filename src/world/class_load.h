// The progress of actor classes loading in the background, and the native
// action "class_load_notifier" that reports it to a script and ends its
// watcher actor once the load is complete.
#ifndef VY_WORLD_CLASS_LOAD_H
#define VY_WORLD_CLASS_LOAD_H

#include <windows.h>

#include <cstdint>

#include "world/action_slot.h"

// Held as an owned value (kind 129) in the watcher's action parameter. The
// loader thread counts finished items and signals the completion event;
// the main thread reports them to the callback without ever waiting.
class class_load_record : public script_value_object_base {
public:
    // Takes the registry reference of the callback and the event.
    class_load_record(int32_t total, int32_t callback, HANDLE done);
    ~class_load_record() override;
    class_load_record(const class_load_record&) = delete;
    class_load_record& operator=(const class_load_record&) = delete;

    // Loader thread: one more item is in.
    void item_finished() { InterlockedIncrement(&finished_); }
    int32_t finished() const { return int32_t(InterlockedCompareExchange(&finished_, 0, 0)); }

    int32_t total;
    int32_t reported = 0;  // items the callback has been told of
    int32_t callback;      // registry reference of the Lua function, 0 for none
    HANDLE done;           // null once the completion has been seen

private:
    mutable volatile LONG finished_ = 0;
};

// Reports items finished since the last call, each as callback(n, total);
// once the completion event is signalled, closes it, calls the callback
// once more and answers true.
bool class_load_step(class_load_record* record);

// Per-frame entry of "class_load_notifier".
int32_t class_load_notifier(actor_object* actor, void* context, action_slot* slot, int32_t event,
                            script_value value);

#endif
