// Decoders of sound files: a loader opens a file or a memory image, tells
// its PCM format and (when it can) the data length, and reads PCM bytes.
// Positions are the loader's own unit and only go back to the same loader.
#ifndef VY_SOUND_SOUND_FILE_LOADER_H
#define VY_SOUND_SOUND_FILE_LOADER_H

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

#include "core/strings.h"

class sound_file_loader {
public:
    sound_file_loader() = default;
    virtual ~sound_file_loader() { free_format(); }
    sound_file_loader(const sound_file_loader&) = delete;
    sound_file_loader& operator=(const sound_file_loader&) = delete;

    virtual bool open_file(const wchar_t* path) = 0;
    virtual bool open_memory(const void* data, uint32_t size) = 0;
    virtual bool close() = 0;
    virtual bool release() {
        bool ok = close();
        free_format();
        return ok;
    }
    virtual bool seek(int64_t position) = 0;
    virtual int64_t tell() = 0;
    virtual uint32_t read(void* buffer, uint32_t bytes) = 0;

    const WAVEFORMATEX* format() const { return format_; }
    uint32_t data_size() const { return data_size_; }

protected:
    // A zero-filled block of at least a whole WAVEFORMATEX.
    bool alloc_format(uint32_t size);
    void free_format();

    WAVEFORMATEX* format_ = nullptr;
    uint32_t data_size_ = 0;
};

// A path in the 8-bit code page, for logs and the decoder's fopen.
string narrow_path(const wchar_t* path);

using sound_loader_factory = sound_file_loader* (*)();

// The factories sound::create installs, tried in order.
std::vector<sound_loader_factory>& sound_loader_factories();

#endif
