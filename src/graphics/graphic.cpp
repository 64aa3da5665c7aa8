// Device set-up: capabilities, formats, the full-screen mode and the
// objects every frame needs.
#include "graphics/graphic.h"

#include <cmath>

#include "core/trace.h"
#include "graphics/graphic_log.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

namespace {

// Device behaviour: software vertex processing, multithreaded (textures
// are created on the loader thread), and the caller's FPU precision kept.
constexpr DWORD device_behaviour =
    D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;

// A display or back-buffer format that fails, and the one tried instead.
D3DFORMAT fallback_format(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A2R10G10B10: return D3DFMT_A2R10G10B10;
    case D3DFMT_X8R8G8B8: return D3DFMT_A8R8G8B8;
    case D3DFMT_X1R5G5B5: return D3DFMT_A1R5G5B5;
    case D3DFMT_R5G6B5: return D3DFMT_R5G6B5;
    default: return D3DFMT_UNKNOWN;
    }
}

constexpr D3DFORMAT depth_candidates[] = {D3DFMT_D32F_LOCKABLE, D3DFMT_D32, D3DFMT_D24FS8,
                                          D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8};

constexpr DWORD needed_blend_caps =
    D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
    D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA |
    D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR;

constexpr DWORD needed_texop_caps = D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_BLENDDIFFUSEALPHA |
                                    D3DTEXOPCAPS_BLENDTEXTUREALPHA | D3DTEXOPCAPS_SELECTARG1 |
                                    D3DTEXOPCAPS_SELECTARG2;

}  // namespace

void errorlog_once::log_error(const char* message, int32_t code) {
    if (previous_frame_good_) TRACE_ERROR("graphic::render", message, code);
    this_frame_good_ = false;
}

graphic::graphic() : textures_(graphic_texture_creator{this}) {}

graphic::~graphic() {
    release_objects();
    textures_.clear();
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    device_ = nullptr;
    d3d_ = nullptr;
}

bool graphic::check_device_caps() {
    const char* label = "graphic::check_device_caps";
    HRESULT hr = d3d_->GetDeviceCaps(adapter_, device_type_, &caps_);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "GetDeviceCaps", hr);
        return false;
    }
    const D3DCAPS9& c = caps_;
    auto warn = [&](bool ok, const char* message, DWORD value) {
        if (!ok) TRACE_ERROR(label, message, value);
    };
    auto fatal = [&](bool ok, const char* message, DWORD value) {
        if (!ok) TRACE_ERROR(label, message, value);
        return ok;
    };
    auto all = [](DWORD have, DWORD want) { return (have & want) == want; };

    warn(all(c.Caps2, D3DCAPS2_DYNAMICTEXTURES), "Caps2 is incompetent", c.Caps2);
    warn(all(c.Caps3, D3DCAPS3_COPY_TO_VIDMEM | D3DCAPS3_COPY_TO_SYSTEMMEM),
         "Caps3 is incompetent", c.Caps3);
    if (!fatal(all(c.PresentationIntervals, D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE),
               "PresentationIntervals is incompetent", c.PresentationIntervals))
        return false;
    if (!fatal(all(c.DevCaps, D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMTLVERTEX) &&
                   (c.DevCaps & (D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY)),
               "DevCaps is incompetent", c.DevCaps))
        return false;
    if (!fatal(all(c.RasterCaps, D3DPRASTERCAPS_ZTEST), "RasterCaps is incompetent", c.RasterCaps))
        return false;
    if (!fatal(all(c.SrcBlendCaps, needed_blend_caps), "SrcBlendCaps is incompetent",
               c.SrcBlendCaps))
        return false;
    if (!fatal(all(c.DestBlendCaps, needed_blend_caps), "DestBlendCaps is incompetent",
               c.DestBlendCaps))
        return false;
    if (!fatal(all(c.TextureCaps, D3DPTEXTURECAPS_ALPHA), "TextureCaps is incompetent",
               c.TextureCaps))
        return false;
    warn(!(c.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY |
                            D3DPTEXTURECAPS_NONPOW2CONDITIONAL)),
         "Texture size restriction exists", c.TextureCaps);
    TRACE_ERROR(label, "MaxTextureWidth", c.MaxTextureWidth);
    TRACE_ERROR(label, "MaxTextureHeight", c.MaxTextureHeight);
    if (!fatal(all(c.TextureOpCaps, needed_texop_caps), "TextureOpCaps is incompetent",
               c.TextureOpCaps))
        return false;
    warn(c.MaxActiveLights >= 3, "MaxActiveLights is incompetent", c.MaxActiveLights);
    warn(c.MaxPrimitiveCount >= 65535, "MaxPrimitiveCount is incompetent", c.MaxPrimitiveCount);
    warn(c.MaxVertexIndex >= 65535, "MaxVertexIndex is incompetent", c.MaxVertexIndex);
    warn(c.MaxStreams >= 3, "MaxStreams is incompetent", c.MaxStreams);
    warn(c.VertexShaderVersion >= D3DVS_VERSION(2, 0), "VertexShaderVersion is incompetent",
         c.VertexShaderVersion);
    warn(c.PixelShaderVersion >= D3DPS_VERSION(2, 0), "PixelShaderVersion is incompetent",
         c.PixelShaderVersion);
    warn(all(c.DevCaps2, D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES), "DevCaps2 is incompetent",
         c.DevCaps2);
    return true;
}

