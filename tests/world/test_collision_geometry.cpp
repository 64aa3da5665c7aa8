// Bodies and their attributes, overlap tests and sweeps between shapes.
#include <cmath>
#include <string>
#include <vector>

#include "core/statistics.h"
#include "world/collision_counters.h"
#include "world/collision_manager.h"
#include "world_fixture.h"

namespace {
const float no_centre[2] = {0, 0};
const int32_t no_frame[4] = {0, 0, 0, 0};

class geometry_test : public world_test {
protected:
    st_shape* shape(const char* table) {
        std::string chunk = std::string("return ") + table;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        st_shape* s = load_shape(L, no_centre, no_frame, nullptr, false, &list);
        lua_pop(L, 1);
        EXPECT_NE(nullptr, s) << table;
        return s;
    }
    void TearDown() override {
        for (st_body* b : bodies) body_delete(b);
        shape_list_release(list);
        world_test::TearDown();
    }
    st_body* body(st_shape* s, uint32_t kind = kind_body) {
        bodies.push_back(body_create(kind, objects->actors.collision.defaults, s, nullptr, false));
        return bodies.back();
    }
    shape_list list;
    std::vector<st_body*> bodies;
};

using CollisionBodies = geometry_test;

TEST_F(CollisionBodies, TheCondRuleOfEveryMatchingMode) {
    struct match_case {
        uint32_t attr, cond, type;
        bool match;
    };
    const match_case cases[] = {
        {0, 0, 0, true},
        {0, 0, 5, true},
        {0x1000, 0, 0, false},  // the other's id wanted: a type-0 body never matches
        {0x1000, 0, 5, true},
        {0, 6, 0, true},  // type 0 always matches
        {0, 6, 2, true},
        {0, 6, 1, false},
        {0x1000000, 6, 7, true},
        {0x1000000, 6, 2, false},
        {0x2000000, 6, 2, true},
        {0x2000000, 6, 6, false},
        {0x3000000, 6, 1, true},
        {0x3000000, 6, 2, false},
        {0x4000000, 6, 6, true},
        {0x4000000, 6, 7, false},
        {0x5000000, 6, 7, true},
        {0x5000000, 6, 6, false},
        {0x6000000, 5, 4, true},
        {0x6000000, 5, 1, true},
        {0x6000000, 5, 5, false},
        {0x6000000, 5, 6, false},
        {0x7000000, 5, 6, true},
        {0x7000000, 5, 5, false},
    };
    st_body* a = body(nullptr, kind_sensor);
    st_body* b = body(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.attr) + " " + std::to_string(c.cond) + " " + std::to_string(c.type));
        a->attr.attr = kind_sensor | c.attr;
        a->attr.cond = c.cond;
        b->attr.type = c.type;
        EXPECT_EQ(c.match, body_matches(a, b));
    }
    // Either body disabled: no match.
    a->attr.attr = kind_sensor;
    a->attr.cond = 0;
    b->flags = 0;
    EXPECT_FALSE(body_matches(a, b));
    b->flags = body_flag_enabled;
    body_release(a);
    EXPECT_FALSE(body_matches(a, b));
}

TEST_F(CollisionBodies, CreationSetsTheKindAndOwnerBits) {
    collision_manager& m = objects->actors.collision;
    st_body_attr attr = m.defaults;
    attr.attr = 0xC0000105;
    int owner = 0;
    st_body* s = m.add_sensor(&owner, attr, nullptr);
    st_body* r = m.add_reactor(nullptr, attr, nullptr);
    st_body* e = m.body_list_add(nullptr, attr, nullptr, kind_effect, false);
    EXPECT_EQ(0x48000105u, s->attr.attr);
    EXPECT_EQ(0xC0000105u, r->attr.attr);
    EXPECT_EQ(0x80000105u, e->attr.attr);
    EXPECT_EQ((collision_manager::body_list{s}), m.sensors);
    EXPECT_EQ((collision_manager::body_list{r}), m.reactors);
    EXPECT_EQ((collision_manager::body_list{e}), m.effects);
    EXPECT_EQ(uint8_t(body_flag_enabled), s->flags);
    EXPECT_EQ(100.0f, s->attr.mass);
    // Released bodies go at the disposal, the others stay.
    body_release(s);
    m.dispose();
    EXPECT_TRUE(m.sensors.empty());
    EXPECT_EQ(1u, m.reactors.size());
}

