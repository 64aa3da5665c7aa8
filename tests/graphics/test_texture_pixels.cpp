// Texture pixel operations: alpha images in and out, opaque textures and
// GDI drawing that keeps transparency through the colour key.
#include "device_fixture.h"

namespace {

class texture_pixels_test : public device_test {
protected:
    // A dynamic texture of the format with texels from f(x, y), or none
    // when the device doesn't take the format.
    template <class F>
    graphic_texture* texture(D3DFORMAT format, uint32_t w, uint32_t h, F f) {
        graphic_texture* t = g().new_texture(true);
        if (!t->create_blank(w, h, format, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC) || t->format() != format)
            return nullptr;
        EXPECT_TRUE(t->lock(nullptr, 0));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t* p = static_cast<uint8_t*>(t->bits()) + y * t->pitch();
                if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8)
                    reinterpret_cast<uint32_t*>(p)[x] = f(x, y);
                else
                    reinterpret_cast<uint16_t*>(p)[x] = uint16_t(f(x, y));
            }
        EXPECT_TRUE(t->unlock());
        return t;
    }
    static uint32_t texel(graphic_texture* t, uint32_t x, uint32_t y) {
        uint32_t v = 0;
        if (!t->lock(nullptr, D3DLOCK_READONLY)) return 0xDEADBEEF;
        uint8_t* p = static_cast<uint8_t*>(t->bits()) + y * t->pitch();
        if (t->format() == D3DFMT_A8R8G8B8 || t->format() == D3DFMT_X8R8G8B8)
            v = reinterpret_cast<uint32_t*>(p)[x];
        else
            v = reinterpret_cast<uint16_t*>(p)[x];
        t->unlock();
        return v;
    }
};

// Pixel operations lock whole textures; sizes the device keeps as they are
// must write back too.
TEST_F(texture_pixels_test, DynamicTexturesOfAnySizeLockAndWriteBack) {
    graphic_texture* t = g().new_texture(true);
    ASSERT_TRUE(t->create_blank(6, 3, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC));
    for (uint32_t round = 0; round < 2; ++round) {
        ASSERT_TRUE(t->lock(nullptr, 0));
        static_cast<uint32_t*>(t->bits())[2 * (t->pitch() / 4) + 5] = 0xFF102030u + round;
        ASSERT_TRUE(t->unlock());
        EXPECT_EQ(texel(t, 5, 2), 0xFF102030u + round);
    }
}

TEST_F(texture_pixels_test, BrightnessImageWeighsTheColourChannels) {
    struct bright_case {
        D3DFORMAT format;
        uint32_t texel;
        uint8_t brightness;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x00FFFFFF, 255},  // alpha is not read
        {D3DFMT_A8R8G8B8, 0xFFFF0000, 75},   // (76 x 255) >> 8
        {D3DFMT_A8R8G8B8, 0xFF00FF00, 149},
        {D3DFMT_A8R8G8B8, 0xFF0000FF, 29},
        {D3DFMT_X8R8G8B8, 0x00808080, 128},
        {D3DFMT_A1R5G5B5, 0xFFFF, 248},      // channels widened to 248
        {D3DFMT_X1R5G5B5, 0x7C00, 73},       // (76 x 248) >> 8
        {D3DFMT_A4R4G4B4, 0x0F00, 0},        // red is not used
        {D3DFMT_A4R4G4B4, 0x00F0, 140},      // (150 x 240) >> 8
        {D3DFMT_A4R4G4B4, 0x000F, 99},       // (106 x 240) >> 8
    };
    for (auto& c : cases) {
        graphic_texture* t = texture(c.format, 6, 3, [&](uint32_t x, uint32_t) { return x == 5 ? c.texel : 0u; });
        if (!t) {
            ADD_FAILURE() << "format " << c.format << " not available";
            continue;
        }
        graphic_texture::alpha_image image;
        ASSERT_TRUE(t->get_alpha_image(image));
        EXPECT_EQ(image.width, 6u);
        EXPECT_EQ(image.height, 3u);
        EXPECT_EQ(image.pitch, 8u);
        EXPECT_EQ(image.row(2)[5], c.brightness) << c.format << " " << std::hex << c.texel;
        EXPECT_EQ(image.row(2)[4], 0);
    }
}

TEST_F(texture_pixels_test, AlphaImageGoesIntoTheAlphaChannelOnly) {
    struct alpha_case {
        D3DFORMAT format;
        uint32_t before;
        uint8_t value;
        uint32_t after;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0xFF123456, 0x9C, 0x9C123456},
        {D3DFMT_X8R8G8B8, 0x00123456, 0x40, 0x40123456},
        {D3DFMT_A4R4G4B4, 0xF123, 0x9C, 0x9123},
        {D3DFMT_A1R5G5B5, 0x8123, 0x00, 0x8123},  // left as it is
    };
    for (auto& c : cases) {
        graphic_texture* t = texture(c.format, 5, 4, [&](uint32_t, uint32_t) { return c.before; });
        ASSERT_TRUE(t) << c.format;
        graphic_texture::alpha_image image;
        ASSERT_TRUE(image.create(5, 4));
        image.row(3)[4] = c.value;
        image.row(0)[0] = c.value;
        ASSERT_TRUE(t->set_alpha_image(image));
        EXPECT_EQ(texel(t, 4, 3), c.after) << c.format;
        EXPECT_EQ(texel(t, 0, 0), c.after) << c.format;
    }
}

