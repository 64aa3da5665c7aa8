#include "sound/sound_object.h"

#include <cmath>
#include <cstring>

#include "core/trace.h"
#include "sound/sound.h"

int32_t volume_to_attenuation(float v) {
    if (v <= 0.0f) return -10000;
    if (v >= 1.0f) return 0;
    float l = static_cast<float>(std::log10(static_cast<double>(v)));
    return static_cast<int32_t>(5000.0 * l);
}

bool sound_buffer::create() { return create_buffer(0, nullptr, 0); }

bool sound_buffer::release(bool) {
    if (buffer_) buffer_->Release();
    buffer_ = nullptr;
    return true;
}

bool sound_buffer::restore() { return !buffer_ || SUCCEEDED(buffer_->Restore()); }

namespace {
const WAVEFORMATEX primary_format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};

bool fill_silence(IDirectSoundBuffer8* b, const WAVEFORMATEX* format) {
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER))) return false;
    int fill = format->wBitsPerSample == 8 ? 0x80 : 0;
    if (p1) std::memset(p1, fill, n1);
    if (p2) std::memset(p2, fill, n2);
    return SUCCEEDED(b->Unlock(p1, n1, p2, n2));
}
}  // namespace

bool sound_buffer::create_buffer(uint32_t flags, const WAVEFORMATEX* format, uint32_t bytes) {
    IDirectSound8* device = owner_ ? owner_->device() : nullptr;
    if (!device) {
        TRACE_ERROR("sound_buffer::create_buffer", "no sound device", -1);
        return false;
    }
    // Only the interface goes: a file keeps its decoder, a voice its place.
    sound_buffer::release(false);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    bool primary = !format && bytes == 0;
    if (primary) {
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
    } else {
        bool want_3d = (flags & sound_type_3d) != 0;
        if (want_3d && format && format->nChannels > 1) {
            TRACE_ERROR("sound_buffer::create_buffer", "cannot create 3D buffer, because format is not monaural",
                        format->nChannels);
            want_3d = false;
        }
        if (want_3d) {
            desc.dwFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                           DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_MUTE3DATMAXDISTANCE;
            desc.guid3DAlgorithm = DS3DALG_NO_VIRTUALIZATION;
        } else {
            desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLPOSITIONNOTIFY |
                           DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
            desc.guid3DAlgorithm = GUID_NULL;
        }
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
    }
    IDirectSoundBuffer* created = nullptr;
    HRESULT hr = device->CreateSoundBuffer(&desc, &created, nullptr);
    if (FAILED(hr)) {
        TRACE_ERROR("sound_buffer::create_buffer", "IDirectSound8::CreateSoundBuffer", hr);
        return false;
    }
    size_ = bytes;
    if (primary) {
        // The primary buffer has no IDirectSoundBuffer8; it is kept as given.
        buffer_ = reinterpret_cast<IDirectSoundBuffer8*>(created);
        hr = created->SetFormat(&primary_format);
        if (FAILED(hr)) {
            TRACE_ERROR("sound_buffer::create_buffer", "IDirectSound8::SetFormat", hr);
            sound_buffer::release(false);
            return false;
        }
        return true;
    }
    if (!query_buffer(created)) return false;
    if (!fill_silence(buffer_, format)) {
        TRACE_ERROR("sound_buffer::create_buffer", "IDirectSoundBuffer8::Lock", -1);
        sound_buffer::release(false);
        return false;
    }
    return true;
}

bool sound_buffer::query_buffer(IDirectSoundBuffer* from) {
    IDirectSoundBuffer8* b = nullptr;
    HRESULT hr = from->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&b));
    from->Release();
    if (FAILED(hr)) {
        TRACE_ERROR("sound_buffer::query_buffer", "IDirectSoundBuffer8::QueryInterface(IID_IDirectSoundBuffer8)", hr);
        return false;
    }
    sound_buffer::release(false);
    buffer_ = b;
    return true;
}

bool sound_buffer::play(uint32_t flags) {
    if (!buffer_) return false;
    if ((flags & sound_play_from_start) && FAILED(buffer_->SetCurrentPosition(0))) return false;
    DWORD play_flags = (flags & sound_play_looping) ? DSBPLAY_LOOPING : 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        HRESULT hr = buffer_->Play(0, 0, play_flags);
        if (SUCCEEDED(hr)) return true;
        if (hr != DSERR_BUFFERLOST) {
            TRACE_ERROR("sound_buffer::play", "IDirectSoundBuffer8::Play", hr);
            return false;
        }
        if (!restore()) return false;
    }
    return false;
}

bool sound_buffer::stop() {
    if (!buffer_) return true;
    DWORD s = status();
    if (!(s & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING))) return true;
    return SUCCEEDED(buffer_->Stop());
}

bool sound_buffer::set_volume(float v) { return buffer_ && SUCCEEDED(buffer_->SetVolume(volume_to_attenuation(v))); }

bool sound_buffer::set_pan(float p) {
    if (!buffer_) return false;
    LONG pan;
    if (p <= -1.0f)
        pan = -10000;
    else if (p < 0.0f)
        pan = volume_to_attenuation(p + 1.0f);
    else if (p == 0.0f)
        pan = 0;
    else if (p < 1.0f)
        pan = -volume_to_attenuation(1.0f - p);
    else
        pan = 10000;
    return SUCCEEDED(buffer_->SetPan(pan));
}

DWORD sound_buffer::status() const {
    DWORD s = 0;
    if (!buffer_ || FAILED(buffer_->GetStatus(&s))) return 0;
    return s;
}

bool sound_buffer::is_playing() const { return (status() & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING)) != 0; }
