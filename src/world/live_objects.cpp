#include "world/live_objects.h"

#include <unordered_map>

namespace {
std::unordered_map<const void*, live_kind>& registry() {
    static std::unordered_map<const void*, live_kind> objects;
    return objects;
}
}  // namespace

void live_object_add(const void* object, live_kind kind) {
    if (object) registry()[object] = kind;
}

void live_object_remove(const void* object) { registry().erase(object); }

live_kind live_object_kind(const void* object) {
    if (!object) return live_none;
    auto& objects = registry();
    auto it = objects.find(object);
    return it == objects.end() ? live_none : it->second;
}

uint32_t live_object_count() { return static_cast<uint32_t>(registry().size()); }
