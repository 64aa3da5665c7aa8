// The tones of system.beep: a single tone, or a melody written as note
// letters with accidentals, octaves and lengths.
#ifndef VY_ENGINE_BEEP_MELODY_H
#define VY_ENGINE_BEEP_MELODY_H

#include <cstdint>
#include <vector>

#include "core/strings.h"

struct beep_tone {
    uint32_t frequency;    // Hz
    uint32_t duration_ms;
};

// A frequency the speaker can play: outside 37..32767 Hz it is 440.
uint32_t beep_frequency(int32_t hz);

// Reads the melody at tempo (0 or less: 60) into tones. On a bad character
// the tones before it are kept, the message names the rest of the text and
// the result is false.
bool read_melody(const char* text, int32_t tempo, std::vector<beep_tone>& tones, string& message);

#endif
