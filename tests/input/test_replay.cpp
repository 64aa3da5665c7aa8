// Recording and replay: change records behind frame headers, the replay
// picture, playback into the state block, and the script's record calls.
#include <gtest/gtest.h>

#include "../core/scratch_dir.h"
#include "core/file.h"
#include "input/input.h"
#include "input/inputs_library.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

namespace {
uint32_t le32(const std::string& b, size_t at) {
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// A recording of codes 1 and 2 and axis 0 (code 129) over the given frames.
struct frame_input {
    bool one, two;
    float x;
};

input::record_info record_frames(const std::vector<frame_input>& frames, input_state* last = nullptr) {
    input::record_info r;
    r.start(0, 0);
    for (uint32_t code : {1u, 2u, 129u}) r.add_code(code);
    input_state s = {};
    for (const frame_input& f : frames) {
        input_frame in = {};
        if (f.one) input::set_code(1, in, 1.0f);
        if (f.two) input::set_code(2, in, 1.0f);
        in.axes[0] = f.x;
        input::commit(s, in);
        r.record(s);
    }
    if (last) *last = s;
    return r;
}

bool save_to(const input::record_info& r, const std::wstring& path) {
    return input_replay_save(r, path.c_str(), {0});  // the stored value nil
}
}  // namespace

TEST(Replay, ChangesMakeRecordsAndQuietFramesNone) {
    input::record_info quiet = record_frames({{false, false, 0.0f}, {false, false, 0.0f}});
    EXPECT_TRUE(quiet.records.empty());
    scratch_dir dir;
    EXPECT_FALSE(save_to(quiet, dir.path(L"quiet.bmp")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(dir.path(L"quiet.bmp").c_str()));

    // Frame 1: two codes and the axis change: header, two digital, two axis.
    input::record_info r = record_frames({{true, true, 1.0f}, {true, true, 1.0f}});
    ASSERT_EQ(5u + 5u, r.records.size());  // frame 2: both counters and the axis count on
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{3u << 24, 1u}), r.records[0]);
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{1u << 16, 1u}), r.records[1]);
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{2u << 16, 1u}), r.records[2]);
    EXPECT_EQ(129u << 16, r.records[3].first);
    EXPECT_EQ(1u, r.records[4].first);  // the direction counter
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{3u << 24, 2u}), r.records[5]);
}

TEST(Replay, PlaybackGivesTheRecordedStatesFrameByFrame) {
    const std::vector<frame_input> frames = {
        {true, false, 0.0f}, {true, false, 0.0f}, {false, false, -1.0f}, {false, false, -1.0f},
        {false, false, -1.0f}, {false, true, 0.3f}, {false, false, 1.0f}, {false, false, 0.0f},
    };
    // An axis is recorded when its direction counter changes.
    input::record_info r = record_frames(frames);
    input_state expected = {}, played = {};
    input::record_info player = r;
    player.read_index = 0;
    player.frame = 0;
    player.snapshot = input_state();
    for (size_t i = 0; i < frames.size(); ++i) {
        input_frame in = {};
        if (frames[i].one) input::set_code(1, in, 1.0f);
        if (frames[i].two) input::set_code(2, in, 1.0f);
        in.axes[0] = frames[i].x;
        input::commit(expected, in);
        ASSERT_TRUE(player.restore(played)) << i;
        EXPECT_EQ(expected.codes[1], played.codes[1]) << i;
        EXPECT_EQ(expected.codes[2], played.codes[2]) << i;
        EXPECT_EQ(expected.axes[0].counter, played.axes[0].counter) << i;
        EXPECT_FLOAT_EQ(expected.axes[0].value, played.axes[0].value) << i;
    }
    EXPECT_FALSE(player.restore(played));  // over
}

TEST(Replay, CodeZeroIsNotTakenForAHeaderAndQuietFramesHold) {
    input::record_info r;
    r.start(0, 0);
    r.add_code(0);
    input_state s = {};
    // Frames 5 and 6 change nothing: no header, the player holds.
    const std::vector<int32_t> words = {1, 2, -1, 0, 0, 0, 1};
    for (int32_t w : words) {
        s.codes[0] = w;
        r.record(s);
    }
    EXPECT_EQ(2u * 5, r.records.size());
    input::record_info player = r;
    player.read_index = player.frame = 0;
    player.snapshot = input_state();
    input_state played = {};
    for (int32_t w : words) {
        ASSERT_TRUE(player.restore(played));
        EXPECT_EQ(w, played.codes[0]);
    }
}

