// The field view: camera, parallax and the world-to-view conversion with
// its sorting depth, on a 160 x 120 view.
#include <cmath>

#include "field_fixture.h"
#include "world/actor_rect.h"
#include "world/collision_view.h"

namespace {
struct conversion_case {
    const char* call;  // Lua call answering x, y and a third number
    double x, y, z;
};

// Three layers (320 x 240, 480 x 240, 100 x 100), max zorder 16, y
// coefficient 1. Derived: end slot 19, y span 1 * (120 + 2 * 1024) = 2168
// = position weight, slot weight 17 * 2168 = 36856, normaliser
// 20 * 36857 = 737140. The view at (160, 120, 0) with clamping puts the
// layers' offsets at (80, 60), (160, 60) and (-30, -10).
const char* layered_field = R"(
fields.create{ name = "deep", cell = "tiles", size = {320, 240}, zorder = { z = 16, x = 0, y = 1 },
  {}, { size = {480, 240} }, { size = {100, 100} } }
fields.set("deep")
fields.view(160, 120, 0)
)";
constexpr double n = 737140.0;
}  // namespace

TEST_F(field_test, PositionsConvertToViewWithDepth) {
    run(cell_set_chunk());
    run(layered_field);
    const conversion_case cases[] = {
        {"fields.position_to_view(100, 100, 0)", 20, 40, (36856.0 * 18 + 1104 + 8 * 2168) / n},
        {"fields.position_to_view(100, 100, 1)", -60, 40, (36856.0 * 17 + 1104 + 8 * 2168) / n},
        {"fields.position_to_view(100, 100, 2.7)", 130, 110, (36856.0 * 16 + 1034 + 8 * 2168) / n},
        // Beyond the last layer converts as the last layer.
        {"fields.position_to_view(100, 100, 9)", 130, 110, (36856.0 * 16 + 1034 + 8 * 2168) / n},
        // Layer -1 is fixed to the screen and sorts in slot 15.
        {"fields.position_to_view(100, 100, -1)", 100, 100, (36856.0 * 15 + 1044 + 8 * 2168) / n},
        // Only its last three arguments count.
        {"fields.position_to_view('x', {}, 100, 100, 0)", 20, 40, (36856.0 * 18 + 1104 + 8 * 2168) / n},
        {"fields.view_to_position(20, 40, 0)", 100, 100, 0},
        {"fields.view_to_position(20, 40, 1)", 180, 100, 1},
        {"fields.view_to_position(20, 40, 3)", 20, 40, 3},
        {"fields.view_to_position(20, 40, -1)", 20, 40, -1},
        {"fields.position_to_position(100, 100, 0, 1)", 180, 100, 1},
        {"fields.view()", 160, 120, 0},
    };
    for (const conversion_case& c : cases) {
        std::string chunk = std::string("a, b, c = ") + c.call;
        run(chunk.c_str());
        EXPECT_NEAR(c.x, number("a"), 1e-3) << c.call;
        EXPECT_NEAR(c.y, number("b"), 1e-3) << c.call;
        EXPECT_NEAR(c.z, number("c"), 1e-6) << c.call;
    }
}

TEST_F(field_test, ZordersShiftSlotsOrPickAbsoluteOnes) {
    run(cell_set_chunk());
    run(layered_field);
    struct zorder_case {
        int32_t zorder;
        double depth;
    };
    // Position (100, 100) on layer 0: view (20, 40), fy 1104, slot 18.
    const zorder_case cases[] = {
        {0, (36856.0 * 18 + 1104 + 8 * 2168) / n},
        {3, (36856.0 * 18 + 1104 + 5 * 2168) / n},          // sub-level 3
        {20, (36856.0 * 17 + 1104 + 4 * 2168) / n},         // one slot nearer, sub-level 4
        {-20, (36856.0 * 19 + 1104 + 12 * 2168) / n},       // one slot farther, sub-level -4
        {-400, (36856.0 * 19 + 1104 + (16 - 8) * 2168) / n},  // limited to the end slot
        {4096, (0 + 1104 + 8 * 2168) / n},                  // absolute slot 0
        {8192 + 2, (36856.0 + 1104 + 6 * 2168) / n},        // absolute slot 1, sub-level 2
    };
    // -400: shift -25, sub-level -0 (400 is 25 x 16).
    for (const zorder_case& c : cases) {
        const float p[3] = {100, 100, 0};
        float v[3];
        field::position_to_view(c.zorder, p, v);
        EXPECT_FLOAT_EQ(20.0f, v[0]) << c.zorder;
        EXPECT_NEAR(c.depth, v[2], 1e-6) << c.zorder;
    }
    // A nearer slot sorts in front: smaller depth.
    const float p[3] = {100, 100, 0};
    float front[3], back[3];
    field::position_to_view(16, p, front);
    field::position_to_view(0, p, back);
    EXPECT_LT(front[2], back[2]);
}

