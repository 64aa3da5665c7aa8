// The resource cache with a small resource class of its own, loaded from
// real packages, synchronously and on the real loader thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <map>

#include "core/lock.h"
#include "core/resource_manager.h"
#include "package_builder.h"
#include "scratch_dir.h"

namespace {

struct load_stats {
    std::atomic<int> created{0}, destroyed{0}, loads{0}, releases{0};
    std::atomic<int> infos_made{0}, infos_copied{0}, infos_freed{0};
    std::atomic<DWORD> load_thread{0};
    std::string fail_content;  // loads of this content fail ("*": all)
    // Loads of block_content wait for block_open (bounded by 5 s).
    std::string block_content;
    HANDLE block_open = nullptr;
    std::atomic<bool> blocked{false};
    std::atomic<int> loads_ended{0};
    critical_section lock;
    std::map<std::string, int> loads_of;  // by content

    int loads_of_content(const std::string& c) {
        critical_lock guard(lock);
        return loads_of[c];
    }
};

struct test_resource {
    explicit test_resource(load_stats* s) : stats(s) {}
    ~test_resource() { ++stats->destroyed; }
    load_stats* stats;
    std::string contents;
    bool loaded = false;
};

struct test_info {
    explicit test_info(load_stats* s, std::string h) : stats(s), head(std::move(h)) {}
    ~test_info() { ++stats->infos_freed; }
    load_stats* stats;
    std::string head;
};

struct test_creator : resource_creator<test_resource, test_info> {
    load_stats* stats = nullptr;

    test_resource* create() {
        ++stats->created;
        return new test_resource(stats);
    }
    bool load(test_resource& r, const void* bytes, uint32_t size) {
        std::string content(static_cast<const char*>(bytes), size);
        ++stats->loads;
        stats->load_thread = GetCurrentThreadId();
        {
            critical_lock guard(stats->lock);
            ++stats->loads_of[content];
        }
        if (stats->block_open && stats->block_content == content) {
            stats->blocked = true;
            WaitForSingleObject(stats->block_open, 5000);
        }
        ++stats->loads_ended;
        if (stats->fail_content == "*" || stats->fail_content == content) return false;
        r.contents = content;
        r.loaded = true;
        return true;
    }
    void release(test_resource& r) {
        ++stats->releases;
        r.contents.clear();
        r.loaded = false;
    }
    test_info* create_info(const void* bytes, uint32_t size) {
        ++stats->infos_made;
        return new test_info(stats, std::string(static_cast<const char*>(bytes), size < 4 ? size : 4));
    }
    test_info* copy_info(test_resource& r) {
        if (!r.loaded) return nullptr;
        ++stats->infos_copied;
        return new test_info(stats, "copy:" + r.contents.substr(0, 4));
    }
};

using test_manager = resource_manager<test_resource, test_creator, test_info>;

test_creator creator_for(load_stats& s) {
    test_creator c;
    c.stats = &s;
    return c;
}

// A job that holds the loader thread until its event is set (or its own
// time limit passes), without holding any manager lock.
struct gate_job : resource_loader {
    gate_job(DWORD limit) : limit_ms(limit), open(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~gate_job() override { CloseHandle(open); }
    bool load() override {
        started = true;
        WaitForSingleObject(open, limit_ms);
        return resource_loader::load();
    }
    DWORD limit_ms;
    HANDLE open;
    std::atomic<bool> started{false};
};

template <class F>
bool wait_until(F done, DWORD limit_ms = 5000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limit_ms) return false;
        Sleep(1);
    }
    return true;
}

// finish_load polled as a frame loop would; 0 when it never ends in time.
int finish_within(i_resource_manager& m, i_resource_manager::iterator& it, DWORD limit_ms = 5000) {
    int r = 0;
    wait_until([&] { return (r = m.finish_load(it)) != 0; }, limit_ms);
    return r;
}

class ResourceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        package = dir.path(L"data.pak");
        plain = dir.path(L"plain.txt");
        ASSERT_TRUE(write_whole(package, make_package(0, {{"a", "alpha"}, {"b", "beta"},
                                                           {"c", "gamma"}, {"d", "delta"}})));
        ASSERT_TRUE(write_whole(plain, "plain text"));
    }

    scratch_dir dir;
    std::wstring package, plain;
    load_stats stats;
};

