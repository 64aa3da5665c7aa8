// What the sound tests share: a real DirectSound device on a hidden window
// (its output lands in the ALSA file sink named by VY_SOUND_SINK), the
// system log captured line by line, a Lua state from the script fixture,
// and builders of WAV and Ogg Vorbis files.
#ifndef VY_TESTS_SOUND_SOUND_FIXTURE_H
#define VY_TESTS_SOUND_SOUND_FIXTURE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../core/script_fixture.h"
#include "core/system_log.h"
#include "sound/sound.h"
#include "sound/sound_manager.h"

// Log lines as "origin: message", with their level.
class captured_log : public i_system_log {
public:
    int32_t level() const override { return 99; }
    void write(int32_t level, const char* origin, const char* message) override {
        lines.push_back(std::to_string(level) + " " + origin + ": " + message);
    }
    bool has(const std::string& line) const;
    std::vector<std::string> lines;
};

// The build folder as a Windows path.
std::wstring binary_dir();

// RIFF builders: a chunk is its id, its 32-bit size and its bytes.
std::string riff_chunk(const char id[4], const std::string& body);
std::string riff_chunk_sized(const char id[4], uint32_t size, const std::string& body);
std::string fmt_body(uint16_t channels, uint32_t rate, uint16_t bits);
std::string wave_file(const std::vector<std::string>& chunks, const char form[4] = "WAVE");
// Little-endian 16-bit samples.
std::string pcm16(const std::vector<int16_t>& samples);
// A whole PCM WAV of the given sample bytes.
std::string wav_of(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& samples);
// A 16-bit mono tone (amplitude 8000) of frames samples.
std::string tone16(uint32_t frames, uint32_t rate, double hz);

// Runs the test encoder; true when the file was written.
bool make_ogg_tone(const std::wstring& path, double seconds, int channels, long rate, double hz);

// The sink file as a Windows path, and the bytes it holds past an offset.
std::wstring sink_path();
uint64_t sink_size();
// True once bytes past offset that are not all zero arrived (waits at
// most timeout_ms).
bool sink_sound_after(uint64_t offset, DWORD timeout_ms);
// True when what arrived past offset, waiting wait_ms, is all zero.
bool sink_silent_after(uint64_t offset, DWORD wait_ms);

class sound_test : public script_test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The voices' update pass, run every 100 ms for the given time.
    void run_updates(DWORD ms);
    bool lua_ok(const char* code);

    HWND window = nullptr;
    sound* device = nullptr;
    sound_manager* manager = nullptr;
    captured_log log;
};

#endif
