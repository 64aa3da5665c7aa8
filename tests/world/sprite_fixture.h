// A world with the sprites library, a render-layer table and image files
// written by the test into a folder of its own.
#ifndef VY_TESTS_SPRITE_FIXTURE_H
#define VY_TESTS_SPRITE_FIXTURE_H

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "world/sprite_manager.h"
#include "world/sprite_object.h"
#include "world_fixture.h"

// A 24-bit bottom-up BMP of one colour per 32 x 32 cell, so that a cell can
// be told from its neighbours by its pixels.
inline bool write_bmp(const std::string& path, int width, int height) {
    const int row = (width * 3 + 3) & ~3;
    std::vector<unsigned char> bytes(54 + size_t(row) * height);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = (unsigned char)(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &bytes[54 + size_t(height - 1 - y) * row + size_t(x) * 3];
            p[0] = (unsigned char)(40 + 50 * (x / 32));  // blue by column
            p[1] = (unsigned char)(40 + 100 * (y / 32)); // green by row
            p[2] = 200;
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

class sprite_test : public world_test {
protected:
    void SetUp() override {
        world_test::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "vy_sprites_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        ASSERT_TRUE(write_bmp(dir + "wide.bmp", 128, 64));
        ASSERT_TRUE(write_bmp(dir + "small.bmp", 64, 32));
        ASSERT_TRUE(write_bmp(dir + "tall.bmp", 32, 96));
        FILE* f = std::fopen((dir + "text.bmp").c_str(), "wb");
        ASSERT_NE(nullptr, f);
        std::fputs("not an image", f);
        std::fclose(f);
        const int32_t layers[] = {0, 1, 2, 3, 4, 5, 6};
        set_render_layer_table(layers, 7);
        lua_pushstring(L, dir.c_str());
        lua_setglobal(L, "dir");
    }
    void TearDown() override {
        world_test::TearDown();
        for (const char* name : {"wide.bmp", "small.bmp", "tall.bmp", "text.bmp"}) {
            DeleteFileA((dir + name).c_str());
        }
        RemoveDirectoryA(dir.c_str());
        set_render_layer_table(nullptr, 0);
    }

    // The level-1 lines written under an origin.
    std::vector<std::string> errors(const std::string& origin) const {
        std::vector<std::string> out;
        const std::string prefix = "1 " + origin + ": ";
        for (const auto& line : log.lines) {
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

    std::string dir;
};

#endif
