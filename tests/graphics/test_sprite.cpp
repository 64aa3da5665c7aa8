// Sprite objects: bounds, pixel snapping, culling, textures by kind, and
// the batch's pooled quads.
#include <algorithm>

#include "device_fixture.h"

namespace {

class sprite_test : public device_test {};

TEST_F(sprite_test, BoundCoversTheRectangleAroundThePivot) {
    struct bound_case {
        RECT rect;
        float cx, cy, sx, sy;
        int32_t bound;
    } cases[] = {
        {{0, 0, 32, 32}, 16, 16, 1, 1, 33},
        {{0, 0, 32, 32}, -8, 0, 1, 1, 40 + 32 + 1},  // pivot outside: 40 to the far edge
        {{8, 8, 40, 24}, 0, 0, 1, 1, 32 + 16 + 1},
        {{0, 0, 32, 32}, 16, 16, 2.0f, -0.5f, 32 + 8 + 1},
    };
    for (auto& c : cases) {
        graphic_sprite_object s(&g());
        s.rect = c.rect;
        s.center = D3DXVECTOR3(c.cx, c.cy, 0);
        s.scale_x = c.sx;
        s.scale_y = c.sy;
        s.update_bound();
        EXPECT_EQ(s.bound, c.bound) << c.cx << "," << c.sx;
    }
}

TEST_F(sprite_test, TranslationAndPivotSnapToWholePixelsUnlessExact) {
    struct snap_case {
        bool exact;
        float x, y, ox, oy, cx, scale;
        float tx, ty, ccx;
    } cases[] = {
        {false, 100.4f, 50.6f, 0, 0, 8, 1, 100, 51, 8},
        {true, 100.4f, 50.6f, 0, 0, 8, 1, 100.4f, 50.6f, 8},
        {false, 10.2f, 10.7f, 40, 30, 8, 1, 50, 41, 8},
        {false, 0, 0, 0, 0, 10.3f, 2, 0, 0, 10.5f},
        {true, 0, 0, 0, 0, 10.3f, 2, 0, 0, 10.3f},
    };
    for (auto& c : cases) {
        graphic_sprite_object s(&g());
        s.set_flag(render_flag_exact_position, c.exact);
        s.position = D3DXVECTOR3(c.x, c.y, 0.25f);
        s.center = D3DXVECTOR3(c.cx, 0, 0);
        s.scale_x = s.scale_y = c.scale;
        D3DXMATRIX world;
        D3DXVECTOR3 center;
        sprite_object_transform(s, c.ox, c.oy, world, center);
        EXPECT_FLOAT_EQ(world._41, c.tx);
        EXPECT_FLOAT_EQ(world._42, c.ty);
        EXPECT_FLOAT_EQ(world._43, 0.25f);
        EXPECT_FLOAT_EQ(center.x, c.ccx);
    }
}

TEST_F(sprite_test, TurnedSpritesScaleThenRotateThenTranslate) {
    graphic_sprite_object s(&g());
    s.position = D3DXVECTOR3(10, 20, 0);
    s.scale_x = 2.0f;
    s.scale_y = 3.0f;
    s.angle = D3DX_PI / 2;
    D3DXMATRIX world;
    D3DXVECTOR3 center;
    sprite_object_transform(s, 0, 0, world, center);
    // (1, 0) scales to (2, 0), turns to (0, 2) and lands at (10, 22).
    D3DXVECTOR3 in(1, 0, 0), out;
    D3DXVec3TransformCoord(&out, &in, &world);
    EXPECT_NEAR(out.x, 10.0f, 1e-5);
    EXPECT_NEAR(out.y, 22.0f, 1e-5);
    in = D3DXVECTOR3(0, 1, 0);
    D3DXVec3TransformCoord(&out, &in, &world);
    EXPECT_NEAR(out.x, 7.0f, 1e-5);
    EXPECT_NEAR(out.y, 20.0f, 1e-5);
}

TEST_F(sprite_test, CulledByBoundAgainstTheScreen) {
    graphic_texture* t = image_texture(solid_bmp(8, 8, 0xFFFFFFFF));
    ASSERT_TRUE(t);
    struct cull_case {
        float x, y;
        int32_t bound;
        bool drawn;
    } cases[] = {
        {-10, 50, 20, true}, {-10, 50, 5, false}, {width + 10.0f, 50, 20, true},
        {width + 10.0f, 50, 5, false}, {50, height + 4.0f, 5, true}, {50, -5, 5, false},
        {50, 50, 0, true},
    };
    for (auto& c : cases) {
        graphic_sprite_object s(&g());
        s.set_texture(t);
        s.rect = RECT{0, 0, 8, 8};
        s.position = D3DXVECTOR3(c.x, c.y, 0);
        s.bound = c.bound;
        ASSERT_TRUE(SUCCEEDED(g().sprite()->begin(sprite_begin_alpha)));
        EXPECT_TRUE(s.render());
        EXPECT_EQ(g().sprite()->queued(), c.drawn ? 1u : 0u) << c.x << "," << c.y;
        g().sprite()->end();
    }
}

TEST_F(sprite_test, QuadRecordsArePooledAcrossFrames) {
    graphic_texture* t = image_texture(solid_bmp(4, 4, 0xFFFFFFFF));
    int32_t id = g().create_render_layer<graphic_alpha_sprite_render_layer>();
    g().set_layer_target(id, nullptr);
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    for (int i = 0; i < 300; ++i) {
        sprites.push_back(sprite_at(t, float(i % 100), float(i / 100)));
        g().attach_render_object(sprites.back().get(), id);
    }
    ASSERT_TRUE(g().render());
    size_t pool = g().sprite()->pool_size();
    EXPECT_GE(pool, 300u);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(g().render());
    EXPECT_EQ(g().sprite()->pool_size(), pool);
}

TEST_F(sprite_test, BatchMadeAgainKeepsItsStageTextures) {
    size_t objects = g().objects().size();
    graphic_texture* white = g().sprite()->stage_texture(2);
    ASSERT_TRUE(g().sprite()->create());
    EXPECT_EQ(g().objects().size(), objects);
    EXPECT_EQ(g().sprite()->stage_texture(2), white);
    ASSERT_TRUE(white->lock(nullptr, D3DLOCK_READONLY));
    EXPECT_EQ(static_cast<uint32_t*>(white->bits())[0], 0xFFFFFFFFu);
    white->unlock();
}

TEST_F(sprite_test, TexturesByKind) {
    size_t objects = g().objects().size();
    {
        graphic_sprite_object owned(&g());
        ASSERT_TRUE(owned.create(20, 10));
        EXPECT_EQ(owned.texture_kind(), texture_owned);
        EXPECT_EQ(owned.texture()->width(), 20u);
        EXPECT_EQ(g().objects().size(), objects + 1);
        owned.fit_texture(0.5f);
        EXPECT_EQ(owned.rect.right, 20);
        EXPECT_FLOAT_EQ(owned.center.x, 10.0f);
        EXPECT_FLOAT_EQ(owned.position.x, width * 0.5f);
        EXPECT_FLOAT_EQ(owned.position.z, 0.5f);

        graphic_sprite_object screen(&g());
        ASSERT_TRUE(screen.create());
        EXPECT_EQ(screen.texture()->width(), uint32_t(width));
        // Borrowing another texture frees the owned one.
        screen.set_texture(owned.texture());
        EXPECT_EQ(screen.texture_kind(), texture_borrowed);
        EXPECT_EQ(g().objects().size(), objects + 1);
    }
    // Owned textures go with their sprite; borrowed ones stay.
    EXPECT_EQ(g().objects().size(), objects);
}

}  // namespace
