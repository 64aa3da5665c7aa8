// Save data and snapshots through the `system` library of a running
// engine: values saved in one run and loaded in the next, thumbnails,
// damaged files, and snapshot images checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstring>

#include "engine_run.h"
#include "image_files.h"
#include "script_cases.h"

namespace {
const std::string save_ini = "[Vy]\r\nFPS=60\r\nWIDTH=160\r\nHEIGHT=120\r\n";
const std::string header("VySF\0\0\1\0\0\0\0\0\0\0\0\0", 16);

class save_game : public game_folder {
public:
    explicit save_game(const std::string& ini = save_ini) : game_folder(ini, "") {
        CreateDirectoryW(path(L"save").c_str(), nullptr);
        CreateDirectoryW(path(L"graphic").c_str(), nullptr);
        write(L"graphic\\red.bmp", solid_bmp(32, 32, 0xFF0000));
    }
};
}  // namespace

TEST(SystemLibrarySave, ValuesSavedInOneRunLoadInTheNext) {
    save_game game;
    expect_cases(game, {
        {"show('w1', system.open_save('slot1'), system.save_data(1, 'two', {a = 3, b = {true}}), system.close_save())",
         {"information: w1: true,true,true"}},
        {"show('w2', system.close_save(), system.save_data(), system.save_data(1))",
         {"information: w2: true,true,false"}},
    });
    ASSERT_EQ(header, game.read(L"save\\slot1.vsf").substr(0, 16));
    const std::string first = game.read(L"save\\slot1.vsf");

    expect_cases(game, {
        {"show('r1', system.open_save('slot1', true))", {"information: r1: true"}},
        {"local a, b, c, d = system.load_data(4) show('r2', a, b, c.a, c.b[1], d)",
         {"information: r2: 1,two,3,true,nil"}},
        {"show('r3', system.save_data(5), system.load_data())", {"information: r3: false,nil"}},
        {"show('r4', system.close_save())", {"information: r4: true"}},
        // A write the script never closes is not committed at the exit.
        {"show('r5', system.open_save('slot1'), system.save_data('half'))", {"information: r5: true,true"}},
    });
    EXPECT_EQ(first, game.read(L"save\\slot1.vsf"));
    EXPECT_TRUE(game.list(L"save\\~*").empty());

    // Killed in the middle of a write: the previous file is whole.
    game.write(L"script\\main.lua",
               "system.open_save('slot1') system.save_data('half')\n"
               "system.fork(function() while true do coroutine.yield() end end)\n");
    engine_outcome killed = run_engine(game.dir(), L"", 3000);
    EXPECT_TRUE(killed.timed_out);
    EXPECT_EQ(first, game.read(L"save\\slot1.vsf"));
}

TEST(SystemLibrarySave, ArgumentsCountsAndSnapshotSlots) {
    save_game game;
    expect_cases(game, {
        {"show('a1', system.open_save(12), system.open_save())",
         {"error: system.open_save: invalid 1st argument type: number",
          "error: system.open_save: invalid 1st argument type: no value", "information: a1: false,false"}},
        {"show('a2', system.open_save('x', {}))",
         {"error: system.open_save: invalid 2nd argument type: table", "information: a2: false"}},
        {"show('a3', system.snapshot(0), system.snapshot(1), system.snapshot(2))", {"information: a3: true,true,true"}},
        {"show('a4', system.open_save('slot5', 5), system.open_save('slot5', 3, true))",
         {"error: system.open_save: fail to open: slot5", "error: system.open_save: fail to open: slot5",
          "information: a4: false,false"}},
        {"show('a5', system.snapshot(-1), system.snapshot('x.bmp', 7), system.snapshot('x.bmp', -1), system.snapshot({}))",
         {"information: a5: false,false,false,nil"}},
        // A slot number sizes the list of snapshots: past the ceiling it is refused.
        {"show('a10', system.snapshot(4095), system.snapshot(4096), system.snapshot(2^31 - 1, 8, 8))",
         {"error: system.snapshot: invalid slot: 4096", "error: system.snapshot: invalid slot: 2147483647",
          "information: a10: true,false,false"}},
        {"system.open_save('two') system.save_data('a', 'b') system.close_save() system.open_save('two', true)", {}},
        {"show('a6', system.load_data(3))", {"information: a6: a,b,nil"}},
        {"system.open_save('two', true)", {}},
        {"show('a7', select('#', system.load_data(nil)), select('#', system.load_data('2')), select('#', system.load_data(0)))",
         {"information: a7: 0,2,0"}},
        {"show('a8', select('#', system.load_data(100000)))",
         {"error: system.load_data: too many values: 100000", "information: a8: 0"}},
        // The header alone is an empty save.
        {"show('a9', system.open_save('empty'), system.close_save(), system.open_save('empty', true), system.load_data())",
         {"information: a9: true,true,true,nil"}},
        // A second open drops the first write without touching its file.
        {"system.open_save('first') system.save_data(1) system.open_save('second') system.save_data(2) system.close_save()",
         {}},
    });
    EXPECT_FALSE(exists(game.path(L"save\\slot5.vsf")));
    EXPECT_EQ(header, game.read(L"save\\empty.vsf"));
    EXPECT_FALSE(exists(game.path(L"save\\first.vsf")));
    EXPECT_EQ(header + std::string("\x03\0\0\0\0\0\0\0\x40", 9), game.read(L"save\\second.vsf"));
}

