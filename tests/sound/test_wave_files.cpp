// WAV headers good and bad, read through the loader and through sound
// files: a bad one is refused with a logged error, never a crash.
#include <gtest/gtest.h>

#include "sound/sound_file.h"
#include "sound/wave_loader.h"
#include "sound_fixture.h"

namespace {
struct wave_case {
    const char* name;
    std::string bytes;
    bool opens;
    uint16_t channels;
    uint32_t data_size;
};

std::vector<wave_case> wave_cases() {
    const std::string fmt_mono16 = riff_chunk("fmt ", fmt_body(1, 8000, 16));
    const std::string data4 = riff_chunk("data", pcm16({1, 2, 3, 4}));
    std::string zero_channels = fmt_body(0, 8000, 16);
    std::string zero_align = fmt_body(1, 8000, 16);
    zero_align[12] = zero_align[13] = 0;
    return {
        {"mono 16-bit", wave_file({fmt_mono16, data4}), true, 1, 8},
        {"stereo 8-bit", wav_of(2, 11025, 8, std::string("\x80\x80\x90\x70", 4)), true, 2, 4},
        {"fmt with extension bytes",
         wave_file({riff_chunk("fmt ", fmt_body(1, 8000, 16) + std::string(2, '\0')), data4}), true, 1, 8},
        {"list chunk before the data", wave_file({fmt_mono16, riff_chunk("LIST", "INFOabcd"), data4}), true, 1, 8},
        {"data before fmt (looked for after it)", wave_file({data4, fmt_mono16}), false, 0, 0},
        {"fmt shorter than 16 bytes", wave_file({riff_chunk("fmt ", fmt_body(1, 8000, 16).substr(0, 14)), data4}),
         false, 0, 0},
        {"no data chunk", wave_file({fmt_mono16}), false, 0, 0},
        {"no fmt chunk", wave_file({data4}), false, 0, 0},
        {"another RIFF form", wave_file({fmt_mono16, data4}, "AVI "), false, 0, 0},
        {"not RIFF at all", "OggS and some other bytes here", false, 0, 0},
        {"empty", "", false, 0, 0},
        {"header cut short", wave_file({fmt_mono16, data4}).substr(0, 20), false, 0, 0},
        {"zero channels", wave_file({riff_chunk("fmt ", zero_channels), data4}), false, 0, 0},
        {"zero block align", wave_file({riff_chunk("fmt ", zero_align), data4}), false, 0, 0},
        {"fmt claims more than the file", wave_file({riff_chunk_sized("fmt ", 4000, fmt_body(1, 8000, 16))}), false, 0,
         0},
        {"fmt claims gigabytes", wave_file({riff_chunk_sized("fmt ", 0xFFFFFFF0u, fmt_body(1, 8000, 16)), data4}), false,
         0, 0},
        {"data claims gigabytes: what the file holds",
         wave_file({fmt_mono16, riff_chunk_sized("data", 0x7FFFFFF0u, pcm16({1, 2, 3}))}), true, 1, 6},
    };
}
}  // namespace

