// The sound subsystem reads the field view through the hooks the engine
// plugs in.
#include <gtest/gtest.h>

#include "engine/system_manager.h"
#include "sound/sound_manager.h"

TEST(FieldViewHooks, SoundSeesTheFieldViewAndItsConversion) {
    field_manager& fields = engine_system_manager_object().fields();
    const field_view_state saved = fields.view;
    fields.view.width = 320;
    fields.view.height = 240;
    const float point[3] = {40, 30, 0};
    field::set_view(point, false);

    float view[3] = {};
    int32_t w = 0, h = 0;
    ASSERT_TRUE(sound_manager::view_of_field(view, w, h));
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_FLOAT_EQ(40.0f, view[0]);
    EXPECT_FLOAT_EQ(30.0f, view[1]);
    // With no field the view point is taken off; the depth is not written.
    const float position[3] = {100, 50, 0};
    float out[3] = {0, 0, 77};
    sound_manager::to_view(position, out);
    EXPECT_FLOAT_EQ(60.0f, out[0]);
    EXPECT_FLOAT_EQ(20.0f, out[1]);
    EXPECT_FLOAT_EQ(77.0f, out[2]);
    fields.view = saved;
}