TEST(SystemLibrarySave, DamagedFilesFailToOpenAndTheEngineGoesOn) {
    save_game game;
    game.write(L"save\\foreign.vsf", "PK\x03\x04 not a save");
    game.write(L"save\\cut.vsf", std::string("VySF\0\0", 6));
    game.write(L"save\\thumb.vsf", std::string("BM\xF0\xFF\0\0", 6) + header);
    game.write(L"save\\zero.vsf", "");
    game.write(L"save\\values.vsf", header + std::string("\x02\x05\x04\x01\0\0\0k\x04\x07\0\0", 12));
    expect_cases(game, {
        {"for _, n in ipairs{'foreign', 'cut', 'thumb', 'zero', 'missing'} do show(n, system.open_save(n, true), system.load_data()) end",
         {"error: system.open_save: fail to open: foreign", "information: foreign: false,nil",
          "error: system.open_save: fail to open: cut", "information: cut: false,nil",
          "error: system.open_save: fail to open: thumb", "information: thumb: false,nil",
          "error: system.open_save: fail to open: zero", "information: zero: false,nil",
          "error: system.open_save: fail to open: missing", "information: missing: false,nil"}},
        // The values up to the damage come out; the damaged one is nil.
        {"show('v', system.open_save('values', true), system.load_data(3))", {"information: v: true,true,nil,nil"}},
    });
    std::string trace = game.read(L"log\\vytrace.log");
    EXPECT_NE(std::string::npos, trace.find("system_manager::open_save_data: invalid format save data file")) << trace;
    EXPECT_NE(std::string::npos, trace.find("system_manager::open_save_data: invalid thumbnail size")) << trace;
    EXPECT_NE(std::string::npos, trace.find("script::restore: short of buffer length")) << trace;
}

TEST(SystemLibrarySave, OldFormatFilesOpenWhenTheSavePathSaysSo) {
    save_game game(save_ini + "[SAVE]\r\nEXT=vys\r\n");
    game.write(L"save\\old.vys", std::string("\x04\x03\0\0\0old", 8));
    expect_cases(game, {
        {"show('o1', system.open_save('old', true), system.load_data(2))", {"information: o1: true,old,nil"}},
    });
    std::string trace = game.read(L"log\\vytrace.log");
    EXPECT_NE(std::string::npos, trace.find("system_manager::initialize: allow old format save data file, code=0")) << trace;
    EXPECT_NE(std::string::npos, trace.find("system_manager::open_save_data: old format save data file")) << trace;
}

