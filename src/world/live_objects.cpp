#include "world/live_objects.h"

#include <cstdint>
#include <vector>

namespace {
// Every script call that names an object asks here, so the table is a flat
// open-addressing set: one probe is usually one cache line.
struct slot {
    const void* key;
    live_kind kind;
};

struct table {
    std::vector<slot> slots = std::vector<slot>(1024, slot{nullptr, live_none});
    uint32_t count = 0;

    size_t mask() const { return slots.size() - 1; }
    size_t home(const void* p) const {
        return size_t((uint32_t(uintptr_t(p) >> 3) * 2654435761u) >> 8) & mask();
    }
    size_t find(const void* p) const {
        for (size_t i = home(p);; i = (i + 1) & mask()) {
            if (slots[i].key == p || !slots[i].key) return i;
        }
    }
    void grow() {
        std::vector<slot> old(slots.size() * 2, slot{nullptr, live_none});
        old.swap(slots);
        for (const slot& s : old) {
            if (s.key) slots[find(s.key)] = s;
        }
    }
    void add(const void* p, live_kind kind) {
        if ((count + 1) * 2 > slots.size()) grow();
        slot& s = slots[find(p)];
        if (!s.key) ++count;
        s = slot{p, kind};
    }
    void remove(const void* p) {
        size_t i = find(p);
        if (!slots[i].key) return;
        // Backward shift: later members of the probe run move up, so no
        // run is ever cut short by a hole.
        for (size_t j = (i + 1) & mask(); slots[j].key; j = (j + 1) & mask()) {
            const size_t h = home(slots[j].key);
            const bool between = i <= j ? (i < h && h <= j) : (i < h || h <= j);
            if (between) continue;
            slots[i] = slots[j];
            i = j;
        }
        slots[i] = slot{nullptr, live_none};
        --count;
    }
};

// Never destroyed: static destructors of the managers that own objects
// may run after this file's, and they still remove their objects here.
table& registry() {
    static table* objects = new table;
    return *objects;
}
}  // namespace

void live_object_add(const void* object, live_kind kind) {
    if (object) registry().add(object, kind);
}

void live_object_remove(const void* object) {
    if (object) registry().remove(object);
}

live_kind live_object_kind(const void* object) {
    if (!object) return live_none;
    const table& t = registry();
    return t.slots[t.find(object)].kind;
}

uint32_t live_object_count() { return registry().count; }

void live_object_prefetch(const void* object) {
    const table& t = registry();
    __builtin_prefetch(&t.slots[t.home(object)]);
}