TEST(WaveLoader, HeadersFromMemoryAndFromFile) {
    scratch_dir dir;
    for (const wave_case& c : wave_cases()) {
        SCOPED_TRACE(c.name);
        for (int from_file = 0; from_file < 2; ++from_file) {
            wave_loader loader;
            bool opened;
            if (from_file) {
                std::wstring path = dir.path(L"case.wav");
                ASSERT_TRUE(write_whole(path, c.bytes));
                opened = loader.open_file(path.c_str());
            } else {
                opened = loader.open_memory(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
            }
            ASSERT_EQ(c.opens, opened) << (from_file ? "file" : "memory");
            if (!opened) continue;
            EXPECT_EQ(c.channels, loader.format()->nChannels);
            EXPECT_EQ(c.data_size, loader.data_size());
            EXPECT_EQ(0, loader.tell());
        }
    }
}

TEST(WaveLoader, ReadsStopAtTheEndOfTheDataChunk) {
    // A chunk after the samples must not play as noise; a data chunk that
    // claims more than the file holds gives what is there.
    std::string tail_list = wave_file({riff_chunk("fmt ", fmt_body(1, 8000, 16)), riff_chunk("data", pcm16({7, 8})),
                                       riff_chunk("LIST", "INFOjunkjunk")});
    std::string cut =
        wave_file({riff_chunk("fmt ", fmt_body(1, 8000, 16)), riff_chunk_sized("data", 1000, pcm16({5, 6}))});
    struct {
        const std::string* bytes;
        uint32_t readable;
    } cases[] = {{&tail_list, 4}, {&cut, 4}};
    for (auto& c : cases) {
        wave_loader loader;
        ASSERT_TRUE(loader.open_memory(c.bytes->data(), static_cast<uint32_t>(c.bytes->size())));
        char buf[64];
        EXPECT_EQ(c.readable, loader.read(buf, sizeof buf));
        EXPECT_EQ(0u, loader.read(buf, sizeof buf));
        ASSERT_TRUE(loader.seek(2));
        EXPECT_EQ(2, loader.tell());
        EXPECT_EQ(c.readable - 2, loader.read(buf, sizeof buf));
    }
}

class SoundFileTest : public sound_test {};

TEST_F(SoundFileTest, MissingAndUnsupportedFilesAreLoggedAndRefused) {
    std::wstring missing = scratch.path(L"missing.wav");
    std::wstring junk = scratch.path(L"junk.wav");
    ASSERT_TRUE(write_whole(junk, "RIFF\x04\0\0\0WAVE"));
    sound_file f1(device), f2(device), f3(device);
    EXPECT_FALSE(f1.create_from_file(missing.c_str()));
    EXPECT_FALSE(f2.create_from_file(junk.c_str()));
    EXPECT_FALSE(f3.create_from_file(scratch.dir().c_str())) << "a folder is no sound file";
    std::string junk_bytes = "not a sound";
    EXPECT_FALSE(f3.create_from_memory(junk_bytes.data(), static_cast<uint32_t>(junk_bytes.size())));
    std::vector<std::string> lines = reported();
    auto has = [&](const std::string& text) {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("sound_file::create: sound file does not exist., code=-1"));
    EXPECT_TRUE(has("missing.wav"));
    EXPECT_TRUE(has("sound_file::create: sound file is unsupported format., code=-1"));
    EXPECT_TRUE(has("sound_file::create: sound data is unsupported format., code=-1"));
}

TEST_F(SoundFileTest, WholeSoundIsDecodedIntoOneBuffer) {
    std::string samples = tone16(4000, 8000, 440);
    std::string bytes = wav_of(1, 8000, 16, samples);
    sound_file f(device);
    ASSERT_TRUE(f.create_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size())))
        << ::testing::PrintToString(reported());
    ASSERT_NE(nullptr, f.buffer());
    EXPECT_EQ(8000u, f.data_size());
    EXPECT_EQ(8000u, f.size());
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(DS_OK, f.buffer()->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(samples, std::string(static_cast<char*>(p), n));
    f.buffer()->Unlock(p, n, nullptr, 0);
}

TEST_F(SoundFileTest, StereoUsedAs3DIsMixedDownToMono) {
    struct {
        uint16_t bits;
        std::string frames;  // two channels
        std::string mono;
    } cases[] = {
        {16, pcm16({-1, -1, 100, 300, -32768, 32767}), pcm16({-1, 200, 0})},
        {8, std::string("\x00\xFF\x80\x80\x10\x20", 6), std::string("\x7F\x80\x18", 3)},
        // Signed 24-bit: -1 and +1 average to 0, -2 and -4 to -3, the extremes to about 0.
        {24, std::string("\xFF\xFF\xFF\x01\x00\x00\xFE\xFF\xFF\xFC\xFF\xFF\x00\x00\x80\xFF\xFF\x7F", 18),
         std::string("\x00\x00\x00\xFD\xFF\xFF\x00\x00\x00", 9)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.bits);
        std::string bytes = wav_of(2, 8000, c.bits, c.frames);
        sound_file f(device);
        // Lockable: the decoder stays open, so the reads can be watched.
        f.type = sound_type_3d | sound_type_lockable;
        ASSERT_TRUE(f.create_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        EXPECT_EQ(1, f.format()->nChannels);
        EXPECT_EQ(c.bits / 8, f.format()->nBlockAlign);
        EXPECT_EQ(c.mono.size(), f.data_size());
        const size_t past = c.bits == 24 ? 3 : 2;  // whole frames past the end
        std::string out(c.mono.size() + past, '?');
        uint32_t got = 0;
        ASSERT_TRUE(f.read(&out[0], static_cast<uint32_t>(out.size()), false, &got));
        EXPECT_EQ(c.mono.size(), got);
        EXPECT_EQ(c.mono, out.substr(0, got));
        EXPECT_EQ(std::string(past, c.bits == 8 ? '\x80' : '\0'), out.substr(got)) << "silence past the end";
    }
}

TEST_F(SoundFileTest, LoopingReadsGoOnFromTheStartAndAnEmptyLoopEnds) {
    std::string bytes = wav_of(1, 8000, 16, pcm16({1, 2, 3}));
    sound_file f(device);
    f.type = sound_type_loop | sound_type_lockable;
    ASSERT_TRUE(f.create_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    std::string out(16, '?');
    ASSERT_TRUE(f.read(&out[0], 16, true));
    EXPECT_EQ(pcm16({1, 2, 3, 1, 2, 3, 1, 2}), out);

    std::string empty = wav_of(1, 8000, 16, "");
    sound_file e(device);
    e.type = sound_type_loop | sound_type_lockable;
    ASSERT_TRUE(e.create_from_memory(empty.data(), static_cast<uint32_t>(empty.size())));
    uint32_t got = 1;
    ASSERT_TRUE(e.read(&out[0], 16, true, &got));  // must come back
    EXPECT_EQ(0u, got);
    EXPECT_EQ(std::string(16, '\0'), out);
}
