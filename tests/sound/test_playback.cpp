// Voices on the real DirectSound device: what plays reaches the ALSA file
// sink; volumes, channels, notify slots and streaming.
#include <gtest/gtest.h>

#include "core/system_timer.h"
#include "sound/sound_channel.h"
#include "sound/sound_class.h"
#include "sound/sound_file.h"
#include "sound/sound_listener.h"
#include "sound/sound_player.h"
#include "sound_fixture.h"

namespace {
LONG volume_of(sound_player* v) {
    LONG a = 1;
    if (!v || !v->buffer() || FAILED(v->buffer()->GetVolume(&a))) return 1;
    return a;
}
}  // namespace

class PlaybackTest : public sound_test {
protected:
    // A channel entry and a class over a WAV file of the test's own.
    sound_class* make_class(const std::string& wav, uint32_t type, sound_channel_entry* entry,
                            const wchar_t* ext = L".wav") {
        std::wstring path = scratch.path(L"s" + std::to_wstring(++files_) + ext);
        EXPECT_TRUE(write_whole(path, wav));
        auto* c = new sound_class;
        c->name = "c" + std::to_string(files_);
        c->channel = entry;
        EXPECT_TRUE(c->acquire_file(path.c_str(), string(), type));
        classes_.push_back(c);
        return c;
    }
    sound_channel_entry* make_channel(int32_t max_play = 0) {
        auto* e = new sound_channel_entry;
        e->channel = device->create_channel();
        e->channel->max_play = max_play;
        entries_.push_back(e);
        return e;
    }
    bool play(sound_class* c, uint32_t notify = 0) {
        const float zero[3] = {};
        return c->play(notify, nullptr, zero, zero, zero);
    }
    void TearDown() override {
        for (sound_class* c : classes_) delete c;
        for (sound_channel_entry* e : entries_) {
            device->delete_channel(e->channel);
            delete e;
        }
        sound_test::TearDown();
    }
    int files_ = 0;
    std::vector<sound_class*> classes_;
    std::vector<sound_channel_entry*> entries_;
};

TEST(SoundVolume, AttenuationCurve) {
    struct {
        float v;
        int32_t hundredths;
    } cases[] = {{0.5f, -1505}, {1.0f, 0}, {1.5f, 0}, {0.0f, -10000}, {-1.0f, -10000}, {0.1f, -5000}};
    for (auto& c : cases) EXPECT_EQ(c.hundredths, volume_to_attenuation(c.v)) << c.v;
}

TEST_F(PlaybackTest, PlayedSoundReachesTheSinkAndIsRetiredWhenItEnds) {
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(4410, 22050, 440)), 0, make_channel());
    uint64_t before = sink_size();
    ASSERT_TRUE(play(c));
    ASSERT_EQ(1u, device->playing_voices().size());
    EXPECT_TRUE(sink_sound_after(before, 5000))
        << "nothing but silence reached " << ::testing::PrintToString(sink_path());
    run_updates(600);
    EXPECT_TRUE(device->playing_voices().empty());
    EXPECT_TRUE(device->known_voices().empty());
    EXPECT_TRUE(c->file->users.empty());
    EXPECT_EQ(0, c->file->voice_count);
}

TEST_F(PlaybackTest, MasterVolumeAndMuteReachEveryVoice) {
    sound_channel_entry* e = make_channel();
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(22050 * 3, 22050, 440)), sound_type_loop, e);
    e->channel->set_volume(0.5f);
    ASSERT_TRUE(play(c));
    sound_player* v = device->playing_voices().front();
    EXPECT_EQ(-1505, volume_of(v));

    device->set_volume(1.5f);
    EXPECT_EQ(1.0f, device->volume());
    device->set_volume(-1.0f);
    EXPECT_EQ(0.0f, device->volume());
    EXPECT_EQ(-10000, volume_of(v));
    device->set_volume(0.5f);
    EXPECT_EQ(volume_to_attenuation(0.25f), volume_of(v));

    device->set_mute(true);
    EXPECT_EQ(0.0f, device->volume());
    EXPECT_EQ(0.5f, device->master_volume());
    EXPECT_EQ(-10000, volume_of(v));
    Sleep(300);  // what was mixed before the mute drains
    EXPECT_TRUE(sink_silent_after(sink_size(), 500)) << "a muted voice is heard";
    device->set_mute(false);
    EXPECT_EQ(volume_to_attenuation(0.25f), volume_of(v));
    uint64_t before = sink_size();
    EXPECT_TRUE(sink_sound_after(before, 3000));
}

