// "input.ini": name tables, binding lines, modes, and writing bindings back.
#include <gtest/gtest.h>

#include "input/input_manager.h"
#include "input_fixture.h"

namespace {
struct line_case {
    const char* line;
    bool bound;
    uint32_t entry;
};

const line_case line_cases[] = {
    {"A=Z", true, make_entry(device_keyboard, 16, 90)},
    {"B=Left", true, make_entry(device_mouse, 17, 1)},
    {"A=XPlus", true, make_entry(0x2001, 16, 0)},       // a full device code
    {"LEFT=XMinus", true, make_entry(0x2081, 128, 0)},
    {"RIGHT=Wheel", true, make_entry(device_mouse_vwheel, 129, 0)},
    {"B=Button1", true, make_entry(device_joystick, 17, 1)},
    {" A = Enter ", true, make_entry(device_keyboard, 16, 13)},
    {"A=X", true, make_entry(device_keyboard, 16, 88)},  // a second key for the same code
    {"=Z", true, make_entry(device_keyboard, 0, 90)},   // no logical side: code 0
    {"BIG=Z", false, 0},       // the code byte cannot hold 256
    {"NEG=Z", false, 0},
    {"TEXT=Z", false, 0},      // not a number
    {"Nobody=Z", false, 0},    // no such logical name
    {"A=Nothing", false, 0},   // no such physical name
    {"A=Huge", false, 0},      // past a 16-bit device code
    {"A Z", false, 0},         // no "="
};
}  // namespace

using BindingsFile = input_file_test;

TEST_F(BindingsFile, LinesBecomeEntriesAndBadLinesAreSkipped) {
    std::string text = name_tables(1) + "[INPUT1]\r\nMODE=0\r\n[INPUT1-MODE0]\r\n";
    std::vector<uint32_t> expected;
    for (const line_case& c : line_cases) {
        text += std::string(c.line) + "\r\n";
        if (c.bound) expected.push_back(c.entry);
    }
    ASSERT_TRUE(create(text));
    ASSERT_EQ(1u, input_list().size());
    input* in = input_at(0);
    EXPECT_EQ(1, in->number);
    ASSERT_EQ(1u, in->modes.size());
    EXPECT_EQ(expected, in->modes[0]);
}

// A damaged count creates no input instead of keeping start-up busy.
TEST_F(BindingsFile, ACountBeyondTheCeilingCreatesNone) {
    for (const char* num : {"257", "2402677", "6365075259"}) {
        SCOPED_TRACE(num);
        std::string text = name_tables(1);
        text.replace(text.find("NUM=1"), 5, std::string("NUM=") + num);
        ASSERT_TRUE(create(text + "[INPUT1]\r\nMODE=0\r\n"));
        EXPECT_TRUE(input_list().empty());
        input::destroy_all();
    }
    ASSERT_TRUE(create(name_tables(256)));
    EXPECT_EQ(256u, input_list().size()) << "the ceiling itself is allowed";
}

TEST_F(BindingsFile, ConvertToSetByNamesAlone) {
    write_ini(name_tables());
    ASSERT_TRUE(input::create_all(nullptr, ini().c_str()));  // NUM 0: no inputs
    EXPECT_TRUE(input_list().empty());
    uint32_t entry = 0;
    ASSERT_TRUE(input::convert_to_set("RIGHT", nullptr, entry));
    EXPECT_EQ(make_entry(0, 129, 0), entry);
    ASSERT_TRUE(input::convert_to_set(nullptr, "Z", entry));
    EXPECT_EQ(make_entry(device_keyboard, 0, 90), entry);
    EXPECT_FALSE(input::convert_to_set("A", "Nothing", entry));
    string logical, physical;
    input::convert_to_key(make_entry(0x2081, 128, 0), logical, physical);
    EXPECT_STREQ("LEFT", logical.c_str());
    EXPECT_STREQ("XMinus", physical.c_str());
    input::convert_to_key(make_entry(device_keyboard, 0, 90), logical, physical);
    EXPECT_STREQ("", logical.c_str());
    EXPECT_STREQ("Z", physical.c_str());
}

