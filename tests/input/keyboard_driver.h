// Real key presses for the tests: the press_keys program of this build sends
// them through SendInput from its own process, as the user's keyboard would.
#ifndef VY_TESTS_INPUT_KEYBOARD_DRIVER_H
#define VY_TESTS_INPUT_KEYBOARD_DRIVER_H

#include <windows.h>

#include <algorithm>
#include <string>

// Runs press_keys with the arguments ("+90 -90"); true when it ended with 0
// within the time limit (it is killed past it).
inline bool press_keys(const std::string& arguments, DWORD timeout_ms = 10000) {
    std::string exe = "Z:" VY_BINARY_DIR "/tests/press_keys.exe";
    std::replace(exe.begin(), exe.end(), '/', '\\');
    std::string command = "\"" + exe + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, timeout_ms) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 3);
    else GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code == 0;
}

#endif