TEST_F(PlaybackTest, ChannelLimitStopsTheOldestAndStopOthersClearsTheChannel) {
    sound_channel_entry* e = make_channel(2);
    std::string wav = wav_of(1, 22050, 16, tone16(22050 * 3, 22050, 440));
    sound_class* c = make_class(wav, 0, e);
    ASSERT_TRUE(play(c));
    sound_player* first = device->playing_voices().back();
    ASSERT_TRUE(play(c));
    sound_player* second = device->playing_voices().back();
    ASSERT_TRUE(play(c));
    sound_player* third = device->playing_voices().back();
    EXPECT_FALSE(first->is_playing());
    EXPECT_TRUE(second->is_playing());
    EXPECT_TRUE(third->is_playing());
    EXPECT_EQ((std::list<sound_player*>{second, third}), e->channel->voices());
    device->update();
    EXPECT_EQ(2u, device->playing_voices().size()) << "the stopped voice is retired";

    // Type 4 stops every voice of its channel, whatever the limit.
    sound_class* loud = make_class(wav, sound_type_stop_others, e);
    ASSERT_TRUE(play(loud));
    EXPECT_FALSE(second->is_playing());
    EXPECT_FALSE(third->is_playing());
    EXPECT_EQ(1u, e->channel->voices().size());

    // A channel whose default type the sound lacks refuses it quietly.
    sound_channel_entry* looping = make_channel();
    looping->type = sound_type_loop;
    const float zero[3] = {};
    EXPECT_FALSE(c->play(0, looping, zero, zero, zero));
    device->update();
    EXPECT_EQ(1u, device->playing_voices().size());
}

TEST_F(PlaybackTest, NotifySlotsFollowTheirVoiceAndReleasingTheClassStopsIt) {
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(22050, 22050, 440)), sound_type_loop, make_channel());
    uint32_t slot = c->take_notify();
    EXPECT_EQ(1u, slot);
    EXPECT_EQ(8u, c->notifies.size()) << "max_play 0 adds 8 slots";
    EXPECT_EQ(2u, c->take_notify());
    c->free_notify(2);
    ASSERT_TRUE(play(c, slot));
    sound_notify* n = c->notify(slot);
    ASSERT_NE(nullptr, n->voice);
    EXPECT_EQ(1, n->playing);
    run_updates(300);
    EXPECT_GT(n->position, 0u);
    EXPECT_EQ(1, n->playing);
    sound_player* voice = n->voice;
    ASSERT_NE(nullptr, voice);
    // Freeing the slot while its voice plays leaves the voice without it.
    c->free_notify(slot);
    EXPECT_EQ(nullptr, voice->notify());
    c->release();
    EXPECT_FALSE(voice->is_playing());
    EXPECT_EQ(nullptr, voice->file());
    device->update();
    EXPECT_TRUE(device->known_voices().empty());
}

TEST_F(PlaybackTest, LockableSoundPlaysOnlyWhileLocked) {
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(22050, 22050, 440)), sound_type_lockable, make_channel());
    EXPECT_FALSE(play(c));
    ASSERT_TRUE(c->file->lock());
    ASSERT_TRUE(c->file->lock());
    EXPECT_TRUE(play(c));
    c->file->unlock();
    EXPECT_EQ(1u, device->playing_voices().size());
    c->file->unlock();
    device->update();
    EXPECT_TRUE(device->playing_voices().empty()) << "the last unlock stops its voices";
    EXPECT_FALSE(play(c));
}

TEST_F(PlaybackTest, StereoRequestedAs3DPlaysAsMono3DVoice) {
    ASSERT_NE(nullptr, device->listener());
    std::vector<int16_t> frames;
    for (int i = 0; i < 22050; ++i)
        frames.push_back(static_cast<int16_t>(i)), frames.push_back(static_cast<int16_t>(-i));
    sound_class* c = make_class(wav_of(2, 22050, 16, pcm16(frames)), sound_type_3d, make_channel());
    EXPECT_EQ(1, c->file->format()->nChannels);
    EXPECT_EQ(44100u, c->file->data_size());
    ASSERT_TRUE(play(c));
    sound_player* v = device->playing_voices().front();
    ASSERT_NE(nullptr, v->buffer_3d());
    DS3DBUFFER p = {};
    p.dwSize = sizeof p;
    ASSERT_EQ(DS_OK, v->buffer_3d()->GetAllParameters(&p));
    EXPECT_EQ(static_cast<DWORD>(DS3DMODE_HEADRELATIVE), p.dwMode);
}

