// The tones system.beep plays for a melody text and for a single tone.
#include <gtest/gtest.h>

#include "engine/beep_melody.h"

namespace {
struct melody_case {
    const char* text;
    int32_t tempo;
    std::vector<std::pair<uint32_t, uint32_t>> tones;  // Hz, ms
    const char* message;                               // null: read to the end
};

std::vector<std::pair<uint32_t, uint32_t>> as_pairs(const std::vector<beep_tone>& tones) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const beep_tone& t : tones) out.emplace_back(t.frequency, t.duration_ms);
    return out;
}
}  // namespace

TEST(BeepMelody, NotesLengthsAndErrors) {
    const melody_case cases[] = {
        // A note without a length ends at the next character and takes it.
        {"c,e,g,", 60, {{523, 250}, {659, 250}, {784, 250}}, nullptr},
        {"ceg", 60, {{523, 250}, {784, 250}}, nullptr},
        {"C E G", 60, {{523, 250}, {784, 250}}, nullptr},
        {"c&4e&4g&4", 60, {{523, 250}, {659, 250}, {784, 250}}, nullptr},
        {"c & 8", 120, {{523, 250}}, nullptr},
        {"a&16", 60, {{440, 1000}}, nullptr},
        // Accidentals, octaves and the German B and H.
        {"a#5,ab3,h,b,", 60, {{932, 250}, {208, 250}, {494, 250}, {466, 250}}, nullptr},
        {"a0,a9,", 60, {{37, 250}, {14080, 250}}, nullptr},
        // A tempo of 0 or less plays at 60.
        {"a", 0, {{440, 250}}, nullptr},
        {"a", -5, {{440, 250}}, nullptr},
        {"", 60, {}, nullptr},
        {"c,x g", 60, {{523, 250}}, "invalid tone: x g"},
        {"d&", 60, {}, "invalid note: "},
        {"d&q,e", 60, {}, "invalid note: q,e"},
        {"#c", 60, {}, "invalid tone: #c"},
    };
    for (const melody_case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<beep_tone> tones;
        string message;
        bool ok = read_melody(c.text, c.tempo, tones, message);
        EXPECT_EQ(c.message == nullptr, ok);
        EXPECT_EQ(c.tones, as_pairs(tones));
        if (c.message) EXPECT_STREQ(c.message, message.c_str());
    }
}

TEST(BeepMelody, SingleTonesOutsideTheSpeakersRangeAre440) {
    const std::pair<int32_t, uint32_t> cases[] = {{10, 440}, {36, 440}, {37, 37}, {1000, 1000},
                                                  {32767, 32767}, {32768, 440}, {-440, 440}};
    for (auto& c : cases) EXPECT_EQ(c.second, beep_frequency(c.first)) << c.first;
}
