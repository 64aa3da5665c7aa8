// Frames drawn on a real device and checked by the pixels they leave in the
// engine's off-screen screen.
#include "device_fixture.h"

namespace {

constexpr uint32_t red = 0xFFFF0000;
constexpr uint32_t blue = 0xFF0000FF;
constexpr uint32_t white = 0xFFFFFFFF;
constexpr uint32_t background = 0xFF404040;

class frame_test : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        g().back_buffer()->clear_color = background;
        white_ = image_texture(solid_bmp(16, 16, white));
        ASSERT_TRUE(white_);
    }

    template <class L>
    int32_t layer() {
        int32_t id = g().create_render_layer<L>();
        EXPECT_TRUE(g().set_layer_target(id, nullptr));
        return id;
    }

    pixels frame() {
        EXPECT_TRUE(g().render());
        return read_target(g(), g().back_buffer());
    }

    // The batch's shaders need them; without them it keeps the fixed stages.
    bool pixel_shaders_2() {
        D3DCAPS9 caps{};
        g().device()->GetDeviceCaps(&caps);
        return caps.PixelShaderVersion >= D3DPS_VERSION(2, 0);
    }

    graphic_texture* white_ = nullptr;
};

TEST_F(frame_test, ClearColourAndSolidSpriteAtItsPosition) {
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    auto s = sprite_at(white_, 20, 30);
    s->color = red;
    ASSERT_TRUE(g().attach_render_object(s.get(), id));
    pixels p = frame();
    ASSERT_EQ(p.width, uint32_t(width));
    EXPECT_EQ(p.at(0, 0), background);
    EXPECT_EQ(p.at(19, 30), background);
    EXPECT_EQ(p.at(20, 30), red);
    EXPECT_EQ(p.at(35, 45), red);
    EXPECT_EQ(p.at(36, 45), background);
    EXPECT_EQ(p.at(35, 46), background);
    EXPECT_EQ(p.at(width - 1, height - 1), background);
}

TEST_F(frame_test, ColourKeyedTexelsStayTransparentInEveryLayerKind) {
    // A blue square whose middle is pure green: the middle must show through.
    auto image = make_bmp(16, 16, [](int x, int y) {
        return (x >= 4 && x < 12 && y >= 4 && y < 12) ? 0xFF00FF00u : blue;
    });
    graphic_texture* t = image_texture(image);
    ASSERT_TRUE(t);
    int32_t ids[] = {layer<graphic_opaque_sprite_render_layer>(),
                     layer<graphic_alpha_sprite_render_layer>(),
                     layer<graphic_sprite_staterender_layer>()};
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    for (int i = 0; i < 3; ++i) {
        sprites.push_back(sprite_at(t, 10 + 40 * i, 10));
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), ids[i]));
    }
    pixels p = frame();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        int x = 10 + 40 * i;
        EXPECT_EQ(p.at(x, 10), blue);
        EXPECT_EQ(p.at(x + 1, 11), blue);
        EXPECT_EQ(p.at(x + 8, 18), background);
        EXPECT_EQ(p.at(x + 6, 16), background);
        EXPECT_EQ(p.at(x + 14, 24), blue);
    }
}

struct blend_case {
    const char* name;
    uint32_t blend;
    uint32_t color;
    uint32_t expected;
};

TEST_F(frame_test, BlendRowsOfTheBatch) {
    const blend_case cases[] = {
        {"alpha", 0, 0x80FF0000, 0xFFA02020},
        {"copy", 1, 0x80FF0000, 0xFFFF0000},
        {"additive", 2, 0xFF402000, 0xFF806040},
        {"alpha additive", 3, 0x80804000, 0xFF806040},
        {"vertex alpha", 4, 0x80FF0000, 0xFFA02020},
        {"subtractive", 5, 0xFF202010, 0xFF202030},
        {"multiply", 6, 0xFF808040, 0xFF202010},
        {"inverse", 7, 0xFF808080, 0xFFA0A0A0},
        {"premultiplied", 8, 0x80FF0000, 0xFFFF2020},
        {"double multiply", 9, 0xFF808080, 0xFF404040},
        {"alpha doubled, additive", 10, 0x40804000, 0xFF806040},
        {"row past the table", 11, 0x80FF0000, 0xFFA02020},
        {"high row", 200, 0x80FF0000, 0xFFA02020},
    };
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    int i = 0;
    for (const blend_case& c : cases) {
        sprites.push_back(sprite_at(white_, float(16 * (i % 10)), float(20 * (i / 10))));
        sprites.back()->color = c.color;
        sprites.back()->blend = c.blend;
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
        ++i;
    }
    pixels p = frame();
    i = 0;
    for (const blend_case& c : cases) {
        uint32_t got = p.at(16 * (i % 10) + 8, 20 * (i / 10) + 8);
        EXPECT_TRUE(pixels::close_to(got, c.expected, 2))
            << c.name << ": got " << std::hex << got << " expected " << c.expected;
        ++i;
    }
}

