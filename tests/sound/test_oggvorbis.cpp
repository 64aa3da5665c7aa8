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

namespace {
// Where each Ogg page of a file starts.
std::vector<size_t> page_starts(const std::string& bytes) {
    std::vector<size_t> at;
    for (size_t i = bytes.find("OggS"); i != std::string::npos; i = bytes.find("OggS", i + 4)) at.push_back(i);
    return at;
}

// Decodes a streamed file to its end in 4000-byte blocks; what one pass gave.
uint32_t one_pass(sound_file& f) {
    std::vector<char> block(4000);
    uint32_t total = 0, got = 0;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_TRUE(f.read(block.data(), 4000, false, &got));
        total += got;
        if (got < 4000) break;
    }
    return total;
}

bool has_line(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos) return true;
    return false;
}
}  // namespace

TEST_F(OggVorbisTest, DamagedStreamPlaysWhatCanBeDecodedAndEndsCleanly) {
    // 12 s of 22.05 kHz mono: 529,200 bytes over several pages.
    const std::string whole = tone(12.0, 1, 22050);
    const uint32_t full = 529200;
    std::vector<size_t> pages = page_starts(whole);
    ASSERT_GE(pages.size(), 6u) << "two header pages and four of sound";
    const size_t middle = pages[pages.size() / 2];
    auto damaged = [&](size_t at) {
        std::string b = whole;
        b[at] = static_cast<char>(b[at] ^ 0xFF);
        return b;
    };
    struct {
        const char* name;
        std::string bytes;
        uint32_t at_least, at_most;
        const char* line;
    } cases[] = {
        {"cut inside a page", whole.substr(0, middle + 100), full / 4, full * 3 / 4, "ends before its last page"},
        {"last page damaged", damaged(pages.back() + 40),
         full / 2, full - 1, "ends before its last page"},
        {"middle page damaged", damaged(middle + 40), full / 2,
         full - 1, "ov_read, code=-3"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(whole, c.bytes);
        std::wstring path = scratch.path(L"damaged.ogg");
        ASSERT_TRUE(write_whole(path, c.bytes));
        reported();
        sound_file f(device);
        f.type = sound_type_streamed;
        ASSERT_TRUE(f.create_from_file(path.c_str()));
        uint32_t first = one_pass(f);
        EXPECT_GE(first, c.at_least);
        EXPECT_LE(first, c.at_most);
        EXPECT_EQ(first, f.data_size()) << "the length is what was decoded";
        EXPECT_TRUE(f.end_of_data);
        // A second pass, as a replay or a loop makes, gives the same sound.
        f.end_of_data = false;
        ASSERT_TRUE(f.seek(0));
        EXPECT_EQ(first, one_pass(f));
        std::vector<std::string> lines = reported();
        EXPECT_TRUE(has_line(lines, c.line)) << ::testing::PrintToString(lines);
        f.release(false);
    }
}