bool graphic::create() {
    const char* label = "graphic::create";
    release_objects();
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    device_ = nullptr;
    d3d_ = nullptr;
    window_ = nullptr;
    formats_chosen_ = false;

    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d_) {
        TRACE_ERROR(label, "Direct3DCreate9", -1);
        return false;
    }
    device_type_ = D3DDEVTYPE_HAL;
    hardware_ = true;
    if (!check_device_caps()) {
        TRACE_ERROR(label, "check_device_caps HAL", -1);
        device_type_ = D3DDEVTYPE_REF;
        hardware_ = false;
        if (!check_device_caps()) {
            TRACE_ERROR(label, "check_device_caps REF", -1);
            return false;
        }
    }
    HRESULT hr = d3d_->GetAdapterDisplayMode(adapter_, &desktop_mode_);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "GetAdapterDisplayMode", hr);
        return false;
    }
    return true;
}

bool graphic::check_format(D3DFORMAT fullscreen_format, D3DFORMAT render_format) {
    const char* label = "graphic::check_format";
    if (render_format == D3DFMT_UNKNOWN) render_format = fullscreen_format;
    if (!d3d_) {
        TRACE_ERROR(label, "no interface", -1);
        return false;
    }
    if (formats_chosen_ && fullscreen_format_ == fullscreen_format &&
        render_format_ == render_format)
        return true;
    formats_chosen_ = false;

    present_ = D3DPRESENT_PARAMETERS{};
    present_.BackBufferCount = 1;
    present_.SwapEffect = D3DSWAPEFFECT_DISCARD;
    present_.Windowed = TRUE;
    present_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

    const D3DFORMAT desktop = desktop_mode_.Format;
    D3DFORMAT window_back = render_format;
    HRESULT hr = d3d_->CheckDeviceType(adapter_, device_type_, desktop, window_back, TRUE);
    if (FAILED(hr)) {
        window_back = fallback_format(desktop);
        hr = d3d_->CheckDeviceType(adapter_, device_type_, desktop, window_back, TRUE);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "CheckDeviceType Window", hr);
            return false;
        }
    }
    D3DFORMAT fullscreen_back = render_format;
    hr = d3d_->CheckDeviceType(adapter_, device_type_, fullscreen_format, fullscreen_back, FALSE);
    if (FAILED(hr)) {
        fullscreen_back = fallback_format(fullscreen_format);
        hr = d3d_->CheckDeviceType(adapter_, device_type_, fullscreen_format, fullscreen_back,
                                   FALSE);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "CheckDeviceType Fullscreen", hr);
            return false;
        }
    }
    fullscreen_format_ = fullscreen_format;
    fullscreen_back_format_ = fullscreen_back;
    window_back_format_ = window_back;

    bool depth_found = false;
    for (D3DFORMAT candidate : depth_candidates) {
        hr = d3d_->CheckDeviceFormat(adapter_, device_type_, desktop, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, candidate);
        if (SUCCEEDED(hr))
            hr = d3d_->CheckDepthStencilMatch(adapter_, device_type_, desktop, window_back,
                                              candidate);
        if (SUCCEEDED(hr))
            hr = d3d_->CheckDeviceFormat(adapter_, device_type_, fullscreen_format,
                                         D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, candidate);
        if (SUCCEEDED(hr))
            hr = d3d_->CheckDepthStencilMatch(adapter_, device_type_, fullscreen_format,
                                              fullscreen_back, candidate);
        if (SUCCEEDED(hr)) {
            present_.EnableAutoDepthStencil = TRUE;
            present_.AutoDepthStencilFormat = candidate;
            depth_format_ = candidate;
            TRACE_ERROR(label, "AutoDepthStencilFormat", candidate);
            depth_found = true;
            break;
        }
    }
    if (!depth_found) {
        TRACE_ERROR(label, "CheckDeviceFormat & CheckDepthStencilMatch", hr);
        return false;
    }
    if (!check_render_format(render_format)) {
        TRACE_ERROR(label, "check_render_format", -1);
        return false;
    }
    render_format_ = render_format;

    constexpr D3DMULTISAMPLE_TYPE samples[] = {D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_4_SAMPLES,
                                               D3DMULTISAMPLE_NONMASKABLE};
    present_.MultiSampleType = D3DMULTISAMPLE_NONE;
    for (D3DMULTISAMPLE_TYPE type : samples) {
        if (SUCCEEDED(d3d_->CheckDeviceMultiSampleType(adapter_, device_type_, render_format, TRUE,
                                                       type, nullptr)) &&
            SUCCEEDED(d3d_->CheckDeviceMultiSampleType(adapter_, device_type_, depth_format_, TRUE,
                                                       type, nullptr))) {
            present_.MultiSampleType = type;
            break;
        }
    }
    present_.MultiSampleQuality = 0;
    // The back buffer gets the checked window format (full screen switches
    // to the checked full-screen one).
    present_.BackBufferFormat = window_back_format_;

    formats_chosen_ = true;
    TRACE_ERROR(label, "Fullscreen Display Format", fullscreen_format_);
    TRACE_ERROR(label, "Fullscreen Back Format", fullscreen_back_format_);
    TRACE_ERROR(label, "Window Display Format", desktop);
    TRACE_ERROR(label, "Window Back Format", window_back_format_);
    TRACE_ERROR(label, "Render Format", render_format_);
    return true;
}

