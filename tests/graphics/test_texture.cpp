// Textures from image bytes, blank textures and render targets: sizes,
// the colour key, locks in every pool, copies, resizing and saving.
#include "device_fixture.h"

namespace {

constexpr uint32_t key_green = 0xFF00FF00;

// Image bytes in another file format, converted by D3DX from a BMP.
std::vector<uint8_t> convert_image(IDirect3DDevice9* device, const std::vector<uint8_t>& bmp,
                                   D3DXIMAGE_FILEFORMAT format) {
    std::vector<uint8_t> out;
    D3DXIMAGE_INFO info;
    if (FAILED(D3DXGetImageInfoFromFileInMemory(bmp.data(), UINT(bmp.size()), &info))) return out;
    IDirect3DSurface9* s = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface(info.Width, info.Height, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, &s, nullptr)))
        return out;
    ID3DXBuffer* buffer = nullptr;
    if (SUCCEEDED(D3DXLoadSurfaceFromFileInMemory(s, nullptr, nullptr, bmp.data(), UINT(bmp.size()),
                                                  nullptr, D3DX_FILTER_NONE, 0, nullptr)) &&
        SUCCEEDED(D3DXSaveSurfaceToFileInMemory(&buffer, format, s, nullptr, nullptr))) {
        auto* p = static_cast<uint8_t*>(buffer->GetBufferPointer());
        out.assign(p, p + buffer->GetBufferSize());
        buffer->Release();
    }
    s->Release();
    return out;
}

// Texel (x, y) of a locked 32-bit texture.
uint32_t texel(const graphic_texture& t, int x, int y) {
    return static_cast<const uint32_t*>(t.bits())[size_t(y) * (t.pitch() / 4) + x];
}

uint32_t read_texel(graphic_texture& t, int x, int y) {
    if (!t.lock(nullptr, D3DLOCK_READONLY)) return 0xDEADBEEF;
    uint32_t v = texel(t, x, y);
    t.unlock();
    return v;
}

// A 100 x 60 image: red, with a pure green square at (10..19, 10..19) and
// a blue texel at (99, 59).
std::vector<uint8_t> pattern_bmp() {
    return make_bmp(100, 60, [](int x, int y) -> uint32_t {
        if (x >= 10 && x < 20 && y >= 10 && y < 20) return key_green;
        if (x == 99 && y == 59) return 0xFF0000FF;
        return 0xFFFF0000;
    });
}

uint32_t pow2_if(bool round, uint32_t v) {
    if (!round) return v;
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}

class texture_test : public device_test {};

TEST_F(texture_test, ImagesOfEachFileFormatLoadWithTheirSizeAndTheColourKey) {
    auto bmp = pattern_bmp();
    struct image_case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool lossless;
    } cases[] = {
        {"bmp", bmp, true},
        {"png", convert_image(g().device(), bmp, D3DXIFF_PNG), true},
        {"jpg", convert_image(g().device(), bmp, D3DXIFF_JPG), false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        graphic_texture::image_info_t info;
        ASSERT_TRUE(graphic_texture::get_image_info(c.bytes.data(), uint32_t(c.bytes.size()), info));
        EXPECT_EQ(info.width, 100u);
        EXPECT_EQ(info.height, 60u);
        graphic_texture* t = image_texture(c.bytes);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->width(), 100u);
        EXPECT_EQ(t->height(), 60u);
        // Image textures are padded to powers of two; the padding is not
        // part of the image.
        EXPECT_EQ(t->real_width(), 128u);
        EXPECT_EQ(t->real_height(), 64u);
        EXPECT_EQ(t->format(), D3DFMT_A8R8G8B8);
        ASSERT_TRUE(t->lock(nullptr, D3DLOCK_READONLY));
        if (c.lossless) {
            EXPECT_EQ(texel(*t, 15, 15), 0x00000000u);  // the key: transparent black
            EXPECT_EQ(texel(*t, 5, 5), 0xFFFF0000u);
            EXPECT_EQ(texel(*t, 99, 59), 0xFF0000FFu);
        } else {
            EXPECT_TRUE(pixels::close_to(texel(*t, 50, 40), 0xFFFF0000u, 8));
        }
        t->unlock();
    }
    graphic_texture::image_info_t info;
    const char junk[] = "not an image";
    EXPECT_FALSE(graphic_texture::get_image_info(junk, sizeof junk, info));
    EXPECT_FALSE(image_texture(std::vector<uint8_t>(junk, junk + sizeof junk)));
}

