// Codes, joystick axis normalising, POV directions and the per-frame fold of
// sampled values into an input's state block.
#include <gtest/gtest.h>

#include "input/input.h"

namespace {
input_frame frame_with(std::initializer_list<uint32_t> pressed, float x = 0.0f) {
    input_frame f = {};
    for (uint32_t c : pressed) input::set_code(c, f, 1.0f);
    f.axes[0] = x;
    return f;
}
}  // namespace

TEST(InputCodes, AxisNormalisingAroundTheDeadZone) {
    // Range 0..65535: s = 4095, low 4095, dead zone 28665..36855, high 61425, span 24570.
    const axis_thresholds t = make_axis_thresholds(0, 65535);
    EXPECT_EQ(4095, t.low);
    EXPECT_EQ(28665, t.dead_start);
    EXPECT_EQ(36855, t.dead_end);
    EXPECT_EQ(61425, t.high);
    EXPECT_EQ(24570, t.span);
    const struct {
        int32_t raw;
        float expected;
    } cases[] = {
        {0, -1.0f},     {4095, -1.0f},  {16380, -0.5f}, {28664, -1.0f / 24570},
        {28665, 0.0f},  {32767, 0.0f},  {36855, 0.0f},  {49140, 0.5f},
        {61425, 1.0f},  {65535, 1.0f},
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(c.expected, normalize_axis(t, c.raw)) << c.raw;
    EXPECT_EQ(0.0f, normalize_axis(axis_thresholds(), 0));  // no capabilities
    EXPECT_EQ(0.0f, normalize_axis(axis_thresholds(), 12345));
}

TEST(InputCodes, PovDirections) {
    const struct {
        uint32_t angle, code;
    } cases[] = {
        {0, device_pov_up},       {4499, device_pov_up},     {4500, device_pov_right},
        {13499, device_pov_right}, {13500, device_pov_down},  {22499, device_pov_down},
        {22500, device_pov_left},  {31499, device_pov_left},  {31500, device_pov_up},
        {35999, device_pov_up},    {36000, 0},                {65535, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.code, pov_direction(c.angle)) << c.angle;
    EXPECT_FLOAT_EQ(1.0f, pov_cos(0));
    EXPECT_NEAR(1.0f, pov_sin(9000), 1e-6);
    EXPECT_NEAR(-1.0f, pov_cos(18050), 1e-6);  // whole degrees: 180
    EXPECT_EQ(0.0f, pov_sin(65535));
}

TEST(InputCodes, SetCodeDrivesBitsAndOnlyTheSixAxes) {
    input_frame f = {};
    input::set_code(5, f, 1.0f);
    input::set_code(127, f, 1.0f);
    EXPECT_TRUE(f.pressed(5));
    EXPECT_TRUE(f.pressed(127));
    EXPECT_FALSE(f.pressed(6));
    input::set_code(129, f, 0.75f);  // axis 0, positive
    input::set_code(130, f, 0.5f);   // axis 1, negative
    input::set_code(139, f, 1.0f);   // axis 5
    EXPECT_FLOAT_EQ(0.75f, f.axes[0]);
    EXPECT_FLOAT_EQ(-0.5f, f.axes[1]);
    EXPECT_FLOAT_EQ(1.0f, f.axes[5]);
    // Axis indexes 6 and up name no axis: the pointer and the code bits stay.
    input_frame g = {};
    for (uint32_t code = 140; code < 256; ++code) input::set_code(code, g, 3.0f);
    const input_frame zero = {};
    EXPECT_EQ(0, memcmp(&zero, &g, sizeof g));
}

TEST(InputCodes, HeldKeyCountsThenReleasesOnce) {
    input_state s = {};
    std::vector<int32_t> seen;
    for (bool down : {true, true, true, false, false, true}) {
        input::commit(s, down ? frame_with({7}) : frame_with({}));
        seen.push_back(s.codes[7]);
    }
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, -1, 0, 1}), seen);
}

TEST(InputCodes, AxisCountersFollowDirection) {
    input_state s = {};
    std::vector<std::pair<float, int32_t>> seen;
    for (float x : {1.0f, 1.0f, 1.0f, -1.0f, -0.6f, 0.3f, 0.0f, 0.7f}) {
        input::commit(s, frame_with({}, x));
        seen.push_back({s.axes[0].value, s.axes[0].counter});
    }
    const std::vector<std::pair<float, int32_t>> expected = {
        {1.0f, 1}, {1.0f, 2}, {1.0f, 3}, {-1.0f, -1}, {-0.6f, -2}, {0.3f, 0}, {0.0f, 0}, {0.7f, 1}};
    EXPECT_EQ(expected, seen);
    // The accumulated value sums the deflection and drops at rest.
    EXPECT_FLOAT_EQ(0.7f, s.axes[0].accumulated);
}

TEST(InputCodes, ClearTurnsHeldIntoSilentUntilRelease) {
    input in;
    in.state.codes[1] = 4;
    in.state.codes[2] = -1;
    in.state.axes[0].value = 1.0f;
    input::clear(&in);
    EXPECT_EQ(input_held_cleared, in.state.codes[1]);
    EXPECT_EQ(0, input::code_state(&in, 1));
    EXPECT_EQ(0, in.state.codes[2]);
    EXPECT_EQ(0.0f, in.state.axes[0].value);
    // Still held: stays silent; let go: back to idle without a release.
    input::commit(in.state, frame_with({1}));
    EXPECT_EQ(input_held_cleared, in.state.codes[1]);
    input::commit(in.state, frame_with({}));
    EXPECT_EQ(0, in.state.codes[1]);
    EXPECT_EQ(0, input::code_state(nullptr, 1));
    EXPECT_EQ(0, input::code_state(&in, 128));
}
