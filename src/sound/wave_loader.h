// RIFF WAVE files through the Windows multimedia file functions.
#ifndef VY_SOUND_WAVE_LOADER_H
#define VY_SOUND_WAVE_LOADER_H

#include "sound/sound_file_loader.h"

class wave_loader : public sound_file_loader {
public:
    ~wave_loader() override { close(); }

    bool open_file(const wchar_t* path) override;
    bool open_memory(const void* data, uint32_t size) override;
    bool close() override;
    bool seek(int64_t position) override;
    int64_t tell() override;
    uint32_t read(void* buffer, uint32_t bytes) override;

    static sound_file_loader* make() { return new wave_loader; }

private:
    bool read_chunks();

    HMMIO mmio_ = nullptr;
    MMCKINFO riff_ = {};
    MMCKINFO chunk_ = {};
    uint32_t data_offset_ = 0;
};

#endif
