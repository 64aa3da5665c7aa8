// The system's seven render layers on a real device: drawing order, the
// targets they draw into, and what reaches the screen.
#include <gtest/gtest.h>

#include "../graphics/device_fixture.h"
#include "engine/system_manager.h"
#include "graphics/render_layer.h"

TEST(SystemRenderWorld, SevenLayersInOrderWorldIntoTargetZeroTheRestOnTheScreen) {
    HWND window = make_test_window(160, 120);
    ASSERT_NE(nullptr, window);
    graphic& g = *graphic::instance();  // the engine's own, as the entry uses it
    ASSERT_TRUE(g.create() && g.check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) && g.initialize(window));
    system_manager& sm = engine_system_manager_object();
    ASSERT_TRUE(sm.create_render_world());

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

    for (int i = 0; i < system_layer_count; ++i) g.get_layer(sm.layer_id(i))->objects.clear();
    DestroyWindow(window);
}
