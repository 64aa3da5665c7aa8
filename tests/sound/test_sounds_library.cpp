// The `sounds` library in a real Lua state over the real device.
#include <gtest/gtest.h>

#include "../core/package_builder.h"
#include "../peak_memory.h"
#include "lauxlib.h"
#include "sound/sound_channel.h"
#include "sound/sound_class.h"
#include "sound/sound_listener.h"
#include "sound/sound_player.h"
#include "sound/sounds_library.h"
#include "sound_fixture.h"

class SoundsLibraryTest : public sound_test {
protected:
    void SetUp() override {
        sound_test::SetUp();
        ASSERT_TRUE(write_whole(scratch.path(L"beep.wav"), wav_of(1, 22050, 16, tone16(22050, 22050, 440))));
        std::string dir;
        for (wchar_t c : scratch.dir()) dir += c == L'\\' ? "\\\\" : std::string(1, static_cast<char>(c));
        ASSERT_TRUE(lua_ok(("dir = '" + dir + "\\\\'").c_str()));
    }
    // Runs code and answers its first result as text.
    std::string eval(const std::string& code) {
        lua_State* L = s.state();
        int top = lua_gettop(L);
        if (luaL_dostring(L, ("return " + code).c_str()) != 0) {
            std::string e = lua_tostring(L, -1);
            lua_settop(L, top);
            return "error: " + e;
        }
        std::string out;
        if (lua_gettop(L) == top)
            out = "none";
        else if (lua_isnil(L, top + 1))
            out = "nil";
        else if (lua_isboolean(L, top + 1))
            out = lua_toboolean(L, top + 1) ? "true" : "false";
        else if (lua_islightuserdata(L, top + 1))
            out = "pointer";
        else if (lua_istable(L, top + 1))
            out = "table";
        else
            out = lua_tostring(L, top + 1);
        lua_settop(L, top);
        return out;
    }
    bool logged(const std::string& line) {
        if (log.has(line)) return true;
        ADD_FAILURE() << "missing: " << line << "\n" << ::testing::PrintToString(log.lines);
        return false;
    }
};

TEST_F(SoundsLibraryTest, ChannelsAndSoundsFromTables) {
    EXPECT_EQ("pointer", eval("sounds.channel_create{name = 'se', max_play = 2}"));
    EXPECT_TRUE(logged("6 sounds.channel_create: create sound channel se"));
    EXPECT_TRUE(logged("6 sounds.channel_create: se is created successfully"));
    struct {
        const char* code;
        const char* line;
    } refused[] = {
        {"sounds.channel_create{name = 'se'}",
         "1 sounds.channel_create: error: specified channel name is already existed, or no memory."},
        {"sounds.channel_create{}", "1 sounds.channel_create: error: no sound channel name."},
        {"sounds.channel_create{name = 'x', type = {}}", "1 sounds.channel_create: error: invalid default type."},
        {"sounds.create{name = 'a', channel = 'nope', file = dir .. 'beep.wav'}",
         "1 sounds.create: invalid sound channel name"},
        {"sounds.create{name = 'a', channel = 'se'}", "1 sounds.create: no sound file path"},
        {"sounds.create{name = 'a', channel = 'se', file = dir .. 'missing.wav'}",
         "1 sounds.create: invalid sound file path"},
        {"sounds.create{name = 'a', channel = 'se', file = dir .. 'beep.wav', min = 'far'}",
         "1 sounds.create: invalid min distance"},
    };
    for (auto& r : refused) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ("nil", eval(r.code));
        EXPECT_TRUE(logged(r.line));
    }
    EXPECT_EQ("nil", eval("sounds.channel_volume('x')")) << "an unknown channel answers nil";
    EXPECT_EQ("nil", eval("tostring(sounds.channel_volume('x'))")) << "so scripts can print it";
    // The refused names are free again.
    EXPECT_EQ("pointer", eval("sounds.create{name = 'a', channel = 'se', file = dir .. 'beep.wav', max_play = 4,"
                              " min = 2, inside = 90.4, volume = 0.5}"));
    sound_class* a = manager->find_class("a");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(2.0f, a->min_distance);
    EXPECT_EQ(90, a->inside_angle);
    EXPECT_EQ(-5000, a->outside_volume);
    EXPECT_EQ(4, a->file->max_play);
    EXPECT_EQ("se", eval("sounds.channel('a')"));
    EXPECT_EQ("pointer", eval("sounds.create{name = 'b', channel = 'se', file = dir .. 'beep.wav'}"));
    EXPECT_EQ(a->file, manager->find_class("b")->file) << "one shared file per path";
    EXPECT_EQ("0.5",
              eval("(function() sounds.set_channel_volume('se', '0.5') return sounds.channel_volume('se') end)()"));

    // Releasing the channel releases its sounds; stale handles are refused.
    ASSERT_TRUE(lua_ok("old = sounds.create{name = 'c', channel = 'se', file = dir .. 'beep.wav'}"));
    ASSERT_TRUE(lua_ok("sounds.channel_release('se')"));
    EXPECT_EQ(nullptr, manager->find_class("a"));
    EXPECT_EQ("false", eval("sounds.play(old)"));
    EXPECT_TRUE(logged("1 sounds.play: invalid sound"));
    EXPECT_EQ("nil", eval("sounds.channel(old)"));
    ASSERT_TRUE(lua_ok("sounds.release(old)"));
    EXPECT_TRUE(logged("1 sounds.release: invalid sound"));
}