TEST_F(field_test, TheCameraClampsAndScrollsLayersInParallax) {
    run(cell_set_chunk());
    run(layered_field);
    struct view_case {
        const char* call;
        float point[3];
        float offsets[3][2];
    };
    const view_case cases[] = {
        // Pushed inside the reference layer; layers scroll by their share.
        {"fields.view(10, 10)", {80, 60, 0}, {{0, 0}, {0, 0}, {0, 0}}},
        {"fields.view(1000, 1000, 1)", {400, 180, 1}, {{160, 120}, {320, 120}, {-60, -20}}},
        {"fields.view(160, 120, 0)", {160, 120, 0}, {{80, 60}, {160, 60}, {-30, -10}}},
        // A reference layer no wider than the view scrolls with factor 1.
        {"fields.view(50, 50, 2)", {80, 60, 2}, {{160, 120}, {320, 120}, {-60, -20}}},
        // Free: no clamping, every layer at the same offset.
        {"fields.view(300, 10, 0, true)", {300, 10, 0}, {{220, -50}, {220, -50}, {220, -50}}},
        // z kept when absent.
        {"fields.view(5, 6, nil, true)", {5, 6, 0}, {{-75, -54}, {-75, -54}, {-75, -54}}},
    };
    for (const view_case& c : cases) {
        run(c.call);
        const field_view_state& v = fields->view;
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.point[i], v.point[i]) << c.call;
        ASSERT_EQ(3u, v.offsets.size());
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(c.offsets[i][0], v.offsets[size_t(i)][0]) << c.call << " layer " << i;
            EXPECT_FLOAT_EQ(c.offsets[i][1], v.offsets[size_t(i)][1]) << c.call << " layer " << i;
        }
    }
    EXPECT_EQ(3, int(number("select('#', fields.view())")));
    EXPECT_EQ(0, int(number("select('#', fields.view(1, 2))")));
}

TEST_F(field_test, WithoutAFieldTheViewPointIsOnlySubtracted) {
    // No field: margins 1024, one layer, max zorder 1024, no coefficients.
    EXPECT_EQ(17, fields->view.end_slot);
    run("fields.view(30, 40)");
    run("a, b, c = fields.position_to_view(100, 100, 0)");
    EXPECT_FLOAT_EQ(70.0f, float(number("a")));
    EXPECT_FLOAT_EQ(60.0f, float(number("b")));
    EXPECT_NEAR((1025.0 * 16 + 1016) / (18.0 * 1026), number("c"), 1e-6);
    run("a, b, c = fields.view_to_position(70, 60, 0)");
    EXPECT_FLOAT_EQ(70.0f, float(number("a")));
    EXPECT_FLOAT_EQ(60.0f, float(number("b")));
    // A negative x coefficient weighs positions from the left.
    run(cell_set_chunk());
    run("fields.create{ name = 'slant', cell = 'tiles', size = {320, 240}, zorder = { x = -1, y = 0 }, {} }");
    run("fields.set('slant')");
    // x span 1 * (160 + 2048) = 2208, max zorder 16 (the fallback), one
    // layer: slot weight 17 * 2208, normaliser 18 * (37536 + 1).
    const float p[3] = {10, 0, 0};
    float v[3];
    field::position_to_view(0, p, v);
    EXPECT_NEAR((37536.0 * 16 + 1034 + 8 * 2208) / (18.0 * 37537), v[2], 1e-6);
}

TEST_F(field_test, SpritesWidenTheMargin) {
    run(cell_set_chunk());
    run(layered_field);
    fields->widen_margin(1500, 20);
    EXPECT_EQ(1500, fields->view.margin_width);
    EXPECT_EQ(1024, fields->view.margin_height);
    // Selecting a field again keeps the sprites' reach.
    run("fields.set('deep')");
    EXPECT_EQ(1500, fields->view.margin_width);
    EXPECT_FLOAT_EQ(1.0f * (120 + 2 * 1024), fields->view.y_span);
}

TEST_F(field_test, BoundsTestsAndTheCollisionViewSeeTheField) {
    run(cell_set_chunk());
    run(layered_field);
    st_actor_class* cls = make_class("walker", 0, {});
    actor_object* a = create(cls);
    ASSERT_NE(nullptr, a);
    struct bounds_case {
        float x, y;
        uint32_t flags;
        bool out;
    };
    // The layer's own size (320 x 240), or the view (160 x 120) after the
    // layer's offset (80, 60) is taken off.
    const bounds_case cases[] = {
        {300, 100, 0, false},
        {330, 100, 0, true},
        {300, 100, actor_rect_view, true},
        {200, 100, actor_rect_view, false},
        {200, 190, actor_rect_view, true},
    };
    for (const bounds_case& c : cases) {
        a->set_position(c.x, c.y, 0);
        EXPECT_EQ(c.out, actor_out_of_bounds(a, c.flags, 0, 0)) << c.x << "," << c.y << " " << c.flags;
    }
    // Bodies are outlined where the field shows them.
    collision_view_hooks& hooks = collision_view();
    ASSERT_NE(nullptr, hooks.to_view);
    float v[3];
    EXPECT_TRUE(hooks.to_view(100, 100, 1, v));
    EXPECT_FLOAT_EQ(-60.0f, v[0]);
    EXPECT_FLOAT_EQ(40.0f, v[1]);
    EXPECT_NEAR((36856.0 * 17 + 1104 + 8 * 2168) / n, v[2], 1e-6);
    run("fields.view(1000, 1000, 1)");
    EXPECT_EQ(1, hooks.current_layer());
    // Without a field the screen bounds an actor.
    run("fields.set('')");
    a->set_position(150, 100, 0);
    EXPECT_FALSE(actor_out_of_bounds(a, 0, 0, 0));
    a->set_position(170, 100, 0);
    EXPECT_TRUE(actor_out_of_bounds(a, 0, 0, 0));
}