TEST_F(frame_test, BlendRowChangesOnlyWhereTheModeChanges) {
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    const uint32_t modes[] = {0, 2, 2, 0};
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    for (int i = 0; i < 4; ++i) {
        sprites.push_back(sprite_at(white_, float(20 * i), 0));
        sprites.back()->blend = modes[i];
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
    }
    ASSERT_TRUE(draw_layer(id));
    EXPECT_EQ(g().sprite()->last_row_changes(), (std::vector<uint32_t>{2, 0}));
}

struct state_case {
    const char* name;
    uint32_t flags;
    uint32_t color;
    uint32_t expected;
};

TEST_F(frame_test, LayerStatesOfStateRenderLayers) {
    const state_case cases[] = {
        // State 0 keeps the batch's alpha blending (transitions rely on it).
        {"state 0", 0x00, 0x80FF0000, 0xFFA02020},
        {"alpha", 0x01, 0x80FF0000, 0xFFA02020},
        {"additive", 0x02, 0xFF402000, 0xFF806040},
        {"additive, point filters", 0x1102, 0xFF402000, 0xFF806040},
        {"alpha additive", 0x03, 0x80804000, 0xFF806040},
        {"subtractive", 0x05, 0xFF202010, 0xFF202030},
        {"multiply", 0x06, 0xFF808040, 0xFF202010},
        {"state past the table", 0x20, 0x80FF0000, 0xFFA02020},
        {"filters past the table", 0x0F02, 0xFF402000, 0xFF806040},
    };
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    int i = 0;
    for (const state_case& c : cases) {
        int32_t id = layer<graphic_sprite_staterender_layer>();
        ASSERT_TRUE(g().update_layer_state(id, 0xFFFF, c.flags));
        sprites.push_back(sprite_at(white_, float(16 * (i % 10)), float(20 * (i / 10))));
        sprites.back()->color = c.color;
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
        ++i;
    }
    pixels p = frame();
    i = 0;
    for (const state_case& c : cases) {
        uint32_t got = p.at(16 * (i % 10) + 8, 20 * (i / 10) + 8);
        EXPECT_TRUE(pixels::close_to(got, c.expected, 2))
            << c.name << ": got " << std::hex << got << " expected " << c.expected;
        ++i;
    }
}

