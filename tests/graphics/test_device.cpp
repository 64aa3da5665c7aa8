// Opening the device on a window, the formats and modes it settles on, and
// getting it back after resets and mode switches.
#include "device_fixture.h"

#include <algorithm>

namespace {

// Records the order in which the graphic tells objects about a reset.
struct reset_recorder : graphic_object {
    reset_recorder(graphic* g, char name, std::string& log) : graphic_object(g), name_(name), log_(log) {}
    bool onlost() override { log_ += "L"; log_ += name_; return true; }
    bool restore() override { log_ += "R"; log_ += name_; return true; }
    char name_;
    std::string& log_;
};

class device_setup_test : public ::testing::Test {
protected:
    void TearDown() override { device_.close(); }
    test_device device_;
    trace_capture log_;
};

TEST_F(device_setup_test, OpensOnTheWindowWithCheckedFormatsAndLogsThem) {
    ASSERT_TRUE(device_.open(160, 120));
    graphic& g = *device_.g;
    EXPECT_EQ(g.window(), device_.window);
    EXPECT_EQ(g.fullscreen_format(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(g.render_format(), D3DFMT_A8R8G8B8);
    EXPECT_TRUE(g.present_parameters().EnableAutoDepthStencil);
    const D3DFORMAT depths[] = {D3DFMT_D32F_LOCKABLE, D3DFMT_D32, D3DFMT_D24FS8,
                                D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8};
    EXPECT_NE(std::find(std::begin(depths), std::end(depths), g.depth_format()), std::end(depths));
    EXPECT_EQ(g.client_width(), 160u);
    EXPECT_EQ(g.client_height(), 120u);

    std::string text = log_.text();
    for (const char* line :
         {"graphic::check_format: AutoDepthStencilFormat, code=",
          "graphic::check_format: Render Format, code=21(0x00000015)",
          "graphic::check_format: Fullscreen Display Format, code=22(0x00000016)",
          "graphic::check_format: Window Back Format, code=", "Display Infotmation: Width=",
          "EnumAdapterModes: 160x120 22", "graphic::initialize: CreateDevice HAL, code=0(",
          "graphic::check_device_caps: MaxTextureWidth, code="})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    // The frame is always drawn off screen, then copied to the device's
    // back buffer by the screen layer.
    ASSERT_TRUE(g.back_buffer() && g.screen_buffer() && g.screen_layer());
    EXPECT_FALSE(g.back_buffer()->wraps_back_buffer());
    EXPECT_EQ(g.back_buffer()->width(), 160u);
    EXPECT_EQ(g.back_buffer()->height(), 120u);
    EXPECT_TRUE(g.screen_buffer()->wraps_back_buffer());
    EXPECT_EQ(g.screen_layer()->target, g.screen_buffer());

    // Every listed resolution covers the window and appears once.
    for (size_t i = 0; i < g.resolutions().size(); ++i) {
        const auto& r = g.resolutions()[i];
        EXPECT_GE(r.width, 160u);
        EXPECT_GE(r.height, 120u);
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(g.resolutions()[j].width == r.width && g.resolutions()[j].height == r.height);
    }
    EXPECT_GE(g.fullscreen_width(), 160u);
    EXPECT_GE(g.fullscreen_height(), 120u);
}

TEST_F(device_setup_test, CallsOutOfOrderFailWithTheirLine) {
    graphic g;
    EXPECT_FALSE(g.check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8));
    EXPECT_EQ(log_.count("graphic::check_format: no interface, code=-1(0xFFFFFFFF)"), 1u);
    ASSERT_TRUE(g.create());
    HWND w = make_test_window(64, 48);
    EXPECT_FALSE(g.initialize(w));
    EXPECT_EQ(log_.count("graphic::initialize: no check, code=-1"), 1u);
    // The same formats twice: the second check does nothing.
    ASSERT_TRUE(g.check_format(D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN));
    size_t lines = log_.count("\n");
    EXPECT_TRUE(g.check_format(D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8));
    EXPECT_EQ(log_.count("\n"), lines);
    EXPECT_EQ(g.render_format(), D3DFMT_X8R8G8B8);
    // Without a window nothing is reset.
    EXPECT_TRUE(g.reset());
    DestroyWindow(w);
}

TEST_F(device_setup_test, WindowWiderThanEveryModeStillOpens) {
    int wide = GetSystemMetrics(SM_CXSCREEN) + 32;
    ASSERT_TRUE(device_.open(wide, 64));
    graphic& g = *device_.g;
    EXPECT_EQ(log_.count("graphic::initialize: EnumAdapterModes, code="), 1u);
    EXPECT_EQ(g.fullscreen_width(), g.client_width());
    EXPECT_EQ(g.fullscreen_height(), g.client_height());
    EXPECT_FLOAT_EQ(g.fs_scale_x(), 1.0f);
    EXPECT_TRUE(g.render());
}

class device_reset_test : public device_setup_test {
protected:
    void SetUp() override {
        // Large enough for the display's mode to be a full-screen candidate.
        ASSERT_TRUE(device_.open(640, 480));
        g().back_buffer()->clear_color = 0xFF204060;
        id_ = g().create_render_layer<graphic_alpha_sprite_render_layer>();
        g().set_layer_target(id_, nullptr);
        // A managed texture keeps its texels through a reset.
        auto image = solid_bmp(8, 8, 0xFFFF0000);
        texture_ = g().new_texture(true);
        ASSERT_TRUE(texture_->create_from_image(image.data(), uint32_t(image.size()),
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0));
        sprite_ = std::make_unique<graphic_sprite_object>(&g());
        sprite_->set_texture(texture_);
        sprite_->rect = RECT{0, 0, 8, 8};
        sprite_->position = D3DXVECTOR3(10, 10, 0);
        sprite_->update_bound();
        g().attach_render_object(sprite_.get(), id_);
        g().add_object(new reset_recorder(&g(), 'a', order_));
        g().add_object(new reset_recorder(&g(), 'b', order_));
    }
    graphic& g() { return *device_.g; }

    void expect_frame_drawn() {
        ASSERT_TRUE(g().render());
        pixels p = read_target(g(), g().back_buffer());
        ASSERT_EQ(p.width, g().client_width());
        EXPECT_EQ(p.at(0, 0), 0xFF204060u);
        EXPECT_EQ(p.at(12, 12), 0xFFFF0000u);
        EXPECT_EQ(p.at(p.width - 1, p.height - 1), 0xFF204060u);
    }

    // The device's back buffer as the screen layer leaves it (read before
    // Present, after which it is undefined).
    pixels screen_of_frame() {
        IDirect3DDevice9* d = g().device();
        g().render();
        if (FAILED(d->BeginScene())) return pixels();
        for (graphic_render_layer* l : g().layers()) l->render();
        g().screen_layer()->render();
        d->EndScene();
        return read_target(g(), g().screen_buffer());
    }

    int32_t id_ = 0;
    graphic_texture* texture_ = nullptr;
    std::unique_ptr<graphic_sprite_object> sprite_;
    std::string order_;
};

TEST_F(device_reset_test, ResizeResetsTheDeviceAndTheNextFrameDraws) {
    expect_frame_drawn();
    set_client_size(device_.window, 200, 150);
    ASSERT_TRUE(g().reset());
    EXPECT_EQ(g().client_width(), 200u);
    EXPECT_EQ(g().client_height(), 150u);
    EXPECT_EQ(order_, "LaLbRaRb");
    // The off-screen screen follows the window.
    EXPECT_EQ(g().back_buffer()->width(), 200u);
    EXPECT_FALSE(g().device_lost());
    expect_frame_drawn();
}

TEST_F(device_reset_test, FullScreenAndBackAroundAModeSwitch) {
    expect_frame_drawn();
    ASSERT_TRUE(g().fullscreen(true));
    EXPECT_FALSE(g().present_parameters().Windowed);
    EXPECT_EQ(g().present_parameters().BackBufferWidth, g().fullscreen_width());
    EXPECT_FLOAT_EQ(g().screen_offset_x(), (float(g().fullscreen_width()) - 640.0f) * 0.5f);
    EXPECT_EQ(order_, "LaLbRaRb");
    expect_frame_drawn();
    // The screen layer puts the logical screen in the middle of the
    // display, and with scaling on fills it as far as the aspect allows.
    const float ox = g().screen_offset_x(), oy = g().screen_offset_y();
    pixels screen = screen_of_frame();
    ASSERT_EQ(screen.width, g().fullscreen_width());
    EXPECT_EQ(screen.at(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(screen.at(int(ox) + 12, int(oy) + 12), 0xFFFF0000u);
    EXPECT_EQ(screen.at(int(ox) + 1, int(oy) + 1), 0xFF204060u);
    ASSERT_TRUE(g().set_scaling(true));
    const float scale = g().fs_scale_x();
    screen = screen_of_frame();
    const float cx = g().fullscreen_width() * 0.5f, cy = g().fullscreen_height() * 0.5f;
    EXPECT_EQ(screen.at(int(cx + (14 - 320) * scale), int(cy + (14 - 240) * scale)), 0xFFFF0000u);
    ASSERT_TRUE(g().set_scaling(false));
    ASSERT_TRUE(g().fullscreen(false));
    EXPECT_TRUE(g().present_parameters().Windowed);
    EXPECT_FLOAT_EQ(g().screen_offset_x(), 0.0f);
    EXPECT_EQ(order_, "LaLbRaRbLaLbRaRb");
    expect_frame_drawn();
}

TEST_F(device_setup_test, FailedSwitchComesBackInTheWindowAtTheNextFrame) {
    // No display mode fits a window this small: full screen would have the
    // window's own size, which the display refuses.
    ASSERT_TRUE(device_.open(160, 120));
    graphic& g = *device_.g;
    g.back_buffer()->clear_color = 0xFF204060;
    g.create_render_layer<graphic_alpha_sprite_render_layer>();  // clears the screen
    if (g.fullscreen(true)) GTEST_SKIP() << "the display accepted a 160x120 mode";
    EXPECT_EQ(log_.count("graphic::fullscreen: Reset, code="), 1u);
    EXPECT_TRUE(g.device_lost());
    EXPECT_TRUE(g.present_parameters().Windowed);
    ASSERT_TRUE(g.render());
    EXPECT_FALSE(g.device_lost());
    pixels p = read_target(g, g.back_buffer());
    ASSERT_EQ(p.width, 160u);
    EXPECT_EQ(p.at(5, 5), 0xFF204060u);
}

TEST_F(device_reset_test, LostDeviceIsLoggedOnceAndRecoveredByTheNextFrame) {
    g().set_device_lost();
    g().set_device_lost();
    EXPECT_EQ(log_.count("graphic::set_device_lost: device lost, code=-1"), 1u);
    EXPECT_TRUE(g().device_lost());
    // The device itself is fine, so the frame's restore finds it usable.
    expect_frame_drawn();
    EXPECT_FALSE(g().device_lost());
}

// The render loop's once-per-run logging.
struct errorlog_probe : errorlog_once {
    void next_frame() {
        previous_frame_good_ = this_frame_good_;
        this_frame_good_ = true;
    }
};

TEST(errorlog_once_test, LogsTheFirstFailureOfEachRun) {
    trace_capture log;
    errorlog_probe probe;
    const bool fails[] = {true, true, true, false, true, false, false, true};
    for (bool fail : fails) {
        probe.next_frame();
        if (fail) probe.log_error("Some render layers failed.", -1);
    }
    EXPECT_EQ(log.count("graphic::render: Some render layers failed., code=-1(0xFFFFFFFF)"), 3u);
}

}  // namespace