TEST_F(CollisionBodies, AttributeTablesPlainAndPacked) {
    collision_manager& m = objects->actors.collision;
    st_body_attr a = {};
    run("t = {id = 1, type = 2, cond = 3, attr = 0xC0000004, mass = 5, resist = 6, reflect = 0.5, frict = 8}");
    lua_getglobal(L, "t");
    ASSERT_TRUE(load_body_attribute(L, -1, a, false));
    EXPECT_EQ(1u, a.id);
    EXPECT_EQ(2u, a.type);
    EXPECT_EQ(3u, a.cond);
    EXPECT_EQ(0xC0000004u, a.attr);
    EXPECT_EQ(5.0f, a.mass);
    EXPECT_EQ(6.0f, a.resist);
    EXPECT_EQ(0.5f, a.reflect);
    EXPECT_EQ(8.0f, a.frict);
    lua_pop(L, 1);

    // Missing keys take the world's defaults, or keep the record's own.
    run("t = {id = 9}");
    lua_getglobal(L, "t");
    ASSERT_TRUE(load_body_attribute(L, -1, a, true));
    EXPECT_EQ(9u, a.id);
    EXPECT_EQ(2u, a.type);
    ASSERT_TRUE(load_body_attribute(L, -1, a, false));
    EXPECT_EQ(0u, a.type);
    EXPECT_EQ(100.0f, a.mass);
    EXPECT_EQ(1.0f, a.resist);
    lua_pop(L, 1);

    m.attr_format = true;
    run("t = {id = 3, type = 0x12340005, cond = 99, attr = 99}");
    lua_getglobal(L, "t");
    ASSERT_TRUE(load_body_attribute(L, -1, a, false));
    EXPECT_EQ(3u, a.type);
    EXPECT_EQ(5u, a.cond);
    EXPECT_EQ(0x12340000u, a.attr);
    EXPECT_EQ(0u, a.id);
    lua_pop(L, 1);
    m.attr_format = false;

    const char* keys[] = {"id", "type", "cond", "attr", "mass", "resist", "reflect", "frict"};
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        log.lines.clear();
        run((std::string("t = {") + key + " = 'a'}").c_str());
        lua_getglobal(L, "t");
        EXPECT_FALSE(load_body_attribute(L, -1, a, false));
        EXPECT_EQ((std::vector<std::string>{std::string("1 load body attribute: invalid body.") + key}), log.lines);
        EXPECT_EQ(1, lua_gettop(L));
        lua_pop(L, 1);
    }
}

TEST_F(CollisionBodies, TransformsAlwaysStartFromTheBaseShape) {
    st_shape* base = shape("{1, {0, 0}, {10, 0}, {10, 4}}");
    st_body* b = body(base);
    body_set_transform(b, 90.0f, 1, false);
    ASSERT_EQ(base, b->base);
    ASSERT_NE(base, b->shape);
    // What a flip of the base's rotated copy gives.
    st_shape* expected = shape_rotate_copy(base, 90.0f);
    shape_flip(expected, 1);
    ASSERT_EQ(expected->edges.size(), b->shape->edges.size());
    for (size_t i = 0; i < expected->edges.size(); ++i) {
        EXPECT_NEAR(expected->edges[i].sx, b->shape->edges[i].sx, 1e-4f);
        EXPECT_NEAR(expected->edges[i].sy, b->shape->edges[i].sy, 1e-4f);
    }
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(expected->bounds[i], b->shape->bounds[i], 1e-4f);
    shape_list_free(expected);

    // The same angle again allocates nothing.
    const uint32_t live = shape_live_count();
    body_set_angle(b, 90.0f);
    body_set_transform(b, 90.0f, 1, false);
    EXPECT_EQ(live, shape_live_count());

    // A new angle keeps the flip.
    body_set_angle(b, 180.0f);
    EXPECT_EQ(1u, b->flip);
    EXPECT_NEAR(0.0f, b->shape->bounds[0], 1e-4f);
    EXPECT_NEAR(10.0f, b->shape->bounds[2], 1e-4f);
    EXPECT_NEAR(-4.0f, b->shape->bounds[1], 1e-4f);

    // Back to no transform: an untransformed copy of the base.
    body_set_transform(b, 0.0f, 0, false);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(base->bounds[i], b->shape->bounds[i]);

    // A new shape replaces an untransformed copy of the old one.
    st_shape* plain = shape("{0, 0, 0, 1, 1}");
    body_set_shape(b, plain);
    EXPECT_EQ(plain, b->shape);
    EXPECT_EQ(nullptr, b->base);

    // A new shape takes the stored transform afresh; none leaves no copy.
    body_set_transform(b, 90.0f, 0, false);
    st_shape* other = shape("{0, 0, 0, 2, 1}");
    body_set_shape(b, other);
    EXPECT_EQ(other, b->base);
    EXPECT_NEAR(-1.0f, b->shape->bounds[0], 1e-4f);
    EXPECT_NEAR(2.0f, b->shape->bounds[3], 1e-4f);
    const uint32_t before = shape_live_count();
    body_set_shape(b, nullptr);
    EXPECT_EQ(nullptr, b->shape);
    EXPECT_EQ(nullptr, b->base);
    EXPECT_EQ(before - 1, shape_live_count());
}