// Texels of alpha 0 leave the target as it was in every blend row and layer
// state, except where the alpha comes from the vertex colour instead.
TEST_F(frame_test, TexelsOfAlphaZeroLeaveTheTargetWhateverTheBlend) {
    graphic_texture* clear_texels = g().new_texture(true);
    ASSERT_TRUE(clear_texels->create_blank(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                           D3DUSAGE_RENDERTARGET));
    ASSERT_TRUE(clear_texels->fill(0x00FF8040));
    struct clear_case {
        const char* name;
        uint32_t layer_state;  // 0: an alpha layer
        uint32_t blend;
        uint32_t expected;
    };
    const clear_case cases[] = {
        {"alpha", 0, 0, background},
        {"copy", 0, 1, background},
        {"additive", 0, 2, background},
        {"alpha additive", 0, 3, background},
        {"vertex alpha", 0, 4, 0xFFFF8040},
        {"subtractive", 0, 5, background},
        {"multiply", 0, 6, background},
        {"inverse", 0, 7, background},
        {"premultiplied", 0, 8, background},
        {"double multiply", 0, 9, background},
        {"alpha doubled, additive", 0, 10, background},
        {"additive layer state", 0x02, 0, background},
        {"multiply layer state", 0x06, 0, background},
        {"premultiplied layer state", 0x08, 0, background},
    };
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    int i = 0;
    for (const clear_case& c : cases) {
        int32_t id = c.layer_state ? layer<graphic_sprite_staterender_layer>()
                                   : layer<graphic_alpha_sprite_render_layer>();
        if (c.layer_state) ASSERT_TRUE(g().update_layer_state(id, 0xFFFF, c.layer_state));
        sprites.push_back(sprite_at(clear_texels, float(16 * (i % 10)), float(20 * (i / 10))));
        sprites.back()->blend = c.blend;
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
        ++i;
    }
    DWORD alpha_test = 2;
    g().device()->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    pixels p = frame();
    g().device()->GetRenderState(D3DRS_ALPHATESTENABLE, &alpha_test);
    EXPECT_EQ(alpha_test, DWORD(TRUE)) << "the batch puts the alpha test back";
    i = 0;
    for (const clear_case& c : cases) {
        uint32_t got = p.at(16 * (i % 10) + 8, 20 * (i / 10) + 8);
        EXPECT_EQ(got & 0xFFFFFF, c.expected & 0xFFFFFF)
            << c.name << ": got " << std::hex << got << " expected " << c.expected;
        ++i;
    }
}

// Rows whose stages only modulate the texel by the vertex colour draw through
// the modulate shader (BlendRowsOfTheBatch checks their pixels); the others
// keep the fixed-function stages.
TEST_F(frame_test, OnlyPlainModulateRowsDrawThroughTheShader) {
    if (!pixel_shaders_2()) GTEST_SKIP() << "no 2.0 pixel shaders";
    const struct {
        uint32_t blend;
        bool shaded;
    } rows[] = {{0, true}, {1, true}, {2, true}, {4, false}, {6, false}, {7, false}, {10, false}};
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blend);
        auto s = sprite_at(white_, 0, 0);
        s->blend = row.blend;
        ASSERT_TRUE(g().attach_render_object(s.get(), id));
        ASSERT_TRUE(draw_layer(id));
        EXPECT_EQ(g().sprite()->last_draw_calls(), 1u);
        EXPECT_EQ(g().sprite()->last_shaded_draws(), row.shaded ? 1u : 0u);
        EXPECT_EQ(g().sprite()->last_texel_draws(), row.shaded ? 1u : 0u) << "its corners are white";
        g().detach_render_object(s.get());
    }
    IDirect3DPixelShader9* left = nullptr;
    g().device()->GetPixelShader(&left);
    if (left) left->Release();
    EXPECT_EQ(nullptr, left) << "the batch puts the pixel shader back";
}

// A run whose corners are all white draws its texels as they are; a run with
// any other colour in it is modulated. A white quad looks the same either way.
TEST_F(frame_test, AllWhiteRunsDrawTheirTexelsAsTheModulateWould) {
    if (!pixel_shaders_2()) GTEST_SKIP() << "no 2.0 pixel shaders";
    graphic_texture* texels = g().new_texture(true);
    ASSERT_TRUE(texels->create_blank(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     D3DUSAGE_RENDERTARGET));
    ASSERT_TRUE(texels->fill(0xC0C08020));
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    // Runs: two white quads; a red one (another texture); white and half-faded.
    const struct {
        graphic_texture* texture;
        D3DCOLOR color;
    } quads[] = {{texels, 0xFFFFFFFF}, {texels, 0xFFFFFFFF}, {white_, red},
                 {texels, 0xFFFFFFFF}, {texels, 0x80FFFFFF}};
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    for (const auto& q : quads) {
        sprites.push_back(sprite_at(q.texture, float(20 * sprites.size()), 0));
        sprites.back()->color = q.color;
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
    }
    pixels p = frame();
    EXPECT_EQ(g().sprite()->last_draw_calls(), 3u);
    EXPECT_EQ(g().sprite()->last_shaded_draws(), 3u);
    EXPECT_EQ(g().sprite()->last_texel_draws(), 1u);
    const uint32_t white_run = p.at(8, 8), mixed_run = p.at(68, 8);
    EXPECT_TRUE(pixels::close_to(white_run | 0xFF000000, 0xFFA07028, 2)) << std::hex << white_run;
    EXPECT_EQ(p.at(28, 8), white_run);
    EXPECT_EQ(white_run, mixed_run) << "the same white quad through either shader";
    EXPECT_EQ(p.at(48, 8), red);
    EXPECT_TRUE(pixels::close_to(p.at(88, 8) | 0xFF000000, 0xFF705834, 2)) << std::hex << p.at(88, 8);
}

