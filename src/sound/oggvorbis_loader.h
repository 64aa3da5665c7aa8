// Ogg Vorbis files through the decoder library loaded at run time from
// "lib\" under the base directory.
#ifndef VY_SOUND_OGGVORBIS_LOADER_H
#define VY_SOUND_OGGVORBIS_LOADER_H

#include "sound/sound_file_loader.h"

struct oggvorbis_file_state;

class oggvorbis_loader : public sound_file_loader {
public:
    oggvorbis_loader();
    ~oggvorbis_loader() override;

    // Loads the library once; later calls answer whether it is loaded.
    static bool initialize();
    static sound_file_loader* make() { return new oggvorbis_loader; }

    bool open_file(const wchar_t* path) override;
    bool open_memory(const void* data, uint32_t size) override;
    bool close() override;
    bool seek(int64_t position) override;
    int64_t tell() override;
    uint32_t read(void* buffer, uint32_t bytes) override;

    // The memory source the decoder reads a memory image through.
    struct memory_source {
        const uint8_t* data;
        uint32_t size;
        uint32_t position;
    };

private:
    bool take_format();

    oggvorbis_file_state* state_;
    memory_source source_ = {nullptr, 0, 0};
    bool open_ = false;
    // Damage is logged once, not at every pass of a loop.
    bool hole_logged_ = false;
    bool cut_logged_ = false;
};

#endif