TEST(SystemLibrarySave, ThumbnailsAndSnapshotsHoldWhatTheScriptDrew) {
    save_game game;
    // A red box on the interface layer, drawn straight onto the screen.
    game.write(L"script\\main.lua", std::string(show_prelude) +
        "sprites.class_create{name = 'red', image = {'red', nil, {32, 32}}, frame = {ways = 1, {0}},"
        "  scene = {{0, 1, 0, 1}}, state = {{0, 0}}}\n"
        "actors.class_create{name = 'box', sprite = 'red', param = {0x100500},"
        "  action = {start = function(a) while true do actors.wait() end end}}\n"
        "actors.create{'box', 60, 50, 0}\n"
        "system.fork(function()\n"
        "  for i = 1, 3 do coroutine.yield() end\n"
        "  show('s1', system.snapshot('shot.bmp'), system.snapshot('shot.PNG'), system.snapshot('shot.gif'),"
        "    system.snapshot('shot.jpeg'), system.snapshot('shot.Dds'))\n"
        "  show('s2', system.snapshot(2, 80, 60), system.snapshot('half.bmp', 2))\n"
        "  show('s3', system.open_save('thumb', 2), system.save_data('with picture'), system.close_save())\n"
        "  show('s4', system.open_save('thumb', true), system.load_data())\n"
        "  show('s5', system.open_save('image', 'red'), system.save_data(7), system.close_save(),"
        "    system.open_save('image', 0, true), system.load_data())\n"
        "  show('s6', system.open_save('none', 'missing'))\n"
        "  system.exit(0)\n"
        "end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\vytrace.log");
    std::vector<std::string> expected = {
        "information: s1: true,true,true,true,true", "information: s2: true,true",
        "information: s3: true,true,true", "information: s4: true,with picture",
        "information: s5: true,true,true,true,7", "error: system.open_save: fail to load image: missing",
        "information: s6: false"};
    std::vector<std::string> lines;
    for (const std::string& line : script_lines(game))
        if (line.find("sprites.") == std::string::npos && line.find("actors.") == std::string::npos)
            lines.push_back(line);
    ASSERT_EQ(expected.size(), lines.size()) << game.read(L"log\\system.log");
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(0u, lines[i].find(expected[i])) << lines[i];

    // The full snapshot: the screen's size, the box and nothing else red.
    picture shot = read_bmp(game.read(L"shot.bmp"));
    ASSERT_EQ(160, shot.width);
    ASSERT_EQ(120, shot.height);
    EXPECT_EQ(32 * 32, shot.count(0xFF0000));
    EXPECT_EQ(160 * 120 - 32 * 32, shot.count(0x000000));
    EXPECT_EQ(0, game.read(L"shot.PNG").compare(0, 4, "\x89PNG"));
    EXPECT_EQ(0, game.read(L"shot.gif").compare(0, 2, "BM")) << "unknown extensions get BMP data";
    EXPECT_EQ(0, game.read(L"shot.jpeg").compare(0, 2, "\xFF\xD8"));
    EXPECT_EQ(0, game.read(L"shot.Dds").compare(0, 4, "DDS "));

    // Scaled to half: a box of about 16 x 16.
    picture half = read_bmp(game.read(L"half.bmp"));
    ASSERT_EQ(80, half.width);
    ASSERT_EQ(60, half.height);
    int reddish = 0;
    for (uint32_t c : half.rgb) reddish += (c >> 16) >= 0x80 && (c & 0xFFFF) == 0;
    EXPECT_GE(reddish, 14 * 14);
    EXPECT_LE(reddish, 18 * 18);

    // The thumbnail is that picture, then the header.
    std::string thumb = game.read(L"save\\thumb.vsf");
    uint32_t bmp_size = u32_at(thumb, 2);
    ASSERT_EQ(half.rgb, read_bmp(thumb).rgb);
    EXPECT_EQ(header, thumb.substr(bmp_size, 16));

    // An image as the thumbnail: its own size and pixels.
    std::string image = game.read(L"save\\image.vsf");
    picture red = read_bmp(image);
    ASSERT_EQ(32, red.width);
    ASSERT_EQ(32, red.height);
    EXPECT_EQ(32 * 32, red.count(0xFF0000));
    EXPECT_EQ(header, image.substr(u32_at(image, 2), 16));
}