using ResourceCache = ResourceFixture;
using ResourceBackground = ResourceFixture;

}  // namespace

TEST_F(ResourceCache, EntriesAreSharedAndUseCounted) {
    test_manager m(creator_for(stats));
    test_manager::iterator a1, a2, first, text;
    ASSERT_TRUE(m.find(a1, package.c_str(), "a"));
    ASSERT_TRUE(m.find(a2, package.c_str(), "a"));
    EXPECT_EQ(a1.entry(), a2.entry());
    EXPECT_EQ(stats.created, 1);
    ASSERT_TRUE(m.find(first, package.c_str(), ""));  // empty name: the first entry
    ASSERT_TRUE(m.find(text, plain.c_str(), ""));
    EXPECT_EQ(m.entry_count(), 3u);

    test_resource* r = m.acquire(a1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->contents, "alpha");
    EXPECT_EQ(m.acquire(a2), r);
    EXPECT_EQ(stats.loads, 1);
    EXPECT_EQ(a1.use_count(), 2);
    EXPECT_EQ(m.acquire(text)->contents, "plain text");

    EXPECT_TRUE(m.release(r));
    EXPECT_TRUE(m.release(r));
    EXPECT_EQ(stats.releases, 1);
    EXPECT_EQ(a1.use_count(), 0);
    EXPECT_EQ(a1.get(), r);  // the object stays for a later acquire
    EXPECT_FALSE(r->loaded);
    EXPECT_TRUE(m.release_entry(a1));  // one release too many changes nothing
    EXPECT_EQ(stats.releases, 1);
    EXPECT_EQ(m.acquire(a1), r);
    EXPECT_EQ(stats.loads_of_content("alpha"), 2);
    EXPECT_EQ(a1.use_count(), 1);

    // Nothing is cached, and no object is left over, for what can't be found.
    test_manager::iterator none;
    EXPECT_FALSE(m.find(none, package.c_str(), "missing"));
    EXPECT_FALSE(none.valid());
    EXPECT_FALSE(m.find(none, dir.path(L"missing.pak").c_str(), ""));
    EXPECT_EQ(m.acquire(none), nullptr);
    EXPECT_EQ(m.load_async(none), -1);
    EXPECT_FALSE(m.release(static_cast<void*>(&stats)));
    EXPECT_EQ(m.entry_count(), 3u);
    EXPECT_EQ(stats.created, 3);

    // A failing load gives null and counts nothing.
    test_manager::iterator b;
    ASSERT_TRUE(m.find(b, package.c_str(), "b"));
    stats.fail_content = "beta";
    EXPECT_EQ(m.acquire(b), nullptr);
    EXPECT_EQ(b.use_count(), 0);

    m.clear();
    EXPECT_EQ(m.entry_count(), 0u);
    EXPECT_EQ(stats.destroyed, stats.created);
}

TEST_F(ResourceCache, InformationRecordsAreMadeOnceAndFreedWithTheCache) {
    load_stats& s = stats;
    {
        test_manager m(creator_for(s));
        test_manager::iterator a, b;
        ASSERT_TRUE(m.find(a, package.c_str(), "a"));
        ASSERT_TRUE(m.find(b, package.c_str(), "b"));
        // Not loaded: read from the package bytes.
        test_info* ia = m.get_info(a);
        ASSERT_NE(ia, nullptr);
        EXPECT_EQ(ia->head, "alph");
        EXPECT_EQ(m.get_info(a), ia);
        EXPECT_EQ(s.loads, 0);
        // Loaded: taken from the resource.
        ASSERT_NE(m.acquire(b), nullptr);
        test_info* ib = m.get_info(b);
        ASSERT_NE(ib, nullptr);
        EXPECT_EQ(ib->head, "copy:beta");
        EXPECT_EQ(s.infos_made, 1);
        EXPECT_EQ(s.infos_copied, 1);
    }
    EXPECT_EQ(s.infos_freed, 2);
    EXPECT_EQ(s.destroyed, s.created);
}