TEST_F(SoundsLibraryTest, AHugeMaxPlayCostsOnlyTheSlotsInUse) {
    const size_t peak_before = peak_memory();
    ASSERT_TRUE(
        lua_ok("sounds.channel_create{name = 'se'} "
               "s = sounds.create{name = 's', channel = 'se', file = dir .. 'beep.wav', max_play = 2^31 - 1}"));
    ASSERT_TRUE(lua_ok("n = sounds.play_notify(s)"));
    EXPECT_EQ("1", eval("n.notify"));
    EXPECT_EQ(size_t(sound_class::notify_step_ceiling), manager->find_class("s")->notifies.size());
    EXPECT_LT(peak_memory(), peak_before + (size_t(64) << 20));
    ASSERT_TRUE(lua_ok("n:release() sounds.stop()"));
}

TEST_F(SoundsLibraryTest, PlayPositionsAndNotifyObjects) {
    ASSERT_TRUE(
        lua_ok("sounds.channel_create{name = 'se'} "
               "s = sounds.create{name = 's', channel = 'se', file = dir .. 'beep.wav', max_play = 4}"));
    EXPECT_EQ("true", eval("sounds.play(s)"));
    EXPECT_EQ("true", eval("sounds.play('s', 1, nil, 3)"));
    EXPECT_EQ("false", eval("sounds.play(s, 'nobody')"));
    EXPECT_TRUE(logged("1 sounds.play: invalid position.x"));
    EXPECT_EQ("false", eval("sounds.play2(s, 'nowhere')"));
    EXPECT_TRUE(logged("1 sounds.play: invalid sound channel"));
    EXPECT_EQ("true", eval("sounds.play2(s, 'se')"));

    ASSERT_TRUE(lua_ok("n = sounds.play_notify(s)"));
    EXPECT_EQ("1", eval("n.notify"));
    EXPECT_EQ(4u, manager->find_class("s")->notifies.size()) << "max_play 4 slots at a time";
    EXPECT_EQ("true", eval("n:status()"));
    EXPECT_EQ("1000", eval("n:time()"));
    ASSERT_TRUE(lua_ok("n:stop()"));
    EXPECT_EQ("false", eval("n:status()"));
    ASSERT_TRUE(lua_ok("n:release()"));
    EXPECT_EQ("none", eval("n:status()"));
    EXPECT_TRUE(logged("1 sounds.notify:status: invalid notify instance"));
    EXPECT_EQ("none", eval("sounds.play_notify(s, 'nobody')")) << "a raised message frees the slot";
    EXPECT_EQ(nullptr, manager->find_class("s")->notify(1));

    ASSERT_TRUE(lua_ok("sounds.stop()"));
    for (sound_player* v : device->playing_voices()) EXPECT_FALSE(v->is_playing());
}

