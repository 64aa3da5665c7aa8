// The `images` library in a running engine: locks, sizes and the drawn
// part of images from the graphic folder.
#include <gtest/gtest.h>

#include "engine_run.h"
#include "image_files.h"
#include "script_cases.h"

TEST(ImagesLibrary, LocksSizesAndDrawnAreas) {
    game_folder game("[Vy]\r\nFPS=60\r\n", "");
    CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
    game.write(L"graphic\\red.bmp", solid_bmp(32, 32, 0xFF0000));
    // Green is the colour key: a red 4 x 4 block on a transparent 20 x 10.
    std::string shape = solid_bmp(20, 10, 0x00FF00);
    const int row = (20 * 3 + 3) & ~3;
    for (int y = 2; y < 6; ++y)
        for (int x = 4; x < 8; ++x) {
            char* p = &shape[54 + size_t(9 - y) * row + size_t(x) * 3];  // bottom-up rows
            p[0] = 0;
            p[1] = 0;
            p[2] = char(0xFF);
        }
    game.write(L"graphic\\shape.bmp", shape);
    expect_cases(game, {
        {"show('z1', images.size('shape'))", {"information: z1: 20,10"}},
        {"show('z2', images.size('missing'))", {"error: images.size: invalid image name", "information: z2: nil"}},
        {"show('d1', images.drawable('shape'))", {"information: d1: 4,2,8,6"}},
        {"show('d2', images.drawable('shape', {0, 0, 6, 4}))", {"information: d2: 4,2,6,4"}},
        {"show('d3', images.drawable('shape', 5, 3, 100, 100))", {"information: d3: 5,3,8,6"}},
        {"show('d4', images.drawable('shape', -5, -5, 11, 10))", {"information: d4: 4,2,6,5"}},
        {"show('d5', images.drawable('shape', {10, 0, 20, 10}))", {"information: d5: nil"}},
        {"show('d6', images.drawable('shape', {1, 2}))", {"error: images.drawable: no rect.right", "information: d6: nil"}},
        {"show('d7', images.drawable('red'))", {"information: d7: 0,0,32,32"}},
        {"show('d8', images.drawable(5), images.drawable('missing'))",
         {"error: images.drawable: invalid image name", "error: images.drawable: invalid image name",
          "information: d8: nil,nil"}},
        {"show('l1', images.lock('shape'), images.lock('shape', true), images.drawable('shape'))",
         {"information: l1: true,true,4,2,8,6"}},
        {"show('l2', images.unlock('shape', true), images.unlock('shape'))", {"information: l2: true,true"}},
        {"show('l3', images.unlock('shape'), images.unlock('red'), images.lock('missing'))",
         {"error: images.unlock: image is not loaded", "error: images.unlock: image is not loaded",
          "error: images.lock: invalid image name", "information: l3: false,false,false"}},
    });
}
