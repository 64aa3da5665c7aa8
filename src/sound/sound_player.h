// Voices. `sound_play_buffer` is what every voice has: the file it plays,
// its channel and its notify record. `sound_player` is the voice itself: a
// duplicate of its file's buffer, or for a streamed sound a 5-second ring
// that the update pass keeps filling from the file's decoder.
#ifndef VY_SOUND_SOUND_PLAYER_H
#define VY_SOUND_SOUND_PLAYER_H

#include <cstdint>

#include "sound/sound_object.h"

class sound_file;
class sound_channel;

// Follows the last voice started through one notify slot of a sound class.
struct sound_notify {
    sound_file* file = nullptr;
    class sound_player* voice = nullptr;
    uint8_t playing = 0;
    uint32_t position = 0;  // bytes played
};

class sound_play_buffer : public sound_buffer {
public:
    using sound_buffer::sound_buffer;

    bool release(bool keep) override;
    bool close() override;

    void forget_file() { file_ = nullptr; }
    void forget_channel() { channel_ = nullptr; }
    void forget_notify() { notify_ = nullptr; }
    sound_file* file() const { return file_; }
    sound_channel* channel() const { return channel_; }
    sound_notify* notify() const { return notify_; }

protected:
    sound_file* file_ = nullptr;
    sound_channel* channel_ = nullptr;
    sound_notify* notify_ = nullptr;
};

class sound_player : public sound_play_buffer {
public:
    using sound_play_buffer::sound_play_buffer;
    ~sound_player() override { release(false); }

    // A voice of the file, registered and known to the device; null when
    // the file is lockable and not locked or the buffer can't be made.
    static sound_player* make(sound_file* file, sound_notify* notify);

    bool create() override;
    bool release(bool keep) override;
    bool restore() override;
    bool play(uint32_t flags) override;
    bool update() override;

    void join(sound_channel* channel) { channel_ = channel; }
    uint32_t type() const;
    IDirectSound3DBuffer8* buffer_3d() const { return buffer_3d_; }
    // Position and velocity less the listener's, then applied.
    bool set_parameter(DS3DBUFFER& p);
    uint32_t played() const { return played_; }

private:
    bool restart_stream();
    bool stream_step();

    IDirectSound3DBuffer8* buffer_3d_ = nullptr;
    uint32_t last_cursor_ = 0;
    uint32_t write_offset_ = 0;
    int64_t saved_position_ = 0;
    uint32_t played_ = 0;
};

#endif
