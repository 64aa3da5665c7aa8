// Which due frames are drawn, for the draw rates scripts set and with
// late frames skipped or not.
#include <gtest/gtest.h>

#include <string>

#include "engine/frame_loop.h"

TEST(FramePacing, DrawnFramesFollowTheDrawRateAndSkipping) {
    struct {
        const char* name;
        uint32_t fps, draw_fps;
        bool frame_skip;
        std::string results;  // timer results: '0' not due, '1' due, 'L' late
        std::string drawn;    // 'x' drawn, '.' not
        uint32_t rate, draw_rate;  // what the script is told back
    } cases[] = {
        {"every due frame", 60, 0, true, "1101111", "xx.xxxx", 60, 0},
        {"half rate", 60, 30, true, "111111", ".x.x.x", 60, 30},
        {"draw rate above frame rate draws all", 60, 90, true, "1111", "xxxx", 60, 0},
        {"configured rate for 0", 0, 0, true, "111", "xxx", 50, 0},
        {"late frames skipped", 60, 0, true, "1LL1", "x..x", 60, 0},
        {"late frames drawn without skipping", 60, 0, false, "1LL1", "xxxx", 60, 0},
        // The late frame uses up its turn: the next drawn one is three on.
        {"a third with a late one", 60, 20, true, "11L111", ".....x", 60, 20},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        set_frame_loop_options({50, c.frame_skip, false});
        set_frame_rate(c.fps, c.draw_fps);
        EXPECT_EQ(c.rate, current_frame_rate());
        EXPECT_EQ(c.draw_rate, current_draw_rate());
        std::string drawn;
        for (char r : c.results) {
            int32_t result = r == '0' ? 0 : r == 'L' ? -1 : 1;
            drawn += should_render_frame(result) ? 'x' : '.';
        }
        EXPECT_EQ(c.drawn, drawn);
    }
}
