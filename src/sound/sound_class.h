// Sound classes: a named sound file with its type, default channel, 3D
// settings and notify slots; every play makes one voice.
#ifndef VY_SOUND_SOUND_CLASS_H
#define VY_SOUND_SOUND_CLASS_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/strings.h"
#include "sound/sound_player.h"

class sound_channel;
class sound_file;

// A channel as the scripts know it.
struct sound_channel_entry {
    std::string name;
    sound_channel* channel = nullptr;
    uint32_t type = 0;  // default type flags
    int32_t path = 0;   // search path of its files (0: the current ones)
};

class sound_class {
public:
    sound_class() = default;
    ~sound_class() { release(); }
    sound_class(const sound_class&) = delete;
    sound_class& operator=(const sound_class&) = delete;

    // The file of the sound: a private one for a streamed type, else the
    // device pool's entry for (path, entry).
    bool acquire_file(const wchar_t* path, const string& entry, uint32_t type);
    // notify: 1-based slot, 0 for none. channel null: the default one.
    bool play(uint32_t notify, sound_channel_entry* channel, const float position[3], const float cone[3],
              const float velocity[3]);
    void release();

    // The first free notify slot (1-based), growing the slots when none is
    // free; 0 when it can't be had.
    uint32_t take_notify();
    void free_notify(uint32_t index);
    sound_notify* notify(uint32_t index) const;
    uint32_t type() const;

    std::string name;
    sound_file* file = nullptr;
    bool pooled = false;
    sound_channel_entry* channel = nullptr;
    float min_distance = 1.0f;
    float max_distance = 1000000000.0f;
    int32_t inside_angle = 360;
    int32_t outside_angle = 360;
    int32_t outside_volume = 0;
    std::vector<sound_notify*> notifies;

    // A script's max_play sizes the slots added at a time; past this many
    // they are added in steps, so a huge count costs only what is used.
    static constexpr int32_t notify_step_ceiling = 1024;

private:
    void forget_notify(sound_notify* n);
    void play_2d(sound_player* voice, sound_channel_entry* entry, const float position[3]);
    bool play_3d(sound_player* voice, const float position[3], const float cone[3], const float velocity[3]);
};

#endif