bool graphic::check_render_format(D3DFORMAT r) {
    const char* label = "graphic::check_render_format";
    const D3DFORMAT desktop = desktop_mode_.Format;
    HRESULT hr = d3d_->CheckDeviceFormat(adapter_, device_type_, desktop, D3DUSAGE_RENDERTARGET,
                                         D3DRTYPE_TEXTURE, r);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "CheckDeviceFormat Window", hr);
        return false;
    }
    hr = d3d_->CheckDepthStencilMatch(adapter_, device_type_, desktop, window_back_format_,
                                      depth_format_);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "CheckDepthStencilMatch Window", hr);
        return false;
    }
    hr = d3d_->CheckDeviceFormat(adapter_, device_type_, fullscreen_format_, D3DUSAGE_RENDERTARGET,
                                 D3DRTYPE_TEXTURE, r);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "CheckDeviceFormat Fullscreen", hr);
        return false;
    }
    hr = d3d_->CheckDepthStencilMatch(adapter_, device_type_, fullscreen_format_,
                                      fullscreen_back_format_, depth_format_);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "CheckDepthStencilMatch Fullscreen", hr);
        return false;
    }
    return true;
}

bool graphic::choose_fullscreen_mode() {
    const char* label = "graphic::initialize";
    uint32_t best_margin = 4 * (client_width_ + client_height_);
    bool have_best = false;
    D3DDISPLAYMODE best{};
    UINT count = d3d_->GetAdapterModeCount(adapter_, fullscreen_format_);
    resolutions_.clear();
    resolutions_.reserve(count);
    GRAPHIC_LOG("EnumAdapterModes: %dx%d %d", client_width_, client_height_, fullscreen_format_);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode{};
        if (FAILED(d3d_->EnumAdapterModes(adapter_, fullscreen_format_, i, &mode))) continue;
        if (mode.Width < client_width_ || mode.Height < client_height_) continue;
        uint32_t margin = (mode.Width - client_width_) + (mode.Height - client_height_);
        float aspect_diff = float(mode.Width) / float(mode.Height) - desktop_aspect_;
        GRAPHIC_LOG("Enum Display Mode: Width=%upx Height=%upx Format=%d RefreshRate=%d "
                    "(margin=%u, aspectdiff=%f)",
                    mode.Width, mode.Height, mode.Format, mode.RefreshRate, margin, aspect_diff);
        if (aspect_diff >= -0.3f && aspect_diff <= 0.3f &&
            (margin < best_margin ||
             (margin == best_margin && have_best && mode.RefreshRate > best.RefreshRate))) {
            best = mode;
            best_margin = margin;
            have_best = true;
        }
        bool merged = false;
        for (resolution& r : resolutions_) {
            if (r.width == mode.Width && r.height == mode.Height) {
                if (mode.RefreshRate > r.refresh_rate) r.refresh_rate = mode.RefreshRate;
                merged = true;
                break;
            }
        }
        if (!merged) resolutions_.push_back({mode.Width, mode.Height, mode.RefreshRate});
    }
    if (!have_best) {
        // A window still works without a full-screen mode: full screen then
        // simply has the client size.
        TRACE_ERROR(label, "EnumAdapterModes", best_margin);
        fullscreen_width_ = client_width_;
        fullscreen_height_ = client_height_;
    } else {
        GRAPHIC_LOG("               -> %dx%d %d %d", best.Width, best.Height, best.Format,
                    best.RefreshRate);
        fullscreen_width_ = best.Width;
        fullscreen_height_ = best.Height;
    }
    set_fs_scale();
    return true;
}

