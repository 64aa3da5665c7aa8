#include "sound/sound.h"

#include <algorithm>

#include "core/system_timer.h"
#include "core/trace.h"
#include "sound/oggvorbis_loader.h"
#include "sound/sound_channel.h"
#include "sound/sound_listener.h"
#include "sound/sound_player.h"
#include "sound/wave_loader.h"

sound::sound() { files_.creator().owner = this; }

sound::~sound() {
    release();
    files_.clear();
}

sound_listener* sound::listener() const { return listener_ && listener_->listener() ? listener_ : nullptr; }

bool sound::create(HWND window) {
    if (device_) return true;
    HRESULT hr = DirectSoundCreate8(nullptr, &device_, nullptr);
    if (FAILED(hr)) {
        device_ = nullptr;
        TRACE_ERROR("sound::create", "DirectSoundCreate8", hr);
        return false;
    }
    hr = device_->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(hr)) {
        TRACE_ERROR("sound::create", "IDirectSound8::SetCooperativeLevel", hr);
        release();
        return false;
    }
    primary_ = new sound_buffer(this);
    register_object(primary_);
    if (!primary_->create()) {
        TRACE_ERROR("sound::create", "create primary sound buffer", -1);
        release();
        return false;
    }
    primary_->release(false);
    listener_ = new sound_listener(this);
    register_object(listener_);
    if (!listener_->create()) {
        TRACE_ERROR("sound::create", "create sound 3d listener", -1);
        release();
        return false;
    }
    auto& factories = sound_loader_factories();
    factories.clear();
    factories.push_back(&wave_loader::make);
    if (oggvorbis_loader::initialize())
        factories.push_back(&oggvorbis_loader::make);
    else
        TRACE_ERROR("sound::create", "oggvorbis_loader::initialize", -1);
    window_ = window;
    return true;
}

void sound::release() {
    release_buffers();
    if (device_) device_->Release();
    device_ = nullptr;
    window_ = nullptr;
    primary_ = nullptr;
    listener_ = nullptr;
}

void sound::release_buffers() {
    for (sound_channel* c : channels_) {
        c->release(true);
        delete c;
    }
    channels_.clear();
    // Shared files first: their voices are still alive to be told.
    files_.clear();
    std::list<sound_object*> objects;
    objects.swap(objects_);
    // Everything lets go first, so no destructor reaches a deleted object.
    for (sound_object* o : objects) o->release(true);
    for (sound_object* o : objects) delete o;
    known_.clear();
    playing_.clear();
    primary_ = nullptr;
    listener_ = nullptr;
}

void sound::set_volume(float v) {
    if (v < 0.0f) v = 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (v == volume_) return;
    volume_ = v;
    apply_volume();
}

void sound::set_mute(bool on) {
    if (on == muted_) return;
    muted_ = on;
    apply_volume();
}

void sound::apply_volume() {
    for (sound_channel* c : channels_) c->apply_volume();
}

bool sound::register_object(sound_object* object) {
    if (!object || std::find(objects_.begin(), objects_.end(), object) != objects_.end()) return false;
    objects_.push_back(object);
    return true;
}

bool sound::unregister_object(sound_object* object) {
    auto at = std::find(objects_.begin(), objects_.end(), object);
    if (at == objects_.end()) return false;
    objects_.erase(at);
    return true;
}

sound_channel* sound::create_channel() {
    auto* c = new sound_channel(this);
    channels_.push_back(c);
    return c;
}

void sound::delete_channel(sound_channel* channel) {
    auto at = std::find(channels_.begin(), channels_.end(), channel);
    if (at == channels_.end()) return;
    channels_.erase(at);
    delete channel;
}

static bool listed(const std::list<sound_player*>& list, sound_player* voice) {
    return std::find(list.begin(), list.end(), voice) != list.end();
}

bool sound::add_buffer(sound_player* voice) {
    if (!listed(playing_, voice))
        playing_.push_back(voice);
    else
        TRACE_ERROR("sound::add_buffer", "sound_buffer is exists", -1);
    if (voice->is_playing()) return true;
    return voice->play(sound_play_from_start);
}

bool sound::stop_buffer(sound_player* voice) {
    if (!listed(known_, voice)) {
        TRACE_ERROR("sound::stop_buffer", "sound_buffer is invalid object", -1);
        return false;
    }
    bool ok = voice->stop();
    if (listed(playing_, voice)) {
        playing_.remove(voice);
        ok = voice->close() && ok;
    }
    return ok;
}

void sound::destroy_buffer(sound_player* voice) {
    if (!listed(known_, voice)) return;
    stop_buffer(voice);
    known_.remove(voice);
    if (unregister_object(voice)) {
        voice->release(false);
        delete voice;
    }
}

void sound::update_throttled() {
    // The source itself: the clock need not have been started.
    uint64_t now = system_timer::source();
    if (now < next_update_) return;
    update();
    next_update_ = now + 100000000ull;
}

void sound::update() {
    for (auto it = playing_.begin(); it != playing_.end();) {
        sound_player* voice = *it;
        DWORD s = voice->status();
        if ((s & DSBSTATUS_BUFFERLOST) && !voice->restore()) s = 0;
        if (!(s & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING))) {
            it = playing_.erase(it);
            voice->close();
            destroy_buffer(voice);
            continue;
        }
        voice->update();
        ++it;
    }
}