TEST_F(BindingsFile, ModesWindowAndJoystickRoundTrip) {
    ASSERT_TRUE(create(name_tables(2) + ""
                       "[INPUT1]\r\nWINDOW=pad\r\nMODE=2\r\n"
                       "[INPUT1-MODE0]\r\nA=Z\r\n=X\r\n"
                       "[INPUT1-MODE1]\r\n"
                       "[INPUT1-MODE2]\r\nB=Left\r\nLEFT=XMinus\r\n"
                       "[INPUT1-MODE3]\r\nA=Enter\r\n"
                       "[INPUT2]\r\nMODE=-1\r\n"));
    ASSERT_EQ(2u, input_list().size());
    input* first = input_at(0);
    ASSERT_EQ(3u, first->modes.size());  // MODE3 is beyond MODE
    EXPECT_EQ(2u, first->modes[0].size());
    EXPECT_TRUE(first->modes[1].empty());
    EXPECT_EQ(2u, first->modes[2].size());
    EXPECT_STREQ("pad", first->window_name.c_str());
    EXPECT_EQ(0u, first->joystick.number);
    EXPECT_TRUE(input_at(1)->modes.empty());
    EXPECT_EQ(nullptr, input_at(2));

    // Written back and read again: the same bindings.
    const std::vector<input::mode> before = first->modes;
    first->modes[1].push_back(make_entry(device_keyboard, 17, 90));
    input::save_config(first);
    const std::string text = read_ini();
    EXPECT_NE(std::string::npos, text.find("MODE=2")) << text;
    EXPECT_NE(std::string::npos, text.find("=X")) << text;
    EXPECT_NE(std::string::npos, text.find("B=Z")) << text;
    ASSERT_TRUE(input::load_config(first));
    ASSERT_EQ(3u, first->modes.size());
    EXPECT_EQ(before[0], first->modes[0]);
    EXPECT_EQ((input::mode{make_entry(device_keyboard, 17, 90)}), first->modes[1]);
    EXPECT_EQ(before[2], first->modes[2]);
    EXPECT_STREQ("pad", first->window_name.c_str());
}

TEST_F(BindingsFile, BindingEditsAndModeSwitches) {
    ASSERT_TRUE(create(name_tables(1) + "[INPUT1]\r\nMODE=1\r\n"
                       "[INPUT1-MODE0]\r\nA=Z\r\nB=Left\r\nA=Enter\r\n"
                       "[INPUT1-MODE1]\r\nRIGHT=Wheel\r\n"));
    input* in = input_at(0);
    ASSERT_NE(nullptr, in);
    const uint32_t* hit = input::find_binding(in, -1, nullptr, device_keyboard, 16);
    ASSERT_NE(nullptr, hit);
    EXPECT_EQ(make_entry(device_keyboard, 16, 90), *hit);
    hit = input::find_binding(in, -1, hit, device_keyboard, 16);
    ASSERT_NE(nullptr, hit);
    EXPECT_EQ(make_entry(device_keyboard, 16, 13), *hit);
    EXPECT_EQ(nullptr, input::find_binding(in, -1, hit, 0, 0));
    EXPECT_NE(nullptr, input::find_binding(in, 0, nullptr, device_mouse, 0));
    EXPECT_EQ(nullptr, input::find_binding(in, 5, nullptr, 0, 0));

    EXPECT_TRUE(input::add_binding(in, 1, make_entry(device_keyboard, 17, 88)));
    EXPECT_EQ(2u, in->modes[1].size());
    EXPECT_TRUE(input::remove_binding(in, 1, make_entry(device_mouse_vwheel, 129, 0)));
    EXPECT_EQ((input::mode{make_entry(device_keyboard, 17, 88)}), in->modes[1]);
    EXPECT_FALSE(input::add_binding(in, 2, 1));
    EXPECT_FALSE(input::remove_binding(in, 2, 1));

    input_manager manager;
    manager.set_mode(1);
    EXPECT_EQ(1, in->current_mode);
    manager.set_mode(7);  // a mode the input lacks: mode 0
    EXPECT_EQ(7, manager.mode());
    EXPECT_EQ(0, in->current_mode);
}

TEST_F(BindingsFile, NoModeOrNoJoystickStillSamples) {
    ASSERT_TRUE(create(name_tables(2) + ""
                       "[INPUT1]\r\nMODE=-1\r\n"
                       "[INPUT2]\r\nJOYSTICK=1\r\n[INPUT2-MODE0]\r\nA=Button1\r\nLEFT=XMinus\r\nB=XPlus\r\n"));
    input* no_mode = input_at(0);
    input* pad = input_at(1);
    ASSERT_NE(nullptr, pad);
    EXPECT_EQ(1u, pad->joystick.number);
    input_manager manager;
    for (int i = 0; i < 3; ++i) manager.update();
    EXPECT_EQ(0, input::code_state(no_mode, 16));
    // No joystick is attached here: its bindings never fire.
    EXPECT_EQ(0, input::code_state(pad, 16));
    EXPECT_EQ(0.0f, pad->state.axes[0].value);
}

TEST_F(BindingsFile, MissingFileGivesNoInputs) {
    ASSERT_TRUE(input::create_all(nullptr, folder.path(L"absent.ini").c_str()));
    EXPECT_TRUE(input_list().empty());
    EXPECT_EQ(nullptr, input_at(0));
}
