// Meshes from .x file images in memory: materials, shared textures, bounds,
// and the mesh cache around a device reset.
#include <cmath>

#include "device_fixture.h"
#include "graphics/graphic3d.h"

namespace {
// Two triangles over four points; two materials, the first with a texture
// whose name holds two points.
const char* const quad_x =
    "xof 0303txt 0032\n"
    "Mesh {\n"
    " 4;\n"
    " -1.0;-1.0;0.0;,\n"
    " 3.0;-1.0;0.0;,\n"
    " 3.0;1.0;2.0;,\n"
    " -1.0;1.0;0.0;;\n"
    " 2;\n"
    " 3;0,1,2;,\n"
    " 3;0,2,3;;\n"
    " MeshMaterialList {\n"
    "  2;\n"
    "  2;\n"
    "  0,\n"
    "  1;;\n"
    "  Material {\n"
    "   1.0;0.0;0.0;1.0;;\n"
    "   8.0;\n"
    "   0.0;0.0;0.0;;\n"
    "   0.0;0.0;0.0;;\n"
    "   TextureFilename { \"skin.v2.bmp\"; }\n"
    "  }\n"
    "  Material {\n"
    "   0.0;1.0;0.0;0.5;;\n"
    "   1.0;\n"
    "   0.0;0.0;0.0;;\n"
    "   0.0;0.0;0.0;;\n"
    "  }\n"
    " }\n"
    "}\n";

std::wstring texture_dir;
std::vector<std::string> asked;

// Finds "<name>.bmp" in the test's folder, and remembers what was asked.
bool test_resolver(const char* name, wstring& path, string& entry) {
    asked.push_back(name);
    std::wstring full = texture_dir + L"\\" + std::wstring(name, name + std::strlen(name)) + L".bmp";
    entry = string();
    if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    path = wstring(full.c_str());
    return true;
}

class mesh_test : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        texture_dir = std::wstring(temp) + L"vy_mesh_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(texture_dir.c_str(), nullptr);
        write(L"skin.v2.bmp", solid_bmp(4, 4, 0xFF0000FF));
        asked.clear();
        set_mesh_texture_resolver(test_resolver);
    }
    void TearDown() override {
        set_mesh_texture_resolver(nullptr);
        g().textures().clear();
        for (auto& f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(texture_dir.c_str());
        device_test::TearDown();
    }
    std::wstring write(const wchar_t* name, const std::vector<uint8_t>& bytes) {
        std::wstring path = texture_dir + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
        files_.push_back(path);
        return path;
    }
    static std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

    std::vector<std::wstring> files_;
};

void expect_quad_bounds(const graphic_mesh::st_object_data& b) {
    const float box_min[3] = {-1, -1, 0}, box_max[3] = {3, 1, 2}, centre[3] = {1, 0, 0.5f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(box_min[i], b.box_min[i]);
        EXPECT_FLOAT_EQ(box_max[i], b.box_max[i]);
        EXPECT_FLOAT_EQ(centre[i], b.centre[i]);
    }
    EXPECT_NEAR(std::sqrt(7.25f), b.radius, 1e-4);
}
}  // namespace

TEST_F(mesh_test, LoadsMaterialsTexturesAndBounds) {
    graphic_mesh mesh(&g());
    ASSERT_TRUE(mesh.create(quad_x, uint32_t(std::strlen(quad_x))));
    ASSERT_NE(nullptr, mesh.mesh());
    ASSERT_EQ(2u, mesh.materials().size());
    // Ambient takes the diffuse colour.
    EXPECT_FLOAT_EQ(1.0f, mesh.materials()[0].Ambient.r);
    EXPECT_FLOAT_EQ(0.0f, mesh.materials()[0].Ambient.g);
    EXPECT_FLOAT_EQ(0.5f, mesh.materials()[1].Ambient.a);
    // Only the text before the last point is looked up.
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ("skin.v2", asked[0]);
    ASSERT_EQ(2u, mesh.textures().size());
    ASSERT_TRUE(mesh.textures()[0].valid());
    EXPECT_EQ(1, mesh.textures()[0].use_count());
    EXPECT_TRUE(mesh.textures()[0].get()->d3d_texture());
    EXPECT_FALSE(mesh.textures()[1].valid());
    expect_quad_bounds(mesh.bounds());

    graphic::texture_iterator skin = mesh.textures()[0];
    mesh.release(false);
    EXPECT_EQ(nullptr, mesh.mesh());
    EXPECT_TRUE(mesh.textures().empty());
    EXPECT_EQ(0, skin.use_count());
}

