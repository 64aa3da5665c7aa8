#include "sound/sound_class.h"

#include <cmath>

#include "core/archive.h"
#include "core/trace.h"
#include "sound/sound.h"
#include "sound/sound_channel.h"
#include "sound/sound_file.h"
#include "sound/sound_manager.h"

namespace {
// A streamed sound inside a package: the entry's bytes are copied.
bool open_private_file(sound_file* f, const wchar_t* path, const string& entry) {
    if (entry.empty()) return f->create_from_file(path);
    archive_manager* packages = archive_manager::instance();
    archive* a = packages ? packages->open_archive(path) : nullptr;
    if (!a) return false;
    archive::entry_iterator at = a->find(entry);
    if (at == a->end() || !a->lock_entry(at)) return false;
    bool ok = f->create_from_memory(at->second.data, at->second.size);
    a->unlock_entry(at);
    return ok;
}
}  // namespace

uint32_t sound_class::type() const { return file ? file->type : 0; }

bool sound_class::acquire_file(const wchar_t* path, const string& entry, uint32_t type_flags) {
    sound* device = sound::instance();
    if (!device) return false;
    if (type_flags & sound_type_streamed) {
        auto* f = new sound_file(device);
        f->type = type_flags;
        if (!device->register_object(f) || !open_private_file(f, path, entry)) {
            device->unregister_object(f);
            delete f;
            return false;
        }
        file = f;
        pooled = false;
        return true;
    }
    sound_file_pool& pool = device->files();
    sound_file_pool::iterator it;
    if (!pool.find(it, path, entry)) return false;
    sound_file* f = it.get();
    if (!f) return false;
    f->type = type_flags | (f->type & sound_type_own_format);
    if (!pool.acquire(it)) return false;
    file = f;
    pooled = true;
    return true;
}

uint32_t sound_class::take_notify() {
    for (size_t i = 0; i < notifies.size(); ++i) {
        if (!notifies[i]) {
            notifies[i] = new sound_notify{file, nullptr, 0, 0};
            return static_cast<uint32_t>(i + 1);
        }
    }
    size_t at = notifies.size();
    int32_t grow = file && file->max_play >= 1 ? file->max_play : 8;
    if (grow > notify_step_ceiling) grow = notify_step_ceiling;
    notifies.resize(at + static_cast<size_t>(grow), nullptr);
    notifies[at] = new sound_notify{file, nullptr, 0, 0};
    return static_cast<uint32_t>(at + 1);
}

sound_notify* sound_class::notify(uint32_t index) const {
    if (index == 0 || index > notifies.size()) return nullptr;
    return notifies[index - 1];
}

// A voice that still follows a record lets go of it before it goes.
void sound_class::forget_notify(sound_notify* n) {
    sound* device = sound::instance();
    if (!n || !device) return;
    for (sound_player* v : device->known_voices())
        if (v->notify() == n) v->forget_notify();
}

void sound_class::free_notify(uint32_t index) {
    sound_notify* n = notify(index);
    if (!n) return;
    forget_notify(n);
    delete n;
    notifies[index - 1] = nullptr;
}

void sound_class::release() {
    for (uint32_t i = 1; i <= notifies.size(); ++i) free_notify(i);
    notifies.clear();
    sound* device = sound::instance();
    if (file && device) {
        if (!pooled) {
            device->unregister_object(file);
            file->release(false);
            delete file;
        } else {
            // Voices of every class that shares the file stop with it.
            file->orphan_users();
            device->files().release(file);
        }
    }
    file = nullptr;
    channel = nullptr;
}

bool sound_class::play(uint32_t notify_index, sound_channel_entry* entry, const float position[3], const float cone[3],
                       const float velocity[3]) {
    sound* device = sound::instance();
    if (!device || !file) return false;
    if (!entry)
        entry = channel;
    else if ((entry->type & file->type) != entry->type)
        return false;
    if (!entry || !entry->channel) return false;
    sound_notify* n = notify(notify_index);
    sound_player* voice = sound_player::make(file, n);
    if (!voice) return false;
    if (n) n->voice = voice;
    entry->channel->add_player(voice);
    if (!(file->type & sound_type_3d))
        play_2d(voice, entry, position);
    else if (!play_3d(voice, position, cone, velocity)) {
        voice->close();
        device->destroy_buffer(voice);
        return false;
    }
    return device->add_buffer(voice);
}

void sound_class::play_2d(sound_player* voice, sound_channel_entry* entry, const float position[3]) {
    if (position[0] == 0 && position[1] == 0 && position[2] == 0) return;
    float view[3] = {};
    int32_t w = 0, h = 0;
    if (!sound_manager::view_of_field(view, w, h)) return;
    if (view[0] == 0 && view[1] == 0 && view[2] == 0) return;
    if (w <= 0) return;
    float v[3] = {view[0], view[1], view[2]};
    sound_manager::to_view(position, v);
    double hw = w * 0.5;
    voice->set_pan(static_cast<float>(v[0] / hw - 1.0));
    double dx = v[0] - w / 2, dy = v[1] - h / 2, dz = v[2];
    double d = std::sqrt(dx * dx + dy * dy + dz * dz);
    double reach = hw * 0.7071067690849304;
    if (d - reach > 0) {
        double factor = 1.0 - (d - reach) / (hw * 5.0);
        voice->set_volume(static_cast<float>(sound::instance()->volume() * entry->channel->volume() * factor));
    }
}

bool sound_class::play_3d(sound_player* voice, const float position[3], const float cone[3], const float velocity[3]) {
    IDirectSound3DBuffer8* b = voice->buffer_3d();
    if (!b) return false;
    DS3DBUFFER p = {};
    p.dwSize = sizeof p;
    if (FAILED(b->GetAllParameters(&p))) return false;
    p.flMinDistance = min_distance;
    p.flMaxDistance = max_distance;
    p.dwInsideConeAngle = static_cast<DWORD>(inside_angle);
    p.dwOutsideConeAngle = static_cast<DWORD>(outside_angle);
    p.lConeOutsideVolume = outside_volume;
    p.dwMode = DS3DMODE_HEADRELATIVE;
    if (inside_angle != 360 && outside_angle != 360) p.vConeOrientation = {cone[0], cone[1], cone[2]};
    p.vPosition = {position[0], position[1], position[2]};
    p.vVelocity = {velocity[0], velocity[1], velocity[2]};
    return voice->set_parameter(p);
}
