// `sound_file`: one sound's format, length and decoder, and, unless it is
// streamed or lockable, the buffer that holds it decoded and from which
// every voice is duplicated. Shared files live in the device's pool keyed
// by path; a streamed sound has a private file whose decoder stays open.
#ifndef VY_SOUND_SOUND_FILE_H
#define VY_SOUND_SOUND_FILE_H

#include <cstdint>
#include <vector>

#include "core/resource_manager.h"
#include "core/strings.h"
#include "sound/sound_object.h"

class sound_file_loader;
class sound_player;

class sound_file : public sound_buffer {
public:
    explicit sound_file(sound* owner) : sound_buffer(owner) {}
    ~sound_file() override { release(false); }

    bool create() override;
    bool release(bool keep) override;
    virtual bool create_from_file(const wchar_t* path);
    virtual bool create_from_memory(const void* data, uint32_t size);

    // Decodes the next bytes (silence past the end); rewind lets a looping
    // sound go on from the start. got receives what was decoded.
    bool read(void* buffer, uint32_t bytes, bool rewind, uint32_t* got = nullptr);
    // Finds the length of a sound whose length is not yet known.
    void measure();
    // The first lock of a lockable sound makes and fills its buffer.
    bool lock();
    void unlock();
    // Fills count bytes of a buffer at offset from the decoder (0: all).
    bool fill(IDirectSoundBuffer8* target, uint32_t offset, uint32_t count);
    // Voices that play this file lose it and stop.
    void orphan_users();

    // Loader seek and tell.
    bool seek(int64_t position);
    int64_t tell() const;

    const WAVEFORMATEX* format() const { return format_; }
    uint32_t data_size() const { return data_size_; }
    uint32_t delivered() const { return delivered_; }
    bool loaded() const { return loader_ != nullptr || buffer_ != nullptr; }

    wstring path;
    uint32_t type = 0;
    int32_t max_play = 0;
    int32_t voice_count = 0;
    int32_t lock_count = 0;
    bool end_of_data = false;
    std::vector<sound_player*> users;

private:
    friend class sound_player;
    bool open_with(bool from_memory, const void* data, uint32_t size);
    bool make_mono_format();
    uint32_t read_mono(uint8_t* out, uint32_t bytes, bool rewind);
    uint32_t read_plain(uint8_t* out, uint32_t bytes, bool rewind, uint32_t unit);

    sound_file_loader* loader_ = nullptr;
    WAVEFORMATEX* format_ = nullptr;
    uint32_t data_size_ = 0;
    uint32_t delivered_ = 0;
    // A memory image the loader still reads after the caller's bytes are
    // gone (lockable and streamed sounds keep their decoder open).
    std::vector<uint8_t> image_;
};

struct sound_file_creator : resource_creator<sound_file, int> {
    sound* owner = nullptr;
    sound_file* create();
    bool load(sound_file& f, const void* bytes, uint32_t size);
    void release(sound_file& f);
};

using sound_file_pool = resource_manager<sound_file, sound_file_creator, int>;

#endif
