#include "world/object_pool.h"

#include <windows.h>

#include <new>

// Sits at the start of its chunk: a slot finds its chunk by masking its
// address, which needs chunks aligned to their size. Windows hands out
// virtual memory on 64 KB boundaries.
struct object_pool_chunk {
    object_pool_chunk* prev;
    object_pool_chunk* next;
    void* free;       // released slots, each holding the next
    uint32_t used;    // slots handed out and not released
    uint32_t fresh;   // slots from here on were never handed out
    bool open;        // in the pool's list of chunks with room
};

namespace {
constexpr size_t slots_offset = 64;  // the header, rounded to a cache line
static_assert(sizeof(object_pool_chunk) <= slots_offset, "chunk header too large");

char* slot_at(object_pool_chunk* chunk, size_t slot_size, size_t index) {
    return reinterpret_cast<char*>(chunk) + slots_offset + index * slot_size;
}

object_pool_chunk* chunk_of(void* slot) {
    return reinterpret_cast<object_pool_chunk*>(reinterpret_cast<uintptr_t>(slot) &
                                                ~uintptr_t(object_pool::chunk_bytes - 1));
}
}  // namespace

object_pool::object_pool(size_t object_size) {
    size_t size = object_size < sizeof(void*) ? sizeof(void*) : object_size;
    slot_size_ = (size + 7) & ~size_t(7);
    per_chunk_ = slot_size_ <= chunk_bytes - slots_offset ? (chunk_bytes - slots_offset) / slot_size_ : 0;
}

object_pool::~object_pool() {
    if (spare_) {
        VirtualFree(spare_, 0, MEM_RELEASE);
        --chunks_;
    }
    spare_ = nullptr;
}

object_pool_chunk* object_pool::new_chunk() {
    if (per_chunk_ == 0) return nullptr;
    void* memory = VirtualAlloc(nullptr, chunk_bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!memory) return nullptr;
    if (reinterpret_cast<uintptr_t>(memory) & (chunk_bytes - 1)) {
        VirtualFree(memory, 0, MEM_RELEASE);
        return nullptr;
    }
    ++chunks_;
    return new (memory) object_pool_chunk{nullptr, nullptr, nullptr, 0, 0, false};
}

void object_pool::unlink(object_pool_chunk* chunk) {
    if (chunk->prev) chunk->prev->next = chunk->next;
    else open_ = chunk->next;
    if (chunk->next) chunk->next->prev = chunk->prev;
    chunk->prev = chunk->next = nullptr;
    chunk->open = false;
}

void* object_pool::allocate() {
    if (!open_) {
        object_pool_chunk* chunk = spare_ ? spare_ : new_chunk();
        if (!chunk) return nullptr;
        spare_ = nullptr;
        chunk->open = true;
        open_ = chunk;
    }
    object_pool_chunk* chunk = open_;
    // Unused slots first: objects made in a row stay in address order.
    void* slot;
    if (chunk->fresh < per_chunk_) {
        slot = slot_at(chunk, slot_size_, chunk->fresh++);
    } else {
        slot = chunk->free;
        chunk->free = *static_cast<void**>(slot);
    }
    ++chunk->used;
    ++used_;
    if (chunk->used == per_chunk_) unlink(chunk);
    return slot;
}

void object_pool::release(void* slot) {
    if (!slot) return;
    object_pool_chunk* chunk = chunk_of(slot);
    *static_cast<void**>(slot) = chunk->free;
    chunk->free = slot;
    --chunk->used;
    --used_;
    if (!chunk->open) {
        chunk->open = true;
        chunk->next = open_;
        if (open_) open_->prev = chunk;
        open_ = chunk;
    }
    if (chunk->used != 0) return;
    unlink(chunk);
    if (spare_) {
        VirtualFree(chunk, 0, MEM_RELEASE);
        --chunks_;
        return;
    }
    chunk->free = nullptr;
    chunk->fresh = 0;
    spare_ = chunk;
}
