// The system's seven render layers on a real device: drawing order, the
// targets they draw into, and what reaches the screen.
#include <gtest/gtest.h>

#include "../core/scratch_dir.h"
#include "../graphics/device_fixture.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"
#include "graphics/render_layer.h"
#include "graphics/transition.h"

namespace {
// The engine's own graphic and system manager on one window, set up once
// as the entry does it.
class SystemRenderWorld : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window_ = make_test_window(160, 120);
        graphic& g = *graphic::instance();
        ready_ = window_ && g.create() && g.check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
                 g.initialize(window_) && engine_system_manager_object().create_render_world();
    }
    static void TearDownTestSuite() {
        if (window_) DestroyWindow(window_);
    }
    void SetUp() override { ASSERT_TRUE(ready_); }
    void TearDown() override {
        system_manager& sm = engine_system_manager_object();
        for (int i = 0; i < system_layer_count; ++i)
            graphic::instance()->get_layer(sm.layer_id(i))->objects.clear();
    }

    static inline HWND window_ = nullptr;
    static inline bool ready_ = false;
};

std::unique_ptr<graphic_texture, void (*)(graphic_texture*)> solid_texture(uint32_t colour) {
    graphic& g = *graphic::instance();
    graphic_texture* t = g.new_texture(true);
    std::vector<uint8_t> bmp = solid_bmp(16, 16, colour);
    t->create_from_image(bmp.data(), uint32_t(bmp.size()), D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                         D3DUSAGE_DYNAMIC);
    return {t, [](graphic_texture* x) { graphic::instance()->delete_object(x); }};
}

std::unique_ptr<graphic_sprite_object> sprite_of(graphic_texture* t, float x, float y) {
    auto s = std::make_unique<graphic_sprite_object>(graphic::instance());
    s->set_texture(t);
    s->rect = RECT{0, 0, 16, 16};
    s->position = D3DXVECTOR3(x, y, 0.0f);
    s->update_bound();
    return s;
}
}  // namespace

TEST_F(SystemRenderWorld, SevenLayersInOrderWorldIntoTargetZeroTheRestOnTheScreen) {
    graphic& g = *graphic::instance();  // the engine's own, as the entry uses it
    system_manager& sm = engine_system_manager_object();

    int position = 0;
    for (graphic_render_layer* layer : g.layers()) {
        ASSERT_LT(position, int(system_layer_count));
        EXPECT_EQ(sm.layer_id(position), layer->id) << position;
        graphic_render_target* want = position <= layer_effect ? sm.render_target(0) : g.back_buffer();
        EXPECT_EQ(want, layer->target) << position;
        ++position;
    }
    EXPECT_EQ(int(system_layer_count), position);

    sm.set_background_colour(0xFF204060);
    graphic_texture* red = g.new_texture(true);
    graphic_texture* blue = g.new_texture(true);
    std::vector<uint8_t> red_bmp = solid_bmp(16, 16, 0xFFFF0000), blue_bmp = solid_bmp(16, 16, 0xFF0000FF);
    ASSERT_TRUE(red->create_from_image(red_bmp.data(), uint32_t(red_bmp.size()), D3DFMT_UNKNOWN,
                                       D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC));
    ASSERT_TRUE(blue->create_from_image(blue_bmp.data(), uint32_t(blue_bmp.size()), D3DFMT_UNKNOWN,
                                         D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC));
    auto sprite = [&](graphic_texture* t, float x, float y) {
        auto s = std::make_unique<graphic_sprite_object>(&g);
        s->set_texture(t);
        s->rect = RECT{0, 0, 16, 16};
        s->position = D3DXVECTOR3(x, y, 0.0f);
        s->update_bound();
        return s;
    };
    auto on_screen = sprite(red, 10, 10);    // interface layer: the screen
    auto in_world = sprite(blue, 60, 60);   // object layer: render target 0
    ASSERT_TRUE(g.attach_render_object(on_screen.get(), sm.layer_id(layer_interface)));
    ASSERT_TRUE(g.attach_render_object(in_world.get(), sm.layer_id(layer_object)));
    ASSERT_TRUE(g.render());

    pixels screen = read_target(g, g.back_buffer());
    pixels world = read_target(g, sm.render_target(0));
    ASSERT_FALSE(screen.data.empty());
    ASSERT_FALSE(world.data.empty());
    EXPECT_TRUE(pixels::close_to(0xFFFF0000, screen.at(15, 15), 8)) << std::hex << screen.at(15, 15);
    EXPECT_TRUE(pixels::close_to(0xFF204060, screen.at(100, 100), 8)) << std::hex << screen.at(100, 100);
    EXPECT_TRUE(pixels::close_to(0xFF204060, screen.at(65, 65), 8))
        << "the world reaches the screen only through a transition";
    EXPECT_TRUE(pixels::close_to(0xFF0000FF, world.at(65, 65), 8)) << std::hex << world.at(65, 65);
}

