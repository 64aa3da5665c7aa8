#include "sound/sound_channel.h"

#include "sound/sound.h"
#include "sound/sound_player.h"

bool sound_channel::release(bool keep) {
    if (!keep) stop_all();
    for (sound_player* v : voices_) v->forget_channel();
    voices_.clear();
    return true;
}

void sound_channel::add_player(sound_player* voice) {
    if (voice->type() & sound_type_stop_others) stop_all();
    if (max_play > 0 && static_cast<int32_t>(voices_.size()) >= max_play) {
        sound_player* oldest = voices_.front();
        oldest->stop();
        if (!voices_.empty() && voices_.front() == oldest) {
            voices_.pop_front();
            oldest->forget_channel();
        }
    }
    voice->set_volume(volume_ * owner_->volume());
    voice->join(this);
    voices_.push_back(voice);
}

void sound_channel::remove_player(sound_player* voice) {
    if (stopping_) return;
    voices_.remove(voice);
}

void sound_channel::stop_all() {
    stopping_ = 1;
    std::list<sound_player*> voices;
    voices.swap(voices_);
    for (sound_player* v : voices) {
        v->forget_channel();
        v->stop();
    }
    stopping_ = 0;
}

void sound_channel::set_volume(float v) {
    if (v < 0.0f) v = 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (v == volume_) return;
    volume_ = v;
    apply_volume();
}

void sound_channel::apply_volume() {
    float v = volume_ * owner_->volume();
    for (sound_player* voice : voices_) voice->set_volume(v);
}