TEST_F(PlaybackTest, LongStreamRefillsItsRingAndStopsAtItsEnd) {
    // 7 s of 8 kHz mono whose every sample is its own index: what lies in
    // the 5-second ring shows which part of the file was fed.
    const uint32_t frames = 8000 * 7;
    std::vector<int16_t> samples(frames);
    for (uint32_t i = 0; i < frames; ++i) samples[i] = static_cast<int16_t>(i & 0x7FFF);
    sound_class* c = make_class(wav_of(1, 8000, 16, pcm16(samples)), sound_type_streamed, make_channel());
    ASSERT_FALSE(c->pooled);
    uint32_t slot = c->take_notify();
    uint64_t before = sink_size();
    ASSERT_TRUE(play(c, slot));
    sound_player* v = device->playing_voices().front();
    ASSERT_EQ(80000u, v->size());
    // A busy machine's sound thread can be slow to start.
    EXPECT_TRUE(sink_sound_after(before, 10000));
    // The sink is not paced by a clock: follow the played bytes, not time.
    sound_notify* n = c->notify(slot);
    auto ring_start = [&] {
        void* p = nullptr;
        DWORD bytes = 0;
        if (v->buffer()->Lock(0, 2, &p, &bytes, nullptr, nullptr, 0) != DS_OK) return -1;
        int16_t first = *static_cast<int16_t*>(p);
        v->buffer()->Unlock(p, bytes, nullptr, 0);
        return static_cast<int>(first);
    };
    auto play_past = [&](uint32_t bytes) {
        DWORD start = GetTickCount();
        while (n->position <= bytes && !device->playing_voices().empty() && GetTickCount() - start < 20000)
            run_updates(100);
        return n->position > bytes;
    };
    // Once the start of the ring is played it is refilled with what
    // follows the first 5 seconds; played once more, with the silence
    // past the end.
    ASSERT_TRUE(play_past(10000));
    EXPECT_EQ(40000 & 0x7FFF, ring_start()) << "the ring's start holds the sixth second";
    ASSERT_TRUE(play_past(84000));
    ASSERT_EQ(1u, device->playing_voices().size()) << "still playing past the length of its ring";
    EXPECT_EQ(0, ring_start());
    DWORD start = GetTickCount();
    while (!device->playing_voices().empty() && GetTickCount() - start < 20000) run_updates(100);
    EXPECT_TRUE(device->playing_voices().empty()) << "a stream of known length stops at its end";
    EXPECT_EQ(0u, n->playing);
}