TEST_F(SystemRenderWorld, TransitionsSwapTheSceneTargetsAndShowTheWorld) {
    graphic& g = *graphic::instance();
    system_manager& sm = engine_system_manager_object();
    scratch_dir dir;
    ASSERT_TRUE(engine_system_log().open(dir.path(L"system.log").c_str(), true));
    engine_system_log().set_level(10);
    auto blue = solid_texture(0xFF0000FF);
    auto in_world = sprite_of(blue.get(), 60, 60);
    ASSERT_TRUE(g.attach_render_object(in_world.get(), sm.layer_id(layer_object)));
    auto world_target = [&] { return g.get_layer(sm.layer_id(layer_object))->target; };

    // The default transition shows the world's target on the screen.
    ASSERT_TRUE(sm.create_default_transition());
    graphic_render_target* before = sm.render_target(0);
    ASSERT_TRUE(sm.set_transition(nullptr));
    EXPECT_EQ(0, sm.transit_id());
    transition* fallback = sm.current_transition();
    ASSERT_NE(nullptr, fallback);
    EXPECT_NE(before, sm.render_target(0)) << "the scene targets swap";
    EXPECT_EQ(sm.render_target(0), world_target());
    EXPECT_EQ(sm.render_target(0), g.get_layer(sm.layer_id(layer_background))->target);
    ASSERT_TRUE(g.render());
    pixels screen = read_target(g, g.back_buffer());
    EXPECT_TRUE(pixels::close_to(0xFF0000FF, screen.at(65, 65), 8)) << std::hex << screen.at(65, 65);

    // A script transition: it runs until its step reports the end, then stays
    // until the next one replaces it.
    ASSERT_TRUE(sm.start_transition(4, nullptr, 0, 4));
    transition* fade = sm.current_transition();
    EXPECT_NE(fallback, fade);
    EXPECT_EQ(4, sm.transit_id());
    EXPECT_EQ(sm.render_target(0), world_target());
    for (int i = 0; i < 6; ++i) sm.end_frame();
    EXPECT_EQ(fade, sm.current_transition());
    EXPECT_EQ(191u, fade->color >> 24) << "stepped four times, then left alone";
    graphic_render_layer* transit_layer = g.get_layer(sm.layer_id(layer_transit));
    ASSERT_EQ(1u, transit_layer->objects.size());

    // Suspended, the next transition doesn't step.
    sm.suspend_transit(true);
    ASSERT_TRUE(sm.start_transition(3, nullptr, 0, 4));
    sm.end_frame();
    EXPECT_EQ(0u, sm.current_transition()->elapsed);
    sm.suspend_transit(false);
    sm.end_frame();
    EXPECT_EQ(1u, sm.current_transition()->elapsed);

    // Unknown types are refused and the running transition stays.
    transition* running = sm.current_transition();
    EXPECT_FALSE(sm.start_transition(9, nullptr, 0, 4));
    EXPECT_FALSE(sm.start_transition(-1, nullptr, 0, 4));
    EXPECT_EQ(running, sm.current_transition());

    // Ending it brings the default back, alone in the transition layer.
    ASSERT_TRUE(sm.set_transition(nullptr));
    EXPECT_EQ(fallback, sm.current_transition());
    ASSERT_EQ(1u, transit_layer->objects.size());
    EXPECT_EQ(fallback, transit_layer->objects.front());
    ASSERT_TRUE(g.render());
    screen = read_target(g, g.back_buffer());
    EXPECT_TRUE(pixels::close_to(0xFF0000FF, screen.at(65, 65), 8)) << std::hex << screen.at(65, 65);

    engine_system_log().file().flush();
    std::string log = read_whole(dir.path(L"system.log"));
    for (const char* id : {"transit id = 0", "transit id = 4", "transit id = 3"})
        EXPECT_NE(std::string::npos, log.find(std::string("system_manager::switch_render_target: ") + id)) << id;
    engine_system_log().close();
}

