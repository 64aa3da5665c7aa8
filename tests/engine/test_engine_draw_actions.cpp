// Drawing and render-layer actions in a running engine: images from the
// graphic folder, painting, a private layer rendered over frames and saved.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "image_files.h"
#include "script_cases.h"

TEST(EngineDrawActions, ScenesPaintingAndSavedLayers) {
    const char* const main =
        "actors.class_create{name = 'painter', param = {0x100000}, action = {start = function(me)\n"
        "  local d = new_draw(me, 'red')\n"
        "  d:set(0, {rect = {0, 0, 32, 32}})\n"
        "  local b = new_draw(me, {16, 16})\n"
        "  local t = b:get_dc()\n"
        "  t:fill(0x0000FF) t:point(1, 1)\n"
        "  b:release_dc()\n"
        "  b:set(0, {rect = {0, 0, 16, 16}, offset = {24, 0}})\n"
        "  local r = new_render_layer(me, {64, 48})\n"
        "  system.trace(6, 'painter', 'made ' .. tostring(r:add(d)) .. ' ' .. tostring(r:add(b)))\n"
        "  actors.wait() actors.wait()\n"
        "  system.trace(6, 'painter', 'saved ' .. tostring(r:save('layer.bmp')))\n"
        "  r:release()\n"
        "  done = true\n"
        "  while true do actors.wait() end\n"
        "end}}\n"
        "actors.create{'painter', 16, 16, 0}\n"
        "system.trace(6, 'painter', 'bad ' .. tostring(new_draw('nobody', 'red')) .. ' ' .. tostring(new_draw(nil)))\n"
        "system.fork(function()\n"
        "  for i = 1, 60 do\n"
        "    if done then system.exit(0) end\n"
        "    coroutine.yield()\n"
        "  end\n"
        "  system.exit(3)\n"
        "end)\n";
    // Every frame rendered, however busy the machine: the layer is saved
    // two frames after it was made.
    game_folder game("[Vy]\r\nFPS=60\r\nFRAMESKIP=0\r\n", main);
    CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
    game.write(L"graphic\\red.bmp", solid_bmp(32, 32, 0xFF0000));
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code) << game.read(L"log\\system.log");
    const std::vector<std::string> wanted = {
        "error: draw_action.new: invalid actor object [", "information: painter: bad nil nil [",
        "information: painter: made true true [", "information: painter: saved true ["};
    const std::vector<std::string> lines = script_lines(game);
    for (const std::string& w : wanted) {
        bool found = false;
        for (const std::string& line : lines) found = found || line.find(w) != std::string::npos;
        EXPECT_TRUE(found) << w << "\n" << game.read(L"log\\system.log");
    }
    // The saved target: red around (16, 16), the painted blue block beside
    // it with its key-coloured pixel clear, the rest the clear colour.
    const std::string bmp = game.read(L"layer.bmp");
    ASSERT_GT(bmp.size(), 54u);
    ASSERT_EQ("BM", bmp.substr(0, 2));
    const int32_t w = int32_t(u32_at(bmp, 18)), h = int32_t(u32_at(bmp, 22));
    const int bits = uint8_t(bmp[28]);
    ASSERT_EQ(64, w);
    ASSERT_EQ(48, h < 0 ? -h : h);
    ASSERT_TRUE(bits == 32 || bits == 24) << bits;
    const size_t row = (size_t(w) * bits / 8 + 3) & ~size_t(3);
    auto rgb = [&](int x, int y) {
        const int line = h > 0 ? h - 1 - y : y;
        const size_t at = u32_at(bmp, 10) + size_t(line) * row + size_t(x) * (bits / 8);
        return uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 1])) << 8 | uint8_t(bmp[at]);
    };
    EXPECT_EQ(0xFF0000u, rgb(16, 16));
    EXPECT_EQ(0xFF0000u, rgb(1, 1));
    EXPECT_EQ(0x0000FFu, rgb(16 + 24, 16));
    EXPECT_EQ(0x00FF00u, rgb(16 + 24 - 8 + 1, 16 - 8 + 1)) << "the key-coloured pixel lets the clear colour through";
    EXPECT_EQ(0x00FF00u, rgb(60, 44));
}
