// Inputs made from a real "input.ini" in a scratch folder; every input is
// deleted after the test.
#ifndef VY_TESTS_INPUT_FIXTURE_H
#define VY_TESTS_INPUT_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "../core/scratch_dir.h"
#include "input/input.h"

class input_file_test : public ::testing::Test {
protected:
    void TearDown() override { input::destroy_all(); }

    std::wstring ini() const { return folder.path(L"input.ini"); }
    void write_ini(const std::string& text) { write_whole(ini(), text); }
    std::string read_ini() const { return read_whole(ini()); }
    // Writes the file and creates its inputs for the window.
    bool create(const std::string& text, HWND window = nullptr) {
        write_ini(text);
        return input::create_all(window, ini().c_str());
    }

    scratch_dir folder;
};

// The name tables most tests share, with the number of inputs.
inline std::string name_tables(int inputs = 0) {
    return "[INPUT]\r\nNUM=" + std::to_string(inputs) + "\r\nA=16\r\nB=17\r\nLEFT=128\r\nRIGHT=129\r\nRESTART=13\r\n"
           "BIG=256\r\nNEG=-1\r\nTEXT=abc\r\n"
           "[KEYBOARD]\r\nZ=90\r\nEnter=13\r\nX=88\r\n"
           "[MOUSE]\r\nLeft=1\r\nPointer=16385\r\nWheel=16387\r\n"
           "[JOYSTICK]\r\nButton1=1\r\nXPlus=8193\r\nXMinus=8321\r\nHuge=65536\r\n"
           "[#INPUT]\r\n13=RESTART\r\n16=A\r\n17=B\r\n128=LEFT\r\n129=RIGHT\r\n"
           "[#KEYBOARD]\r\n13=Enter\r\n88=X\r\n90=Z\r\n"
           "[#MOUSE]\r\n1=Left\r\n16385=Pointer\r\n16387=Wheel\r\n"
           "[#JOYSTICK]\r\n1=Button1\r\n8193=XPlus\r\n8321=XMinus\r\n";
}

#endif
