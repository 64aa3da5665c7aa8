#include "engine/beep_melody.h"

#include <cctype>
#include <cmath>

namespace {
constexpr int32_t default_tempo = 60;
constexpr int32_t default_octave = 4;
constexpr int32_t default_length = 4;

// Semitones above A of a note letter (German names: b is B flat, h is B);
// -1 for anything else.
int semitones_of(char letter) {
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'a': return 0;
    case 'b': return 1;
    case 'h': return 2;
    case 'c': return 3;
    case 'd': return 5;
    case 'e': return 7;
    case 'f': return 8;
    case 'g': return 10;
    default: return -1;
    }
}

void skip_space(const char*& p) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct melody_reader {
    const char* p;
    double unit_ms;
    std::vector<beep_tone>& tones;

    void play(int semitones, int octave, int32_t length) {
        double hz = 440.0 * std::pow(2.0, octave - 4) * std::pow(1.059463086, semitones);
        long rounded = std::lround(hz);
        if (rounded < 37) rounded = 37;
        if (rounded > 32767) rounded = 32767;
        double ms = length * unit_ms;
        if (ms > 4294967295.0) ms = 4294967295.0;
        tones.push_back({static_cast<uint32_t>(rounded), static_cast<uint32_t>(ms)});
    }

    int32_t read_length() {
        int32_t n = 0;
        for (; is_digit(*p); ++p) n = n > 99999999 ? n : n * 10 + (*p - '0');
        return n;
    }

    // One note; false with the message on a bad character.
    bool read_note(string& message) {
        int semitones = semitones_of(*p);
        if (semitones < 0) {
            string_printf(message, "invalid tone: %s", p);
            return false;
        }
        ++p;
        skip_space(p);
        if (*p == '#') {
            ++semitones;
            ++p;
            skip_space(p);
        } else if (*p == 'b' || *p == 'B') {
            --semitones;
            ++p;
            skip_space(p);
        }
        int octave = default_octave;
        if (is_digit(*p)) {
            octave = *p - '0';
            ++p;
            skip_space(p);
        }
        if (*p == '&') {
            ++p;
            skip_space(p);
            if (!is_digit(*p)) {
                string_printf(message, "invalid note: %s", p);
                return false;
            }
            play(semitones, octave, read_length());
            return true;
        }
        // Without a length the note ends at the next character, which it
        // takes; the end of the text ends it too, so the last note sounds.
        play(semitones, octave, default_length);
        if (*p) ++p;
        return true;
    }
};
}  // namespace

uint32_t beep_frequency(int32_t hz) { return hz < 37 || hz > 32767 ? 440u : static_cast<uint32_t>(hz); }

bool read_melody(const char* text, int32_t tempo, std::vector<beep_tone>& tones, string& message) {
    // A tempo of 0 would make every length infinite.
    if (tempo <= 0) tempo = default_tempo;
    melody_reader reader{text ? text : "", 60000.0 / (tempo * 16.0), tones};
    for (;;) {
        skip_space(reader.p);
        if (!*reader.p) return true;
        if (!reader.read_note(message)) return false;
    }
}
