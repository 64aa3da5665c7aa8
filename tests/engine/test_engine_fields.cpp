// A field built by a game script run by VyEngine.exe: cell set, field,
// selection, the view, a passability map and routes found at once and on
// the loader thread.
#include <gtest/gtest.h>

#include "engine_run.h"

namespace {
// A 24-bit BMP of two 32x32 cells side by side.
std::string ground_bmp() {
    const int width = 64, height = 32, row = width * 3;
    std::string bytes(54 + size_t(row) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    for (size_t i = 54; i < bytes.size(); ++i) bytes[i] = char(100);
    return bytes;
}

// A 4 x 3 room of 32-unit cells whose middle row has two walls: the route
// from the left to the right of that row goes round them, below.
const char* const game =
    "function show(label, ...)\n"
    "  local t = {}\n"
    "  for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end\n"
    "  system.trace(6, label, table.concat(t, ','))\n"
    "end\n"
    "local function route(r)\n"
    "  if not r then return 'none' end\n"
    "  local t = {}\n"
    "  for i, p in ipairs(r) do t[i] = p[1] .. ' ' .. p[2] end\n"
    "  return table.concat(t, ' / ')\n"
    "end\n"
    "fields.cell_create{name = 'ground', image = 'ground', {{0, 0, 32, 32}}, {{32, 0, 64, 32}, nil, {0}}}\n"
    "fields.create{name = 'room', cell = 'ground', size = {128, 96}, entrance = {{16, 48, 0, way = 2}},\n"
    "  {format = {4, 3}, 1, 1, 1, 1,  1, 2, 2, 1,  1, 1, 1, 1}}\n"
    "show('set', fields.set('room'), fields.get(), fields.is_locked())\n"
    "fields.view(64, 48, 0)\n"
    "show('view', fields.view())\n"
    "show('entrance', fields.entrance(0))\n"
    "local x, y = fields.position_to_view(100, 50, 0)\n"
    "show('to view', x, y)\n"
    "show('map', fields.map_create(0, 32, 15))\n"
    "show('root', route(fields.root(0, 16, 48, 112, 48)))\n"
    "show('blocked goal', route(fields.root(0, 16, 48, 48, 48)))\n"
    "local request = fields.request_root(0, 16, 48, 112, 48)\n"
    "system.fork(function()\n"
    "  local r = false\n"
    "  for i = 1, 600 do\n"
    "    r = fields.check_request_root(request)\n"
    "    if r ~= false then break end\n"
    "    coroutine.yield()\n"
    "  end\n"
    "  show('request', route(r))\n"
    "  show('again', fields.check_request_root(request))\n"
    "  system.exit(0)\n"
    "end)\n";
}  // namespace

TEST(EngineFields, AScriptBuildsAFieldAndFindsRoutes) {
    game_folder folder("[Vy]\r\nFPS=60\r\nWIDTH=128\r\nHEIGHT=96\r\n", game);
    CreateDirectoryW(folder.path(L"graphic").c_str(), nullptr);
    folder.write(L"graphic\\ground.bmp", ground_bmp());
    engine_outcome out = run_engine(folder.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    EXPECT_TRUE(out.boxes.empty());
    std::vector<std::string> lines = folder.script_log();
    // The request's answer comes in a later frame, whichever.
    for (std::string& line : lines) {
        const size_t mark = line.rfind(" [");
        if (line.find("request:") != std::string::npos || line.find("again:") != std::string::npos ||
            line.find("system: release") != std::string::npos)
            line = line.substr(0, mark);
    }
    const std::vector<std::string> expected = {
        "information: system: initialize [0]",
        "information: fields.cell_create: create cell ground [0]",
        "information: fields.cell_create: ground is created successfully [0]",
        "information: fields.create: create field: room [0]",
        "information: fields.create: room is created successfully [0]",
        "information: set: true,room,true [0]",
        "information: view: 64,48,0 [0]",
        "information: entrance: 16,48,0,2,0 [0]",
        "information: to view: 100,50 [0]",
        "information: map: true [0]",
        "information: root: 48 80 / 80 80 / 112 48 [0]",
        "information: blocked goal: none [0]",
        "information: request: 48 80 / 80 80 / 112 48",
        "information: again: nil",
        "information: system: release",
    };
    EXPECT_EQ(expected, lines);
}