// A long batch goes to the device in parts and still draws every quad.
TEST_F(frame_test, LongBatchesAreDrawnInPartsWithEveryQuad) {
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
    const int count = 5000;
    for (int i = 0; i < count; ++i) {
        sprites.push_back(sprite_at(white_, float((i * 7) % (width - 16)), float((i * 3) % (height - 16))));
        sprites.back()->color = i == count - 1 ? red : blue;
        ASSERT_TRUE(g().attach_render_object(sprites.back().get(), id));
    }
    pixels p = frame();
    EXPECT_EQ(g().sprite()->last_draw_calls(), 3u);
    const int last = count - 1;
    EXPECT_EQ(p.at((last * 7) % (width - 16) + 15, (last * 3) % (height - 16) + 15), red);
    EXPECT_EQ(p.at(8, 8), blue);
}

TEST_F(frame_test, AddAlphaLayerAddsToTheTarget) {
    int32_t id = layer<graphic_addalpha_sprite_render_layer>();
    auto s = sprite_at(white_, 0, 0);
    s->color = 0x80804000;
    ASSERT_TRUE(g().attach_render_object(s.get(), id));
    pixels p = frame();
    EXPECT_TRUE(pixels::close_to(p.at(8, 8), 0xFF806040, 2)) << std::hex << p.at(8, 8);
}

TEST_F(frame_test, OverlappingQuadsDrawBackToFrontAndEqualDepthsKeepTheirOrder) {
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    // Near red queued before far blue: blue is drawn first, red covers it.
    auto near_red = sprite_at(white_, 10, 10, 0.2f);
    near_red->color = red;
    auto far_blue = sprite_at(white_, 18, 10, 0.5f);
    far_blue->color = blue;
    // Equal depths: the one queued later lies on top.
    auto first = sprite_at(white_, 60, 10, 0.5f);
    first->color = red;
    auto second = sprite_at(white_, 68, 10, 0.5f);
    second->color = blue;
    for (auto* s : {near_red.get(), far_blue.get(), first.get(), second.get()})
        ASSERT_TRUE(g().attach_render_object(s, id));
    pixels p = frame();
    EXPECT_EQ(p.at(20, 15), red);
    EXPECT_EQ(p.at(30, 15), blue);
    EXPECT_EQ(p.at(70, 15), blue);
    EXPECT_EQ(p.at(62, 15), red);
}

TEST_F(frame_test, HiddenLayersAndObjectsDrawNothing) {
    int32_t shown = layer<graphic_alpha_sprite_render_layer>();
    int32_t hidden = layer<graphic_alpha_sprite_render_layer>();
    auto in_hidden_layer = sprite_at(white_, 0, 0);
    auto hidden_object = sprite_at(white_, 40, 0);
    hidden_object->set_flag(render_flag_hidden, true);
    auto shown_object = sprite_at(white_, 80, 0);
    ASSERT_TRUE(g().attach_render_object(in_hidden_layer.get(), hidden));
    ASSERT_TRUE(g().attach_render_object(hidden_object.get(), shown));
    ASSERT_TRUE(g().attach_render_object(shown_object.get(), shown));
    ASSERT_TRUE(g().update_layer_state(hidden, layer_flag_hidden, layer_flag_hidden));
    pixels p = frame();
    EXPECT_EQ(p.at(8, 8), background);
    EXPECT_EQ(p.at(48, 8), background);
    EXPECT_EQ(p.at(88, 8), white);
    // Shown again, the layer draws.
    ASSERT_TRUE(g().update_layer_state(hidden, layer_flag_hidden, 0));
    p = frame();
    EXPECT_EQ(p.at(8, 8), white);
}