// ---- overlap ----

using CollisionOverlap = geometry_test;

struct overlap_case {
    const char* a;
    float pa[2];
    const char* b;
    float pb[2];
    bool overlap;
};

TEST_F(CollisionOverlap, PairsOfPlacedShapes) {
    const char* box = "{0, 0, 0, 10, 10}";
    const char* tri = "{1, {0, 0}, {10, 0}, {10, 10}}";
    const char* joint = "{4, {0, 0, 0, 2, 2}, {2, 10, 0, 1}}";
    const overlap_case cases[] = {
        {box, {0, 0}, box, {10, 0}, true},  // a shared edge counts
        {box, {0, 0}, box, {10.01f, 0}, false},
        {box, {0, 0}, box, {3, 3}, true},
        {tri, {0, 0}, "{0, -1, -1, 1, 1}", {5, 0}, true},  // edges cross
        {tri, {0, 0}, "{0, -1, -1, 1, 1}", {1, 8}, false},  // inside the bounds only
        {tri, {0, 0}, "{0, -1, -1, 1, 1}", {7, 2}, true},  // wholly inside
        {"{0, -1, -1, 1, 1}", {7, 2}, tri, {0, 0}, true},
        {tri, {0, 0}, "{2, 0, 0, 1}", {5, -1}, true},  // touching an edge
        {tri, {0, 0}, "{2, 0, 0, 1}", {5, -1.01f}, false},
        {tri, {0, 0}, "{2, 0, 0, 5}", {-3, -4}, true},  // a corner within the radius
        {tri, {0, 0}, "{2, 0, 0, 5}", {-3.1f, -4}, false},
        {"{2, 0, 0, 1}", {5, -1}, tri, {0, 0}, true},
        {"{2, 0, 0, 2}", {5, 5}, box, {0, 0}, true},  // centre inside
        {"{2, 0, 0, 5}", {0, 0}, "{2, 0, 0, 3}", {8, 0}, true},
        {"{2, 0, 0, 5}", {0, 0}, "{2, 0, 0, 3}", {8.01f, 0}, false},
        // A repeated corner makes an edge of no length, which has no line.
        {"{1, {0, 0}, {0, 0}, {10, 0}, {10, 10}}", {0, 0}, "{2, 0, 0, 1}", {2, 8}, false},
        {joint, {0, 0}, "{0, -0.5, -0.5, 0.5, 0.5}", {10, 0}, true},
        {joint, {0, 0}, "{0, -0.5, -0.5, 0.5, 0.5}", {5, 0}, false},
        {"{0, -0.5, -0.5, 0.5, 0.5}", {1, 1}, joint, {0, 0}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b + " at " + std::to_string(c.pb[0]) + "," +
                     std::to_string(c.pb[1]));
        st_shape* a = shape(c.a);
        st_shape* b = shape(c.b);
        EXPECT_EQ(c.overlap, shape_overlap(a, c.pa, b, c.pb));
    }
}

