// Runs VyEngine.exe in a game folder made by the test, answers the message
// boxes it shows (recording caption and text), and reports how it ended.
// Every wait here has a time limit; a run past it is killed.
#ifndef VY_TESTS_ENGINE_ENGINE_RUN_H
#define VY_TESTS_ENGINE_ENGINE_RUN_H

#include <windows.h>

#include <string>
#include <vector>

#include "../core/scratch_dir.h"

struct seen_box {
    std::wstring caption;
    std::wstring text;
};

struct engine_outcome {
    int32_t exit_code = 0;
    bool timed_out = false;
    std::vector<seen_box> boxes;
    DWORD elapsed_ms = 0;
};

// The engine program of this build, as a Windows path.
std::wstring engine_program();
std::wstring to_wide(const std::string& utf8);
std::string to_utf8(const std::wstring& wide);

// A game folder in the temp directory: files are written as given (UTF-8
// source text is kept as bytes).
class game_folder : public scratch_dir {
public:
    // A folder with "system.ini", "config.ini" and "script\main.lua".
    game_folder(const std::string& system_ini, const std::string& main_lua);
    void write(const std::wstring& name, const std::string& bytes);
    std::string read(const std::wstring& name) const { return read_whole(path(name)); }
    // Lines of a log with the time stamps cut off.
    std::vector<std::string> log_lines(const std::wstring& name) const;
    bool log_has(const std::wstring& name, const std::string& text) const;
    // The system log without the search-path lines of the start-up.
    std::vector<std::string> script_log() const;
};

// A running engine; the destructor kills it if it is still running.
class engine_process {
public:
    // The program defaults to this build's engine.
    engine_process(const std::wstring& folder, const std::wstring& arguments,
                   const std::wstring& program = engine_program());
    ~engine_process();
    engine_process(const engine_process&) = delete;
    engine_process& operator=(const engine_process&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // The main window once it exists (null after the time limit).
    HWND wait_main_window(DWORD timeout_ms);
    // Waits for the end, answering boxes with OK; kills it on time-out.
    engine_outcome wait(DWORD timeout_ms);
    bool running() const;
    // A dialog or message box of the engine whose caption is the text (any
    // new one for an empty text; null after the time limit). Boxes found
    // here are left to the test.
    HWND wait_box(const std::wstring& caption, DWORD timeout_ms);
    // Boxes that wait() must not answer with OK: the answer is the test's.
    void leave_box(HWND box) { answered_.push_back(box); }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD start_tick_ = 0;
    std::vector<seen_box> boxes_;
    std::vector<HWND> answered_;
    void answer_boxes();
};

// Menu commands as the menu sends them.
void post_command(HWND window, UINT id);
// Reading and working a dialog of the engine from outside.
std::wstring dialog_text(HWND box, int id);
void set_dialog_text(HWND box, int id, const std::wstring& text);
bool dialog_checked(HWND box, int id);
bool dialog_enabled(HWND box, int id);
// Sets the check and tells the dialog, as a click does.
void click_check(HWND box, int id, bool on);
// Presses a button (IDOK, IDYES, ...).
void press_button(HWND box, int id);
// Waits until the window is gone (false after the time limit).
bool wait_window_gone(HWND window, DWORD timeout_ms);

// Starts the engine in the folder and waits for it.
engine_outcome run_engine(const std::wstring& folder, const std::wstring& arguments = L"",
                          DWORD timeout_ms = 30000);

// Waits until a file exists (false after the time limit).
bool wait_for_file(const std::wstring& path, DWORD timeout_ms);

// Waits until a file has content, which a script writes after opening it;
// the content, or "" after the time limit.
std::string wait_for_text(const std::wstring& path, DWORD timeout_ms);

#endif