TEST_F(SoundsLibraryTest, MasterVolumeMuteAndListener) {
    struct {
        const char* code;
        bool muted;
    } mutes[] = {{"sounds.mute(0)", true},    {"sounds.mute(false)", false}, {"sounds.mute(true)", true},
                 {"sounds.mute(nil)", false}, {"sounds.mute('')", true},     {"sounds.mute()", false}};
    ASSERT_TRUE(lua_ok("sounds.set_volume('0.25')"));
    for (auto& m : mutes) {
        ASSERT_TRUE(lua_ok(m.code));
        EXPECT_EQ(m.muted, device->muted()) << m.code;
        EXPECT_EQ(m.muted ? "0" : "0.25", eval("sounds.volume()")) << m.code;
    }
    ASSERT_TRUE(lua_ok("sounds.set_volume('loud')"));
    EXPECT_EQ("0", eval("sounds.volume()"));

    // The listener defaults of every script start.
    EXPECT_EQ("0.006250", eval("string.format('%.6f', sounds.listener().distance)"));
    EXPECT_EQ("-1", eval("sounds.param().top[2]"));
    ASSERT_TRUE(lua_ok("sounds.set_param{front = {1, 0}, distance = 2}"));
    EXPECT_TRUE(logged("1 sounds.set_param: no front.z"));
    EXPECT_EQ("1", eval("sounds.listener().front[3]")) << "a refused table changes nothing";
    ASSERT_TRUE(lua_ok("sounds.set_param{front = {1, 0, 0}, position = {5, 6, 7}, doppler = 2}"));
    EXPECT_EQ("1", eval("sounds.listener().front[1]"));
    EXPECT_EQ("2", eval("sounds.listener().doppler"));
    EXPECT_EQ("6", eval("sounds.listener().position[2]"));
    EXPECT_EQ(6.0f, device->listener()->position[1]);
    DS3DLISTENER p = {};
    p.dwSize = sizeof p;
    ASSERT_EQ(DS_OK, device->listener()->listener()->GetAllParameters(&p));
    EXPECT_EQ(0.0f, p.vPosition.y) << "DirectSound keeps the listener at the origin";
    ASSERT_TRUE(lua_ok("sounds.set_position(1, 'x', 3) sounds.set_velocity(4)"));
    EXPECT_EQ("0", eval("sounds.listener().position[2]"));
    EXPECT_EQ("4", eval("sounds.listener().velocity[1]"));
}

TEST_F(SoundsLibraryTest, LockableSounds) {
    ASSERT_TRUE(
        lua_ok("sounds.channel_create{name = 'se'} "
               "s = sounds.create{name = 's', channel = 'se', type = 16, file = dir .. 'beep.wav'}"));
    EXPECT_EQ("false", eval("sounds.play(s)"));
    EXPECT_EQ("true", eval("sounds.lock(s)"));
    EXPECT_EQ("true", eval("sounds.play(s)"));
    EXPECT_EQ("true", eval("sounds.unlock(s)"));
    EXPECT_EQ("false", eval("sounds.play(s)"));
    EXPECT_EQ("false", eval("sounds.lock('nothing')"));
    EXPECT_TRUE(logged("1 sounds.lock: invalid sound"));
}

namespace {
std::wstring package_path;

// Names resolve into the test's package: "se/NAME.wav".
bool package_resolver(int32_t, const char* name, wstring& path, string& entry) {
    path = package_path.c_str();
    entry = (std::string("se/") + name + ".wav").c_str();
    return true;
}
}  // namespace

