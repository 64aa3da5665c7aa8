// Fixed-size slots for objects that a frame pass walks in bulk. Slots are
// cut from 64 KB chunks in address order, so objects made one after another
// lie side by side and a pass over them streams through memory instead of
// jumping across the heap. Main thread only.
#ifndef VY_WORLD_OBJECT_POOL_H
#define VY_WORLD_OBJECT_POOL_H

#include <cstddef>
#include <cstdint>

struct object_pool_chunk;

class object_pool {
public:
    static constexpr size_t chunk_bytes = 65536;

    explicit object_pool(size_t object_size);
    // Gives the empty chunks back; slots still in use must not outlive it.
    ~object_pool();
    object_pool(const object_pool&) = delete;
    object_pool& operator=(const object_pool&) = delete;

    // A slot of slot_size() bytes, 8-aligned; null when memory is out.
    void* allocate();
    // A slot of this pool (null does nothing).
    void release(void* slot);

    size_t slot_size() const { return slot_size_; }
    size_t slots_per_chunk() const { return per_chunk_; }
    size_t chunk_count() const { return chunks_; }
    size_t used() const { return used_; }

private:
    object_pool_chunk* new_chunk();
    void unlink(object_pool_chunk* chunk);

    size_t slot_size_;
    size_t per_chunk_;
    object_pool_chunk* open_ = nullptr;   // chunks with a free slot
    object_pool_chunk* spare_ = nullptr;  // one empty chunk kept against churn
    size_t chunks_ = 0;
    size_t used_ = 0;
};

#endif