TEST_F(ResourceCache, DeviceLossReloadsExactlyWhatIsInUse) {
    test_manager m(creator_for(stats));
    struct use {
        const char* name;
        const char* content;
        int acquires, releases;
    };
    const use uses[] = {{"a", "alpha", 1, 0}, {"b", "beta", 2, 0}, {"c", "gamma", 0, 0}, {"d", "delta", 1, 1}};
    std::map<std::string, test_manager::iterator> its;
    for (const auto& u : uses) {
        ASSERT_TRUE(m.find(its[u.name], package.c_str(), u.name));
        for (int i = 0; i < u.acquires; ++i) m.acquire(its[u.name]);
        for (int i = 0; i < u.releases; ++i) m.release_entry(its[u.name]);
    }
    int releases_before = stats.releases;
    m.invalidate_all();
    EXPECT_EQ(stats.releases - releases_before, 2);
    EXPECT_FALSE(its["a"].get()->loaded);
    EXPECT_FALSE(its["b"].get()->loaded);
    EXPECT_TRUE(m.restore_all());
    for (const auto& u : uses) {
        SCOPED_TRACE(u.name);
        bool in_use = u.acquires > u.releases;
        EXPECT_EQ(stats.loads_of_content(u.content), u.acquires == 0 ? 0 : in_use ? 2 : 1);
        EXPECT_EQ(its[u.name].get()->loaded, in_use);
        EXPECT_EQ(its[u.name].use_count(), u.acquires - u.releases);
    }

    // A load that fails on restore makes the answer false; the others still
    // come back.
    stats.fail_content = "beta";
    m.invalidate_all();
    EXPECT_FALSE(m.restore_all());
    EXPECT_TRUE(its["a"].get()->loaded);
    EXPECT_FALSE(its["b"].get()->loaded);
}

namespace {
struct test_wrapper : resource_manager_wrapper<test_wrapper, test_resource, test_creator, test_info> {
    using resource_manager_wrapper::resource_manager_wrapper;
};
}  // namespace

TEST_F(ResourceCache, ContainerReleasesAndRestoresEveryRegisteredManager) {
    resource_manager_container device;
    test_manager first(creator_for(stats));
    device.add(&first);
    test_manager::iterator a, b;
    ASSERT_TRUE(first.find(a, package.c_str(), "a"));
    first.acquire(a);
    {
        test_wrapper wrapper(&device);
        EXPECT_EQ(test_wrapper::instance(), &wrapper);
        EXPECT_EQ(device.managers().size(), 2u);
        wrapper.cache().creator().stats = &stats;
        ASSERT_TRUE(wrapper.cache().find(b, plain.c_str(), ""));
        wrapper.cache().acquire(b);
        device.invalidate_all();
        EXPECT_FALSE(a.get()->loaded);
        EXPECT_FALSE(b.get()->loaded);
        EXPECT_TRUE(device.restore_all());
        EXPECT_TRUE(a.get()->loaded);
        EXPECT_EQ(b.get()->contents, "plain text");
    }
    EXPECT_EQ(test_wrapper::instance(), nullptr);
    EXPECT_EQ(device.managers().size(), 1u);
}

