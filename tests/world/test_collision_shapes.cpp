// Collision shapes: the table format, the pool, transforms and points.
#include <cmath>
#include <string>
#include <vector>

#include "world/collision_shape.h"
#include "world_fixture.h"

namespace {

const float centre[2] = {16, 8};
const int32_t frame_rect[4] = {0, 0, 32, 16};

std::vector<std::string> debug_lines;
void capture_debug(const char* text) { debug_lines.push_back(text); }

struct shape_case {
    const char* table;
    uint32_t type;
    float bounds[4];
    size_t edges;       // or sub-shapes of a joint
    const char* error;  // the first "load shape" line, or null
};

class shape_test : public world_test {
protected:
    st_shape* load(const char* table) {
        std::string chunk = std::string("return ") + table;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        st_shape* s = load_shape(L, centre, frame_rect, nullptr, false, &list);
        lua_pop(L, 1);
        return s;
    }
    std::vector<std::string> shape_errors() const {
        std::vector<std::string> out;
        for (const auto& line : log.lines) {
            if (line.compare(0, 14, "1 load shape: ") == 0) out.push_back(line.substr(14));
        }
        return out;
    }
    void TearDown() override {
        shape_list_release(list);
        world_test::TearDown();
    }
    shape_list list;
};

using ShapeTables = shape_test;

TEST_F(ShapeTables, EveryTypeLoadsOrNamesItsFirstBadElement) {
    const shape_case cases[] = {
        // Boxes take the frame around the hot spot for what they omit.
        {"{0}", shape_box, {-16, -8, 16, 8}, 4, nullptr},
        {"{0, -8, -4}", shape_box, {-8, -4, 16, 8}, 4, nullptr},
        {"{0, nil, nil, 3, 2}", shape_box, {-16, -8, 3, 2}, 4, nullptr},
        {"{0, -8}", 0, {}, 0, "no top"},
        {"{0, -8, -4, 3}", 0, {}, 0, "no bottom"},
        {"{0, 'a', 1}", 0, {}, 0, "invalid left"},
        {"{0, 1, 1, 'a', 1}", 0, {}, 0, "invalid right"},
        {"{1, {0, 0}, {10, 0}, {10, 10}}", shape_polygon, {0, 0, 10, 10}, 3, nullptr},
        {"{1, {-10, -10}, {-2, -10}, {-2, -3}, {-10, -3}}", shape_polygon, {-10, -10, -2, -3}, 4, nullptr},
        {"{1, {0, 0}, 5}", 0, {}, 0, "invalid point"},
        {"{1, {'a', 1}}", 0, {}, 0, "point.x"},
        {"{1, {0}}", 0, {}, 0, "point.y"},
        // A circle without radius takes the smaller side of the frame, whole.
        {"{2}", shape_circle, {-16, -16, 16, 16}, 0, nullptr},
        {"{2, 1, 2, 3}", shape_circle, {-2, -1, 4, 5}, 0, nullptr},
        {"{2, 1}", 0, {}, 0, "no center.y"},
        {"{2, 0, 0, 'r'}", 0, {}, 0, "invalid radius"},
        // Segment lists are kept as polygons.
        {"{3, {0, 0, 10, 0}, {10, 0, 10, 10}}", shape_polygon, {0, 0, 10, 10}, 2, nullptr},
        {"{3, {0, 0, 10}}", 0, {}, 0, "end_point.y"},
        {"{3, {0, 0, 10, 0}, 7}", 0, {}, 0, "invalid point"},
        {"{4, {0, -1, -1, 1, 1}, {2, 5, 0, 1}}", shape_joint, {-1, -1, 6, 1}, 2, nullptr},
        {"{4, {0}, {4}}", 0, {}, 0, "ShapeJoint is nest"},
        {"{4, 5}", 0, {}, 0, "invalid sub shape"},
        {"{4, {0}, {1, {0, 'y'}}}", 0, {}, 0, "point.y"},
        {"{5}", 0, {}, 0, "invalid shape type"},
        {"{1.5}", 0, {}, 0, "invalid shape type"},
        {"{}", 0, {}, 0, "no shape"},
        {"{'a'}", 0, {}, 0, "no shape"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        const uint32_t live = shape_live_count();
        const size_t listed = list.size();
        st_shape* s = load(c.table);
        EXPECT_EQ(0, lua_gettop(L));
        if (c.error) {
            EXPECT_EQ(nullptr, s);
            ASSERT_FALSE(shape_errors().empty());
            EXPECT_EQ(c.error, shape_errors()[0]);
            // Nothing is kept of a failed shape.
            EXPECT_EQ(live, shape_live_count());
            EXPECT_EQ(listed, list.size());
            continue;
        }
        ASSERT_NE(nullptr, s);
        EXPECT_TRUE(shape_errors().empty());
        EXPECT_EQ(s, list.back());
        EXPECT_EQ(c.type, s->type);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(c.bounds[i], s->bounds[i]) << i;
        size_t parts = s->edges.size();
        if (s->type == shape_joint) {
            parts = 0;
            for (st_shape* sub = s->next; sub; sub = sub->next) ++parts;
        }
        EXPECT_EQ(c.edges, parts);
    }
    // A nested joint names itself and then the joint it broke.
    log.lines.clear();
    load("{4, {4}}");
    EXPECT_EQ((std::vector<std::string>{"ShapeJoint is nest", "fail to load sub shape"}), shape_errors());
}

TEST_F(ShapeTables, EdgesCarryTheirCornerFlags) {
    st_shape* poly = load("{1, {0, 0}, {10, 0}, {10, 10}}");
    ASSERT_NE(nullptr, poly);
    for (const st_edge& e : poly->edges) EXPECT_EQ(3u, e.flags);
    EXPECT_FLOAT_EQ(10.0f * std::sqrt(2.0f), poly->edges[2].length);
    EXPECT_FLOAT_EQ(-std::sqrt(0.5f), poly->edges[2].ux);

    // Segments share a corner only where one's end is the other's start.
    st_shape* seg = load("{3, {0, 0, 10, 0}, {10, 0, 10, 10}, {20, 20, 30, 20}}");
    ASSERT_NE(nullptr, seg);
    ASSERT_EQ(3u, seg->edges.size());
    EXPECT_EQ(uint32_t(edge_end_corner), seg->edges[0].flags);
    EXPECT_EQ(uint32_t(edge_start_corner), seg->edges[1].flags);
    EXPECT_EQ(0u, seg->edges[2].flags);

    // Box edges run clockwise on screen from the top-left corner.
    st_shape* box = load("{0, -2, -1, 2, 1}");
    ASSERT_NE(nullptr, box);
    const float starts[4][2] = {{-2, -1}, {2, -1}, {2, 1}, {-2, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(starts[i][0], box->edges[size_t(i)].sx);
        EXPECT_EQ(starts[i][1], box->edges[size_t(i)].sy);
        EXPECT_EQ(3u, box->edges[size_t(i)].flags);
    }
}

TEST_F(ShapeTables, BoundingCirclesEncloseTheShape) {
    const char* tables[] = {
        "{0, -10, -5, 10, 5}",
        "{1, {0, 0}, {10, 0}, {0, 1}}",
        "{1, {0, 0}, {40, 0}, {40, 1}, {0, 1}}",
        "{3, {0, 0, 10, 0}}",
        "{1, {-10, -10}, {-2, -10}, {-2, -3}, {-10, -3}}",
    };
    for (const char* t : tables) {
        SCOPED_TRACE(t);
        st_shape* s = load(t);
        ASSERT_NE(nullptr, s);
        for (const st_edge& e : s->edges) {
            EXPECT_LE(std::hypot(e.sx - s->circle[0], e.sy - s->circle[1]), s->circle[2] + 1e-4f);
        }
    }
    st_shape* seg = load("{3, {0, 0, 10, 0}}");
    EXPECT_FLOAT_EQ(5.0f, seg->circle[0]);
    EXPECT_FLOAT_EQ(5.0f, seg->circle[2]);
}

using ShapePool = shape_test;

TEST_F(ShapePool, RecordsAreRecycledAndADoubleFreeIsRefused) {
    set_shape_debug_sink(capture_debug);
    debug_lines.clear();
    shape_pool_free_all();
    st_shape* a = shape_alloc();
    st_shape* b = shape_alloc();
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    a->type = shape_joint;
    a->next = b;
    st_shape* slot = a;
    st_shape* again = a;
    shape_list_free(slot);
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(2u, shape_pool_size());

    shape_list_free(again);
    ASSERT_EQ(1u, debug_lines.size());
    char expected[64];
    std::snprintf(expected, sizeof expected, "free: double free: %p\n", static_cast<void*>(a));
    EXPECT_EQ(expected, debug_lines[0]);
    EXPECT_EQ(2u, shape_pool_size());

    // Last in, first out; a reused record is a fresh "no shape".
    st_shape* c = shape_alloc();
    EXPECT_EQ(b, c);
    EXPECT_EQ(uint32_t(shape_none), c->type);
    EXPECT_EQ(nullptr, c->next);
    EXPECT_TRUE(c->edges.empty());
    st_shape* d = shape_alloc();
    EXPECT_EQ(a, d);
    EXPECT_EQ(0u, shape_pool_size());
    // A reused record can be freed again without a complaint.
    shape_list_free(c);
    shape_list_free(d);
    EXPECT_EQ(1u, debug_lines.size());
    shape_pool_free_all();
    EXPECT_EQ(0u, shape_pool_size());
    set_shape_debug_sink(nullptr);
}

TEST_F(ShapePool, ListsAddRemoveAndReset) {
    shape_list own;
    st_shape* a = shape_list_add(own);
    st_shape* b = shape_list_add(own);
    ASSERT_EQ(2u, own.size());
    a->type = shape_box;
    shape_list_remove(own, a, false);
    EXPECT_EQ(uint32_t(shape_none), a->type);
    EXPECT_EQ(2u, own.size());
    const uint32_t live = shape_live_count();
    shape_list_remove(own, b, true);
    EXPECT_EQ(1u, own.size());
    EXPECT_EQ(live - 1, shape_live_count());
    shape_list_release(own);
    EXPECT_TRUE(own.empty());
}

using ShapeTransforms = shape_test;

void expect_bounds(const st_shape* s, float l, float t, float r, float b) {
    EXPECT_NEAR(l, s->bounds[0], 1e-4f);
    EXPECT_NEAR(t, s->bounds[1], 1e-4f);
    EXPECT_NEAR(r, s->bounds[2], 1e-4f);
    EXPECT_NEAR(b, s->bounds[3], 1e-4f);
}

TEST_F(ShapeTransforms, RotationTurnsBoxesIntoPolygons) {
    st_shape* box = load("{0, -10, -5, 10, 5}");
    st_shape* turned = shape_rotate_copy(box, 90.0f);
    ASSERT_NE(nullptr, turned);
    EXPECT_EQ(uint32_t(shape_polygon), turned->type);
    expect_bounds(turned, -5, -10, 5, 10);
    // Clockwise winding survives: the inside is still inside.
    EXPECT_TRUE(shape_contains_point(turned, 0, 0, 4, 9));
    EXPECT_FALSE(shape_contains_point(turned, 0, 0, 9, 4));
    EXPECT_EQ(uint32_t(shape_box), box->type);
    shape_list_free(turned);

    st_shape* off = load("{2, 10, 0, 3}");
    st_shape* moved = shape_rotate_copy(off, 90.0f);
    EXPECT_NEAR(0.0f, moved->circle[0], 1e-4f);
    EXPECT_NEAR(10.0f, moved->circle[1], 1e-4f);
    expect_bounds(moved, -3, 7, 3, 13);
    shape_list_free(moved);

    st_shape* joint = load("{4, {0, 0, 0, 4, 2}, {2, 10, 0, 1}}");
    st_shape* jt = shape_rotate_copy(joint, 90.0f);
    ASSERT_NE(nullptr, jt->next);
    EXPECT_EQ(uint32_t(shape_polygon), jt->next->type);
    expect_bounds(jt->next, -2, 0, 0, 4);
    expect_bounds(jt, -2, 0, 1, 11);
    shape_list_free(jt);
}

TEST_F(ShapeTransforms, FlipsMirrorAndKeepTheWinding) {
    struct flip_case {
        uint32_t mode;
        float inside[2];
        float outside[2];
        float bounds[4];
    };
    const flip_case cases[] = {
        {1, {-8, 2}, {8, 2}, {-10, 0, 0, 10}},
        {2, {8, -2}, {8, 2}, {0, -10, 10, 0}},
        {3, {-8, -2}, {8, 2}, {-10, -10, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        st_shape* s = load("{1, {0, 0}, {10, 0}, {10, 10}}");
        ASSERT_TRUE(shape_contains_point(s, 0, 0, 8, 2));
        shape_flip(s, c.mode);
        EXPECT_TRUE(shape_contains_point(s, 0, 0, c.inside[0], c.inside[1]));
        EXPECT_FALSE(shape_contains_point(s, 0, 0, c.outside[0], c.outside[1]));
        expect_bounds(s, c.bounds[0], c.bounds[1], c.bounds[2], c.bounds[3]);
        for (const st_edge& e : s->edges) EXPECT_EQ(3u, e.flags);
    }
    // Segment corners swap ends with the edges they belong to.
    st_shape* seg = load("{3, {0, 0, 10, 0}, {10, 0, 10, 10}}");
    shape_flip(seg, 1);
    EXPECT_EQ(uint32_t(edge_start_corner), seg->edges[0].flags);
    EXPECT_EQ(uint32_t(edge_end_corner), seg->edges[1].flags);

    st_shape* joint = load("{4, {0, 1, 1, 4, 2}, {2, 10, 0, 1}}");
    shape_flip(joint, 1);
    expect_bounds(joint->next, -4, 1, -1, 2);
    EXPECT_FLOAT_EQ(-10.0f, joint->next->next->circle[0]);
    expect_bounds(joint, -11, -1, -1, 2);
}

TEST_F(ShapeTransforms, PointsInsideEachKindOfShape) {
    struct point_case {
        const char* table;
        float x, y;
        bool inside;
    };
    // The shapes are placed at (100, 50).
    const point_case cases[] = {
        {"{0, -10, -5, 10, 5}", 110, 55, true},  // corners count
        {"{0, -10, -5, 10, 5}", 110.01f, 55, false},
        {"{1, {0, 0}, {10, 0}, {10, 10}}", 108, 52, true},
        {"{1, {0, 0}, {10, 0}, {10, 10}}", 105, 50, false},  // on an edge: outside
        {"{2, 0, 0, 5}", 103, 54, true},                      // exactly on the circle
        {"{2, 0, 0, 5}", 104, 54, false},
        {"{4, {0, 0, 0, 1, 1}, {2, 20, 0, 2}}", 121, 50, true},
        {"{4, {0, 0, 0, 1, 1}, {2, 20, 0, 2}}", 110, 50, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + std::to_string(c.x));
        st_shape* s = load(c.table);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(c.inside, shape_contains_point(s, 100, 50, c.x, c.y));
    }
    st_shape* segments = shape_alloc();
    segments->type = shape_segments;
    EXPECT_FALSE(shape_contains_point(segments, 0, 0, 0, 0));
    shape_list_free(segments);
}
}  // namespace
