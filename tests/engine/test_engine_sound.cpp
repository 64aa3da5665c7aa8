// Sounds played from a game script by VyEngine.exe: what is played reaches
// the ALSA file sink; Ogg Vorbis works when the decoder library is in the
// game's "lib" folder and fails with a logged error when it is not.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_run.h"

namespace {
std::string wav_tone(uint32_t frames) {
    std::string pcm;
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 22050));
        pcm.append(reinterpret_cast<const char*>(&v), 2);
    }
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    WAVEFORMATEX f = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    std::string fmt(reinterpret_cast<const char*>(&f), 16);
    std::string body = "WAVEfmt " + u32(16) + fmt + "data" + u32(static_cast<uint32_t>(pcm.size())) + pcm;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

std::wstring sink_path() {
    wchar_t unix_path[1024] = {};
    if (!GetEnvironmentVariableW(L"VY_SOUND_SINK", unix_path, 1024)) return L"";
    std::wstring p = L"Z:" + std::wstring(unix_path);
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

// Whether bytes that are not all zero arrived in the sink past offset.
bool sink_sound_after(uint64_t offset) {
    std::string all = read_whole(sink_path());
    if (all.size() <= offset) return false;
    for (size_t i = offset; i < all.size(); ++i)
        if (all[i] != 0) return true;
    return false;
}

uint64_t sink_size() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(sink_path().c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

const char* const game =
    "sounds.channel_create{name = 'se', max_play = 4}\n"
    "local s = sounds.create{name = 'beep', channel = 'se', file = 'beep'}\n"
    "local o = sounds.create{name = 'tone', channel = 'se', file = 'tone'}\n"
    "system.trace(6, 'wav ' .. tostring(s ~= nil) .. ', ogg ' .. tostring(o ~= nil))\n"
    "local n = sounds.play_notify(s)\n"
    "system.trace(6, 'playing ' .. tostring(n:status()) .. ' for ' .. n:time() .. ' ms')\n"
    "actors.class_create{name = 'noisy', param = {0x100500}, sound = {'beep'}, action = {start = function(a)\n"
    "  system.trace(6, 'actor plays ' .. tostring(actors.play(a, 0)) .. ' ' .. tostring(actors.play(a, 1)))\n"
    "  system.trace(6, 'played at the actor ' .. tostring(sounds.play('beep', a)))\n"
    "  while true do actors.wait() end\n"
    "end}}\n"
    "actors.create{'noisy', 0, 0, 0}\n"
    "system.trace(6, 'unknown sound ' .. tostring(actors.class_create{name = 'quiet', param = {0x100500},"
    " sound = {'nope'}}))\n"
    "system.fork(function()\n"
    "  for i = 1, 20 do coroutine.yield() end\n"
    "  system.exit(0)\n"
    "end)\n";

// The decoder builds of this build, copied into the game's "lib" folder.
void copy_decoders(const game_folder& folder) {
    CreateDirectoryW(folder.path(L"lib").c_str(), nullptr);
    std::wstring bin = to_wide(VY_BINARY_DIR "/bin/lib/");
    for (wchar_t& c : bin)
        if (c == L'/') c = L'\\';
    for (const wchar_t* name : {L"liboggvorbis.dll", L"liboggvorbis1.dll", L"liboggvorbis2.dll"})
        ASSERT_TRUE(CopyFileW((L"Z:" + bin + name).c_str(), folder.path(std::wstring(L"lib\\") + name).c_str(), FALSE));
}
}  // namespace

TEST(EngineSound, ScriptPlaysWavAndOggThroughTheDevice) {
    game_folder folder("[Vy]\r\nFPS=60\r\n[SOUND]\r\nEXT=wav;ogg\r\n", game);
    CreateDirectoryW(folder.path(L"sound").c_str(), nullptr);
    folder.write(L"sound\\beep.wav", wav_tone(22050));
    ASSERT_NO_FATAL_FAILURE(copy_decoders(folder));
    // A real Ogg Vorbis file from the tests' encoder.
    std::wstring tool = to_wide(VY_BINARY_DIR "/tests/make_ogg_tone.exe");
    for (wchar_t& c : tool)
        if (c == L'/') c = L'\\';
    std::wstring line = L"\"Z:" + tool + L"\" \"" + folder.path(L"sound\\tone.ogg") + L"\" 0.5 1 22050 440";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    // The sink is opened afresh by the engine: start from an empty one.
    DeleteFileW(sink_path().c_str());
    uint64_t before = sink_size();
    ASSERT_EQ(0u, before);
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    std::vector<std::string> log = folder.script_log();
    auto has = [&](const std::string& text) {
        for (const std::string& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("trace: wav true, ogg true")) << ::testing::PrintToString(log);
    EXPECT_TRUE(has("trace: playing true for 1000 ms"));
    EXPECT_TRUE(has("trace: actor plays true false"));
    EXPECT_TRUE(has("trace: played at the actor true"));
    EXPECT_TRUE(has("error: actors.class_create: invalid sound name"));
    EXPECT_TRUE(has("trace: unknown sound nil"));
    EXPECT_TRUE(sink_sound_after(before)) << "nothing was heard";
    EXPECT_FALSE(folder.log_has(L"log\\vytrace.log", "oggvorbis_loader::initialize"));
}

TEST(EngineSound, WithoutTheDecoderLibraryOnlyOggFilesFail) {
    game_folder folder("[Vy]\r\nFPS=60\r\n[SOUND]\r\nEXT=wav;ogg\r\n", game);
    CreateDirectoryW(folder.path(L"sound").c_str(), nullptr);
    folder.write(L"sound\\beep.wav", wav_tone(2205));
    folder.write(L"sound\\tone.ogg", "OggS not really");
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> log = folder.script_log();
    auto has = [&](const std::string& text) {
        for (const std::string& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("trace: wav true, ogg false")) << ::testing::PrintToString(log);
    EXPECT_TRUE(has("error: sounds.create: invalid sound file path"));
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "oggvorbis_loader::initialize: LoadLibrary"));
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "sound::create: oggvorbis_loader::initialize, code=-1"));
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "sound_file::create: sound data is unsupported format."));
}

