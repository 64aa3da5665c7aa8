// The registry of live objects against a plain map, through the growth of
// its table and removals that shift probe runs.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "world/live_objects.h"

namespace {
TEST(LiveObjects, AgreesWithAMapThroughGrowthAndRemovals) {
    const uint32_t before = live_object_count();
    // Addresses 8 apart crowd the same home slots, as heap objects do.
    std::vector<char> block(8 * 6000);
    std::map<const void*, live_kind> expected;
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 6000;
    };
    for (int step = 0; step < 40000; ++step) {
        const void* p = &block[8 * next()];
        if (step % 3 == 2) {
            live_object_remove(p);
            expected.erase(p);
        } else {
            const live_kind kind = live_kind(1 + step % 6);
            live_object_add(p, kind);
            expected[p] = kind;
        }
    }
    EXPECT_EQ(before + expected.size(), live_object_count());
    for (size_t i = 0; i < 6000; ++i) {
        const void* p = &block[8 * i];
        auto it = expected.find(p);
        ASSERT_EQ(it == expected.end() ? live_none : it->second, live_object_kind(p)) << i;
    }
    for (const auto& pair : expected) live_object_remove(pair.first);
    EXPECT_EQ(before, live_object_count());
    EXPECT_EQ(live_none, live_object_kind(nullptr));
}
}  // namespace
