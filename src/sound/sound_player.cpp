#include "sound/sound_player.h"

#include <algorithm>

#include "core/trace.h"
#include "sound/sound.h"
#include "sound/sound_channel.h"
#include "sound/sound_file.h"
#include "sound/sound_listener.h"

bool sound_play_buffer::release(bool keep) {
    if (!keep && channel_) channel_->remove_player(static_cast<sound_player*>(this));
    file_ = nullptr;
    channel_ = nullptr;
    return sound_buffer::release(keep);
}

bool sound_play_buffer::close() {
    if (notify_) {
        notify_->playing = 0;
        notify_->position = 0;
        if (notify_->voice == this) notify_->voice = nullptr;
        notify_ = nullptr;
    }
    if (channel_) channel_->remove_player(static_cast<sound_player*>(this));
    channel_ = nullptr;
    if (file_) {
        --file_->voice_count;
        auto& users = file_->users;
        users.erase(std::remove(users.begin(), users.end(), this), users.end());
    }
    return release(false);
}

sound_player* sound_player::make(sound_file* file, sound_notify* notify) {
    if (!file) return nullptr;
    if ((file->type & sound_type_lockable) && file->lock_count < 1) return nullptr;
    sound* device = file->owner();
    auto* voice = new sound_player(device);
    if (!device->register_object(voice)) {
        delete voice;
        return nullptr;
    }
    device->add_known(voice);
    file->users.push_back(voice);
    voice->notify_ = notify;
    voice->file_ = file;
    if (!voice->create()) {
        file->users.pop_back();
        voice->forget_notify();
        device->destroy_buffer(voice);
        return nullptr;
    }
    ++file->voice_count;
    return voice;
}

uint32_t sound_player::type() const { return file_ ? file_->type : 0; }

bool sound_player::create() {
    if (!file_) return false;
    IDirectSound8* device = owner_->device();
    if (!device) return false;
    if (file_->type & sound_type_streamed) {
        const WAVEFORMATEX* f = file_->format();
        uint32_t bytes = f ? static_cast<uint32_t>(f->nAvgBytesPerSec * 5.0) : 0;
        if (!f || !create_buffer(file_->type, f, bytes)) {
            TRACE_ERROR("sound_player::create_buffering", "create_buffer", -1);
            return false;
        }
    } else {
        if (!file_->buffer()) return false;
        IDirectSoundBuffer* copy = nullptr;
        HRESULT hr = device->DuplicateSoundBuffer(reinterpret_cast<IDirectSoundBuffer*>(file_->buffer()), &copy);
        if (FAILED(hr)) {
            TRACE_ERROR("sound_buffer::duplicate_buffer", "IDirectSound8::DuplicateSoundBuffer", hr);
            return false;
        }
        if (!query_buffer(copy)) return false;
        size_ = file_->size();
    }
    if (file_->type & sound_type_3d) {
        HRESULT hr = buffer_->QueryInterface(IID_IDirectSound3DBuffer8, reinterpret_cast<void**>(&buffer_3d_));
        if (FAILED(hr)) {
            buffer_3d_ = nullptr;
            TRACE_ERROR("sound_player::create", "IDirectSoundBuffer8::QueryInterface(IID_IDirectSound3DBuffer8)", hr);
            return false;
        }
    }
    return true;
}

bool sound_player::release(bool keep) {
    if (buffer_3d_) buffer_3d_->Release();
    buffer_3d_ = nullptr;
    return sound_play_buffer::release(keep);
}

bool sound_player::restore() {
    if (!buffer_ || FAILED(buffer_->Restore())) return false;
    if (file_ && (file_->type & sound_type_streamed)) return restart_stream();
    return true;
}

bool sound_player::play(uint32_t flags) {
    if (flags & sound_play_from_start) {
        if (file_ && (file_->type & sound_type_streamed) && !restart_stream()) return false;
        if (notify_) {
            notify_->playing = 1;
            notify_->position = 0;
        }
    }
    if (file_ && (file_->type & (sound_type_loop | sound_type_streamed))) flags |= sound_play_looping;
    return sound_buffer::play(flags);
}

bool sound_player::set_parameter(DS3DBUFFER& p) {
    if (!buffer_3d_) return false;
    sound_listener* l = owner_->listener();
    if (l) {
        p.vPosition.x -= l->position[0], p.vPosition.y -= l->position[1], p.vPosition.z -= l->position[2];
        p.vVelocity.x -= l->velocity[0], p.vVelocity.y -= l->velocity[1], p.vVelocity.z -= l->velocity[2];
    }
    p.dwSize = sizeof p;
    HRESULT hr = buffer_3d_->SetAllParameters(&p, DS3D_DEFERRED);
    if (FAILED(hr)) {
        TRACE_ERROR("sound_player::set_parameter", "IDirectSound3Buffer8::SetAllParameters", hr);
        return false;
    }
    if (l) l->commit();
    return true;
}

bool sound_player::update() {
    if (file_ && (file_->type & sound_type_streamed)) return stream_step();
    if (!notify_ || !buffer_) return true;
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return false;
    notify_->position = play;
    if (!is_playing()) {
        notify_->playing = 0;
        notify_->position = 0;
    }
    return true;
}

bool sound_player::restart_stream() {
    last_cursor_ = write_offset_ = 0;
    saved_position_ = 0;
    played_ = 0;
    if (!file_ || !buffer_) return false;
    if (file_->data_size() == 0) file_->delivered_ = 0;
    file_->end_of_data = false;
    if (!file_->seek(0)) return false;
    if (!file_->fill(buffer_, 0, 0)) return false;
    saved_position_ = file_->tell();
    return true;
}

bool sound_player::stream_step() {
    if (!buffer_) return false;
    const uint32_t ring = size_;
    if (ring == 0) return false;
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return false;
    uint32_t p = play, k = write;
    played_ += p - last_cursor_ + (p < last_cursor_ ? ring : 0);
    last_cursor_ = p;
    if (notify_) notify_->position = played_;
    uint32_t length = file_->data_size();
    if (length == 0 && file_->end_of_data) {
        // The decoder ended without a byte: nothing to play, and a loop of
        // silence would never end.
        stop();
        return true;
    }
    if (length != 0) {
        if (!(file_->type & sound_type_loop)) {
            if (played_ >= length) {
                stop();
                return true;
            }
        } else {
            played_ %= length;
        }
    }
    uint32_t w = write_offset_;
    if (p < w) p += ring;
    if (p < k) {
        p += ring;
        w += ring;
    }
    if (w >= p && w <= k) w = k;
    uint32_t n = (ring - w + p) % ring;
    w %= ring;
    if (n > 0) {
        if (file_->tell() != saved_position_) {
            // Another voice of the same file moved the decoder.
            file_->end_of_data = false;
            file_->seek(saved_position_);
        }
        if (!file_->fill(buffer_, w, n)) return false;
        saved_position_ = file_->tell();
        w = (w + n) % ring;
    }
    write_offset_ = w;
    return true;
}
