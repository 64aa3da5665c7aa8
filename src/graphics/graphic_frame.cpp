// One frame of every layer, and getting the device back after a loss.
#include "graphics/graphic.h"

#include <algorithm>

#include "core/trace.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

bool graphic::render() {
    previous_frame_good_ = this_frame_good_;
    this_frame_good_ = true;
    ++frame_;
    if (!device_) {
        log_error("no device", -1);
        return false;
    }
    if (!restore()) {
        if (previous_frame_good_) TRACE_ERROR("graphic::render", "restore", -1);
        this_frame_good_ = false;
        return false;
    }
    if (!set_def_viewport()) {
        log_error("set_def_viewport", -1);
        return false;
    }
    bool result = false;
    if (SUCCEEDED(device_->BeginScene())) {
        drawing_ = true;
        for (graphic_render_layer* layer : layers_) layer->render();
        bool layers_good = screen_layer_ ? screen_layer_->render() : true;
        drawing_ = false;
        device_->EndScene();
        if (!layers_good) log_error("Some render layers failed.", -1);
        result = true;
    }
    HRESULT hr = device_->Present(nullptr, nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr)) return result;
    if (hr == D3DERR_DEVICELOST)
        set_device_lost();
    else
        log_error("Present", hr);
    return false;
}

bool graphic::restore() {
    const char* label = "graphic::restore";
    if (!device_lost_) return true;
    Sleep(100);
    HRESULT hr = device_->TestCooperativeLevel();
    if (SUCCEEDED(hr)) {
        device_lost_ = false;
        return true;
    }
    if (hr == D3DERR_DEVICELOST) return true;
    if (hr != D3DERR_DEVICENOTRESET) {
        TRACE_ERROR(label, "TestCooperativeLevel", hr);
        return false;
    }
    if (!onlost_objects()) {
        TRACE_ERROR(label, "onlost_objects", -1);
        return false;
    }
    hr = device_->Reset(&present_);
    if (hr == D3DERR_DEVICELOST) return true;
    if (FAILED(hr)) {
        TRACE_ERROR(label, "Reset", hr);
        return false;
    }
    if (!restore_objects()) {
        TRACE_ERROR(label, "restore_objects", -1);
        return false;
    }
    if (!set_render_state()) {
        TRACE_ERROR(label, "set_render_state", -1);
        return false;
    }
    device_lost_ = false;
    return true;
}

void graphic::set_device_lost() {
    if (!device_lost_) TRACE_ERROR("graphic::set_device_lost", "device lost", -1);
    device_lost_ = true;
}

bool graphic::reset() {
    const char* label = "graphic::reset";
    if (!window_) return true;
    if (!device_) return false;
    RECT rc;
    if (!GetClientRect(window_, &rc)) {
        TRACE_ERROR(label, "GetClientRect", GetLastError());
    } else {
        client_width_ = rc.right - rc.left;
        client_height_ = rc.bottom - rc.top;
    }
    present_.BackBufferWidth = client_width_;
    present_.BackBufferHeight = client_height_;
    if (!onlost_objects()) TRACE_ERROR(label, "onlost_objects", -1);
    HRESULT hr = device_->Reset(&present_);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "IDirect3DDevice9::Reset", hr);
        device_lost_ = true;
    }
    viewport_.Width = client_width_;
    viewport_.Height = client_height_;
    if (!set_def_viewport()) TRACE_ERROR(label, "graphic::set_def_viewport", -1);
    if (!restore_objects()) TRACE_ERROR(label, "restore_objects", -1);
    set_render_state();  // a reset puts every render state back to its default
    InvalidateRect(window_, nullptr, TRUE);
    return true;
}

bool graphic::fullscreen(bool on) {
    const char* label = "graphic::fullscreen";
    if (!device_) return false;
    if (!onlost_objects()) {
        TRACE_ERROR(label, "onlost_objects", -1);
        return false;
    }
    const D3DPRESENT_PARAMETERS previous = present_;
    present_.FullScreen_RefreshRateInHz = 0;
    if (on) {
        present_.BackBufferWidth = fullscreen_width_;
        present_.BackBufferHeight = fullscreen_height_;
        present_.BackBufferFormat = fullscreen_back_format_;
        present_.Windowed = FALSE;
        present_.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    } else {
        present_.BackBufferWidth = client_width_;
        present_.BackBufferHeight = client_height_;
        present_.BackBufferFormat = window_back_format_;
        present_.Windowed = TRUE;
        present_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }
    update_screen_offset();
    HRESULT hr = device_->Reset(&present_);
    if (hr == D3DERR_DEVICELOST) {
        device_lost_ = true;
        return false;
    }
    if (FAILED(hr)) {
        TRACE_ERROR(label, "Reset", hr);
        // The objects are released and the device waits for a reset: the
        // next frame's restore brings it back in the mode it had.
        present_ = previous;
        update_screen_offset();
        device_lost_ = true;
        return false;
    }
    if (!restore_objects()) {
        TRACE_ERROR(label, "restore_objects", -1);
        return false;
    }
    set_render_state();  // a reset puts every render state back to its default
    return true;
}

bool graphic::onlost_objects() {
    // After a reset the device has no target of ours bound.
    current_target_ = nullptr;
    bool result = for_each_object(&graphic_object::onlost);
    textures_.invalidate_all();
    resource_manager_container::invalidate_all();
    return result;
}

bool graphic::restore_objects() {
    current_target_ = nullptr;
    bool result = for_each_object(&graphic_object::restore);
    textures_.restore_all();
    resource_manager_container::restore_all();
    return result;
}

// Objects may release or register others while they are told (a memory
// texture drops and remakes its copy), so the walk goes over the list as
// it was and skips what has left it since.
bool graphic::for_each_object(bool (graphic_object::*operation)()) {
    const std::vector<graphic_object*> walk = objects_;
    bool result = true;
    for (graphic_object* o : walk) {
        if (std::find(objects_.begin(), objects_.end(), o) == objects_.end()) continue;
        result = (o->*operation)() && result;
    }
    return result;
}

bool graphic::select_target(graphic_render_target* target) {
    if (!target) target = back_buffer_;
    if (target == current_target_) return false;
    current_target_ = target;
    if (target == screen_buffer_ && screen_buffer_) {
        draw_offset_x_ = screen_offset_x_;
        draw_offset_y_ = screen_offset_y_;
    } else {
        draw_offset_x_ = draw_offset_y_ = 0.0f;
    }
    return true;
}
