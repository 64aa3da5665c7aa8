// The random generators: known outputs, state save and restore, seeding
// from the time, and the manager of named generators.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "core/random.h"
#include "core/random_manager.h"

namespace {

using words = std::vector<uint32_t>;

enum class kind { mt, xs, buf };

std::unique_ptr<irandom> make(kind k, uint32_t count = 0) {
    switch (k) {
    case kind::mt: return std::make_unique<mt_random>();
    case kind::xs: return std::make_unique<xs_random>();
    case kind::buf: {
        auto g = std::make_unique<buf_random>();
        if (count) g->set_param(count);
        return g;
    }
    }
    return nullptr;
}

words draw(irandom& g, size_t n) {
    words out;
    for (size_t i = 0; i < n; ++i) out.push_back(g.next());
    return out;
}

// Expected values come from the published MT19937 and xorshift32
// definitions, computed apart from this code.
TEST(Random, FirstValuesForGivenSeeds) {
    struct row {
        const char* name;
        kind k;
        uint32_t count;
        uint32_t seed;
        size_t skip;  // outputs drawn before the expected ones
        words want;
    };
    const row rows[] = {
        {"mt 5489", kind::mt, 0, 5489, 0, {3499211612u, 581869302u, 3890346734u}},
        {"mt 1", kind::mt, 0, 1, 0, {1791095845u, 4282876139u, 3093770124u}},
        {"mt 42", kind::mt, 0, 42, 0, {1608637542u, 3421126067u, 4083286876u}},
        {"mt all ones", kind::mt, 0, 0xFFFFFFFFu, 0, {419326371u, 479346978u, 3918654476u}},
        {"mt 5489, 1000th", kind::mt, 0, 5489, 999, {1341017984u}},
        {"mt 1, 1000th", kind::mt, 0, 1, 999, {548926898u}},
        {"xs 1", kind::xs, 0, 1, 0, {723217730u, 2429734267u, 3871666533u}},
        {"xs 2", kind::xs, 0, 2, 0, {722930977u, 2631550840u, 1385201954u}},
        {"xs 123456789", kind::xs, 0, 123456789, 0, {2328646186u, 296443822u, 831189665u}},
        // A ring of 4 starts at [1] and comes round to [0] after a cycle.
        {"buf 1 of 4", kind::buf, 4, 1, 0,
         {1183135446u, 982747242u, 221797415u, 244660247u, 1183135446u}},
        {"buf 5489 of 4", kind::buf, 4, 5489, 0,
         {1514360419u, 3096871669u, 843103547u, 2335972292u}},
        {"buf 5489 default", kind::buf, 0, 5489, 0, {1514360419u, 3096871669u}},
        {"buf 5489 default, wrapped", kind::buf, 0, 5489, 65535, {2335972292u, 1514360419u}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto g = make(r.k, r.count);
        g->seed(r.seed);
        EXPECT_EQ(g->seed_value(), r.seed);
        draw(*g, r.skip);
        EXPECT_EQ(draw(*g, r.want.size()), r.want);
    }
}

TEST(Random, GlobalGeneratorStartsAt5489AndStaysInRange) {
    mt_random& g = global_random();
    EXPECT_EQ(g.seed_value(), 5489u) << "seeded before first use";
    g.seed(5489);
    EXPECT_EQ(global_random_next(), 3499211612u);
    EXPECT_EQ(global_random_next(), 581869302u);

    g.seed(5489);
    EXPECT_DOUBLE_EQ(global_random_range(0.0, 4294967296.0), 3499211612.0);
    for (int i = 0; i < 10000; ++i) {
        double v = global_random_range(-2.5, 7.5);
        ASSERT_GE(v, -2.5);
        ASSERT_LT(v, 7.5);
    }
}

TEST(Random, SavedStateContinuesTheSequence) {
    struct row {
        const char* name;
        kind k;
        uint32_t count;
        size_t drawn;  // before the save
        size_t size;   // of the saved state
    };
    const row rows[] = {
        {"mt fresh seed", kind::mt, 0, 0, 627},
        {"mt mid-block", kind::mt, 0, 100, 627},
        {"mt end of block", kind::mt, 0, 624, 627},
        {"mt second block", kind::mt, 0, 700, 627},
        {"xs", kind::xs, 0, 33, 2},
        {"buf fresh seed", kind::buf, 16, 0, 3},
        {"buf wrapped", kind::buf, 16, 21, 3},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto g = make(r.k, r.count);
        g->seed(20261210);
        draw(*g, r.drawn);
        words state;
        g->save(state);
        ASSERT_EQ(state.size(), r.size);
        EXPECT_EQ(state[0], 20261210u);
        words want = draw(*g, 1000);

        auto twin = make(r.k);  // default parameters: restore brings its own
        ASSERT_TRUE(twin->restore(state));
        EXPECT_EQ(draw(*twin, 1000), want) << "a new generator";
        ASSERT_TRUE(g->restore(state));
        EXPECT_EQ(draw(*g, 1000), want) << "the same generator, rewound";
    }

    xs_random xs;
    xs.seed(1);
    EXPECT_EQ(xs.state(), 0x92D68CA3u);
    words state;
    xs.save(state);
    EXPECT_EQ(state, (words{1u, 0x92D68CA3u}));

    buf_random buf;
    buf.set_param(8);
    buf.seed(3);
    draw(buf, 5);
    buf.save(state);
    EXPECT_EQ(state, (words{3u, 8u, 5u})) << "seed, count, index after five draws";
}

TEST(Random, RestoreRefusesStatesItCannotHold) {
    std::vector<uint32_t> mt_good;
    {
        mt_random g;
        g.seed(7);
        g.next();
        g.save(mt_good);
    }
    auto mt_with = [&](uint32_t countdown, uint32_t position) {
        words w = mt_good;
        w[1] = countdown;
        w[2] = position;
        return w;
    };
    struct row {
        const char* name;
        kind k;
        words state;
    };
    const row rows[] = {
        {"empty for mt", kind::mt, {}},
        {"short mt", kind::mt, words(mt_good.begin(), mt_good.end() - 1)},
        {"mt position past the state", kind::mt, mt_with(1, 625)},
        {"mt countdown 0", kind::mt, mt_with(0, 0)},
        {"mt countdown negative", kind::mt, mt_with(0xFFFFFFFFu, 0)},
        {"mt countdown 625", kind::mt, mt_with(625, 0)},
        {"mt draws would run past the state", kind::mt, mt_with(5, 624)},
        {"short xs", kind::xs, {5}},
        {"short buf", kind::buf, {5, 16}},
        {"buf index below -1", kind::buf, {5, 16, 0xFFFFFFFEu}},
        {"buf index at count", kind::buf, {5, 16, 16}},
        {"buf index past the default count", kind::buf, {5, 0, 0x10000}},
        {"buf ring too large to allocate", kind::buf, {5, 0x80000000u, 0}},
        {"buf ring of all 32 bits", kind::buf, {5, 0xFFFFFFFFu, 0}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto g = make(r.k, 16);
        auto twin = make(r.k, 16);
        g->seed(99);
        twin->seed(99);
        draw(*g, 5);
        draw(*twin, 5);
        EXPECT_FALSE(g->restore(r.state));
        EXPECT_EQ(draw(*g, 700), draw(*twin, 700)) << "left as it was";
    }

    // The limits themselves are accepted.
    mt_random mt;
    EXPECT_TRUE(mt.restore(mt_with(624, 1)));
    EXPECT_TRUE(mt.restore(mt_with(1, 624)));
    buf_random buf;
    EXPECT_TRUE(buf.restore({5, 16, 0xFFFFFFFFu}));
    EXPECT_TRUE(buf.restore({5, 16, 15}));
}

TEST(Random, SeedZeroTakesTheTime) {
    for (kind k : {kind::mt, kind::xs, kind::buf}) {
        auto g = make(k, 64);
        uint32_t before = static_cast<uint32_t>(time(nullptr));
        g->seed(0);
        uint32_t after = static_cast<uint32_t>(time(nullptr));
        EXPECT_GE(g->seed_value(), before);
        EXPECT_LE(g->seed_value(), after);

        auto twin = make(k, 64);
        twin->seed(g->seed_value());
        EXPECT_EQ(draw(*g, 100), draw(*twin, 100)) << "the sequence of the stored seed";
    }
}

TEST(Random, UnseededGeneratorsAnswerZero) {
    for (kind k : {kind::mt, kind::xs, kind::buf}) {
        auto g = make(k);
        EXPECT_EQ(draw(*g, 700), words(700, 0u));
    }
}

TEST(RandomManager, CreatesByTypeAndReplacesByName) {
    struct row {
        uint32_t type;
        const char* made;  // "mt", "xs", "buf" or nullptr
        uint32_t count;    // of a ring
    };
    const row rows[] = {
        {0x00000, "mt", 0},      {0x10000, "mt", 0},      {0x00007, "mt", 0},
        {0x20000, "xs", 0},      {0x20001, "mt", 0},      {0x30000, "buf", 32768},
        {0x30001, "buf", 65536}, {0x3001B, "buf", 1024},  {0x30010, nullptr, 0},
        {0x30011, nullptr, 0},   {0x40000, nullptr, 0},   {0xFFFF0000u, nullptr, 0},
    };
    random_manager manager;
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.type);
        irandom* g = manager.create(r.type, "gen");
        if (!r.made) {
            EXPECT_EQ(g, nullptr);
            continue;
        }
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(manager.find("gen"), g);
        const char* got = dynamic_cast<buf_random*>(g)  ? "buf"
                          : dynamic_cast<xs_random*>(g) ? "xs"
                          : dynamic_cast<mt_random*>(g) ? "mt"
                                                        : "?";
        EXPECT_STREQ(got, r.made);
        if (r.count) EXPECT_EQ(g->param(), r.count);
        EXPECT_EQ(g->next(), 0u) << "not seeded";
    }
    EXPECT_EQ(manager.size(), 1u) << "one name, replaced each time";

    irandom* kept = manager.create(0x20000, "gen");
    EXPECT_EQ(manager.create(0x30010, "gen"), nullptr);
    EXPECT_EQ(manager.find("gen"), kept) << "a failed creation keeps the old one";

    EXPECT_EQ(manager.find("other"), nullptr);
    manager.create(0, "other");
    EXPECT_EQ(manager.size(), 2u);
    manager.clear();
    EXPECT_EQ(manager.size(), 0u);
    EXPECT_EQ(manager.find("gen"), nullptr);
    EXPECT_EQ(random_manager::instance(), &manager);
}

}  // namespace