TEST_F(texture_test, BlankTexturesRoundUpOnlyWhereTheDeviceAsks) {
    const DWORD caps = g().caps().TextureCaps;
    const bool round = caps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    graphic_texture* t = g().new_texture(true);
    ASSERT_TRUE(t->create_blank(100, 60, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0));
    EXPECT_EQ(t->width(), 100u);
    EXPECT_EQ(t->height(), 60u);
    EXPECT_EQ(t->real_width(), pow2_if(round, 100));
    EXPECT_EQ(t->real_height(), pow2_if(round, 60));
    EXPECT_EQ(t->format(), g().render_format());
    // Slot create: the screen's size, dynamic in the default pool.
    graphic_texture* screen = g().new_texture(true);
    ASSERT_TRUE(screen->create());
    EXPECT_EQ(screen->width(), uint32_t(width));
    EXPECT_EQ(screen->pool(), D3DPOOL_DEFAULT);
    EXPECT_EQ(screen->usage(), uint32_t(D3DUSAGE_DYNAMIC));
}

TEST_F(texture_test, BlankTexturesBeyondTheDevicesLimitAreRefused) {
    const D3DCAPS9& caps = g().caps();
    const struct {
        uint32_t w, h;
    } sizes[] = {{caps.MaxTextureWidth + 1, 1}, {1, caps.MaxTextureHeight + 1}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const auto& s : sizes) {
        graphic_texture* t = g().new_texture(true);
        EXPECT_FALSE(t->create_blank(s.w, s.h, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, 0)) << s.w << " x " << s.h;
        EXPECT_EQ(nullptr, t->d3d_texture());
    }
    graphic_texture* t = g().new_texture(true);
    EXPECT_TRUE(t->create_blank(caps.MaxTextureWidth, 1, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, 0));
}

// Each pool and usage locks its own way; every written texel must reach
// the device texture by the unlock.
TEST_F(texture_test, LocksInEveryPoolWriteBackAtUnlock) {
    struct lock_case {
        const char* name;
        D3DPOOL pool;
        uint32_t usage;
        uint32_t flags;
        int32_t mode;
    } cases[] = {
        {"managed", D3DPOOL_MANAGED, 0, 0, graphic_texture::lock_direct},
        {"system memory", D3DPOOL_SYSTEMMEM, 0, 0, graphic_texture::lock_direct},
        {"dynamic, whole, discard", D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, D3DLOCK_DISCARD,
         graphic_texture::lock_direct},
        {"dynamic", D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, 0, graphic_texture::lock_file_copy},
        {"default", D3DPOOL_DEFAULT, 0, 0, graphic_texture::lock_file_copy},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        graphic_texture* t = g().new_texture(true);
        ASSERT_TRUE(t->create_blank(16, 16, D3DFMT_A8R8G8B8, c.pool, c.usage));
        ASSERT_TRUE(t->lock(nullptr, c.flags));
        EXPECT_EQ(t->mode(), c.mode);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                static_cast<uint32_t*>(t->bits())[y * (t->pitch() / 4) + x] = 0xFF00FF00u + x;
        ASSERT_TRUE(t->unlock());
        EXPECT_EQ(t->mode(), graphic_texture::lock_none);
        if (c.pool == D3DPOOL_SYSTEMMEM) continue;  // not drawable
        // Look at it the only way that works for every pool: draw it.
        int32_t id = g().create_render_layer<graphic_opaque_sprite_render_layer>();
        g().set_layer_target(id, nullptr);
        auto s = sprite_at(t, 0, 0);
        s->blend = 1;  // plain copy
        g().attach_render_object(s.get(), id);
        ASSERT_TRUE(g().render());
        pixels p = read_target(g(), g().back_buffer());
        EXPECT_EQ(p.at(3, 3), 0xFF00FF03u);
        EXPECT_EQ(p.at(9, 12), 0xFF00FF09u);
        delete g().remove_render_layer(id);
    }
}