TEST_F(frame_test, TwoLayersOnOneTargetClearItOnceAFrame) {
    int32_t a = layer<graphic_alpha_sprite_render_layer>();
    int32_t b = layer<graphic_alpha_sprite_render_layer>();
    auto left = sprite_at(white_, 0, 0);
    auto right = sprite_at(white_, 100, 0);
    ASSERT_TRUE(g().attach_render_object(left.get(), a));
    ASSERT_TRUE(g().attach_render_object(right.get(), b));
    pixels p = frame();
    EXPECT_EQ(p.at(8, 8), white);
    EXPECT_EQ(p.at(108, 8), white);
    // The next frame starts from the clear colour again.
    ASSERT_TRUE(g().move_render_object(left.get(), b));
    left->position.x = 50;
    p = frame();
    EXPECT_EQ(p.at(8, 8), background);
    EXPECT_EQ(p.at(58, 8), white);
}

TEST_F(frame_test, SceneTargetDrawnIntoTheScreenThroughASprite) {
    // World layers draw into a scene target; a later layer shows it.
    graphic_render_target* scene = graphic_render_target_create(&g(), 0, 0);
    ASSERT_TRUE(scene);
    scene->clear_color = 0xFF102030;
    int32_t world = g().create_render_layer<graphic_alpha_sprite_render_layer>();
    ASSERT_TRUE(g().set_layer_target(world, scene));
    int32_t screen = layer<graphic_alpha_sprite_render_layer>();
    auto actor = sprite_at(white_, 30, 30);
    actor->color = red;
    ASSERT_TRUE(g().attach_render_object(actor.get(), world));
    auto view = std::make_unique<graphic_sprite_object>(&g());
    view->set_texture(scene);
    view->fit_texture(0.0f);
    ASSERT_TRUE(g().attach_render_object(view.get(), screen));
    pixels p = frame();
    EXPECT_EQ(p.at(0, 0), 0xFF102030u);
    EXPECT_EQ(p.at(35, 35), red);
}

// A sheet of four 32 x 32 cells, two by two, each of one colour.
constexpr uint32_t sheet_colours[4] = {red, blue, 0xFF00C000, 0xFFFFFF00};

enum layer_kind { opaque_layer, alpha_layer, blendstate_layer, state_layer };

struct cell_case {
    const char* name;
    layer_kind kind;
    uint32_t state;  // flag word of a state-render layer
    bool exact;      // exact-position flag (positions stay whole)
    bool centred;    // pivot in the cell's middle
    float scale_x;   // -1 mirrors
};

TEST_F(frame_test, SheetCellsDrawnOneToOneShowOnlyTheirOwnTexels) {
    graphic_texture* sheet = image_texture(
        make_bmp(64, 64, [](int x, int y) { return sheet_colours[x / 32 + 2 * (y / 32)]; }));
    ASSERT_TRUE(sheet);
    const cell_case cases[] = {
        // Sprite layers sample with the filters D3DX's Begin chooses.
        {"opaque layer", opaque_layer, 0, false, false, 1},
        {"alpha layer", alpha_layer, 0, false, false, 1},
        {"blend-state layer", blendstate_layer, 0, false, false, 1},
        {"linear", state_layer, 0x0001, false, false, 1},
        {"point", state_layer, 0x1101, false, false, 1},
        {"anisotropic", state_layer, 0x2201, false, false, 1},
        {"anisotropic minification", state_layer, 0x0201, false, false, 1},
        {"anisotropic, exact position", state_layer, 0x2201, true, false, 1},
        {"anisotropic, pivot in the middle", state_layer, 0x2201, false, true, 1},
        {"anisotropic, mirrored", state_layer, 0x2201, false, true, -1},
    };
    for (const cell_case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t id = c.kind == opaque_layer       ? layer<graphic_opaque_sprite_render_layer>()
                     : c.kind == alpha_layer      ? layer<graphic_alpha_sprite_render_layer>()
                     : c.kind == blendstate_layer ? layer<graphic_sprite_blendstate_layer>()
                                                  : layer<graphic_sprite_staterender_layer>();
        ASSERT_TRUE(g().update_layer_state(id, 0xFFFF, c.state));
        std::vector<std::unique_ptr<graphic_sprite_object>> cells;
        for (int i = 0; i < 4; ++i) {
            const int cx = 32 * (i % 2), cy = 32 * (i / 2);
            const float half = c.centred ? 16.0f : 0.0f;
            auto s = sprite_at(sheet, 10 + 40 * (i % 2) + half, 10 + 40 * (i / 2) + half);
            s->rect = RECT{cx, cy, cx + 32, cy + 32};
            s->center = D3DXVECTOR3(half, half, 0);
            s->scale_x = c.scale_x;
            s->set_flag(render_flag_exact_position, c.exact);
            s->update_bound();
            ASSERT_TRUE(g().attach_render_object(s.get(), id));
            cells.push_back(std::move(s));
        }
        pixels p = frame();
        // The cell's own 32 x 32 pixels and the ring just outside them.
        for (int i = 0; i < 4; ++i) {
            const int left = 10 + 40 * (i % 2), top = 10 + 40 * (i / 2);
            int wrong = 0;
            for (int y = top - 1; y <= top + 32; ++y)
                for (int x = left - 1; x <= left + 32; ++x) {
                    const bool inside = x >= left && x < left + 32 && y >= top && y < top + 32;
                    const uint32_t want = inside ? sheet_colours[i] : background;
                    if ((p.at(x, y) | 0xFF000000) != want && wrong++ == 0)
                        ADD_FAILURE() << "cell " << i << " at " << x << "," << y << ": "
                                      << std::hex << p.at(x, y) << " not " << want;
                }
            EXPECT_EQ(wrong, 0) << "pixels of cell " << i << " or its ring";
        }
        delete g().remove_render_layer(id);
    }
}