TEST_F(SoundsLibraryTest, SoundsInsidePackagesAreSharedOrStreamed) {
    std::vector<int16_t> ramp(8000);
    for (int i = 0; i < 8000; ++i) ramp[i] = static_cast<int16_t>(i);
    package_path = scratch.path(L"sounds.arc");
    ASSERT_TRUE(
        write_whole(package_path, make_package(0, {{"se/beep.wav", wav_of(1, 8000, 16, tone16(4000, 8000, 440))},
                                                   {"se/ramp.wav", wav_of(1, 8000, 16, pcm16(ramp))}})));
    sound_manager::set_file_resolver(package_resolver);
    bool made = lua_ok(
        "sounds.channel_create{name = 'se'} "
        "shared = sounds.create{name = 'a', channel = 'se', file = 'beep'} "
        "streamed = sounds.create{name = 'b', channel = 'se', type = 8, file = 'ramp'}");
    sound_manager::set_file_resolver(nullptr);
    ASSERT_TRUE(made);
    sound_class* a = manager->find_class("a");
    sound_class* b = manager->find_class("b");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->pooled);
    EXPECT_EQ(8000u, a->file->data_size());
    EXPECT_FALSE(b->pooled);
    EXPECT_EQ(16000u, b->file->data_size());
    EXPECT_EQ("true", eval("sounds.play(shared)"));
    EXPECT_EQ("true", eval("sounds.play(streamed)"));
    // The stream's decoder reads its own copy of the entry's bytes.
    sound_player* v = device->playing_voices().back();
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(DS_OK, v->buffer()->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    std::string ring(static_cast<char*>(p), n);
    v->buffer()->Unlock(p, n, nullptr, 0);
    EXPECT_EQ(pcm16(ramp), ring.substr(0, 16000));
    EXPECT_EQ(std::string(ring.size() - 16000, '\0'), ring.substr(16000)) << "silence after the end";
}

TEST_F(SoundsLibraryTest, StreamedOggLengthIsWhatWasDecodedUntilMeasured) {
    ASSERT_TRUE(make_ogg_tone(scratch.path(L"long.ogg"), 8.0, 1, 8000, 440));
    ASSERT_TRUE(lua_ok("sounds.channel_create{name = 'bgm'} "
                       "s = sounds.create{name = 's', channel = 'bgm', type = 8, file = dir .. 'long.ogg'} "
                       "n = sounds.play_notify(s)"));
    EXPECT_EQ("5000", eval("n:time()")) << "the ring's 5 seconds decoded so far";
    EXPECT_EQ("true", eval("n:status()"));
    ASSERT_TRUE(lua_ok("sounds.real_size(s)"));
    EXPECT_EQ("8000", eval("n:time()"));
    ASSERT_TRUE(lua_ok("sounds.real_size('nothing')"));
    EXPECT_TRUE(logged("1 sounds.real_size: invalid sound"));
    // The voice goes on from where it was, not from where measuring left
    // the decoder.
    run_updates(300);
    EXPECT_EQ("true", eval("n:status()"));
    EXPECT_GT(std::stoi(eval("n:position()")), 0);
}

// Without a device there is no listener and no channel: the questions
// answer nil, which a script can print.
class SoundsWithoutDevice : public script_test {};

TEST_F(SoundsWithoutDevice, QuestionsAnswerNil) {
    ASSERT_EQ(nullptr, sound::instance());
    register_sounds_library(s.state());
    run("a = tostring(sounds.listener()) b = tostring(sounds.channel_volume('se'))");
    lua_State* L = s.state();
    for (const char* name : {"a", "b"}) {
        lua_getglobal(L, name);
        EXPECT_STREQ("nil", lua_tostring(L, -1)) << name;
        lua_pop(L, 1);
    }
}
