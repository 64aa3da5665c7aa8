#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "graphics/graphic.h"
#include "world/object_container.h"
#include "world/sprite_object.h"

namespace {
int dummy[4];
void* object() { return &dummy[0]; }

// Each step: an id to erase (0 = insert instead) and the id expected back
// from an insert.
struct handle_case {
    const char* what;
    uint32_t prefill;  // inserts before the steps
    std::vector<int64_t> erases;
    std::vector<uint32_t> expected;  // ids of the inserts after the erases
};

TEST(ObjectHandles, IdsAreHandedOutAndReused) {
    const handle_case cases[] = {
        {"fresh table", 0, {}, {1, 2, 3}},
        {"first growth covers 256", 255, {}, {256, 257, 258}},
        {"released id comes back", 10, {5}, {5, 11}},
        {"last in first out", 10, {5, 9}, {9, 5, 11}},
        {"id 0 and past the end ignored", 10, {0, 100000, -1}, {11, 12}},
        {"double erase ignored", 10, {7, 7}, {7, 11, 12}},
        {"never handed out ignored", 10, {200, 12}, {11, 12, 13}},
        {"head of a run ignored", 10, {11}, {11, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        object_container table;
        for (uint32_t i = 0; i < c.prefill; ++i) table.insert_object(object_slot_actor, object());
        for (int64_t id : c.erases) table.erase(static_cast<uint32_t>(id));
        std::vector<uint32_t> got;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            got.push_back(table.insert_object(object_slot_actor, object()));
        }
        EXPECT_EQ(c.expected, got);
    }
}

TEST(ObjectHandles, NoSlotIsHandedOutTwice) {
    // Stale erases of every kind between inserts, then fill two growths.
    icontainer<512, 256> table;
    for (int i = 0; i < 20; ++i) table.insert_object(object_slot_sprite, object());
    for (uint32_t id : {3u, 3u, 0u, 100u, 21u, 22u, 600u, 5u}) table.erase(id);
    std::set<uint32_t> live;
    for (uint32_t id = 1; id <= 20; ++id) {
        if (id != 3 && id != 5) live.insert(id);
    }
    for (;;) {
        const uint32_t id = table.insert_object(object_slot_sprite, object());
        if (id == 0) break;
        EXPECT_TRUE(live.insert(id).second) << "id " << id << " handed out twice";
    }
    EXPECT_EQ(512u, live.size());
    EXPECT_EQ(512u, table.size());
}

TEST(ObjectHandles, FullTableRefusesAndNullTakesNoSlot) {
    icontainer<5, 2> table;
    EXPECT_EQ(0u, table.insert_object(object_slot_actor, nullptr));
    for (uint32_t id = 1; id <= 5; ++id) EXPECT_EQ(id, table.insert_object(object_slot_actor, object()));
    EXPECT_EQ(0u, table.insert_object(object_slot_actor, object()));  // never id 0 of a slot
    EXPECT_EQ(5u, table.size());
    table.erase(3);
    EXPECT_EQ(3u, table.insert_object(object_slot_actor, object()));
    EXPECT_EQ(0u, table.insert_object(object_slot_actor, object()));
}

TEST(ObjectHandles, SpritesAndActorsShareIds) {
    graphic screen;  // sprites are render objects of the graphic
    object_container table;
    sprite_object* a = new sprite_object;
    sprite_object* b = new sprite_object;
    EXPECT_EQ(1u, table.insert(a));
    EXPECT_EQ(1u, a->id);
    EXPECT_EQ(2u, table.insert(b));
    EXPECT_EQ(a, table.find_sprite(1));
    EXPECT_EQ(nullptr, table.find_actor(1));
    EXPECT_EQ(nullptr, table.find_sprite(0));
    EXPECT_EQ(nullptr, table.find_sprite(99));
    // A sprite gives its id back when it goes.
    delete a;
    EXPECT_EQ(nullptr, table.find_sprite(1));
    delete b;
    EXPECT_EQ(2u, table.free_head());
}
}  // namespace
