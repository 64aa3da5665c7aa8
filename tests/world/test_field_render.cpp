// The current field drawn on a real device, checked by the pixels of the
// rendered frame.
#include <d3d9.h>

#include <cstring>

#include "field_fixture.h"

namespace {
HWND make_window(int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = L"vy_field_render_test";
        RegisterClassW(&wc);
        registered = true;
    }
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowW(L"vy_field_render_test", L"field render test", WS_OVERLAPPEDWINDOW, 0, 0,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    return w;
}

// The colour write_bmp gives the image cell (column, row).
constexpr uint32_t tile(int column, int row) {
    return 0xFFC80000u | uint32_t(40 + 100 * row) << 8 | uint32_t(40 + 50 * column);
}

class FieldRender : public field_test {
protected:
    static constexpr uint32_t background = 0xFF404040;

    void SetUp() override {
        field_test::SetUp();
        window = make_window(view_width, view_height);
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(screen->create() && screen->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
                    screen->initialize(window))
            << "no device";
        layer = screen->create_render_layer<graphic_alpha_sprite_render_layer>();
        ASSERT_GE(layer, 0);
        ASSERT_TRUE(screen->set_layer_target(layer, nullptr));
        screen->back_buffer()->clear_color = background;
        // Sprites and the field both draw on the one layer.
        const int32_t ids[] = {layer, layer};
        set_render_layer_table(ids, 2);
        // The field's drawing object joins the layer of index 1 as it is made.
        fields.reset();
        fields = std::make_unique<field_manager>();
        ASSERT_TRUE(fields->initialize(L));
        fields->init_view(view_width, view_height, 16, 16);
    }
    void TearDown() override {
        field_test::TearDown();
        if (window) DestroyWindow(window);
    }

    std::vector<uint32_t> draw() {
        EXPECT_EQ(0, world_frame_step());
        EXPECT_TRUE(screen->render());
        world_end_frame();
        std::vector<uint32_t> out;
        IDirect3DDevice9* device = screen->device();
        IDirect3DSurface9* surface = screen->back_buffer()->render_surface();
        D3DSURFACE_DESC desc;
        IDirect3DSurface9* copy = nullptr;
        if (!surface || FAILED(surface->GetDesc(&desc)) ||
            FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                       &copy, nullptr))) {
            return out;
        }
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(device->GetRenderTargetData(surface, copy)) &&
            SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
            out.resize(size_t(desc.Width) * desc.Height);
            for (uint32_t y = 0; y < desc.Height; ++y) {
                std::memcpy(&out[size_t(y) * desc.Width], static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch,
                            desc.Width * 4);
            }
            copy->UnlockRect();
        }
        copy->Release();
        return out;
    }
    static uint32_t at(const std::vector<uint32_t>& p, int x, int y) {
        return p[size_t(y) * view_width + x] | 0xFF000000;
    }

    HWND window = nullptr;
    int32_t layer = -1;
};

struct pixel_check {
    int x, y;
    uint32_t colour;
};

// Layer 0: tile 1 at (16, 16), tile 2 at (100, 50), tile 9 far right at
// (250, 50); tile 1 under layer 1's tile 3 at (40, 100).
const char* drawn_field = R"(
fields.create{ name = "shown", cell = "tiles", size = {320, 240},
  { {1, 16, 16}, {2, 100, 50}, {9, 250, 50}, {1, 40, 100} },
  { {3, 40, 100} } }
fields.set("shown")
fields.view(80, 60, 0)
)";

TEST_F(FieldRender, VisibleCellsAreDrawnWhereTheViewPutsThem) {
    run(cell_set_chunk());
    run(drawn_field);
    struct frame_case {
        const char* what;
        const char* chunk;
        std::vector<pixel_check> checks;
    };
    const frame_case frames[] = {
        {"cells at their pivots, the upper layer in front", "",
         {{0, 0, tile(0, 0)}, {31, 31, tile(0, 0)}, {32, 16, background}, {84, 34, tile(1, 0)},
          {115, 65, tile(1, 0)}, {116, 50, background}, {40, 100, tile(2, 0)}, {150, 50, background}}},
        {"a hidden cell and a hidden layer", "fields.set_cell_state(0, 0, 1) fields.set_layer_state(1, 1)",
         {{5, 5, background}, {100, 50, tile(1, 0)}, {40, 100, tile(0, 0)}}},
        {"the view scrolled right by 160", "fields.view(240, 60, 0)",
         {{110, 50, background}, {90, 50, tile(3, 0)}, {74, 35, tile(3, 0)}, {73, 50, background}}},
        {"no field", "fields.set('')", {{90, 50, background}, {100, 50, background}}},
    };
    for (const frame_case& f : frames) {
        SCOPED_TRACE(f.what);
        run(f.chunk);
        const std::vector<uint32_t> p = draw();
        ASSERT_EQ(size_t(view_width) * view_height, p.size());
        for (const pixel_check& c : f.checks) EXPECT_EQ(c.colour, at(p, c.x, c.y)) << c.x << "," << c.y;
    }
}

TEST_F(FieldRender, SpritesDrawThroughTheFieldView) {
    run(cell_set_chunk());
    run(drawn_field);
    run("sprites.class_create{name = 'walk', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 2, {0}}, scene = {{0, 1, 0, 1}}} "
        "actors.class_create{name = 'walker', sprite = 'walk', param = {0x100000}, action = {start = "
        "  function(a) while true do actors.wait() end end}} "
        "a = actors.create{'walker', 250, 90, 0}");
    std::vector<uint32_t> p = draw();
    EXPECT_EQ(background, at(p, 90, 90));
    // The layer scrolled by 160: the sprite's world x 250 shows at 90.
    run("fields.view(240, 60, 0)");
    p = draw();
    EXPECT_EQ(tile(0, 0), at(p, 90, 90));
    EXPECT_EQ(tile(0, 0), at(p, 74, 105));
    EXPECT_EQ(background, at(p, 73, 90));
}
}  // namespace

namespace {
TEST_F(FieldRender, ABackgroundSelectionLoadsTheTexturesWhileFramesRun) {
    run(cell_set_chunk());
    run(drawn_field);
    run("fields.set('')");
    field_cell_set* tiles = fields->find_cell_set("tiles");
    ASSERT_NE(nullptr, tiles);
    EXPECT_EQ(0, tiles->texture.use_count());
    EXPECT_EQ("true", text("fields.set('shown', true)"));
    // Loading (false) until the loader thread is done; bounded wait.
    std::string state = text("fields.is_locked()");
    for (int i = 0; i < 500 && state == "false"; ++i) {
        Sleep(10);
        state = text("fields.is_locked()");
    }
    EXPECT_EQ("true", state);
    EXPECT_EQ(1, tiles->texture.use_count());
    const std::vector<uint32_t> p = draw();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(tile(1, 0), at(p, 100, 50));
    run("fields.set('')");
    EXPECT_EQ(0, tiles->texture.use_count());
}
}  // namespace