TEST_F(PlaybackTest, LoopingStreamWrapsInsideOneFill) {
    std::vector<int16_t> samples(800);
    for (int i = 0; i < 800; ++i) samples[i] = static_cast<int16_t>(i);
    sound_class* c =
        make_class(wav_of(1, 8000, 16, pcm16(samples)), sound_type_streamed | sound_type_loop, make_channel());
    ASSERT_TRUE(play(c));
    sound_player* v = device->playing_voices().front();
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(DS_OK, v->buffer()->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    const int16_t* ring = static_cast<const int16_t*>(p);
    bool wraps = ring[0] == 0 && ring[799] == 799 && ring[800] == 0 && ring[39999] == 799;
    v->buffer()->Unlock(p, n, nullptr, 0);
    EXPECT_TRUE(wraps);
    run_updates(500);
    EXPECT_EQ(1u, device->playing_voices().size());
}

TEST_F(PlaybackTest, StreamCutShortPlaysWhatItHoldsAndStops) {
    // 20 s of 8 kHz mono cut inside its second page of sound, and cut
    // right after its two header pages, with nothing to play.
    std::wstring tone_path = scratch.path(L"tone.ogg");
    ASSERT_TRUE(make_ogg_tone(tone_path, 20.0, 1, 8000, 440));
    const std::string whole = read_whole(tone_path);
    std::vector<size_t> pages;
    for (size_t i = whole.find("OggS"); i != std::string::npos; i = whole.find("OggS", i + 4)) pages.push_back(i);
    ASSERT_GE(pages.size(), 5u);
    const std::string cut = whole.substr(0, pages[3] + 50);
    enum outcome { refused, stops, loops };
    struct {
        const char* name;
        std::string bytes;
        const wchar_t* ext;
        uint32_t type;
        outcome expected;
    } cases[] = {
        {"cut inside a page", cut, L".ogg", sound_type_streamed, stops},
        {"cut and looping", cut, L".ogg", sound_type_streamed | sound_type_loop, loops},
        {"headers only", whole.substr(0, pages[2]), L".ogg", sound_type_streamed, refused},
        {"empty WAV", wav_of(1, 8000, 16, ""), L".wav", sound_type_streamed, stops},
        {"empty WAV looping", wav_of(1, 8000, 16, ""), L".wav", sound_type_streamed | sound_type_loop, stops},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        sound_class* k = make_class(c.bytes, c.type, make_channel(), c.ext);
        ASSERT_NE(nullptr, k->file);
        uint32_t slot = k->take_notify();
        ASSERT_EQ(c.expected != refused, play(k, slot)) << "a stream that cannot rewind plays nothing";
        sound_notify* n = k->notify(slot);
        // The sink is not paced by a clock: a stream that ends is stopped
        // well inside the time its ring would take to play.
        DWORD start = GetTickCount();
        uint32_t last = 0;
        bool wrapped = false;
        while (!device->playing_voices().empty() && !wrapped && GetTickCount() - start < 15000) {
            run_updates(100);
            wrapped = n->position < last;
            last = n->position;
        }
        if (c.expected == loops) {
            ASSERT_EQ(1u, device->playing_voices().size()) << "a loop goes on from its start";
            EXPECT_TRUE(wrapped) << "the loop wraps at what was decoded";
            EXPECT_LT(0u, k->file->data_size());
            device->playing_voices().front()->stop();
            run_updates(200);
        }
        EXPECT_TRUE(device->playing_voices().empty()) << "a stream that ends early still stops";
        EXPECT_EQ(0u, n->playing);
        EXPECT_LT(k->file->data_size(), 160000u) << "less than half the whole tone";
    }
}

namespace {
bool test_view(float position[3], int32_t& width, int32_t& height) {
    position[0] = 100, position[1] = 100, position[2] = 0;
    width = 640, height = 480;
    return true;
}
void test_to_view(const float position[3], float out[3]) { out[0] = position[0], out[1] = position[1]; }
const sound_view_hooks view_hooks = {test_view, test_to_view};

LONG pan_of(sound_player* v) {
    LONG p = 1;
    if (!v || !v->buffer() || FAILED(v->buffer()->GetPan(&p))) return 1;
    return p;
}
}  // namespace

TEST_F(PlaybackTest, TwoDimensionalPositionGivesPanAndDistanceVolume) {
    sound_manager::set_view_hooks(&view_hooks);
    sound_channel_entry* e = make_channel();
    e->channel->set_volume(0.5f);
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(22050, 22050, 440)), sound_type_loop, e);
    const float hw = 320.0f;
    struct {
        float x, y;
        LONG pan, volume;
    } cases[] = {
        {0, 0, 0, -1505},                                                 // no position: the rule is skipped
        {320, 240, 0, -1505},                                             // the view centre
        {320 + hw * 0.7f, 240, -volume_to_attenuation(1 - 0.7f), -1505},  // inside the near circle
        {640, 240, 10000, volume_to_attenuation(0.5f * (1 - (320 - hw * 0.7071067690849304f) / (hw * 5)))},
        {0.5f * hw, 240, volume_to_attenuation(0.5f), -1505},           // towards the left
        {320 + hw * 0.7071067690849304f + 5 * hw, 240, 10000, -10000},  // far enough to be silent
    };
    const float zero[3] = {};
    for (auto& k : cases) {
        SCOPED_TRACE(k.x);
        const float position[3] = {k.x, k.y, 0};
        ASSERT_TRUE(c->play(0, nullptr, position, zero, zero));
        sound_player* v = device->playing_voices().back();
        EXPECT_EQ(k.pan, pan_of(v));
        EXPECT_NEAR(k.volume, volume_of(v), 1);
    }
    sound_manager::set_view_hooks(nullptr);
}

TEST_F(PlaybackTest, ThrottledUpdateRunsAtMostTenTimesASecond) {
    sound_class* c = make_class(wav_of(1, 22050, 16, tone16(220, 22050, 440)), 0, make_channel());
    ASSERT_TRUE(play(c));
    uint64_t start = system_timer::source();
    device->update_throttled();
    DWORD t = GetTickCount();
    while (device->playing_voices().front()->is_playing() && GetTickCount() - t < 2000) Sleep(5);
    device->update_throttled();
    bool within = system_timer::source() - start < 90000000ull;
    if (within) EXPECT_EQ(1u, device->playing_voices().size()) << "a second pass within 0.1 s";
    Sleep(110);
    device->update_throttled();
    EXPECT_TRUE(device->playing_voices().empty());
}