bool graphic::initialize(HWND window) {
    const char* label = "graphic::initialize";
    if (!d3d_ && !create()) {
        TRACE_ERROR(label, "create", -1);
        return false;
    }
    if (!formats_chosen_) {
        TRACE_ERROR(label, "no check", -1);
        return false;
    }
    screen_offset_x_ = screen_offset_y_ = 0.0f;
    present_.hDeviceWindow = window;
    present_.Windowed = TRUE;
    desktop_width_ = GetSystemMetrics(SM_CXSCREEN);
    desktop_height_ = GetSystemMetrics(SM_CYSCREEN);
    desktop_aspect_ = desktop_height_ ? float(desktop_width_) / float(desktop_height_) : 1.0f;
    GRAPHIC_LOG("Display Infotmation: Width=%upx Height=%upx aspect=%f", desktop_width_,
                desktop_height_, desktop_aspect_);

    RECT rc;
    if (!GetClientRect(window, &rc)) {
        TRACE_ERROR(label, "GetClientRect", GetLastError());
        return false;
    }
    client_width_ = rc.right - rc.left;
    client_height_ = rc.bottom - rc.top;
    fullscreen_width_ = client_width_;
    fullscreen_height_ = client_height_;
    present_.BackBufferWidth = client_width_;
    present_.BackBufferHeight = client_height_;

    choose_fullscreen_mode();

    HRESULT hr = E_FAIL;
    if (hardware_) {
        hr = d3d_->CreateDevice(adapter_, device_type_, window, device_behaviour, &present_,
                                &device_);
        if (SUCCEEDED(hr)) TRACE_ERROR(label, "CreateDevice HAL", 0);
    }
    if (FAILED(hr)) {
        hr = d3d_->CreateDevice(adapter_, device_type_, window, device_behaviour, &present_,
                                &device_);
        if (FAILED(hr)) {
            TRACE_ERROR(label, "CreateDevice", hr);
            device_ = nullptr;
            return false;
        }
        TRACE_ERROR(label, "CreateDevice REF", 0);
    }
    texture_memory_ = device_->GetAvailableTextureMem();
    viewport_ = D3DVIEWPORT9{0, 0, fullscreen_width_, fullscreen_height_, 0.0f, 1.0f};
    if (!set_def_viewport()) {
        TRACE_ERROR(label, "set_def_viewport", -1);
        return false;
    }
    if (!create_standing_objects()) return false;
    if (!set_render_state()) {
        TRACE_ERROR(label, "set_render_state", -1);
        return false;
    }
    window_ = window;
    device_lost_ = false;
    return true;
}

