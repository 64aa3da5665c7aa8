// Render targets: own target textures with their depth surface, or the
// device's back buffer.
#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

graphic_render_target::~graphic_render_target() {
    graphic_render_target::release(false);
}

bool graphic_render_target::create() {
    const char* label = "graphic_render_target::create";
    if (lost_ && !wraps_back_buffer_) {
        int32_t w = (size_flags_ & follow_width) ? 0 : int32_t(width_);
        int32_t h = (size_flags_ & follow_height) ? 0 : int32_t(height_);
        return create(w, h);
    }
    release(false);
    IDirect3DDevice9* device = graphic_->device();
    if (!device) return false;
    HRESULT hr = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &render_surface_);
    if (FAILED(hr)) {
        render_surface_ = nullptr;
        TRACE_ERROR(label, "IDirect3DDevice9::GetBackBuffer", hr);
        return false;
    }
    hr = device->GetDepthStencilSurface(&depth_surface_);
    if (FAILED(hr)) {
        depth_surface_ = nullptr;
        TRACE_ERROR(label, "IDirect3DDevice9::GetDepthStencilSurface", hr);
        return false;
    }
    D3DSURFACE_DESC desc;
    if (SUCCEEDED(render_surface_->GetDesc(&desc))) {
        width_ = real_width_ = desc.Width;
        height_ = real_height_ = desc.Height;
        format_ = desc.Format;
    }
    wraps_back_buffer_ = true;
    return true;
}

bool graphic_render_target::create(int32_t width, int32_t height) {
    const char* label = "graphic_render_target::create";
    release(false);
    size_flags_ = 0;
    if (width <= 0) {
        width = int32_t(graphic_->client_width());
        size_flags_ |= follow_width;
    }
    if (height <= 0) {
        height = int32_t(graphic_->client_height());
        size_flags_ |= follow_height;
    }
    wraps_back_buffer_ = false;
    if (!create_blank(uint32_t(width), uint32_t(height), graphic_->render_format(),
                      D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET)) {
        TRACE_ERROR(label, "graphic_texture::create", -1);
        return false;
    }
    HRESULT hr = texture_->GetSurfaceLevel(0, &render_surface_);
    if (FAILED(hr)) {
        render_surface_ = nullptr;
        TRACE_ERROR(label, "IDirect3DTexture9::GetSurfaceLevel", hr);
        return false;
    }
    hr = graphic_->device()->CreateDepthStencilSurface(real_width_, real_height_,
                                                       graphic_->depth_format(),
                                                       D3DMULTISAMPLE_NONE, 0, TRUE,
                                                       &depth_surface_, nullptr);
    if (FAILED(hr)) {
        depth_surface_ = nullptr;
        TRACE_ERROR(label, "IDirect3DDevice::CreateDepthStencilSurface", hr);
        return false;
    }
    return true;
}

bool graphic_render_target::release(bool all) {
    if (render_surface_) render_surface_->Release();
    render_surface_ = nullptr;
    if (depth_surface_) depth_surface_->Release();
    depth_surface_ = nullptr;
    return graphic_texture::release(all);
}

bool graphic_render_target::set_target() {
    const char* label = "graphic_render_target::set_target";
    if (!render_surface_) return true;
    IDirect3DDevice9* device = graphic_->device();
    if (graphic_->select_target(this)) {
        HRESULT hr = device->SetRenderTarget(0, render_surface_);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "IDirect3DDevice9::SetRenderTarget", hr);
            return false;
        }
        hr = device->SetDepthStencilSurface(depth_surface_);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "IDirect3DDevice9::SetDepthStencilSurface", hr);
            return false;
        }
    }
    if (last_clear_frame_ != graphic_->frame()) {
        HRESULT hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear_color,
                                   1.0f, 0);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "IDirect3DDevice9::Clear", hr);
            return false;
        }
        last_clear_frame_ = graphic_->frame();
    }
    return true;
}

graphic_render_target* graphic_render_target_create(graphic* owner) {
    graphic_render_target* t = new (std::nothrow) graphic_render_target(owner);
    if (t) owner->add_object(t);
    return t;
}

graphic_render_target* graphic_render_target_create(graphic* owner, int32_t width,
                                                    int32_t height) {
    graphic_render_target* t = graphic_render_target_create(owner);
    if (t && !t->create(width, height)) {
        owner->delete_object(t);
        return nullptr;
    }
    return t;
}