TEST(EngineSound, MissingAudioDeviceLeavesTheEngineRunningSilent) {
    game_folder folder("[Vy]\r\nFPS=60\r\n",
                       "sounds.channel_create{name = 'se'}\n"
                       "local s = sounds.create{name = 'beep', channel = 'se', file = 'beep'}\n"
                       "system.trace(6, 'wav ' .. tostring(s ~= nil) .. ', played ' .. tostring(sounds.play('beep')))\n"
                       "sounds.set_volume(0.5)\n"
                       "system.fork(function() for i = 1, 5 do coroutine.yield() end system.exit(0) end)\n");
    CreateDirectoryW(folder.path(L"sound").c_str(), nullptr);
    folder.write(L"sound\\beep.wav", wav_tone(2205));
    // No audio driver for the prefix while the engine starts; put back
    // whatever happens to the test.
    struct no_audio_driver {
        wchar_t kept[256] = {};
        DWORD kept_size = sizeof kept;
        bool had = false;
        no_audio_driver() {
            had = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", RRF_RT_REG_SZ, nullptr, kept,
                               &kept_size) == ERROR_SUCCESS;
            RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", REG_SZ, L"", sizeof(wchar_t));
        }
        ~no_audio_driver() {
            if (had)
                RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio", REG_SZ, kept, kept_size);
            else
                RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Audio");
        }
    };
    engine_outcome out;
    {
        no_audio_driver guard;
        out = run_engine(folder.dir());
    }
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "sound::create: DirectSoundCreate8"));
    EXPECT_TRUE(folder.log_has(L"log\\vytrace.log", "WinMain: sound::create, code=-1"));
    std::vector<std::string> log = folder.script_log();
    auto has = [&](const std::string& text) {
        for (const std::string& l : log)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("trace: wav false, played false")) << ::testing::PrintToString(log);
    EXPECT_TRUE(has("information: system: release"));
    wchar_t volume[16] = {};
    GetPrivateProfileStringW(L"SETTINGS", L"VOLUME", L"", volume, 16, folder.path(L"save.ini").c_str());
    EXPECT_STREQ(L"50", volume) << "the volume is kept without a device";
}

TEST(EngineSound, AudioMenuSetsTheMasterVolumeAndMute) {
    game_folder folder("[Vy]\r\nFPS=60\r\n",
                       "system.fork(function()\n"
                       "  local seen = sounds.volume()\n"
                       "  system.trace(6, 'volume ' .. seen)\n"
                       "  for i = 1, 1200 do\n"
                       "    coroutine.yield()\n"
                       "    if sounds.volume() ~= seen then\n"
                       "      seen = sounds.volume()\n"
                       "      system.trace(6, string.format('volume %.2f', seen))\n"
                       "      if seen == 0 then break end\n"
                       "    end\n"
                       "  end\n"
                       "  system.exit(0)\n"
                       "end)\n");
    // Playing on while inactive: focus changes of the test display mute nothing.
    folder.write(L"save.ini", "[SETTINGS]\r\nVOLUME=80\r\nINACTIVE=1\r\n");
    engine_process engine(folder.dir(), L"");
    HWND window = engine.wait_main_window(15000);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_COMMAND, 40208, 0);  // 30 %
    Sleep(500);
    PostMessageW(window, WM_COMMAND, 40005, 0);  // stop playing while inactive
    PostMessageW(window, WM_COMMAND, 40212, 0);  // mute
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> log = folder.script_log();
    std::vector<std::string> volumes;
    for (const std::string& l : log)
        if (l.find("trace: volume") != std::string::npos) volumes.push_back(l);
    ASSERT_EQ(3u, volumes.size()) << ::testing::PrintToString(log);
    EXPECT_EQ("information: trace: volume 0.80000001192093 [0]", volumes[0]);
    EXPECT_EQ(0u, volumes[1].find("information: trace: volume 0.30 ["));
    EXPECT_EQ(0u, volumes[2].find("information: trace: volume 0.00 ["));
    wchar_t value[16] = {};
    GetPrivateProfileStringW(L"SETTINGS", L"VOLUME", L"", value, 16, folder.path(L"save.ini").c_str());
    EXPECT_STREQ(L"30", value) << "the master volume, not the muted one";
    GetPrivateProfileStringW(L"SETTINGS", L"INACTIVE", L"", value, 16, folder.path(L"save.ini").c_str());
    EXPECT_STREQ(L"0", value);
}
