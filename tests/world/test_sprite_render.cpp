// Sprites drawn on a real device, checked by the pixels of the rendered
// frame.
#include <d3d9.h>

#include <cstring>
#include <functional>

#include "graphics/texture.h"
#include "sprite_fixture.h"
#include "world/collision_view.h"
#include "world/sprite_class.h"

namespace {
HWND make_window(int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = L"vy_world_render_test";
        RegisterClassW(&wc);
        registered = true;
    }
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowW(L"vy_world_render_test", L"world render test", WS_OVERLAPPEDWINDOW, 0, 0,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    return w;
}

class SpriteRender : public sprite_test {
protected:
    static constexpr int width = 160;
    static constexpr int height = 120;
    static constexpr uint32_t background = 0xFF404040;

    void SetUp() override {
        sprite_test::SetUp();
        window = make_window(width, height);
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(screen->create() && screen->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
                    screen->initialize(window))
            << "no device";
        layer = screen->create_render_layer<graphic_alpha_sprite_render_layer>();
        ASSERT_GE(layer, 0);
        ASSERT_TRUE(screen->set_layer_target(layer, nullptr));
        screen->back_buffer()->clear_color = background;
        const int32_t ids[] = {layer};
        set_render_layer_table(ids, 1);
    }
    void TearDown() override {
        sprite_test::TearDown();
        if (window) DestroyWindow(window);
    }

    // The back buffer's pixels after one frame of the world and a render.
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
    static uint32_t at(const std::vector<uint32_t>& p, int x, int y) { return p[size_t(y) * width + x] | 0xFF000000; }

    HWND window = nullptr;
    int32_t layer = -1;
};

// The colour write_bmp gives the cell (column, row).
constexpr uint32_t cell(int column, int row) {
    return 0xFFC80000u | uint32_t(40 + 100 * row) << 8 | uint32_t(40 + 50 * column);
}

TEST_F(SpriteRender, ActorsSpritesDrawAtTheirPositionsAndAnimate) {
    run("sprites.class_create{name = 'walk', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 2, {0}, {1}}, scene = {{0, 2, 0, 1}}} "
        "actors.class_create{name = 'walker', sprite = 'walk', param = {0x100000}, action = {start = "
        "  function(a) actors.wait() actors.set_position(a, 100, 70, 0) actors.wait() "
        "    while true do actors.wait() end end}} "
        "a = actors.create{'walker', 50, 40, 0}");
    struct pixel_check {
        int x, y;
        uint32_t colour;
    };
    struct frame_case {
        const char* what;
        std::vector<pixel_check> checks;
    };
    // The frame's cell is centred on the position, its edge pixels its own
    // colour and not its neighbour's; the coroutine's first part ran inside
    // actors.create, so the first frame already moved; the frame changes
    // every act frame.
    const frame_case frames[] = {
        {"cell 0 at (100, 70)", {{84, 54, cell(0, 0)}, {115, 85, cell(0, 0)}, {100, 70, cell(0, 0)},
                                 {83, 70, background}, {116, 70, background}, {100, 53, background},
                                 {100, 86, background}, {50, 40, background}}},
        {"cell 1", {{84, 54, cell(1, 0)}, {115, 85, cell(1, 0)}, {84, 85, cell(1, 0)},
                    {115, 54, cell(1, 0)}}},
        {"cell 0 again", {{100, 70, cell(0, 0)}}},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.what);
        const std::vector<uint32_t> p = draw();
        ASSERT_EQ(size_t(width) * height, p.size());
        for (const auto& c : f.checks) {
            EXPECT_EQ(c.colour, at(p, c.x, c.y)) << c.x << "," << c.y;
        }
    }
    // Way 4 takes the second row of cells; hidden sprites are not drawn.
    run("sprites.set_way(actors.sprite(a), 4)");
    std::vector<uint32_t> p = draw();
    EXPECT_EQ(cell(1, 1), at(p, 100, 70));
    run("actors.set_visible(a, false)");
    p = draw();
    EXPECT_EQ(background, at(p, 100, 70));
}
}  // namespace