// The sprite batch, the off-screen screen, the device's back buffer and the
// screen layer that copies one onto the other. The frame is always drawn
// off screen, so the last frame can be read back whatever the mode.
bool graphic::create_standing_objects() {
    const char* label = "graphic::initialize";
    sprite_ = new (std::nothrow) graphic_sprite(this);
    if (!sprite_) {
        TRACE_ERROR(label, "create_object sprite", -1);
        return false;
    }
    add_object(sprite_);
    if (!sprite_->create()) {
        TRACE_ERROR(label, "create sprite", -1);
        return false;
    }
    back_buffer_ = graphic_render_target_create(this);
    if (!back_buffer_) {
        TRACE_ERROR(label, "create_object back_buffer", -1);
        return false;
    }
    if (!back_buffer_->create(0, 0)) {
        TRACE_ERROR(label, "create back_buffer", -1);
        return false;
    }
    screen_buffer_ = graphic_render_target_create(this);
    if (!screen_buffer_) {
        TRACE_ERROR(label, "create_object screen_buffer", -1);
        return false;
    }
    if (!screen_buffer_->create()) {
        TRACE_ERROR(label, "create screen_buffer", -1);
        return false;
    }
    delete screen_layer_;
    screen_layer_ = new (std::nothrow) graphic_screen_render_layer(this, -1);
    if (!screen_layer_) {
        TRACE_ERROR(label, "new graphic_screen_render_layer", -1);
        return false;
    }
    if (!screen_layer_->initialize(back_buffer_, screen_buffer_)) {
        TRACE_ERROR(label, "graphic_screen_render_layer::initialize", -1);
        return false;
    }
    return true;
}

bool graphic::set_scaling(bool on) {
    if (scaling_ != on) {
        scaling_ = on;
        update_screen_offset();
    }
    return true;
}

void graphic::set_fs_scale() {
    float sx = client_width_ ? float(fullscreen_width_) / float(client_width_) : 1.0f;
    float sy = client_height_ ? float(fullscreen_height_) / float(client_height_) : 1.0f;
    fs_scale_x_ = fs_scale_y_ = sx < sy ? sx : sy;
    GRAPHIC_LOG("grahic::set_fs_scale size=(%d, %d) scale=(%f, %f)", fullscreen_width_,
                fullscreen_height_, fs_scale_x_, fs_scale_y_);
}

void graphic::update_screen_offset() {
    if (present_.Windowed) {
        screen_offset_x_ = screen_offset_y_ = 0.0f;
    } else {
        screen_offset_x_ = (float(fullscreen_width_) - float(client_width_)) * 0.5f;
        screen_offset_y_ = (float(fullscreen_height_) - float(client_height_)) * 0.5f;
    }
    if (current_target_ && current_target_ == screen_buffer_) {
        draw_offset_x_ = screen_offset_x_;
        draw_offset_y_ = screen_offset_y_;
    }
}

bool graphic::set_def_viewport() {
    if (!device_) return false;
    HRESULT hr = device_->SetViewport(&viewport_);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic::set_def_viewport", "SetViewport", hr);
        return false;
    }
    return true;
}

bool graphic::set_render_state() {
    device_->SetRenderState(D3DRS_ZENABLE, present_.EnableAutoDepthStencil ? TRUE : FALSE);
    device_->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS,
                            present_.MultiSampleType != D3DMULTISAMPLE_NONE);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    return true;
}

bool graphic::add_object(graphic_object* object) {
    for (graphic_object* o : objects_)
        if (o == object) return false;
    objects_.push_back(object);
    return true;
}

bool graphic::delete_object(graphic_object* object) {
    for (auto it = objects_.begin(); it != objects_.end(); ++it) {
        if (*it == object) {
            objects_.erase(it);
            break;
        }
    }
    if (!object) return false;
    bool result = object->release(false);
    delete object;
    return result;
}

graphic_texture* graphic::new_texture(bool register_it) {
    graphic_texture* t = new (std::nothrow) graphic_texture(this);
    if (t && register_it) add_object(t);
    return t;
}

void graphic::release_objects() {
    while (!objects_.empty()) {
        graphic_object* o = objects_.back();
        objects_.pop_back();
        o->release(true);
        delete o;
    }
    while (!layers_.empty()) {
        delete layers_.back();
        layers_.pop_back();
    }
    layer_ids_.clear();
    delete screen_layer_;
    screen_layer_ = nullptr;
    sprite_ = nullptr;
    back_buffer_ = nullptr;
    screen_buffer_ = nullptr;
    current_target_ = nullptr;
}
