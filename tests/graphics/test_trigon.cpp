// Trigonometry tables, the single-precision helpers and line strips.
#include <cmath>
#include <limits>

#include "device_fixture.h"
#include "graphics/line.h"
#include "graphics/trigon.h"

namespace {

TEST(trigon_test, TablesAgreeWithTheLibraryWithinOneStep) {
    const fast_trigon& t = fast_trigon::instance();
    const double step = 0.01 * 3.14159265358979323846 / 180.0;
    const float angles[] = {0.0f, 0.004f, 1.0f, 30.0f, 45.0f, 89.99f, 90.0f, 123.456f,
                            180.0f, 270.0f, 359.99f, -45.0f, -720.5f, 1000.25f};
    for (float a : angles) {
        SCOPED_TRACE(a);
        int32_t i = angle_to_trigon_index(a);
        ASSERT_GE(i, 0);
        ASSERT_LT(i, fast_trigon::steps);
        double r = double(a) * 3.14159265358979323846 / 180.0;
        EXPECT_NEAR(t.cos_table[i], std::cos(r), step + 1e-6);
        EXPECT_NEAR(t.sin_table[i], std::sin(r), step + 1e-6);
    }
}

TEST(trigon_test, IndexEdgesAndBadAngles) {
    struct index_case {
        float degrees;
        int32_t index;
    } cases[] = {
        {-90.0f, 27000}, {360.0f, 0}, {359.999f, 35999}, {0.004f, 0}, {720.0f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), 0},
        {-std::numeric_limits<float>::infinity(), 0},
    };
    for (auto& c : cases) EXPECT_EQ(angle_to_trigon_index(c.degrees), c.index) << c.degrees;
}

TEST(trigon_test, RotationAndTriangleSides) {
    trigon_vector v = rotate_vector({1.0f, 0.0f}, 90.0f);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 1.0f);
    v = rotate_vector({2.0f, 1.0f}, 180.0f);
    EXPECT_EQ(v.x, -2.0f);
    EXPECT_EQ(v.y, -1.0f);
    EXPECT_FLOAT_EQ(hypot2(3.0f, -4.0f), 5.0f);
    EXPECT_EQ(hypot2(0.0f, -2.0f), 2.0f);
    EXPECT_FLOAT_EQ(leg2(5.0f, 3.0f), 4.0f);
    EXPECT_EQ(leg2(5.0f, 0.0f), 5.0f);
    EXPECT_EQ(leg2_or_zero(3.0f, 5.0f), 0.0f);
    EXPECT_FLOAT_EQ(leg2_or_zero(5.0f, 4.0f), 3.0f);
    EXPECT_FLOAT_EQ(sqrt_f(2.25f), 1.5f);
}

class line_test : public device_test {};

TEST_F(line_test, StripIsSeenInPixelsAndOnePointDrawsNothing) {
    graphic_line* line = new graphic_line(&g());
    g().add_object(line);
    IDirect3DDevice9* d = g().device();
    ASSERT_TRUE(SUCCEEDED(d->BeginScene()));
    ASSERT_TRUE(g().back_buffer()->set_target());
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    graphic_line::vertex* v = line->set_points(3, 0.0f, 0xFFFFFF00);
    EXPECT_EQ(line->primitive_count(), 2);
    v[0].x = 10.0f; v[0].y = 20.0f;
    v[1].x = 100.0f; v[1].y = 20.0f;
    v[2].x = 100.0f; v[2].y = 90.0f;
    d->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    ASSERT_TRUE(line->begin());
    EXPECT_TRUE(line->draw());
    line->set_points(1, 0.0f, 0xFFFF00FF);
    EXPECT_EQ(line->primitive_count(), 0);
    EXPECT_TRUE(line->draw());
    EXPECT_TRUE(line->end());
    d->EndScene();

    DWORD fvf = 0;
    d->GetFVF(&fvf);
    EXPECT_EQ(fvf, DWORD(D3DFVF_XYZ | D3DFVF_TEX1));  // put back by end
    pixels p = read_target(g(), g().back_buffer());
    // Rasterisation may put a line on either side of a pixel edge.
    auto lit = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (p.at(x + dx, y + dy) == 0xFFFFFF00u) return true;
        return false;
    };
    EXPECT_TRUE(lit(50, 20));
    EXPECT_TRUE(lit(100, 60));
    EXPECT_EQ(p.at(50, 60), 0xFF000000u);
    EXPECT_EQ(p.at(10, 90), 0xFF000000u);
}

}  // namespace