// While the default transition idles the world draws straight onto the
// screen: the picture, alpha included, is the one the copy made, the next
// transition still finds the old scene, and anything drawn over the world
// brings the copy back.
TEST_F(SystemRenderWorld, DirectWorldDrawsTheSamePictureAndKeepsTheOldScene) {
    graphic& g = *graphic::instance();
    system_manager& sm = engine_system_manager_object();
    auto blue = solid_texture(0xFF0000FF);
    auto ground = sprite_of(blue.get(), 20, 20);
    ASSERT_TRUE(g.attach_render_object(ground.get(), sm.layer_id(layer_object)));
    sm.set_background_colour(0x80204060);  // the world's alpha is not opaque; the copy's is
    ASSERT_TRUE(sm.create_default_transition());
    ASSERT_TRUE(sm.set_transition(nullptr));
    g.back_buffer()->clear_color = 0xFFFF0000;  // as a fade leaves it
    graphic_render_layer* world = g.get_layer(sm.layer_id(layer_object));

    ASSERT_TRUE(g.render());
    pixels copied = read_target(g, g.back_buffer());
    pixels scene = read_target(g, sm.render_target(0));

    sm.prepare_render();
    EXPECT_EQ(g.back_buffer(), world->target) << "drawn straight onto the screen";
    ASSERT_TRUE(g.render());
    sm.finish_render();
    EXPECT_EQ(0xFFFF0000u, g.back_buffer()->clear_color);
    pixels direct = read_target(g, g.back_buffer());
    ASSERT_EQ(copied.data.size(), direct.data.size());
    size_t differing = 0;
    for (size_t i = 0; i < copied.data.size(); ++i) differing += copied.data[i] != direct.data[i];
    EXPECT_EQ(0u, differing) << std::hex << copied.at(30, 30) << " " << direct.at(30, 30);

    // A crossfade starting now takes the world as its old scene.
    ASSERT_TRUE(sm.start_transition(3, nullptr, 0, 4));
    EXPECT_EQ(sm.render_target(0), world->target);
    pixels old_scene = read_target(g, sm.render_target(1));
    for (auto [x, y] : {std::pair{5, 5}, {22, 22}, {30, 30}, {40, 40}, {100, 100}})
        EXPECT_EQ(scene.at(x, y) & 0xFFFFFFu, old_scene.at(x, y) & 0xFFFFFFu) << x << "," << y;

    // An interface sprite over the world keeps the world in its own target.
    ASSERT_TRUE(sm.set_transition(nullptr));
    auto label = sprite_of(blue.get(), 0, 0);
    ASSERT_TRUE(g.attach_render_object(label.get(), sm.layer_id(layer_interface)));
    sm.prepare_render();
    EXPECT_EQ(sm.render_target(0), world->target);
    ASSERT_TRUE(g.render());
    sm.finish_render();
    g.get_layer(sm.layer_id(layer_interface))->objects.clear();
    sm.set_background_colour(0xFF000000);
}
