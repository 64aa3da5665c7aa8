// Shared images through the graphic's texture cache: one texture per
// file, counted uses, background loads and reloads after a reset.
#include "device_fixture.h"

namespace {

class texture_cache_test : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        dir_ = std::wstring(temp) + L"vy_texture_cache_" + std::to_wstring(GetCurrentProcessId()) +
               L"_" + std::to_wstring(++counter);
        CreateDirectoryW(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        // Entries keep their packages open; the cache lets go first.
        g().textures().clear();
        for (auto& f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(dir_.c_str());
        device_test::TearDown();
    }
    std::wstring write(const wchar_t* name, const std::vector<uint8_t>& bytes) {
        std::wstring path = dir_ + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
        files_.push_back(path);
        return path;
    }
    // A 16 x 16 image: blue with a pure green (keyed) left half.
    static std::vector<uint8_t> keyed_image() {
        return make_bmp(16, 16, [](int x, int) { return x < 8 ? 0xFF00FF00u : 0xFF0000FFu; });
    }
    pixels draw(graphic_texture* t) {
        int32_t id = g().create_render_layer<graphic_alpha_sprite_render_layer>();
        g().set_layer_target(id, nullptr);
        auto s = sprite_at(t, 0, 0);
        g().attach_render_object(s.get(), id);
        EXPECT_TRUE(g().render());
        delete g().remove_render_layer(id);
        return read_target(g(), g().back_buffer());
    }

    std::wstring dir_;
    std::vector<std::wstring> files_;
};

TEST_F(texture_cache_test, OneTexturePerImageCountedByUse) {
    std::wstring path = write(L"a.bmp", keyed_image());
    graphic::texture_iterator first = g().load_texture(path.c_str());
    graphic::texture_iterator second = g().load_texture(path.c_str());
    ASSERT_TRUE(first.valid());
    ASSERT_TRUE(first.get() && first.get()->d3d_texture());
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first.use_count(), 2);
    EXPECT_EQ(g().textures().entry_count(), 1u);
    EXPECT_EQ(first.get()->width(), 16u);
    auto* info = g().textures().get_info(first);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 16u);

    pixels p = draw(first.get());
    EXPECT_EQ(p.at(3, 8), 0xFF000000u);  // keyed: the clear colour shows
    EXPECT_EQ(p.at(12, 8), 0xFF0000FFu);

    ASSERT_TRUE(g().textures().release_entry(second));
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_TRUE(first.get()->d3d_texture());
    ASSERT_TRUE(g().textures().release_entry(first));
    EXPECT_EQ(first.use_count(), 0);
    EXPECT_FALSE(first.get()->d3d_texture());  // the last user gone, so is the texture
}

TEST_F(texture_cache_test, EachImageFileFormatLoads) {
    auto bmp = make_bmp(24, 12, [](int, int) { return 0xFF0000FFu; });
    struct file_case {
        const wchar_t* name;
        D3DXIMAGE_FILEFORMAT format;
    } cases[] = {{L"i.bmp", D3DXIFF_BMP}, {L"i.png", D3DXIFF_PNG}, {L"i.jpg", D3DXIFF_JPG}};
    for (auto& c : cases) {
        std::vector<uint8_t> bytes = bmp;
        if (c.format != D3DXIFF_BMP) {
            // Converted by D3DX through a plain surface.
            IDirect3DSurface9* s = nullptr;
            ASSERT_TRUE(SUCCEEDED(g().device()->CreateOffscreenPlainSurface(
                24, 12, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &s, nullptr)));
            ID3DXBuffer* out = nullptr;
            ASSERT_TRUE(SUCCEEDED(D3DXLoadSurfaceFromFileInMemory(
                s, nullptr, nullptr, bmp.data(), UINT(bmp.size()), nullptr, D3DX_FILTER_NONE, 0,
                nullptr)));
            ASSERT_TRUE(SUCCEEDED(D3DXSaveSurfaceToFileInMemory(&out, c.format, s, nullptr, nullptr)));
            auto* p = static_cast<uint8_t*>(out->GetBufferPointer());
            bytes.assign(p, p + out->GetBufferSize());
            out->Release();
            s->Release();
        }
        std::wstring path = write(c.name, bytes);
        graphic::texture_iterator it = g().load_texture(path.c_str());
        ASSERT_TRUE(it.get() && it.get()->d3d_texture());
        EXPECT_EQ(it.get()->width(), 24u);
        EXPECT_EQ(it.get()->height(), 12u);
        pixels p = draw(it.get());
        EXPECT_TRUE(pixels::close_to(p.at(12, 6), 0xFF0000FFu, 8)) << std::hex << p.at(12, 6);
        g().textures().release_entry(it);
    }
}