TEST_F(CollisionOverlap, SegmentListsAndPointsOnEdges) {
    st_shape* box = shape("{0, 0, 0, 10, 10}");
    st_shape* segments = shape_alloc();
    segments->type = shape_segments;
    shape_add_segment(segments, 0, 0, 10, 10);
    shape_update_bounds(segments);
    const float at[2] = {0, 0};
    EXPECT_FALSE(shape_overlap(segments, at, box, at));
    EXPECT_FALSE(shape_overlap(box, at, segments, at));
    shape_list_free(segments);

    st_shape* tri = shape("{1, {0, 0}, {10, 0}, {10, 10}}");
    EXPECT_FALSE(point_in_polygon(tri, at, 5, 0));
    EXPECT_FALSE(point_in_polygon(tri, at, 10, 10));
    EXPECT_TRUE(point_in_polygon(tri, at, 9, 1));
    st_shape* empty = shape("{1}");
    EXPECT_TRUE(point_in_polygon(empty, at, 123, -4));
}

TEST_F(CollisionOverlap, EachTestCountsItsWork) {
    st_shape* box = shape("{0, 0, 0, 10, 10}");
    st_shape* tri = shape("{1, {0, 0}, {10, 0}, {10, 10}}");
    st_shape* circle = shape("{2, 0, 0, 1}");
    st_shape* joint = shape("{4, {0, 0, 0, 2, 2}, {0, 8, 0, 9, 1}}");
    uint32_t before[collision_counter_count];
    for (uint32_t i = 0; i < collision_counter_count; ++i) before[i] = *collision_counters[i];
    const float at[2] = {0, 0}, away[2] = {100, 0};
    shape_overlap(box, at, box, at);
    shape_overlap(tri, at, box, away);  // stops at the bounds
    shape_overlap(tri, at, circle, at);
    shape_overlap(circle, at, circle, at);
    shape_overlap(joint, at, box, at);  // box pairs of a joint: plain bounds
    const uint32_t expected[collision_counter_count] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1};
    for (uint32_t i = 0; i < collision_counter_count; ++i) {
        EXPECT_EQ(expected[i], *collision_counters[i] - before[i]) << i;
    }
}

// ---- sweeps ----

using CollisionSweep = geometry_test;

struct sweep_case {
    const char* name;
    const char* a;
    float pa[2];
    float d[2];
    const char* b;
    float pb[2];
    bool hit;
    float time;
    float normal[2];
};

