#include "graphics/graphic3d.h"

#include <cstring>
#include <string>

#include "core/trace.h"
#include "graphics/texture.h"

namespace {
bool file_system_path(const char* name, wstring& path, string& entry) {
    entry = string();
    return name && *name && string_to_wstring(name, path);
}

mesh_texture_resolver texture_resolver = file_system_path;

// The name up to its last point: the extension is the search path's to add.
string without_extension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (!dot) return string(name);
    std::string head(name, static_cast<size_t>(dot - name));
    return string(head.c_str());
}
}  // namespace

void set_mesh_texture_resolver(mesh_texture_resolver resolver) {
    texture_resolver = resolver ? resolver : file_system_path;
}

graphic_mesh::~graphic_mesh() { release(false); }

void graphic_mesh::release_textures() {
    graphic* g = owner();
    for (auto& t : textures_)
        if (t.valid() && g) g->textures().release_entry(t);
    textures_.clear();
}

bool graphic_mesh::release(bool keep) {
    if (keep) return true;
    release_textures();
    if (mesh_) {
        mesh_->Release();
        mesh_ = nullptr;
    }
    return true;
}

bool graphic_mesh::load_texture(const char* file_name, graphic::texture_iterator& out) {
    const char* label = "graphic_mesh::create";
    wstring path;
    string entry;
    if (!texture_resolver(without_extension(file_name).c_str(), path, entry)) {
        TRACE_ERROR(label, file_name, -1);
        return false;
    }
    graphic* g = owner();
    if (!g || !g->textures().find(out, path.c_str(), entry)) {
        TRACE_ERROR(label, "graphic::load_texture", -1);
        return false;
    }
    if (!g->textures().acquire(out)) {
        // Nothing was counted: the iterator must not give a use back.
        out = graphic::texture_iterator();
        TRACE_ERROR(label, "graphic_texture resource lock", -1);
        return false;
    }
    return true;
}

bool graphic_mesh::create(const void* data, uint32_t size) {
    const char* label = "graphic_mesh::create";
    release(false);  // a second load replaces the first
    graphic* g = owner();
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    HRESULT hr = g && g->device()
                     ? D3DXLoadMeshFromXInMemory(data, size, D3DXMESH_SYSTEMMEM, g->device(), nullptr,
                                                 &materials, nullptr, &count, &mesh_)
                     : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        TRACE_ERROR(label, "D3DXLoadMeshFromXInMemory", hr);
        return false;
    }
    materials_.assign(count, D3DMATERIAL9{});
    textures_.assign(count, graphic::texture_iterator());
    auto* records = materials ? static_cast<D3DXMATERIAL*>(materials->GetBufferPointer()) : nullptr;
    bool ok = true;
    for (DWORD i = 0; ok && records && i < count; ++i) {
        materials_[i] = records[i].MatD3D;
        materials_[i].Ambient = materials_[i].Diffuse;
        if (records[i].pTextureFilename && records[i].pTextureFilename[0])
            ok = load_texture(records[i].pTextureFilename, textures_[i]);
    }
    if (materials) materials->Release();
    return ok && calc_size();
}

bool graphic_mesh::calc_size() {
    const char* label = "graphic_mesh::calc_size";
    lock vertices(*this);
    if (!mesh_ || !vertices.lock_vertex()) {
        TRACE_ERROR(label, "graphic_mesh::lock_vertex", -1);
        return false;
    }
    auto* first = static_cast<const D3DXVECTOR3*>(vertices.data());
    DWORD count = mesh_->GetNumVertices();
    DWORD stride = mesh_->GetNumBytesPerVertex();
    HRESULT hr = D3DXComputeBoundingBox(first, count, stride,
                                        reinterpret_cast<D3DXVECTOR3*>(bounds_.box_min),
                                        reinterpret_cast<D3DXVECTOR3*>(bounds_.box_max));
    if (FAILED(hr)) {
        TRACE_ERROR(label, "D3DXComputeBoundingBox", hr);
        return false;
    }
    hr = D3DXComputeBoundingSphere(first, count, stride, reinterpret_cast<D3DXVECTOR3*>(bounds_.centre),
                                   &bounds_.radius);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "D3DXComputeBoundingSphere", hr);
        return false;
    }
    return vertices.unlock();
}

bool graphic_mesh::load_bounds(graphic* owner, const void* data, uint32_t size, st_object_data& out) {
    graphic_mesh temporary(owner);
    if (!temporary.create(data, size)) return false;
    out = temporary.bounds_;
    return true;
}

bool graphic_mesh::lock::lock_vertex() {
    if (!unlock()) return false;
    HRESULT hr = mesh_.mesh_ ? mesh_.mesh_->LockVertexBuffer(D3DLOCK_READONLY, &data_) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        data_ = nullptr;
        TRACE_ERROR("graphic_mesh::lock::lock", "LockBuffer", hr);
        return false;
    }
    kind_ = kind_vertex;
    flags_ = D3DLOCK_READONLY;
    return true;
}

bool graphic_mesh::lock::unlock() {
    if (kind_ == kind_none) return true;
    HRESULT hr = E_INVALIDARG;
    ID3DXMesh* m = mesh_.mesh_;
    if (m && kind_ == kind_vertex) hr = m->UnlockVertexBuffer();
    if (m && kind_ == kind_index) hr = m->UnlockIndexBuffer();
    if (m && kind_ == kind_attribute) hr = m->UnlockAttributeBuffer();
    kind_ = kind_none;
    data_ = nullptr;
    flags_ = 0;
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_mesh::lock::unlock", "UnlockBuffer", hr);
        return false;
    }
    return true;
}

graphic_mesh::st_object_data* graphic_mesh::creator::create_info(const void* bytes, uint32_t size) {
    auto* info = new (std::nothrow) st_object_data;
    if (info && !load_bounds(owner, bytes, size, *info)) {
        delete info;
        info = nullptr;
    }
    return info;
}

graphic_mesh::st_object_data* graphic_mesh::creator::copy_info(graphic_mesh& m) {
    return m.mesh() ? new (std::nothrow) st_object_data(m.bounds()) : nullptr;
}

graphic_mesh_manager::graphic_mesh_manager(graphic* owner)
    : resource_manager_wrapper(owner) {
    cache().creator().owner = owner;
}