TEST_F(mesh_test, FailuresAreLoggedAndReturnFalse) {
    trace_capture log;
    graphic_mesh bad(&g());
    std::vector<uint8_t> junk = bytes("xof 0303txt 0032\nMesh { 4; oops }\n");
    EXPECT_FALSE(bad.create(junk.data(), uint32_t(junk.size())));
    EXPECT_EQ(1u, log.count("graphic_mesh::create: D3DXLoadMeshFromXInMemory, code="));

    std::string missing = quad_x;
    missing.replace(missing.find("skin.v2.bmp"), 11, "gone.png");
    graphic_mesh untextured(&g());
    EXPECT_FALSE(untextured.create(missing.data(), uint32_t(missing.size())));
    EXPECT_EQ(1u, log.count("graphic_mesh::create: gone.png, code=-1"));
    EXPECT_EQ(2u, log.count("graphic3d"));  // both lines name the mesh source
}

TEST_F(mesh_test, BoundsAloneKeepNothing) {
    graphic_mesh::st_object_data b;
    ASSERT_TRUE(graphic_mesh::load_bounds(&g(), quad_x, uint32_t(std::strlen(quad_x)), b));
    expect_quad_bounds(b);
    // The texture the temporary mesh used is given back.
    ASSERT_EQ(1u, g().textures().entry_count());
    graphic::texture_iterator skin;
    std::wstring path = texture_dir + L"\\skin.v2.bmp";
    ASSERT_TRUE(g().textures().find(skin, path.c_str(), string()));
    EXPECT_EQ(0, skin.use_count());
    std::vector<uint8_t> junk = bytes("not a mesh");
    EXPECT_FALSE(graphic_mesh::load_bounds(&g(), junk.data(), uint32_t(junk.size()), b));
}

TEST_F(mesh_test, CacheSharesMeshesAndKeepsThemThroughAReset) {
    std::wstring path = write(L"quad.x", bytes(quad_x));
    {
        graphic_mesh_manager meshes(&g());
        graphic_mesh_cache& cache = meshes.cache();
        graphic_mesh_cache::iterator info_only, first, second;
        ASSERT_TRUE(cache.find(info_only, path.c_str(), string()));
        graphic_mesh::st_object_data* info = cache.get_info(info_only);
        ASSERT_NE(nullptr, info);
        expect_quad_bounds(*info);
        EXPECT_EQ(0, info_only.use_count());

        ASSERT_TRUE(cache.find(first, path.c_str(), string()));
        ASSERT_TRUE(cache.find(second, path.c_str(), string()));
        graphic_mesh* a = cache.acquire(first);
        ASSERT_NE(nullptr, a);
        EXPECT_EQ(a, cache.acquire(second));
        EXPECT_EQ(2, first.use_count());
        EXPECT_EQ(1u, cache.entry_count());

        // The graphic's reset reaches the mesh cache with the others.
        ASSERT_TRUE(g().reset());
        ASSERT_NE(nullptr, a->mesh());
        expect_quad_bounds(a->bounds());
        ASSERT_TRUE(a->textures()[0].valid());
        EXPECT_TRUE(a->textures()[0].get()->d3d_texture());
        cache.release_entry(first);
        cache.release_entry(second);
        EXPECT_EQ(nullptr, a->mesh());
    }
}
