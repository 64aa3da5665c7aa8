// The slot pool behind sprites: address order, reuse, chunks given back,
// and no slot overlapping another through random churn.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "graphics/graphic.h"
#include "world/object_pool.h"
#include "world/sprite_object.h"

namespace {
TEST(ObjectPool, SlotsInARowLieSideBySideAcrossChunks) {
    object_pool pool(260);
    EXPECT_EQ(pool.slot_size(), 264u);
    const size_t n = pool.slots_per_chunk() * 3;
    ASSERT_GT(pool.slots_per_chunk(), 200u);
    std::vector<char*> slots;
    for (size_t i = 0; i < n; ++i) {
        char* p = static_cast<char*>(pool.allocate());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
        if (i % pool.slots_per_chunk() != 0) EXPECT_EQ(p, slots.back() + pool.slot_size()) << i;
        std::memset(p, int(i & 0xFF), pool.slot_size());
        slots.push_back(p);
    }
    EXPECT_EQ(pool.chunk_count(), 3u);
    EXPECT_EQ(pool.used(), n);
    for (size_t i = 0; i < n; ++i) {
        for (size_t b = 0; b < pool.slot_size(); ++b) ASSERT_EQ(slots[i][b], char(i & 0xFF)) << i;
    }
    for (char* p : slots) pool.release(p);
    // All empty: one chunk is kept for the next objects, the others go.
    EXPECT_EQ(pool.used(), 0u);
    EXPECT_EQ(pool.chunk_count(), 1u);
    void* again = pool.allocate();
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(pool.chunk_count(), 1u);
    pool.release(again);
}

TEST(ObjectPool, FreedSlotOfAFullChunkIsUsedBeforeANewChunk) {
    object_pool pool(1000);
    std::vector<void*> slots;
    for (size_t i = 0; i < pool.slots_per_chunk(); ++i) slots.push_back(pool.allocate());
    EXPECT_EQ(pool.chunk_count(), 1u);
    void* middle = slots[slots.size() / 2];
    pool.release(middle);
    EXPECT_EQ(pool.allocate(), middle);
    EXPECT_EQ(pool.chunk_count(), 1u);
    void* beyond = pool.allocate();
    EXPECT_EQ(pool.chunk_count(), 2u);
    pool.release(beyond);
    pool.release(nullptr);
    for (void* p : slots) pool.release(p);
    EXPECT_EQ(pool.used(), 0u);
}

TEST(ObjectPool, ObjectLargerThanAChunkGetsNoSlot) {
    object_pool pool(object_pool::chunk_bytes);
    EXPECT_EQ(pool.allocate(), nullptr);
    EXPECT_EQ(pool.chunk_count(), 0u);
}

TEST(ObjectPool, RandomChurnKeepsEverySlotsContents) {
    object_pool pool(40);
    std::vector<std::pair<char*, uint32_t>> live;
    std::set<char*> handed_out;
    uint32_t seed = 777;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int step = 0; step < 60000; ++step) {
        // Grows for a while, then shrinks, so chunks fill, empty and go.
        const bool grow = (step / 15000) % 2 == 0 ? next() % 4 != 0 : next() % 4 == 0;
        if (grow || live.empty()) {
            char* p = static_cast<char*>(pool.allocate());
            ASSERT_NE(p, nullptr);
            ASSERT_TRUE(handed_out.insert(p).second) << "slot handed out twice";
            const uint32_t tag = next();
            for (size_t b = 0; b < pool.slot_size(); b += 4) std::memcpy(p + b, &tag, 4);
            live.emplace_back(p, tag);
        } else {
            const size_t i = next() % live.size();
            for (size_t b = 0; b < pool.slot_size(); b += 4) {
                uint32_t v;
                std::memcpy(&v, live[i].first + b, 4);
                ASSERT_EQ(v, live[i].second) << "step " << step;
            }
            pool.release(live[i].first);
            handed_out.erase(live[i].first);
            live[i] = live.back();
            live.pop_back();
        }
        ASSERT_EQ(pool.used(), live.size());
    }
    for (auto& pair : live) pool.release(pair.first);
    EXPECT_EQ(pool.chunk_count(), 1u);
}

TEST(ObjectPool, SpritesComeFromThePoolAndGoBack) {
    // Made one after another, sprites are neighbours in memory (but for
    // the odd slot that other tests' sprites left free).
    graphic screen;  // sprites are render objects of the graphic
    std::vector<sprite_object*> sprites;
    for (int i = 0; i < 600; ++i) sprites.push_back(new sprite_object());
    int neighbours = 0;
    for (size_t i = 1; i < sprites.size(); ++i) {
        const uintptr_t a = reinterpret_cast<uintptr_t>(sprites[i - 1]);
        const uintptr_t b = reinterpret_cast<uintptr_t>(sprites[i]);
        if (b - a == ((sizeof(sprite_object) + 7) & ~size_t(7))) ++neighbours;
    }
    EXPECT_GE(neighbours, 500);
    for (sprite_object* s : sprites) delete s;
    sprite_object* again = new (std::nothrow) sprite_object();
    ASSERT_NE(again, nullptr);
    delete again;
}
}  // namespace