TEST_F(texture_test, RenderTargetsLockThroughACopyOfWhatWasDrawn) {
    graphic_render_target* rt = graphic_render_target_create(&g(), 32, 16);
    ASSERT_TRUE(rt);
    EXPECT_EQ(rt->width(), 32u);
    rt->clear_color = 0xFF123456;
    int32_t id = g().create_render_layer<graphic_alpha_sprite_render_layer>();
    g().set_layer_target(id, rt);
    ASSERT_TRUE(g().render());
    ASSERT_TRUE(rt->lock(nullptr, 0));
    EXPECT_EQ(rt->mode(), graphic_texture::lock_target_copy);
    EXPECT_EQ(texel(*rt, 31, 15), 0xFF123456u);
    static_cast<uint32_t*>(rt->bits())[0] = 0xFFABCDEF;
    ASSERT_TRUE(rt->unlock());
    pixels p = read_target(g(), rt);
    EXPECT_EQ(p.at(0, 0), 0xFFABCDEFu);
    EXPECT_EQ(p.at(1, 0), 0xFF123456u);
    // A target of size 0 follows the screen.
    graphic_render_target* screen = graphic_render_target_create(&g(), 0, 0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->width(), uint32_t(width));
    EXPECT_EQ(screen->height(), uint32_t(height));
}

