// system.lock and system.is_locked on real images in the running engine.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "script_cases.h"

namespace {
// A 2 x 2 24-bit picture.
std::string tiny_bmp() {
    std::string b = "BM";
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF); };
    auto u16 = [&](uint16_t v) { b += static_cast<char>(v & 0xFF); b += static_cast<char>(v >> 8); };
    u32(70); u32(0); u32(54);
    u32(40); u32(2); u32(2); u16(1); u16(24); u32(0); u32(16); u32(2835); u32(2835); u32(0); u32(0);
    for (int row = 0; row < 2; ++row) b += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00", 8);
    return b;
}

class image_game : public game_folder {
public:
    explicit image_game(const std::string& main) : game_folder("[Vy]\r\nFPS=60\r\n", main) {
        CreateDirectoryW(path(L"graphic").c_str(), nullptr);
        write(L"graphic\\pic.bmp", tiny_bmp());
        write(L"graphic\\other.bmp", tiny_bmp());
        write(L"graphic\\late.bmp", tiny_bmp());
        write(L"graphic\\broken.bmp", "BM not a picture");
    }
};
}  // namespace

TEST(SystemLibraryResources, LockLoadsImagesNow) {
    image_game game("");
    expect_cases(game, {
        {"show('o1', system.lock(1, 'pic'), system.is_locked(1, 'pic'))", {"information: o1: true,true"}},
        {"show('o2', system.is_locked(1, 'other'))", {"information: o2: false"}},
        {"show('o3', system.lock(1, 'missing'), system.is_locked(1, 'missing'))", {"information: o3: false,nil"}},
        {"show('o4', system.lock(1, 'broken'))", {"information: o4: false"}},
        // Only images reach a cache.
        {"show('o5', system.lock(0, 'pic'), system.lock(2, 'pic'), system.lock(4, 'pic'), system.lock(9, 'pic'))",
         {"information: o5: false,false,false,false"}},
        {"show('o6', system.is_locked(3, 'pic'), system.lock(1), system.is_locked(1))", {"information: o6: nil,false,nil"}},
    });
}

TEST(SystemLibraryResources, BackgroundLocksFinishInLaterFrames) {
    image_game game(std::string(show_prelude) +
                    "show('queued', system.lock(1, 'late', true), system.lock(1, 'broken', true))\n"
                    "local seen = {}\n"
                    "system.fork(function()\n"
                    "  for i = 1, 600 do\n"
                    "    for _, name in ipairs({'late', 'broken'}) do\n"
                    "      if seen[name] == nil then\n"
                    "        local r = system.is_locked(1, name)\n"
                    "        if r ~= false then seen[name] = tostring(r) end\n"
                    "      end\n"
                    "    end\n"
                    "    if seen.late and seen.broken then break end\n"
                    "    coroutine.yield()\n"
                    "  end\n"
                    "  system.trace(6, 'done', tostring(seen.late) .. ',' .. tostring(seen.broken))\n"
                    "  system.exit(0)\n"
                    "end)\n");
    engine_outcome out = run_engine(game.dir());
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> lines = script_lines(game);
    ASSERT_EQ(2u, lines.size()) << game.read(L"log\\system.log");
    EXPECT_EQ("information: queued: true,true [0]", lines[0]);
    EXPECT_EQ(0u, lines[1].find("information: done: true,nil [")) << lines[1];
}
