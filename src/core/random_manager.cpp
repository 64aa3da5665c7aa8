#include "core/random_manager.h"

#include <new>

irandom* random_manager::make(uint32_t type) {
    switch (type & 0xFFFF0000u) {
    case kind_mt:
    case kind_mt_too:
        return new (std::nothrow) mt_random;
    case kind_xs:
        if ((type & 0xFFFFu) == 0) return new (std::nothrow) xs_random;
        return new (std::nothrow) mt_random;
    case kind_buffered: {
        uint64_t count = 1024ull << ((type + 5) % 32);
        // Beyond 32 bits the count can't even be stated, let alone held.
        if (count > 0xFFFFFFFFull) return nullptr;
        buf_random* g = new (std::nothrow) buf_random;
        if (!g) return nullptr;
        g->set_param(static_cast<uint32_t>(count));
        if (!g->reserve()) {
            delete g;
            return nullptr;
        }
        return g;
    }
    default:
        return nullptr;
    }
}

irandom* random_manager::find(const string& name) const {
    auto it = generators_.find(name);
    return it != generators_.end() ? it->second : nullptr;
}

irandom* random_manager::create(uint32_t type, const string& name) {
    irandom* g = make(type);
    if (!g) return nullptr;
    irandom*& slot = generators_[name];
    delete slot;
    slot = g;
    return g;
}

void random_manager::clear() {
    for (auto& entry : generators_) delete entry.second;
    generators_.clear();
}

bool random_manager::owns(const irandom* generator) const {
    if (!generator) return false;
    for (const auto& entry : generators_)
        if (entry.second == generator) return true;
    return false;
}
