// The per-class instance pointer of singleton<T>.
#include <gtest/gtest.h>

#include <memory>

#include "core/singleton.h"

namespace {

struct manager : singleton<manager> {
    int id = 0;
    explicit manager(int i) : id(i) {}
};

struct other_manager : singleton<other_manager> {};

// A second base before the singleton moves its sub-object off offset 0.
struct padded_base {
    virtual ~padded_base() = default;
    int pad[3] = {};
};
struct padded_manager : padded_base, singleton<padded_manager> {};

TEST(Singleton, FirstInstanceRecordedUntilDestroyed) {
    EXPECT_EQ(manager::instance(), nullptr);
    auto first = std::make_unique<manager>(1);
    EXPECT_EQ(manager::instance(), first.get());
    auto second = std::make_unique<manager>(2);
    EXPECT_EQ(manager::instance(), first.get()) << "a second object is no instance";
    EXPECT_EQ(other_manager::instance(), nullptr) << "one pointer per class";

    second.reset();
    EXPECT_EQ(manager::instance(), first.get());
    first.reset();
    EXPECT_EQ(manager::instance(), nullptr);

    manager third(3);
    EXPECT_EQ(manager::instance(), &third) << "the next one constructed takes over";
}

TEST(Singleton, DeletedThroughItsBase) {
    singleton<other_manager>* base = new other_manager;
    EXPECT_EQ(other_manager::instance(), base);
    delete base;
    EXPECT_EQ(other_manager::instance(), nullptr);
}

TEST(Singleton, InstanceIsTheWholeObject) {
    padded_manager m;
    EXPECT_EQ(padded_manager::instance(), &m);
}

}  // namespace