TEST(Replay, PictureLayout) {
    scratch_dir dir;
    const struct {
        size_t records;
        uint32_t height;
    } cases[] = {{10, 1}, {128, 1}, {129, 2}};
    for (const auto& c : cases) {
        input::record_info r;
        r.start(3, 7);
        r.frame = 99;
        r.records.assign(c.records, {0x01020304u, 0x05060708u});
        const std::wstring path = dir.path(L"layout.bmp");
        ASSERT_TRUE(save_to(r, path));
        const std::string b = read_whole(path);
        const uint32_t image = c.height * 1024;
        ASSERT_EQ(1078 + image + 1, b.size());
        EXPECT_EQ("BMVyIR", b.substr(0, 2) + b.substr(6, 4));
        EXPECT_EQ(1078 + image, le32(b, 2));
        EXPECT_EQ(1078u, le32(b, 10));
        EXPECT_EQ(1024u, le32(b, 18));
        EXPECT_EQ(c.height, le32(b, 22));
        EXPECT_EQ(8u << 16 | 1u, le32(b, 26));
        EXPECT_EQ(image, le32(b, 34));
        EXPECT_EQ(3u, le32(b, 54));
        EXPECT_EQ(7u, le32(b, 58));
        EXPECT_EQ(99u, le32(b, 62));
        EXPECT_EQ(c.records, le32(b, 66));
        for (uint32_t i = 4; i < 256; ++i) {
            const uint32_t expected = (i & 3) * 85 | (((i >> 2) & 7) * 255 / 7) << 8 | (((i >> 5) & 7) * 255 / 7) << 16;
            ASSERT_EQ(expected, le32(b, 54 + 4 * i)) << i;
        }
        EXPECT_EQ(0x00FFFFFFu, le32(b, 54 + 4 * 255));
        EXPECT_EQ(0x01020304u, le32(b, 1078));
        if (8 * c.records < image) EXPECT_EQ(0u, le32(b, 1078 + image - 4));
    }
}

TEST(Replay, BrokenFilesAreRefused) {
    scratch_dir dir;
    input::record_info r = record_frames({{true, false, 0.0f}});
    const std::wstring good = dir.path(L"good.bmp");
    ASSERT_TRUE(save_to(r, good));
    const std::string bytes = read_whole(good);
    struct case_t {
        const char* name;
        std::string content;
        bool loads;
        bool value;
    };
    std::string swapped = bytes;
    swapped.replace(6, 4, "IRVy");
    std::string huge = bytes;  // claims 0x10000000 records in a one-line picture
    huge[66] = 0, huge[67] = 0, huge[68] = 0, huge[69] = 0x10;
    huge[34] = 0, huge[35] = 0, huge[36] = 0, huge[37] = (char)0x80;
    std::string wrong_type = bytes;
    wrong_type[0] = 'X';
    const case_t cases[] = {
        {"good", bytes, true, true},
        {"swapped", swapped, false, false},
        {"huge", huge, false, false},
        {"type", wrong_type, false, false},
        {"no value", bytes.substr(0, bytes.size() - 1), true, false},
        {"short", bytes.substr(0, 1000), false, false},
    };
    for (const case_t& c : cases) {
        const std::wstring path = dir.path(L"case.bmp");
        write_whole(path, c.content);
        input::record_info loaded;
        file f(path.c_str());
        ASSERT_TRUE(f.open(file_read));
        EXPECT_EQ(c.loads, loaded.load(f)) << c.name;
        f.close();
        std::vector<uint8_t> value;
        EXPECT_EQ(c.value, input_replay_load(loaded, path.c_str(), value)) << c.name;
        if (c.loads) EXPECT_EQ(r.records, loaded.records) << c.name;
    }
}

class ReplayScript : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        luaL_openlibs(L);
        inputs_library_register(L);
        in = new input;
        in->number = 1;
        in->modes.resize(2);
        input_list().push_back(in);
        lua_pushstring(L, to_path(dir.path(L"run.bmp")).c_str());
        lua_setglobal(L, "file");
    }
    void TearDown() override {
        input::destroy_all();
        lua_close(L);
    }
    static std::string to_path(const std::wstring& w) { return std::string(w.begin(), w.end()); }
    std::string eval(const char* expr) {
        std::string chunk = std::string("return tostring(") + expr + ")";
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        std::string v = lua_tostring(L, -1);
        lua_pop(L, 1);
        return v;
    }
    void press(uint32_t code, bool down) {
        input_frame f = {};
        if (down) input::set_code(code, f, 1.0f);
        input::commit(in->state, f);
    }

    scratch_dir dir;
    lua_State* L = nullptr;
    input* in = nullptr;
};

TEST_F(ReplayScript, RecordSaveLoadAndPlayBack) {
    EXPECT_EQ("false", eval("inputs.record(0, file, 1)"));  // nothing recorded yet
    EXPECT_EQ("true", eval("inputs.record(0, 1, {5, 6})"));
    // Recorded only while the input is in the recording's mode.
    press(5, true);
    EXPECT_EQ("true", eval("inputs.record(0)"));
    EXPECT_TRUE(in->replay.records.empty());
    in->current_mode = 1;
    for (bool down : {true, true, false}) {
        press(5, down);
        EXPECT_EQ("true", eval("inputs.record(0, false)"));
    }
    EXPECT_EQ("true", eval("inputs.record(0, file, {level = 3, name = 'stage'})"));

    in->replay = input::record_info();
    in->state = input_state();
    EXPECT_EQ("3 stage", eval("(function(t) return t.level .. ' ' .. t.name end)(inputs.record(0, file))"));
    // A loaded file plays in the mode its recording started with: the ids
    // stay as the last start left them (none here: mode 0).
    in->current_mode = 0;
    std::vector<int32_t> seen;
    for (int i = 0; i < 4; ++i) {
        eval("inputs.record(0, true)");
        seen.push_back(in->state.codes[5]);
    }
    // Each recorded frame plays its records; then the recording is over.
    EXPECT_EQ((std::vector<int32_t>{2, 3, -1, -1}), seen);
    EXPECT_EQ("false", eval("inputs.record(0, true)"));  // over
    EXPECT_EQ("nil", eval("inputs.record(0, 'Z:\\\\no\\\\such\\\\file.bmp')"));
    EXPECT_EQ("nil", eval("inputs.record(4)"));
}