namespace {
// Classes cut from one file share its texture cache entry: defining loads
// nothing, every lock is a use, the image goes with the last one, and a
// background lock is finished by polling.
TEST_F(SpriteRender, ClassesShareTheirImageThroughTheTextureCache) {
    run("for _, n in ipairs{'a', 'b'} do sprites.class_create{name = n, image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 1, {0}}, scene = {{0, 1, 0, 1}}, state = {{0, 0}}} end "
        "sprites.class_create{name = 'c', image = {dir .. 'small.bmp', nil, {32, 32}}, "
        "  frame = {ways = 1, {0}}, scene = {{0, 1, 0, 1}}, state = {{0, 0}}}");
    st_sprite_class* a = objects->sprites.find_class("a");
    st_sprite_class* b = objects->sprites.find_class("b");
    st_sprite_class* c = objects->sprites.find_class("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->image.entry(), b->image.entry());
    EXPECT_NE(a->image.entry(), c->image.entry());
    EXPECT_EQ(2u, screen->textures().entry_count());
    graphic_texture* shared = a->image.get();
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(nullptr, shared->d3d_texture()) << "defining loads nothing";

    struct step {
        const char* what;
        std::function<void()> act;
        int32_t uses;
        bool resident;
        const char* logged;  // a level-10 line it writes, or null
    };
    const step steps[] = {
        {"lock a", [&] { EXPECT_TRUE(sprite_class::lock(a, false)); }, 1, true, "10 sprite_class::lock: lock: a"},
        {"lock b", [&] { EXPECT_TRUE(sprite_class::lock(b, false)); }, 2, true, nullptr},
        {"a sprite of b", [&] { run("s = sprites.create{'b', 0, 0, 0, 0, 0, 0} assert(s)"); }, 3, true, nullptr},
        {"its release", [&] { run("sprites.release(s)"); }, 2, true, nullptr},
        {"unlock a", [&] { sprite_class::unlock(a); }, 1, true, nullptr},
        {"unlock b", [&] { sprite_class::unlock(b); }, 0, false, "10 sprite_class::unlock: unlock: b"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        log.lines.clear();
        s.act();
        EXPECT_EQ(s.uses, a->image.use_count());
        EXPECT_EQ(s.resident, shared->d3d_texture() != nullptr);
        if (s.logged) EXPECT_TRUE(log.has(s.logged));
        if (!s.logged) EXPECT_FALSE(log.has("sprite_class::"));
    }

    // In the background: queued now, finished by a later poll.
    ASSERT_TRUE(sprite_class::lock(c, true));
    int32_t done = 0;
    for (DWORD start = GetTickCount(); done == 0 && GetTickCount() - start < 5000; Sleep(5)) {
        done = sprite_class::finish_lock(c);
    }
    EXPECT_GT(done, 0);
    EXPECT_EQ(1, c->image.use_count());
    ASSERT_NE(nullptr, c->image.get());
    EXPECT_NE(nullptr, c->image.get()->d3d_texture());
    sprite_class::unlock(c);
    EXPECT_EQ(0, c->image.use_count());
    EXPECT_EQ(nullptr, c->image.get()->d3d_texture());
}
}  // namespace

TEST_F(SpriteRender, CollisionViewOutlinesBodiesInTheirListColours) {
    run("actors.class_create{name = 'box', param = {0}, body = {{0, -10, -10, 10, 10}}} "
        "actors.class_create{name = 'hidden', param = {0}, body = {{0, -10, -10, 10, 10}, attr = 0x8}} "
        "a = actors.create{'box', 50, 40, 0} h = actors.create{'hidden', 120, 40, 0}");
    auto outlined = [](uint32_t p) { return (p & 0xFF) > ((p >> 16) & 0xFF) + 60; };
    std::vector<uint32_t> p = draw();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(background, at(p, 50, 30)) << "nothing shown yet";

    const std::string show = "actors.show_collision(true, " + std::to_string(layer) + ") ";
    run((show + show).c_str());
    EXPECT_EQ(4, body_render_count()) << "one renderer a list, however often it is shown";
    p = draw();
    EXPECT_TRUE(outlined(at(p, 50, 30))) << std::hex << at(p, 50, 30);  // top edge
    EXPECT_TRUE(outlined(at(p, 40, 40))) << std::hex << at(p, 40, 40);  // left edge
    EXPECT_EQ(background, at(p, 50, 40)) << "outlines only";
    EXPECT_EQ(background, at(p, 120, 30)) << "attr bit 8 is never drawn";

    // A sleeping owner's body leaves the view; a layer filter that names
    // another layer leaves nothing either.
    run("actors.sleep(a, true)");
    p = draw();
    EXPECT_EQ(background, at(p, 50, 30)) << std::hex << at(p, 50, 30);
    run("actors.sleep(a, false) actors.show_collision_layer(3)");
    p = draw();
    EXPECT_EQ(background, at(p, 50, 30));
    run("actors.show_collision_layer()");
    p = draw();
    EXPECT_TRUE(outlined(at(p, 50, 30)));

    run("actors.show_collision(false) actors.show_collision(false)");
    EXPECT_EQ(0, body_render_count());
    p = draw();
    EXPECT_EQ(background, at(p, 50, 30));
}