TEST_F(texture_pixels_test, SmallerAlphaImageChangesOnlyWhatItCovers) {
    graphic_texture* t = texture(D3DFMT_A8R8G8B8, 64, 64, [](uint32_t, uint32_t) { return 0xFF00FF00u; });
    ASSERT_TRUE(t);
    graphic_texture::alpha_image image;
    ASSERT_TRUE(image.create(2, 2));
    std::fill(image.pixels.begin(), image.pixels.end(), 0x11);
    ASSERT_TRUE(t->set_alpha_image(image));
    EXPECT_EQ(texel(t, 1, 1), 0x1100FF00u);
    EXPECT_EQ(texel(t, 2, 1), 0xFF00FF00u);
    EXPECT_EQ(texel(t, 1, 2), 0xFF00FF00u);
    EXPECT_EQ(texel(t, 63, 63), 0xFF00FF00u);
}

TEST_F(texture_pixels_test, MakeOpaqueSetsEveryAlpha) {
    struct opaque_case {
        D3DFORMAT format;
        uint32_t before, after;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0x00123456, 0xFF123456},
        {D3DFMT_A4R4G4B4, 0x0123, 0xF123},
        {D3DFMT_A1R5G5B5, 0x0123, 0x0123},  // left as it is
    };
    for (auto& c : cases) {
        graphic_texture* t = texture(c.format, 3, 3, [&](uint32_t, uint32_t) { return c.before; });
        ASSERT_TRUE(t) << c.format;
        ASSERT_TRUE(t->make_opaque());
        EXPECT_EQ(texel(t, 2, 2), c.after) << c.format;
    }
}

TEST_F(texture_pixels_test, GdiDrawingKeepsTransparencyThroughTheColourKey) {
    struct gdi_case {
        D3DFORMAT format;
        uint32_t clear, opaque_red, transparent;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 0xFF0000FF, 0xFFFF0000, 0},
        {D3DFMT_A1R5G5B5, 0x801F, 0xFC00, 0},
    };
    for (auto& c : cases) {
        // Left half transparent, right half opaque blue.
        graphic_texture* t = texture(c.format, 32, 16, [&](uint32_t x, uint32_t) {
            return x < 16 ? 0u : c.clear;
        });
        ASSERT_TRUE(t) << c.format;
        std::unique_ptr<graphic_texture::dc> dc(t->create_dc());
        ASSERT_TRUE(dc);
        HDC h = dc->get_dc();
        ASSERT_TRUE(h) << c.format;
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        RECT r1{4, 0, 8, 4};    // red on transparent texels
        RECT r2{20, 0, 24, 4};  // key green on opaque ones
        FillRect(h, &r1, red);
        FillRect(h, &r2, green);
        DeleteObject(red);
        DeleteObject(green);
        ASSERT_TRUE(dc->release());
        EXPECT_EQ(texel(t, 5, 1), c.opaque_red) << c.format;
        EXPECT_EQ(texel(t, 21, 1), c.transparent) << c.format;
        EXPECT_EQ(texel(t, 1, 10), c.transparent) << c.format;  // untouched: still transparent
        EXPECT_EQ(texel(t, 30, 10), c.clear) << c.format;      // untouched: still opaque blue
    }
}

TEST_F(texture_pixels_test, GdiDrawsStraightOnFormatsWithoutAlpha) {
    graphic_texture* t = texture(D3DFMT_X8R8G8B8, 16, 16, [](uint32_t, uint32_t) { return 0u; });
    ASSERT_TRUE(t);
    graphic_texture::dc* dc = t->create_dc();
    ASSERT_TRUE(dc);
    HDC h = dc->get_dc();
    ASSERT_TRUE(h);
    EXPECT_EQ(dc->get_dc(), h);  // an open context is handed out again
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{2, 2, 6, 6};
    FillRect(h, &r, red);
    DeleteObject(red);
    EXPECT_TRUE(dc->release());
    EXPECT_TRUE(dc->release());
    delete dc;
    EXPECT_EQ(texel(t, 3, 3) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(texel(t, 8, 8) & 0xFFFFFF, 0u);
}

TEST_F(texture_pixels_test, FormatsGdiCantTakeOpenNoContext) {
    graphic_texture* t = texture(D3DFMT_A4R4G4B4, 8, 8, [](uint32_t, uint32_t) { return 0xF123u; });
    ASSERT_TRUE(t);
    trace_capture trace;
    std::unique_ptr<graphic_texture::dc> dc(t->create_dc());
    EXPECT_EQ(dc->get_dc(), nullptr);
    EXPECT_EQ(trace.count("graphic_texture::dc::get_dc: Unsupport format, code=26("), 1u);
    EXPECT_TRUE(dc->release());
    EXPECT_EQ(texel(t, 1, 1), 0xF123u);
}

}  // namespace
