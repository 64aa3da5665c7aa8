// Ogg Vorbis through the decoder library built with the engine, on files
// made by the encoder built from the same sources.
#include <gtest/gtest.h>

#include "sound/oggvorbis_loader.h"
#include "sound/sound_file.h"
#include "sound_fixture.h"

class OggVorbisTest : public sound_test {
protected:
    std::string tone(double seconds, int channels, long rate) {
        std::wstring path = scratch.path(L"tone.ogg");
        EXPECT_TRUE(make_ogg_tone(path, seconds, channels, rate, 440));
        return read_whole(path);
    }
};

TEST_F(OggVorbisTest, DecoderLibraryIsFoundAndDecodesFilesAndMemoryImages) {
    ASSERT_TRUE(oggvorbis_loader::initialize());
    ASSERT_EQ(2u, sound_loader_factories().size()) << "WAV, then Ogg Vorbis";
    std::string bytes = tone(1.0, 2, 22050);
    ASSERT_FALSE(bytes.empty());
    std::wstring path = scratch.path(L"tone.ogg");
    for (int from_file = 0; from_file < 2; ++from_file) {
        SCOPED_TRACE(from_file ? "file" : "memory");
        oggvorbis_loader loader;
        ASSERT_TRUE(from_file ? loader.open_file(path.c_str())
                              : loader.open_memory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        const WAVEFORMATEX* f = loader.format();
        EXPECT_EQ(WAVE_FORMAT_PCM, f->wFormatTag);
        EXPECT_EQ(2, f->nChannels);
        EXPECT_EQ(22050u, f->nSamplesPerSec);
        EXPECT_EQ(16, f->wBitsPerSample);
        EXPECT_EQ(4, f->nBlockAlign);
        EXPECT_EQ(88200u, f->nAvgBytesPerSec);
        EXPECT_EQ(0u, loader.data_size()) << "not known before a pass";
        std::vector<char> pcm(100000);
        uint32_t got = loader.read(pcm.data(), static_cast<uint32_t>(pcm.size()));
        EXPECT_EQ(88200u, got) << "one second, every sample";
        EXPECT_EQ(22050, loader.tell());
        bool sound = false;
        for (uint32_t i = 0; i < got; ++i) sound = sound || pcm[i] != 0;
        EXPECT_TRUE(sound);
        EXPECT_EQ(std::string(pcm.size() - got, '\0'), std::string(pcm.data() + got, pcm.size() - got));
        ASSERT_TRUE(loader.seek(11025));
        EXPECT_EQ(44100u, loader.read(pcm.data(), static_cast<uint32_t>(pcm.size())));
    }
    oggvorbis_loader loader;
    std::string junk = "OggS but nothing else";
    EXPECT_FALSE(loader.open_memory(junk.data(), static_cast<uint32_t>(junk.size())));
    EXPECT_FALSE(loader.open_memory(bytes.data(), 100)) << "cut short";
}

TEST_F(OggVorbisTest, SharedFileIsMeasuredAtLoadAndHoldsTheWholeSound) {
    std::string bytes = tone(0.5, 1, 8000);
    sound_file f(device);
    ASSERT_TRUE(f.create_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(8000u, f.data_size());
    ASSERT_NE(nullptr, f.buffer());
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(DS_OK, f.buffer()->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    // Measuring decodes the whole stream once; the fill must start again
    // from the beginning rather than find the decoder at its end.
    const int16_t* s = static_cast<const int16_t*>(p);
    int loud = 0;
    for (DWORD i = 0; i < n / 2; ++i) loud += (s[i] > 8000 || s[i] < -8000);
    f.buffer()->Unlock(p, n, nullptr, 0);
    EXPECT_GT(loud, 1000);
}

TEST_F(OggVorbisTest, StreamedFileLearnsItsLengthAtTheEndOfItsFirstPass) {
    std::string bytes = tone(0.25, 1, 8000);
    sound_file f(device);
    f.type = sound_type_streamed;
    ASSERT_TRUE(f.create_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(0u, f.data_size());
    std::vector<char> block(1000);
    uint32_t total = 0, got = 0;
    do {
        ASSERT_TRUE(f.read(block.data(), 1000, false, &got));
        total += got;
        if (got == 1000) EXPECT_EQ(0u, f.data_size());
    } while (got == 1000);
    EXPECT_EQ(4000u, total);
    EXPECT_EQ(4000u, f.data_size());
    EXPECT_TRUE(f.end_of_data);
}