TEST_F(ResourceBackground, LoadsOnTheLoaderThreadAndFinishesOnce) {
    test_manager m(creator_for(stats));
    EXPECT_FALSE(m.loader().has_thread());
    test_manager::iterator a, b;
    ASSERT_TRUE(m.find(a, package.c_str(), "a"));
    ASSERT_TRUE(m.find(b, package.c_str(), "b"));

    // Hold the thread with a job of our own so the load stays pending.
    ASSERT_TRUE(m.loader().create());
    gate_job gate(5000);
    ASSERT_TRUE(m.loader().push(&gate));
    EXPECT_EQ(m.load_async(a), 0);
    EXPECT_TRUE(a.pending());
    EXPECT_EQ(m.load_async(a), 0);  // pending: no second job
    EXPECT_EQ(m.loader().queued(), 2u);
    ASSERT_TRUE(wait_until([&] { return gate.started.load(); }));
    for (int frame = 0; frame < 5; ++frame) EXPECT_EQ(m.finish_load(a), 0);
    EXPECT_EQ(stats.loads, 0);

    SetEvent(gate.open);
    EXPECT_EQ(finish_within(m, a), 1);
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_EQ(a.get()->contents, "alpha");
    EXPECT_NE(stats.load_thread, GetCurrentThreadId());
    EXPECT_FALSE(a.pending());
    EXPECT_EQ(m.finish_load(a), 1);  // nothing pending: no second use
    EXPECT_EQ(a.use_count(), 1);
    EXPECT_EQ(m.load_async(a), 1);  // in use: nothing queued
    EXPECT_EQ(m.loader().queued(), 0u);

    // Once idle the thread is suspended; queuing wakes it again.
    ASSERT_TRUE(wait_until([&] {
        m.loader().suspend_if_idle();
        return !m.loader().running();
    }));
    EXPECT_EQ(m.load_async(b), 0);
    EXPECT_TRUE(m.loader().running());
    EXPECT_EQ(finish_within(m, b), 1);
    EXPECT_EQ(b.get()->contents, "beta");
    EXPECT_EQ(stats.loads, 2);
    EXPECT_TRUE(m.loader().stop());
    EXPECT_FALSE(m.loader().has_thread());
}

TEST_F(ResourceBackground, FailedLoadLeavesTheEntryUnloaded) {
    test_manager m(creator_for(stats));
    test_manager::iterator c;
    ASSERT_TRUE(m.find(c, package.c_str(), "c"));
    stats.fail_content = "gamma";
    EXPECT_EQ(m.load_async(c), 0);
    EXPECT_EQ(finish_within(m, c), -1);
    EXPECT_EQ(c.use_count(), 0);
    EXPECT_FALSE(c.get()->loaded);
    EXPECT_FALSE(c.pending());
    // The entry can be loaded again later.
    stats.fail_content.clear();
    EXPECT_EQ(m.load_async(c), 0);
    EXPECT_EQ(finish_within(m, c), 1);
    EXPECT_TRUE(c.get()->loaded);
}

// A synchronous acquire while a background load of the same entry is
// pending loads once, whichever gets there first, and both users count.
TEST_F(ResourceBackground, SynchronousAcquireDuringAPendingLoadLoadsOnce) {
    for (bool job_first : {false, true}) {
        SCOPED_TRACE(job_first ? "job ran first" : "acquire ran first");
        load_stats s;
        test_manager m(creator_for(s));
        test_manager::iterator d, user;
        ASSERT_TRUE(m.find(d, package.c_str(), "d"));
        user = d;
        EXPECT_FALSE(user.pending());
        ASSERT_TRUE(m.loader().create());
        gate_job gate(5000);
        if (!job_first) ASSERT_TRUE(m.loader().push(&gate));
        ASSERT_EQ(m.load_async(d), 0);
        if (job_first) ASSERT_TRUE(wait_until([&] { return m.loader().completed() >= 1; }));
        test_resource* r = m.acquire(user);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(s.loads, 1);
        SetEvent(gate.open);
        EXPECT_EQ(finish_within(m, d), 1);
        EXPECT_EQ(s.loads, 1);
        EXPECT_EQ(d.use_count(), 2);
        EXPECT_FALSE(d.pending());
        m.release(r);
        m.release(r);
        EXPECT_EQ(s.releases, 1);
        EXPECT_TRUE(m.loader().stop());
    }
}

TEST_F(ResourceBackground, StopEndsTheThreadAndFailsQueuedLoads) {
    {
        test_manager idle(creator_for(stats));
        DWORD start = GetTickCount();
        EXPECT_TRUE(idle.loader().stop());  // never started: nothing to wait for
        EXPECT_LT(GetTickCount() - start, 1000u);
    }
    test_manager m(creator_for(stats));
    test_manager::iterator a;
    ASSERT_TRUE(m.find(a, package.c_str(), "a"));
    ASSERT_TRUE(m.loader().create());
    gate_job gate(300);  // never opened: lets go by itself
    ASSERT_TRUE(m.loader().push(&gate));
    ASSERT_EQ(m.load_async(a), 0);
    ASSERT_TRUE(wait_until([&] { return gate.started.load(); }));
    DWORD start = GetTickCount();
    EXPECT_TRUE(m.loader().stop());
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_FALSE(m.loader().has_thread());
    EXPECT_EQ(m.finish_load(a), -1);
    EXPECT_EQ(stats.loads, 0);
    // A later background load starts a fresh thread.
    EXPECT_EQ(m.load_async(a), 0);
    EXPECT_EQ(finish_within(m, a), 1);
}

