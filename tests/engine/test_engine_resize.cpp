// system.resize seen from a run of VyEngine.exe: the window, the picture
// and the field view all take the new client size.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "image_files.h"

namespace {
// A 640 x 480 field of grey cells. Clamping the view at the field's corner
// puts the camera half a view inside it, so the view point shows the view
// size the field manager holds.
const char* const game =
    "function show(label, ...)\n"
    "  local t = {}\n"
    "  for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end\n"
    "  system.trace(6, label, table.concat(t, ','))\n"
    "end\n"
    "local map = {format = {20, 15}}\n"
    "for i = 1, 300 do map[i] = 1 end\n"
    "fields.cell_create{name = 'ground', image = 'ground', {{0, 0, 32, 32}}}\n"
    "fields.create{name = 'room', cell = 'ground', size = {640, 480}, map}\n"
    "local function corner(label)\n"
    "  fields.set('room')\n"
    "  fields.view(0, 0, 0)\n"
    "  show(label, fields.view())\n"
    "end\n"
    "system.fork(function()\n"
    "  corner('before')\n"
    "  for i = 1, 10 do coroutine.yield() end\n"
    "  show('resize', system.resize(480, 352))\n"
    "  show('field', fields.get())\n"
    "  corner('after')\n"
    "  for i = 1, 20 do coroutine.yield() end\n"
    "  show('size', system.size())\n"
    "  system.snapshot('shot.bmp')\n"
    "  system.exit(0)\n"
    "end)\n";
}  // namespace

TEST(EngineResize, TheFieldViewAndThePictureTakeTheNewClientSize) {
    game_folder folder("[Vy]\r\nFPS=60\r\nWIDTH=320\r\nHEIGHT=240\r\n", game);
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    folder.write(L"graphic\\ground.bmp", solid_bmp(32, 32, 0x646464));
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << folder.read(L"log\\vytrace.log");
    EXPECT_TRUE(out.boxes.empty());
    std::vector<std::string> shown;
    for (const std::string& line : folder.script_log()) {
        for (const char* label : {"before:", "resize:", "field:", "after:", "size:"})
            if (line.find(std::string("information: ") + label) == 0) shown.push_back(line.substr(0, line.rfind(" [")));
    }
    const std::vector<std::string> expected = {
        "information: before: 160,120,0",
        "information: resize: true",
        "information: field: nil",  // the resize selected no field
        "information: after: 240,176,0",
        "information: size: 480,352",
    };
    EXPECT_EQ(expected, shown);
    picture shot = read_bmp(folder.read(L"shot.bmp"));
    ASSERT_EQ(480, shot.width);
    ASSERT_EQ(352, shot.height);
    // The cells cover the whole new view, out to its far corner (a size of
    // whole cells: 15 x 11 cells of 32 pixels).
    EXPECT_EQ(480 * 352, shot.count(0x646464)) << "corner " << std::hex << shot.at(479, 351);
}