TEST_F(texture_test, DuplicateCopiesRowByRowOrThroughGdi) {
    auto bmp = pattern_bmp();
    graphic_texture* source = image_texture(bmp);
    ASSERT_TRUE(source);
    struct copy_case {
        const char* name;
        D3DPOOL pool;
        uint32_t usage;
    } cases[] = {
        {"managed", D3DPOOL_MANAGED, 0},
        {"dynamic", D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        graphic_texture* copy = g().new_texture(true);
        ASSERT_TRUE(copy->create_blank(source->real_width(), source->real_height(),
                                       D3DFMT_A8R8G8B8, c.pool, c.usage));
        ASSERT_TRUE(copy->duplicate(source));
        EXPECT_EQ(read_texel(*copy, 5, 5), 0xFFFF0000u);
        EXPECT_EQ(read_texel(*copy, 15, 15), 0u);
        EXPECT_EQ(read_texel(*copy, 99, 59), 0xFF0000FFu);
    }
    // Another format or another size goes through GDI: colours survive,
    // stretched to the whole destination, and the copy is opaque.
    graphic_texture* other = g().new_texture(true);
    ASSERT_TRUE(other->create_blank(100, 60, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, 0));
    ASSERT_TRUE(other->duplicate(source));
    EXPECT_EQ(read_texel(*other, 5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(read_texel(*other, 99, 59) & 0xFFFFFF, 0x0000FFu);
    graphic_texture* half = g().new_texture(true);
    ASSERT_TRUE(half->create_blank(50, 30, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 0));
    ASSERT_TRUE(half->duplicate(source));
    EXPECT_EQ(read_texel(*half, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(read_texel(*half, 40, 25), 0xFFFF0000u);

    // Render targets copy on the device.
    graphic_render_target* a = graphic_render_target_create(&g(), 16, 16);
    graphic_render_target* b = graphic_render_target_create(&g(), 16, 16);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->fill(0xFF336699));
    ASSERT_TRUE(b->duplicate(a));
    EXPECT_EQ(read_target(g(), b).at(7, 7), 0xFF336699u);
}

TEST_F(texture_test, ResizeKeepsTheOverlapAndFailsWithoutHarm) {
    graphic_texture* t = g().new_texture(true);
    ASSERT_TRUE(t->create_blank(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 0));
    ASSERT_TRUE(t->lock(nullptr, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            static_cast<uint32_t*>(t->bits())[y * (t->pitch() / 4) + x] = uint32_t(y * 8 + x);
    ASSERT_TRUE(t->unlock());

    ASSERT_TRUE(t->resize(12, 4));
    EXPECT_EQ(t->width(), 12u);
    EXPECT_EQ(t->height(), 4u);
    EXPECT_EQ(t->format(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(read_texel(*t, 7, 3), 31u);
    EXPECT_EQ(read_texel(*t, 0, 1), 8u);

    IDirect3DTexture9* before = t->d3d_texture();
    trace_capture log;
    EXPECT_FALSE(t->resize(1u << 20, 4));  // beyond any device
    // The device's answer is logged with its HRESULT, then the step.
    std::string text = log.text();
    EXPECT_NE(text.find("graphic_texture::create: CreateTexture, code=-20055305"), std::string::npos)
        << text;
    EXPECT_NE(text.find("(0x8876086"), std::string::npos);
    EXPECT_NE(text.find("graphic_texture::resize: create, code=-1(0xFFFFFFFF)"), std::string::npos);
    EXPECT_EQ(t->d3d_texture(), before);
    EXPECT_EQ(t->width(), 12u);
    EXPECT_EQ(read_texel(*t, 7, 3), 31u);
}

TEST_F(texture_test, SavesEveryFileFormatAtTheImageSize) {
    graphic_texture* t = image_texture(pattern_bmp());
    ASSERT_TRUE(t);
    ASSERT_EQ(t->real_width(), 128u);
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    struct save_case {
        const char* name;
        int32_t format;
        const wchar_t* file;
        bool lossless;
    } cases[] = {
        {"bmp", image_format_bmp, L"vy_save.bmp", false},
        {"jpg", image_format_jpg, L"vy_save.jpg", false},
        {"png", image_format_png, L"vy_save.png", true},
        {"dds", image_format_dds, L"vy_save.dds", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        graphic_buffer memory;
        ASSERT_TRUE(t->save(c.format, memory));
        std::wstring path = std::wstring(dir) + c.file;
        ASSERT_TRUE(t->save(path.c_str(), c.format));
        // The file holds exactly the bytes saved to memory.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::vector<uint8_t> file(GetFileSize(h, nullptr));
        DWORD got = 0;
        ReadFile(h, file.data(), DWORD(file.size()), &got, nullptr);
        CloseHandle(h);
        DeleteFileW(path.c_str());
        ASSERT_EQ(file.size(), memory.size);
        EXPECT_EQ(0, std::memcmp(file.data(), memory.data, memory.size));

        graphic_texture::image_info_t info;
        ASSERT_TRUE(graphic_texture::get_image_info(memory.data, memory.size, info));
        EXPECT_EQ(info.width, 100u);
        EXPECT_EQ(info.height, 60u);
        if (!c.lossless) continue;  // BMP keeps no alpha, JPEG no exact colour
        // Loaded back without a colour key, every texel is what was saved.
        IDirect3DTexture9* back = nullptr;
        ASSERT_TRUE(SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(
            g().device(), memory.data, memory.size, D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1,
            0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
            nullptr, &back)));
        D3DLOCKED_RECT lr;
        ASSERT_TRUE(SUCCEEDED(back->LockRect(0, &lr, nullptr, D3DLOCK_READONLY)));
        auto at = [&](int x, int y) {
            return static_cast<uint32_t*>(lr.pBits)[y * (lr.Pitch / 4) + x];
        };
        EXPECT_EQ(at(5, 5) & 0xFFFFFF, 0xFF0000u);
        EXPECT_EQ(at(99, 59) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(at(15, 15), 0u);
        back->UnlockRect(0);
        back->Release();
    }
}

TEST_F(texture_test, DefaultPoolTexturesComeBackAfterAResetRenderTargetsAtTheirSize) {
    graphic_render_target* rt = graphic_render_target_create(&g(), 0, 0);
    graphic_render_target* fixed = graphic_render_target_create(&g(), 20, 10);
    graphic_texture* dynamic = g().new_texture(true);
    ASSERT_TRUE(rt && fixed && dynamic->create_blank(30, 30, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                      D3DUSAGE_DYNAMIC));
    graphic_memory_texture* memory = new graphic_memory_texture(&g());
    g().add_object(memory);
    ASSERT_TRUE(memory->create_blank(16, 16, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC));
    ASSERT_TRUE(memory->copy());
    ASSERT_TRUE(g().reset());
    for (graphic_texture* t : {static_cast<graphic_texture*>(rt), static_cast<graphic_texture*>(fixed),
                               dynamic, static_cast<graphic_texture*>(memory)}) {
        EXPECT_TRUE(t->d3d_texture());
        EXPECT_FALSE(t->lost());
    }
    EXPECT_EQ(rt->width(), uint32_t(width));
    EXPECT_EQ(fixed->width(), 20u);
    EXPECT_EQ(dynamic->width(), 30u);
    EXPECT_TRUE(memory->copy());
    EXPECT_TRUE(g().render());
}

}  // namespace