TEST_F(CollisionSweep, FirstContactTimesAndNormals) {
    const char* box = "{0, -5, -5, 5, 5}";
    const char* floor = "{0, -50, -5, 50, 5}";
    const char* wall = "{0, -5, -50, 5, 50}";
    const char* ball = "{2, 0, 0, 5}";
    const sweep_case cases[] = {
        // A gap of 10: the touch less the 0.5 margin, as a fraction of d.
        {"box onto floor", box, {0, 0}, {0, 10}, floor, {0, 20}, true, 0.95f, {0, -1}},
        {"box onto floor, long move", box, {0, 0}, {0, 20}, floor, {0, 20}, true, 0.475f, {0, -1}},
        {"box away from floor", box, {0, 0}, {0, -10}, floor, {0, 20}, false, 0, {0, 0}},
        {"box short of floor", box, {0, 0}, {0, 5}, floor, {0, 20}, false, 0, {0, 0}},
        {"box beside floor", box, {200, 0}, {0, 20}, floor, {0, 20}, false, 0, {0, 0}},
        {"box into wall", box, {0, 0}, {10, 0}, wall, {20, 0}, true, 0.95f, {-1, 0}},
        {"box into wall, slanted", box, {0, 0}, {10, 10}, wall, {20, 0}, true, 1.0f - 0.5f / std::sqrt(200.0f),
         {-1, 0}},
        {"box up into ceiling", box, {0, 0}, {0, -10}, floor, {0, -20}, true, 0.95f, {0, 1}},
        // Already within the margin: a negative time.
        {"box within the margin", box, {0, 9.8f}, {0, 10}, floor, {0, 20}, true, -0.03f, {0, -1}},
        {"ball onto floor", ball, {0, 0}, {0, 20}, floor, {0, 20}, true, 0.45f, {0, -1}},
        {"box onto ball", box, {0, 0}, {0, 20}, ball, {0, 30}, true, 0.95f, {0, -1}},
        {"ball onto ball", ball, {0, 0}, {0, 20}, ball, {0, 30}, true, 0.95f, {0, -1}},
        {"ball past ball", ball, {0, 0}, {0, 20}, ball, {11, 30}, false, 0, {0, 0}},
        {"joint onto floor", "{4, {0, -5, -5, 5, 5}}", {0, 0}, {0, 10}, floor, {0, 20}, true, 0.95f, {0, -1}},
        {"box onto joint", box, {0, 0}, {0, 10}, "{4, {0, -50, -5, 50, 5}}", {0, 20}, true, 0.95f, {0, -1}},
        {"ball onto a floor corner", ball, {0, 0}, {0, 20}, "{0, 0, 0, 10, 10}", {3, 15}, true, 0.45f,
         {-1 / std::sqrt(5.0f), -2 / std::sqrt(5.0f)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        st_shape* a = shape(c.a);
        st_shape* b = shape(c.b);
        st_contact contact;
        EXPECT_EQ(c.hit, shape_sweep(a, c.pa, c.d, b, c.pb, contact));
        if (!c.hit) continue;
        EXPECT_NEAR(c.time, contact.time, 1e-5f);
        EXPECT_NEAR(c.normal[0], contact.normal.ux, 1e-5f);
        EXPECT_NEAR(c.normal[1], contact.normal.uy, 1e-5f);
    }
}

TEST_F(CollisionSweep, VertexSweepsAgainstOneEdge) {
    float t = 0;
    // Parallel: no hit.
    EXPECT_FALSE(edge_sweep(0, 0, 10, 0, 0, 5, 10, 0, t));
    // Beside the edge's ends: no hit.
    EXPECT_FALSE(edge_sweep(20, 0, 0, 10, 0, 5, 10, 0, t));
    ASSERT_TRUE(edge_sweep(5, 0, 0, 10, 0, 5, 10, 0, t));
    EXPECT_NEAR(0.45f, t, 1e-6f);
    // Reached only with the margin; the time is held below 1.
    ASSERT_TRUE(edge_sweep(5, 0, 0, 4.9f, 0, 5, 10, 0, t));
    EXPECT_NEAR(1.0f - 0.5f / 4.9f, t, 1e-6f);
    EXPECT_FALSE(edge_sweep(5, 0, 0, 4, 0, 5, 10, 0, t));
}
}  // namespace

namespace {
std::vector<std::string> pool_lines;
void capture_pool(const char* text) { pool_lines.push_back(text); }

TEST_F(CollisionBodies, DisposalRefusesACopyAlreadyInThePool) {
    collision_manager& m = objects->actors.collision;
    st_shape* base = shape("{0, 0, 0, 4, 2}");
    st_body* b = m.add_body(nullptr, m.defaults, base);
    body_set_angle(b, 90.0f);
    st_shape* copy = b->shape;
    st_shape* slot = copy;
    shape_list_free(slot);  // a fault elsewhere gave it back early
    const uint32_t pooled = shape_pool_size();
    set_shape_debug_sink(capture_pool);
    pool_lines.clear();
    body_release(b);
    m.dispose();
    set_shape_debug_sink(nullptr);
    char expected[80];
    std::snprintf(expected, sizeof expected, "dispose_objects: check_alloc error: %p\n", static_cast<void*>(copy));
    EXPECT_EQ((std::vector<std::string>{expected}), pool_lines);
    EXPECT_EQ(pooled, shape_pool_size());
    EXPECT_TRUE(m.bodies.empty());
}

TEST_F(CollisionBodies, TheTwelveCountersAreMadeOnceForTheStatistics) {
    statistics stats;
    collision_counters_init();
    collision_counters_init();
    ASSERT_EQ(12u, stats.objects().size());
    const char* first = static_cast<statistics::counter*>(stats.objects()[0])->name;
    const char* last = static_cast<statistics::counter*>(stats.objects()[11])->name;
    EXPECT_STREQ("collision body test counter", first);
    EXPECT_STREQ("collision polygon-to-circle collide counter", last);
    const float at[2] = {0, 0};
    st_shape* a = shape("{2, 0, 0, 1}");
    shape_overlap(a, at, a, at);
    EXPECT_EQ(1u, static_cast<statistics::counter*>(stats.objects()[count_circle_circle])->current);
    collision_counters_detach();
}
}  // namespace
