#include "sound/sound_listener.h"

#include "core/trace.h"
#include "sound/sound.h"

bool sound_listener::create() {
    IDirectSound8* device = owner_ ? owner_->device() : nullptr;
    if (!device) return false;
    release(false);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* primary = nullptr;
    HRESULT hr = device->CreateSoundBuffer(&desc, &primary, nullptr);
    if (FAILED(hr)) {
        TRACE_ERROR("sound_listener::create", "IDirectSound8::CreateSoundBuffer", hr);
        return false;
    }
    hr = primary->QueryInterface(IID_IDirectSound3DListener8, reinterpret_cast<void**>(&listener_));
    primary->Release();
    if (FAILED(hr)) {
        listener_ = nullptr;
        TRACE_ERROR("sound_listener::create", "IDirectSoundBuffer8::QueryInterface(IID_IDirectSound3DListener8)", hr);
        return false;
    }
    return true;
}

bool sound_listener::release(bool) {
    if (listener_) listener_->Release();
    listener_ = nullptr;
    return true;
}

bool sound_listener::set_parameter(DS3DLISTENER& p) {
    if (!listener_) return false;
    position[0] = p.vPosition.x, position[1] = p.vPosition.y, position[2] = p.vPosition.z;
    velocity[0] = p.vVelocity.x, velocity[1] = p.vVelocity.y, velocity[2] = p.vVelocity.z;
    p.vPosition = {0, 0, 0};
    p.vVelocity = {0, 0, 0};
    p.dwSize = sizeof p;
    HRESULT hr = listener_->SetAllParameters(&p, DS3D_DEFERRED);
    if (FAILED(hr)) {
        TRACE_ERROR("sound_listener::set_parameter", "IDirectSound3DListener8::SetAllParameters", hr);
        return false;
    }
    return true;
}

bool sound_listener::get_parameter(DS3DLISTENER& p) {
    if (!listener_) return false;
    p.dwSize = sizeof p;
    if (FAILED(listener_->GetAllParameters(&p))) return false;
    p.vPosition = {position[0], position[1], position[2]};
    p.vVelocity = {velocity[0], velocity[1], velocity[2]};
    return true;
}

bool sound_listener::commit() { return listener_ && SUCCEEDED(listener_->CommitDeferredSettings()); }

bool sound_listener::apply_defaults() {
    DS3DLISTENER p = {};
    if (!get_parameter(p)) return false;
    p.vOrientFront = {0, 0, 1};
    p.vOrientTop = {0, -1, 0};
    p.flDistanceFactor = 0.00625f;
    return set_parameter(p) && commit();
}