// A cache of the kind other subsystems keep (sounds, meshes): registered
// with the graphic, it is released and reloaded around every reset.
struct counted_resource {
    bool loaded = false;
};
struct counted_creator {
    int* loads;
    int* releases;
    counted_resource* create() { return new counted_resource; }
    bool load(counted_resource& r, const void*, uint32_t) {
        ++*loads;
        return r.loaded = true;
    }
    void release(counted_resource& r) {
        ++*releases;
        r.loaded = false;
    }
    int* create_info(const void*, uint32_t) { return nullptr; }
    int* copy_info(counted_resource&) { return nullptr; }
};

TEST_F(texture_cache_test, RegisteredCachesAreReleasedAndReloadedAroundAReset) {
    int loads = 0, releases = 0;
    resource_manager<counted_resource, counted_creator, int> cache(
        counted_creator{&loads, &releases});
    g().add(&cache);
    std::wstring path = write(L"data.bin", std::vector<uint8_t>(16, 1));
    resource_manager<counted_resource, counted_creator, int>::iterator it;
    ASSERT_TRUE(cache.find(it, path.c_str(), string()));
    ASSERT_TRUE(cache.acquire(it));
    EXPECT_EQ(loads, 1);
    ASSERT_TRUE(g().reset());
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(loads, 2);
    EXPECT_TRUE(it.get()->loaded);
    g().remove(&cache);
    cache.clear();
}

TEST_F(texture_cache_test, MissingAndBrokenImagesGiveNoTexture) {
    graphic::texture_iterator missing = g().load_texture((dir_ + L"\\none.png").c_str());
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(missing.get(), nullptr);
    std::wstring broken = write(L"broken.png", std::vector<uint8_t>(100, 0x5A));
    graphic::texture_iterator it = g().load_texture(broken.c_str());
    ASSERT_TRUE(it.valid());
    EXPECT_FALSE(it.get() && it.get()->d3d_texture());
    EXPECT_EQ(it.use_count(), 0);
    graphic_sprite_object s(&g());
    EXPECT_FALSE(s.create(broken.c_str(), ""));
    EXPECT_EQ(s.texture(), nullptr);
}

TEST_F(texture_cache_test, SpritesShareTheImageAndGiveTheirUseBack) {
    std::wstring path = write(L"s.bmp", keyed_image());
    {
        graphic_sprite_object a(&g()), b(&g());
        ASSERT_TRUE(a.create(path.c_str(), ""));
        ASSERT_TRUE(b.create(path.c_str(), ""));
        EXPECT_EQ(a.texture_kind(), texture_shared);
        EXPECT_EQ(a.texture(), b.texture());
        graphic::texture_iterator probe;
        ASSERT_TRUE(g().textures().find(probe, path.c_str(), string()));
        EXPECT_EQ(probe.use_count(), 2);
        b.set_texture(nullptr);
        EXPECT_EQ(probe.use_count(), 1);
    }
    graphic::texture_iterator probe;
    ASSERT_TRUE(g().textures().find(probe, path.c_str(), string()));
    EXPECT_EQ(probe.use_count(), 0);
}

TEST_F(texture_cache_test, BackgroundLoadOnTheLoaderThread) {
    std::wstring path = write(L"bg.bmp", keyed_image());
    graphic::texture_iterator it;
    ASSERT_TRUE(g().textures().find(it, path.c_str(), string()));
    ASSERT_EQ(g().textures().load_async(it), 0);
    int result = 0;
    for (DWORD start = GetTickCount(); result == 0 && GetTickCount() - start < 10000; Sleep(5))
        result = g().textures().finish_load(it);
    ASSERT_EQ(result, 1);
    ASSERT_TRUE(it.get()->d3d_texture());
    pixels p = draw(it.get());
    EXPECT_EQ(p.at(12, 8), 0xFF0000FFu);
    g().textures().release_entry(it);
}

TEST_F(texture_cache_test, ImagesInUseComeBackAfterAReset) {
    std::wstring path = write(L"r.bmp", keyed_image());
    std::wstring unused = write(L"u.bmp", keyed_image());
    graphic::texture_iterator it = g().load_texture(path.c_str());
    graphic::texture_iterator other = g().load_texture(unused.c_str());
    g().textures().release_entry(other);
    ASSERT_TRUE(it.get() && it.get()->d3d_texture());
    ASSERT_TRUE(g().reset());
    ASSERT_TRUE(it.get()->d3d_texture());
    EXPECT_FALSE(other.get()->d3d_texture());
    pixels p = draw(it.get());
    EXPECT_EQ(p.at(3, 8), 0xFF000000u);
    EXPECT_EQ(p.at(12, 8), 0xFF0000FFu);
    g().textures().release_entry(it);
}

}  // namespace