TEST_F(frame_test, ScaledSheetCellsKeepTheLayersFilter) {
    graphic_texture* sheet = image_texture(
        make_bmp(64, 32, [](int x, int) { return x < 32 ? red : blue; }));
    ASSERT_TRUE(sheet);
    struct scaled_case {
        const char* name;
        uint32_t state;
        uint32_t seam;  // the last column of the red cell drawn twice as wide
    } cases[] = {
        // Three quarters red, a quarter of the blue texel beyond the edge.
        {"linear", 0x0001, 0xFFBF0040},
        {"point", 0x1101, red},
    };
    for (const scaled_case& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t id = layer<graphic_sprite_staterender_layer>();
        ASSERT_TRUE(g().update_layer_state(id, 0xFFFF, c.state));
        auto s = sprite_at(sheet, 10, 10);
        s->rect = RECT{0, 0, 32, 32};
        s->scale_x = 2.0f;
        s->update_bound();
        ASSERT_TRUE(g().attach_render_object(s.get(), id));
        pixels p = frame();
        EXPECT_EQ(p.at(10, 20), red);
        EXPECT_TRUE(pixels::close_to(p.at(73, 20), c.seam, 2)) << std::hex << p.at(73, 20);
        EXPECT_EQ(p.at(74, 20), background);
        delete g().remove_render_layer(id);
    }
}

TEST_F(frame_test, ScreenLayerCopiesTheOffScreenScreenExactly) {
    int32_t id = layer<graphic_alpha_sprite_render_layer>();
    // Half-transparent drawing leaves the off-screen alpha below opaque;
    // the copy must still show the colour as it is.
    auto s = sprite_at(white_, 20, 20);
    s->color = 0x80FF0000;
    ASSERT_TRUE(g().attach_render_object(s.get(), id));
    ASSERT_TRUE(g().render());
    // The device's back buffer is undefined after Present; draw the same
    // frame again without presenting to look at it.
    IDirect3DDevice9* d = g().device();
    ASSERT_TRUE(SUCCEEDED(d->BeginScene()));
    for (graphic_render_layer* l : g().layers()) l->render();
    EXPECT_TRUE(g().screen_layer()->render());
    d->EndScene();
    pixels off = read_target(g(), g().back_buffer());
    pixels screen = read_target(g(), g().screen_buffer());
    ASSERT_EQ(screen.width, uint32_t(width));
    for (auto xy : {std::pair<int, int>{0, 0}, {25, 25}, {width - 1, height - 1}})
        EXPECT_EQ(screen.at(xy.first, xy.second) & 0xFFFFFF,
                  off.at(xy.first, xy.second) & 0xFFFFFF);
}

}  // namespace
