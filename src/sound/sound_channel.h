// `sound_channel`: a named group of voices with a voice limit and a volume.
// A voice joins when it starts; the oldest goes when the limit is reached.
#ifndef VY_SOUND_SOUND_CHANNEL_H
#define VY_SOUND_SOUND_CHANNEL_H

#include <cstdint>
#include <list>

#include "sound/sound_object.h"

class sound_player;

class sound_channel {
public:
    explicit sound_channel(sound* owner) : owner_(owner) {}
    virtual ~sound_channel() { release(false); }
    sound_channel(const sound_channel&) = delete;
    sound_channel& operator=(const sound_channel&) = delete;

    virtual bool create() { return true; }
    virtual bool release(bool keep);

    void add_player(sound_player* voice);
    void remove_player(sound_player* voice);
    void stop_all();
    void set_volume(float v);
    void apply_volume();

    float volume() const { return volume_; }
    int32_t max_play = 0;
    const std::list<sound_player*>& voices() const { return voices_; }

private:
    sound* owner_;
    float volume_ = 1.0f;
    uint8_t stopping_ = 0;
    std::list<sound_player*> voices_;
};

#endif
