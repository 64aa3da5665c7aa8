// Actions on a real device: a window, one alpha layer that the actors'
// class layer 0 names, and image files in a folder of the test's own.
#ifndef VY_TESTS_ACTIONS_DRAW_FIXTURE_H
#define VY_TESTS_ACTIONS_DRAW_FIXTURE_H

#include "../graphics/device_fixture.h"
#include "../world/sprite_fixture.h"
#include "actions/draw_action.h"
#include "actions_fixture.h"
#include "world/sprite_manager.h"

class draw_test : public actions_test {
protected:
    static constexpr int width = 160;
    static constexpr int height = 120;
    static constexpr uint32_t background = 0xFF404040;

    void SetUp() override {
        actions_test::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "vy_draw_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        ASSERT_TRUE(write_bmp(dir + "wide.bmp", 128, 64));
        ASSERT_TRUE(write_bmp(dir + "small.bmp", 64, 32));
        lua_pushstring(L, dir.c_str());
        lua_setglobal(L, "dir");
        window = make_test_window(width, height);
        ASSERT_NE(nullptr, window);
        set_client_size(window, width, height);
        ASSERT_TRUE(screen->create() && screen->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
                    screen->initialize(window))
            << "no device";
        layer = screen->create_render_layer<graphic_alpha_sprite_render_layer>();
        ASSERT_GE(layer, 0);
        ASSERT_TRUE(screen->set_layer_target(layer, nullptr));
        screen->back_buffer()->clear_color = background;
        const int32_t ids[] = {layer};
        set_render_layer_table(ids, 1);
        hero = plain_actor("hero");
        ASSERT_NE(nullptr, hero);
    }
    void TearDown() override {
        actions_test::TearDown();
        set_render_layer_table(nullptr, 0);
        if (window) DestroyWindow(window);
        for (const std::string& name : files) DeleteFileA((dir + name).c_str());
        DeleteFileA((dir + "wide.bmp").c_str());
        DeleteFileA((dir + "small.bmp").c_str());
        RemoveDirectoryA(dir.c_str());
    }

    // One frame of the world and a render; the back buffer read back.
    pixels draw() {
        EXPECT_EQ(0, world_frame_step());
        EXPECT_TRUE(screen->render());
        world_end_frame();
        return read_target(*screen, screen->back_buffer());
    }

    // The level-1 lines written under an origin.
    std::vector<std::string> errors(const std::string& origin) const {
        std::vector<std::string> out;
        const std::string prefix = "1 " + origin + ": ";
        for (const auto& line : log.lines) {
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

    // The texels of a texture as A8R8G8B8 words.
    static pixels texels(graphic_texture* t) {
        pixels p;
        if (!t || !t->lock(nullptr, D3DLOCK_READONLY)) return p;
        p.width = t->width();
        p.height = t->height();
        p.data.resize(size_t(p.width) * p.height);
        for (uint32_t y = 0; y < p.height; ++y) {
            std::memcpy(&p.data[size_t(y) * p.width], static_cast<uint8_t*>(t->bits()) + size_t(y) * t->pitch(),
                        p.width * 4);
        }
        t->unlock();
        return p;
    }

    std::string dir;
    std::vector<std::string> files;  // made by the test, deleted after it
    HWND window = nullptr;
    int32_t layer = -1;
    actor_object* hero = nullptr;
};

// The colour write_bmp gives the cell (column, row).
constexpr uint32_t cell(int column, int row) {
    return 0xFFC80000u | uint32_t(40 + 100 * row) << 8 | uint32_t(40 + 50 * column);
}

#endif
