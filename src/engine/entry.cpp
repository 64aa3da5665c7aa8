// VyEngine's entry: reads the command line and "system.ini", keeps one
// instance per game folder, reads the user's settings, opens the window and
// the devices, builds the system manager (which runs the main script), runs
// the frame loop, and writes settings and exit code back. Every start-up
// failure becomes one of the two exceptions handled at the end.
#include <windows.h>

#include <clocale>

#include "core/cursor.h"
#include "core/directories.h"
#include "core/frame_timer.h"
#include "core/paths.h"
#include "core/statistics.h"
#include "core/trace.h"
#include "engine/command_line.h"
#include "engine/entry_exceptions.h"
#include "engine/frame_loop.h"
#include "engine/frame_services.h"
#include "engine/ini_values.h"
#include "engine/startup_steps.h"
#include "engine/main_menu.h"
#include "engine/main_window.h"
#include "engine/memory_statistics.h"
#include "engine/message_box.h"
#include "engine/path_settings.h"
#include "engine/startup_devices.h"
#include "engine/startup_settings.h"
#include "engine/system_log.h"
#include "engine/system_manager.h"

namespace {
const char* const second_instance_message = "既に同じ環境下でVyEngineが起動しています。";

// "VyEngine:" and the base directory, upper-cased, with forward slashes.
wstring instance_mutex_name() {
    wstring name = L"VyEngine:";
    wstring dir = cached_base_directory();
    CharUpperW(dir.chars().empty() ? nullptr : dir.chars().data());
    dir.replace_char(L'\\', L'/');
    name += dir;
    return name;
}

void trace_wide(const char* label, const wchar_t* text, int32_t code) {
    string narrow;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        narrow.chars().resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.chars().data(), n, nullptr, nullptr);
    }
    TRACE_ERROR(label, narrow.c_str(), code);
}

void show_fatal(const exception& e) {
    wstring text;
    if (e.message()) {
        wstring message;
        int n = MultiByteToWideChar(CP_UTF8, 0, e.message(), -1, nullptr, 0);
        message.chars().resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, e.message(), -1, message.chars().data(), n);
        text = L"次の理由によりVyEngineを終了します：\n";
        text += message;
    } else {
        text = L"致命的なエラーが発生したため、VyEngineを終了します。";
    }
    message_box(nullptr, text.c_str(), MB_OK | MB_ICONSTOP);
}

// The class icon and cursor: the program's icon and the arrow, or the file
// named by ICON for both.
void load_class_icons(startup_settings& s) {
    wstring icon = ini_text(s.ini_path.c_str(), L"Vy", L"ICON", L"");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (icon.empty()) {
        s.class_icon = LoadIconW(instance, MAKEINTRESOURCEW(main_icon_resource));
        if (!s.class_icon) {
            TRACE_ERROR("WinMain", "LoadIcon", GetLastError());
            THROW_STARTUP(nullptr);
        }
        s.class_cursor = LoadCursorW(nullptr, IDC_ARROW);
    } else {
        wstring path;
        make_absolute_path(path, icon.c_str());
        s.class_icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0,
                                                     LR_LOADFROMFILE | LR_DEFAULTSIZE));
        if (!s.class_icon) {
            TRACE_ERROR("WinMain", "LoadIcon", GetLastError());
            THROW_STARTUP(nullptr);
        }
        s.class_cursor = static_cast<HCURSOR>(LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0,
                                                         LR_LOADFROMFILE | LR_DEFAULTSIZE));
    }
    if (!s.class_cursor) {
        TRACE_ERROR("WinMain", "LoadCursor", GetLastError());
        THROW_STARTUP(nullptr);
    }
}

// The back-up decision, the engine's own trace, then the system log.
void open_logs(startup_settings& s) {
    s.backup_generations = ini_int(s.ini_path.c_str(), L"TRACE", L"BACKUPGEN", 3);
    if (ini_int(s.save_path.c_str(), L"STATUS", L"EXITCODE", 0) != 0)
        trace::set_backups(true, s.backup_generations);
    default_trace().close();
    // A game folder shipped without its log folder still gets its logs.
    wstring log_folder;
    make_absolute_path(log_folder, L"log");
    CreateDirectoryW(log_folder.c_str(), nullptr);
    wstring engine_trace;
    make_absolute_path(engine_trace, engine_trace_name);
    default_trace().open(engine_trace.c_str(), trace_overwrite);
    read_trace_settings(s);
    system_manager::init_trace(s.trace_path, s.overwrite);
    s.log_level = ini_int(s.ini_path.c_str(), L"TRACE", L"LEVEL",
                          s.debug ? system_log_debug_level : system_log_default_level);
    engine_system_log().set_level(s.log_level);
    wstring arcext = ini_text(s.ini_path.c_str(), L"TRACE", L"ARCEXT", L"");
    if (!arcext.empty()) {
        s.archive_extension = L".";
        s.archive_extension += arcext;
    }
    s.upload_section = ini_text(s.ini_path.c_str(), L"TRACE", L"UPLOAD", L"");
}

void register_main_window_class(startup_settings& s) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = s.class_icon;
    wc.hCursor = s.class_cursor;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = main_window_class_name;
    s.window_class = RegisterClassExW(&wc);
    if (!s.window_class) {
        TRACE_ERROR("WinMain", "RegisterClassEx", GetLastError());
        THROW_STARTUP(nullptr);
    }
}

