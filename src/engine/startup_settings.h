// What the engine reads at start-up from "system.ini" and from the user's
// save settings file, kept in one record for the whole run (the main window
// and its menu read and change it; shut-down writes the user's part back).
#ifndef VY_ENGINE_STARTUP_SETTINGS_H
#define VY_ENGINE_STARTUP_SETTINGS_H

#include <windows.h>

#include <cstdint>

#include "core/strings.h"
#include "updater/update_settings.h"

struct main_window_record;

// The six named search-path sections, in the order of their path ids.
constexpr int named_path_count = 6;

struct named_path_entry {
    wstring path;
    string extensions;
    string patch;
    bool exists = false;
};

struct startup_settings {
    wstring ini_path;
    wstring product_name, version, copyright, patch_version;
    wstring title;
    HICON class_icon = nullptr;
    HCURSOR class_cursor = nullptr;
    int32_t width = 640, height = 480, max_width = 1024, max_height = 1024;
    bool resizable = false;
    int32_t main_window_mode = 0;  // MAINWINDOW: read and kept, not acted on
    string language;
    wstring font_face;
    uint32_t format_mask = 0, fps = 60, statistics_period = 0;
    wstring config_path, save_path;
    bool frame_skip = true, draw_fps = false, keep_running_inactive = false, debug = false;
    uint32_t network_use = 0;
    // The user's NETWORK settings.
    uint32_t allow = 0;
    bool proxy = false;
    wstring address;
    uint16_t port = 0;
    bool local = false;
    uint32_t update_flags = 0;
    bool network_read = false;  // written back only when read
    // The update client; ready when its settings are complete (updater ini
    // present, work folder usable).
    updater update;
    bool update_ready = false;
    wstring trace_path;
    bool overwrite = true;
    int32_t backup_generations = 3;
    wstring archive_extension, upload_section, main_script;
    int32_t log_level = 6;
    named_path_entry named_paths[named_path_count];
    int32_t base_path = 0;
    wstring debugger;
    ATOM window_class = 0;
    main_window_record* main_window = nullptr;
    uint32_t companion_count = 0, channel_size = 0;
    uint32_t display_width = 0, display_height = 0;
    int32_t last_exit_code = 0;
    // The user's SETTINGS.
    bool alt_enter = false, scaling = true, play_inactive = false;
    uint32_t volume = 100;
    bool started = false;  // SETTINGS are written back only from here on
    bool window_ready = false;
    bool full_screen = false;
};

// The record of this run (null outside WinMain).
startup_settings* current_settings();
void set_current_settings(startup_settings* settings);

// Reads "system.ini": PRODUCT, then Vy up to DEBUG (icon and cursor are
// loaded by the caller). Throws the entry's exception on a bad size.
void read_window_settings(startup_settings& s);
// TRACE keys other than BACKUPGEN/LEVEL and MAIN.
void read_trace_settings(startup_settings& s);
// SETTINGS, STATUS EXITCODE and NETWORK of the save settings file.
void read_user_settings(startup_settings& s);

// SETTINGS back into the save settings file; volume is the master volume
// in percent as the sound device has it.
void write_user_settings(const startup_settings& s, double volume_percent, bool scaling);
void write_network_settings(const startup_settings& s);
void write_exit_code(const startup_settings& s, int32_t code);

// The stored volume: whole percent rounded up to a multiple of 10, exact
// multiples left alone (so the value never creeps up from run to run).
uint32_t stored_volume(double volume_percent);

// A compact version "MMmmPPP..." as "M.m.P" ("M.m" when the patch number
// is 0); false for an empty text.
bool version_text(const wstring& compact, wstring& out);

// The MAINWINDOW text as a mode (-1..3).
int32_t main_window_mode_of(const wstring& text);

#endif
