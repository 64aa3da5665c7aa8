// The DirectSound wrappers: `sound_object` is the root of everything the
// sound device owns, `sound_buffer` one DirectSound buffer with its play,
// stop, volume and pan.
#ifndef VY_SOUND_SOUND_OBJECT_H
#define VY_SOUND_SOUND_OBJECT_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>

class sound;

// Type flags of channels, sounds and sound files.
enum : uint32_t {
    sound_type_3d = 1,
    sound_type_loop = 2,
    sound_type_stop_others = 4,
    sound_type_streamed = 8,
    sound_type_lockable = 16,
    sound_type_own_format = 0x8000,  // the format block is the file's own copy
};

// Flags of sound_buffer::play.
enum : uint32_t {
    sound_play_from_start = 1,
    sound_play_looping = 2,
};

// Hundredths of a decibel for a volume 0..1.
int32_t volume_to_attenuation(float v);

class sound_object {
public:
    explicit sound_object(sound* owner) : owner_(owner) {}
    virtual ~sound_object() = default;
    sound_object(const sound_object&) = delete;
    sound_object& operator=(const sound_object&) = delete;

    virtual bool create() { return true; }
    virtual bool release(bool keep) = 0;
    virtual bool restore() { return true; }

    sound* owner() const { return owner_; }

protected:
    sound* owner_;
    uint8_t flags_ = 0;
};

class sound_buffer : public sound_object {
public:
    using sound_object::sound_object;
    ~sound_buffer() override { release(false); }

    // The primary buffer (no format, no size).
    bool create() override;
    bool release(bool keep) override;
    bool restore() override;
    virtual bool play(uint32_t flags);
    virtual bool stop();
    virtual bool close() { return release(false); }
    virtual bool update() { return true; }

    // flags: the sound's type flags (bit 1 asks for 3D). Without a format
    // and size the primary buffer is made and given the primary format.
    bool create_buffer(uint32_t flags, const WAVEFORMATEX* format, uint32_t bytes);
    // Takes the IDirectSoundBuffer8 interface of a secondary buffer and
    // releases the one it was asked from.
    bool query_buffer(IDirectSoundBuffer* from);
    bool set_volume(float v);
    bool set_pan(float p);
    bool is_playing() const;
    // GetStatus, or 0 without a buffer or when it fails.
    DWORD status() const;

    IDirectSoundBuffer8* buffer() const { return buffer_; }
    uint32_t size() const { return size_; }

protected:
    IDirectSoundBuffer8* buffer_ = nullptr;
    uint32_t size_ = 0;
};

#endif
