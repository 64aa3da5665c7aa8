// `sound`: the engine's one DirectSound 8 device. It owns every wrapper it
// creates, the channels, the voices that are known and playing, and the
// pool of shared sound files; it holds the master volume and the mute
// flag. The frame loop runs its update at most ten times a second.
#ifndef VY_SOUND_SOUND_H
#define VY_SOUND_SOUND_H

#include <cstdint>
#include <list>
#include <vector>

#include "core/singleton.h"
#include "sound/sound_file.h"
#include "sound/sound_object.h"

class sound_listener;
class sound_channel;
class sound_player;

class sound : public singleton<sound> {
public:
    sound();
    ~sound() override;
    sound(const sound&) = delete;
    sound& operator=(const sound&) = delete;

    static sound* instance() { return singleton<sound>::instance(); }

    virtual bool create(HWND window);
    virtual void release();
    void release_buffers();

    IDirectSound8* device() const { return device_; }
    HWND window() const { return window_; }
    sound_listener* listener() const;

    // The master volume, 0 while muted.
    float volume() const { return muted_ ? 0.0f : volume_; }
    float master_volume() const { return volume_; }
    bool muted() const { return muted_; }
    void set_volume(float v);
    void set_mute(bool on);
    void apply_volume();

    // Wrappers the device releases and deletes with its buffers.
    bool register_object(sound_object* object);
    bool unregister_object(sound_object* object);

    sound_channel* create_channel();
    void delete_channel(sound_channel* channel);

    // Voices.
    void add_known(sound_player* voice) { known_.push_back(voice); }
    bool add_buffer(sound_player* voice);
    bool stop_buffer(sound_player* voice);
    void destroy_buffer(sound_player* voice);
    const std::list<sound_player*>& known_voices() const { return known_; }
    const std::list<sound_player*>& playing_voices() const { return playing_; }

    void update();
    void update_throttled();

    sound_file_pool& files() { return files_; }

private:
    IDirectSound8* device_ = nullptr;
    HWND window_ = nullptr;
    float volume_ = 1.0f;
    sound_buffer* primary_ = nullptr;
    sound_listener* listener_ = nullptr;
    bool muted_ = false;
    std::list<sound_object*> objects_;
    std::vector<sound_channel*> channels_;
    std::list<sound_player*> known_;
    std::list<sound_player*> playing_;
    sound_file_pool files_;
    uint64_t next_update_ = 0;
};

#endif
