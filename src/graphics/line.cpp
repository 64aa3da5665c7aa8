#include "graphics/line.h"

#include "core/trace.h"
#include "graphics/graphic.h"

graphic_line::vertex* graphic_line::set_points(uint32_t count, float z, D3DCOLOR color) {
    vertices_.assign(count, vertex{0.0f, 0.0f, z, 1.0f, color});
    primitive_count_ = int32_t(count) - 1;
    z_ = z;
    color_ = color;
    return vertices_.data();
}

bool graphic_line::begin() {
    IDirect3DDevice9* device = graphic_->device();
    HRESULT hr = device->GetFVF(&saved_fvf_);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_line::begin", "GetFVF", hr);
        return false;
    }
    hr = device->SetFVF(fvf);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_line::begin", "SetFVF", hr);
        return false;
    }
    return true;
}

bool graphic_line::end() {
    HRESULT hr = graphic_->device()->SetFVF(saved_fvf_);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_line::end", "SetFVF", hr);
        return false;
    }
    return true;
}

bool graphic_line::draw() {
    if (primitive_count_ <= 0) return true;
    HRESULT hr = graphic_->device()->DrawPrimitiveUP(D3DPT_LINESTRIP, UINT(primitive_count_),
                                                    vertices_.data(), sizeof(vertex));
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_line::draw", "DrawPrimitiveUP", hr);
        return false;
    }
    return true;
}