void create_main_window(startup_settings& s, HMENU menu) {
    main_window_record& r = main_window();
    r = {};
    r.flags = placement_start_flags;
    r.style = 0x00CA0000u | (s.resizable ? 0x00050000u : 0u);
    r.ex_style = 0;
    r.x = r.y = -1;
    r.width = r.full_width = s.width;
    r.height = r.full_height = s.height;
    r.menu = menu;
    r.full_screen_command = 1;
    r.window_command = 2;
    s.main_window = &r;
    r.window = CreateWindowExW(0, main_window_class_name, s.title.c_str(), WS_POPUP, CW_USEDEFAULT, 0,
                               s.width, s.height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!r.window) {
        TRACE_ERROR("WinMain", "CreateWindowEx", GetLastError());
        THROW_STARTUP(nullptr);
    }
    set_message_owner(r.window);
    cursor().window = r.window;
}

// Shut-down after the loop or after an `exception`.
int32_t shut_down(startup_settings& s, int32_t exit_code, const wchar_t* abort_message) {
    if (exit_code != 0) system_abort(abort_message);
    memory_statistics_log();
    if (s.started) write_user_settings(s, startup_master_volume_percent(), startup_scaling());
    write_network_settings(s);
    system_manager::instance()->release_all();
    release_startup_devices();
    TRACE_ERROR("VyEngine", "exit", exit_code);
    write_exit_code(s, exit_code);
    return exit_code;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    startup_settings settings;
    statistics stats;
    set_current_settings(&settings);
    setlocale(LC_ALL, "");
    int32_t exit_code = -1;
    wstring abort_message;
    single_instance_guard guard;
    try {
        try {
            make_absolute_path(settings.ini_path, L"system.ini");
            command_options options;
            if (parse_command_line(settings, options) == command_line_quit) return 0;
            if (options.choose_folder) choose_working_folder(settings);
            // One engine per game folder.
            if (!guard.acquire(instance_mutex_name().c_str())) THROW_FATAL(second_instance_message);
            // Settings, logs and search paths.
            read_window_settings(settings);
            load_class_icons(settings);
            settings.debug = debug_access_granted(ini_text(settings.ini_path.c_str(), L"Vy", L"DEBUG", L""));
            open_logs(settings);
            if (settings.fps == 0) {
                TRACE_ERROR("WinMain", "invalid FPS, 60 is used", 0);
                settings.fps = 60;
            }
            start_debugger(ini_text(settings.ini_path.c_str(), L"Vy", L"DEBUGGER", L""));
            read_search_paths(settings);
            read_network_use(settings);
            start_companions(settings);
            read_user_settings(settings);
            if (!run_install(settings)) {
                TRACE_ERROR("WinMain", "install", -1);
                THROW_STARTUP(nullptr);
            }
            if (!options.skip_update && check_update(settings)) {
                TRACE_ERROR("WinMain", "update", 0);
                exit_code = 0;
                throw exception(0, nullptr);
            }
            setlocale(LC_ALL, settings.language.c_str());
            TRACE_ERROR("VyEngine", "start up", 0);
            probe_processor();
            write_exit_code(settings, -32768);
            open_statistics(settings, stats);
            register_main_window_class(settings);
            HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(main_menu_resource));
            if (!menu) {
                TRACE_ERROR("WinMain", "LoadMenu", GetLastError());
                THROW_STARTUP(nullptr);
            }
            create_main_window(settings, menu);
            open_graphic_device(settings, abort_message);
            open_sound_device(settings);
            init_main_menu(menu);
            open_inputs(settings);
            settings.started = true;
            resize_main_window(main_window(), 1);
            memory_sample_first();
            if (!system_manager::instance()->initialize(settings.font_face, settings.main_script,
                                                        settings.debug)) {
                TRACE_ERROR("WinMain", "system_manager::initialize", -1);
                THROW_STARTUP(nullptr);
            }
            settings.window_ready = true;
            set_frame_loop_options({settings.fps, settings.frame_skip, settings.draw_fps});
            if (settings.fps > 0) engine_frame_timer().set_fps(settings.fps);
            engine_frame_timer().start();
            exit_code = 0;
            exit_code = run_frame_loop();
        } catch (const fatal_exception& e) {
            if (e.message())
                TRACE_ERROR("WinMain", e.message(), e.code());
            else if (e.code() != 0)
                TRACE_ERROR("WinMain", "fatal error occured", e.code());
            show_fatal(e);
            set_frame_statistics(nullptr, 0);
            set_current_settings(nullptr);
            return -1;
        } catch (const exception& e) {
            if (e.message())
                TRACE_ERROR("WinMain", e.message(), e.code());
            else if (e.code() != 0)
                TRACE_ERROR("WinMain", "error occured", e.code());
        }
    } catch (...) {
        TRACE_ERROR("WinMain", "terminate", 0);
    }
    exit_code = shut_down(settings, exit_code, abort_message.empty() ? nullptr : abort_message.c_str());
    if (settings.statistics_period != 0) stats.dump("");
    set_frame_statistics(nullptr, 0);
    set_current_settings(nullptr);
    return exit_code;
}
