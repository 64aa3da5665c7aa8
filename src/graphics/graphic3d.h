// Meshes: models loaded from DirectX .x file images in memory, with their
// materials, their textures (shared through the graphic's texture cache)
// and their bounds, shared by file through the mesh cache.
#ifndef VY_GRAPHICS_GRAPHIC3D_H
#define VY_GRAPHICS_GRAPHIC3D_H

#include <d3dx9.h>

#include <cstdint>
#include <vector>

#include "core/resource_manager.h"
#include "graphics/graphic.h"
#include "graphics/graphic_object.h"

// Where a texture named by a mesh's material is found: its name without the
// extension to a file (and a package entry). The engine points it at the
// graphic search path; by default the name is taken as a file path.
using mesh_texture_resolver = bool (*)(const char* name, wstring& path, string& entry);
void set_mesh_texture_resolver(mesh_texture_resolver resolver);

class graphic_mesh : public graphic_object {
public:
    struct st_object_data {
        float box_min[3] = {0.0f, 0.0f, 0.0f};
        float box_max[3] = {0.0f, 0.0f, 0.0f};
        float centre[3] = {0.0f, 0.0f, 0.0f};
        float radius = 0.0f;
    };

    // A scoped lock of one of the mesh's buffers.
    class lock {
    public:
        enum : int { kind_none = 0, kind_vertex = 1, kind_index = 2, kind_attribute = 3 };

        explicit lock(graphic_mesh& mesh) : mesh_(mesh) {}
        ~lock() { unlock(); }
        lock(const lock&) = delete;
        lock& operator=(const lock&) = delete;

        // Read-only lock of the vertex buffer (what was held is unlocked first).
        bool lock_vertex();
        bool unlock();
        void* data() const { return data_; }
        int kind() const { return kind_; }

    private:
        graphic_mesh& mesh_;
        int kind_ = kind_none;
        void* data_ = nullptr;
        DWORD flags_ = 0;
    };

    struct creator {
        graphic* owner = nullptr;

        graphic_mesh* create() { return new (std::nothrow) graphic_mesh(owner); }
        bool load(graphic_mesh& m, const void* bytes, uint32_t size) { return m.create(bytes, size); }
        void release(graphic_mesh& m) { m.release(false); }
        st_object_data* create_info(const void* bytes, uint32_t size);
        st_object_data* copy_info(graphic_mesh& m);
    };

    explicit graphic_mesh(graphic* owner) : graphic_object(owner) {}
    ~graphic_mesh() override;

    bool create() override { return true; }
    bool release(bool keep) override;
    // A mesh lives in system memory: a device loss leaves it alone.
    bool onlost() override { return true; }
    bool restore() override { return true; }
    bool create(const void* data, uint32_t size);

    bool calc_size();
    // The bounds of a mesh built from the data and destroyed again.
    static bool load_bounds(graphic* owner, const void* data, uint32_t size, st_object_data& out);

    ID3DXMesh* mesh() const { return mesh_; }
    const std::vector<D3DMATERIAL9>& materials() const { return materials_; }
    // One per material; an unset iterator where the material has no texture.
    const std::vector<graphic::texture_iterator>& textures() const { return textures_; }
    const st_object_data& bounds() const { return bounds_; }

private:
    bool load_texture(const char* file_name, graphic::texture_iterator& out);
    void release_textures();

    ID3DXMesh* mesh_ = nullptr;
    std::vector<D3DMATERIAL9> materials_;
    std::vector<graphic::texture_iterator> textures_;
    st_object_data bounds_;
};

using graphic_mesh_cache =
    resource_manager<graphic_mesh, graphic_mesh::creator, graphic_mesh::st_object_data>;

// The process-wide mesh cache, registered with the graphic so that device
// losses reach it like every other resource cache.
class graphic_mesh_manager
    : public resource_manager_wrapper<graphic_mesh_manager, graphic_mesh, graphic_mesh::creator,
                                      graphic_mesh::st_object_data> {
public:
    explicit graphic_mesh_manager(graphic* owner);
};

#endif
