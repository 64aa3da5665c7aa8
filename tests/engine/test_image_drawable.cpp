// The drawn-area scan over real textures of each pixel format.
#include <gtest/gtest.h>

#include "../graphics/device_fixture.h"
#include "engine/image_drawable.h"

namespace {
class image_drawable : public device_test {
protected:
    // A system-memory texture of the format whose listed pixels are drawn;
    // every other pixel has colour but no alpha.
    graphic_texture* texture_with(D3DFORMAT format, int w, int h, const std::vector<POINT>& drawn) {
        graphic_texture* t = g().new_texture(true);
        if (!t->create_blank(uint32_t(w), uint32_t(h), format, D3DPOOL_SYSTEMMEM, 0) || t->format() != format ||
            !t->lock())
            return nullptr;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = static_cast<uint8_t*>(t->bits()) + y * t->pitch();
            for (int x = 0; x < w; ++x) {
                bool on = false;
                for (const POINT& p : drawn) on = on || (p.x == x && p.y == y);
                if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8)
                    reinterpret_cast<uint32_t*>(row)[x] = on ? 0x01000000u : 0x00FFFFFFu;
                else if (format == D3DFMT_A4R4G4B4)
                    reinterpret_cast<uint16_t*>(row)[x] = on ? 0x1000 : 0x0FFF;
                else
                    reinterpret_cast<uint16_t*>(row)[x] = on ? 0x8000 : 0x7FFF;
            }
        }
        t->unlock();
        return t;
    }

    static image_scan scan_of(graphic_texture* t, int32_t l, int32_t tp, int32_t r, int32_t b) {
        image_scan s;
        s.texture = t;
        s.left = l;
        s.top = tp;
        s.right = r;
        s.bottom = b;
        image_drawable_scan(s);
        return s;
    }
};
}  // namespace

TEST_F(image_drawable, FindsTheSmallestRectangleInEveryAlphaFormat) {
    struct scan_case {
        const char* name;
        std::vector<POINT> drawn;
        RECT search;
        bool done;
        RECT out;
    };
    const std::vector<scan_case> cases = {
        {"one pixel", {{5, 3}}, {0, 0, 16, 8}, true, {5, 3, 6, 4}},
        {"corners", {{0, 0}, {15, 7}}, {0, 0, 16, 8}, true, {0, 0, 16, 8}},
        {"spread", {{2, 6}, {9, 1}, {4, 4}}, {0, 0, 16, 8}, true, {2, 1, 10, 7}},
        {"outside the search", {{1, 1}}, {4, 2, 16, 8}, false, {4, 2, 16, 8}},
        {"clipped by the search", {{1, 1}, {6, 5}, {14, 7}}, {2, 0, 12, 8}, true, {6, 5, 7, 6}},
        {"nothing", {}, {0, 0, 16, 8}, false, {0, 0, 16, 8}},
    };
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, D3DFMT_A4R4G4B4}) {
        for (const scan_case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " format " + std::to_string(int(format)));
            graphic_texture* t = texture_with(format, 16, 8, c.drawn);
            if (!t) {
                ADD_FAILURE() << "the device makes no texture of this format";
                continue;
            }
            image_scan s = scan_of(t, c.search.left, c.search.top, c.search.right, c.search.bottom);
            EXPECT_EQ(c.done, s.done != 0);
            EXPECT_EQ(0, s.lock_failed);
            EXPECT_EQ(c.out.left, s.out_left);
            EXPECT_EQ(c.out.top, s.out_top);
            EXPECT_EQ(c.out.right, s.out_right);
            EXPECT_EQ(c.out.bottom, s.out_bottom);
            EXPECT_EQ(nullptr, t->bits()) << "a lock taken by the scan is given back";
            g().delete_object(t);
        }
    }
}

TEST_F(image_drawable, ALockedTextureStaysLockedAndOpaqueFormatsAreNotScanned) {
    graphic_texture* t = texture_with(D3DFMT_A8R8G8B8, 8, 8, {{3, 4}});
    ASSERT_NE(nullptr, t);
    ASSERT_TRUE(t->lock());
    image_scan s = scan_of(t, 0, 0, 8, 8);
    EXPECT_TRUE(s.done);
    EXPECT_EQ(3, s.out_left);
    EXPECT_EQ(5, s.out_bottom);
    EXPECT_NE(nullptr, t->bits());
    t->unlock();

    graphic_texture* plain = g().new_texture(true);
    ASSERT_TRUE(plain->create_blank(8, 8, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, 0));
    image_scan o = scan_of(plain, 1, 1, 7, 7);
    EXPECT_FALSE(o.done);
    EXPECT_TRUE(o.no_alpha);
    EXPECT_EQ(1, o.out_left);
    EXPECT_EQ(7, o.out_bottom);
}