// An owner that drops its iterator while the load is still queued takes the
// job out of the queue: the thread never runs it on the freed iterator.
TEST_F(ResourceBackground, DroppedIteratorWithdrawsItsQueuedLoad) {
    enum how { destroyed, assigned, refound };
    for (how h : {destroyed, assigned, refound}) {
        SCOPED_TRACE(h);
        load_stats s;
        test_manager m(creator_for(s));
        test_manager::iterator b;
        ASSERT_TRUE(m.find(b, package.c_str(), "b"));
        auto* a = new test_manager::iterator;
        ASSERT_TRUE(m.find(*a, package.c_str(), "a"));
        ASSERT_TRUE(m.loader().create());
        gate_job gate(5000);
        ASSERT_TRUE(m.loader().push(&gate));
        ASSERT_EQ(m.load_async(*a), 0);
        ASSERT_EQ(m.loader().queued(), 2u);
        if (h == destroyed) {
            delete a;
            a = nullptr;
        } else if (h == assigned) {
            *a = b;
        } else {
            ASSERT_TRUE(m.find(*a, package.c_str(), "c"));
        }
        EXPECT_EQ(m.loader().queued(), 1u);
        if (a) {
            EXPECT_FALSE(a->pending());
            EXPECT_EQ(m.finish_load(*a), 1);  // nothing pending any more
            EXPECT_EQ(a->use_count(), 0);
        }
        SetEvent(gate.open);
        ASSERT_TRUE(wait_until([&] { return m.loader().queued() == 0; }));
        EXPECT_EQ(s.loads, 0);
        // The entry loads normally for its next owner.
        test_manager::iterator again;
        ASSERT_TRUE(m.find(again, package.c_str(), "a"));
        EXPECT_EQ(m.load_async(again), 0);
        EXPECT_EQ(finish_within(m, again), 1);
        EXPECT_EQ(again.get()->contents, "alpha");
        delete a;
        EXPECT_TRUE(m.loader().stop());
    }
}

static DWORD WINAPI open_later(void* event) {
    Sleep(200);
    SetEvent(static_cast<HANDLE>(event));
    return 0;
}

// Dropping an iterator whose load is running waits for the load to end:
// the thread still signals the iterator's notifier when it is done.
TEST_F(ResourceBackground, DroppedIteratorWaitsForItsRunningLoad) {
    stats.block_content = "alpha";
    stats.block_open = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(stats.block_open, nullptr);
    {
        test_manager m(creator_for(stats));
        auto* a = new test_manager::iterator;
        ASSERT_TRUE(m.find(*a, package.c_str(), "a"));
        ASSERT_EQ(m.load_async(*a), 0);
        ASSERT_TRUE(wait_until([&] { return stats.blocked.load(); }));
        // Lets the load go on from another thread a little later.
        HANDLE opener = CreateThread(nullptr, 0, open_later, stats.block_open, 0, nullptr);
        ASSERT_NE(opener, nullptr);
        delete a;
        EXPECT_EQ(stats.loads_ended, 1);
        EXPECT_EQ(m.loader().queued(), 0u);
        EXPECT_EQ(WaitForSingleObject(opener, 5000), WAIT_OBJECT_0);
        CloseHandle(opener);
        EXPECT_TRUE(m.loader().stop());
        // The finished contents wait for the entry's next user.
        test_manager::iterator next;
        ASSERT_TRUE(m.find(next, package.c_str(), "a"));
        ASSERT_NE(m.acquire(next), nullptr);
        EXPECT_EQ(stats.loads, 1);
        EXPECT_EQ(next.use_count(), 1);
    }
    CloseHandle(stats.block_open);
}
