#include "updater/update_main.h"

#include <windows.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "core/command_line.h"
#include "core/file.h"
#include "core/paths.h"
#include "updater/archive_apply.h"
#include "updater/update_report.h"
#include "updater/update_settings.h"

namespace {

const option_entry update_options[] = {
    {"archive", option_value},
    {"pid", option_value},
    {"expand", option_no_value},
    {"update", option_no_value},
    {"delete", option_no_value},
    {"restart", option_no_value},
    {"args", option_value},
    {nullptr, 0},
};
enum { opt_archive = 1, opt_pid, opt_expand, opt_update, opt_delete, opt_restart, opt_args };

// How long the engine gets to end: this many tries a second apart.
constexpr int engine_wait_tries = 600;
constexpr DWORD engine_wait_step_ms = 1000;

// The scanner reads 8-bit text. UTF-8 keeps every path whole whatever the
// user's code page; long option names are lower-cased, as the table's are,
// since they match without regard to case.
struct scanned_arguments {
    std::vector<std::vector<char>> texts;
    std::vector<const char*> pointers;

    scanned_arguments(int argc, wchar_t** argv) {
        for (int i = 0; i < argc; ++i) {
            int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
            std::vector<char> text(static_cast<size_t>(n > 0 ? n : 1), '\0');
            if (n > 0) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, text.data(), n, nullptr, nullptr);
            lower_long_name(text.data());
            texts.push_back(std::move(text));
        }
        for (auto& t : texts) pointers.push_back(t.data());
    }

    static void lower_long_name(char* p) {
        if (p[0] == '/') ++p;
        else if (p[0] == '-' && p[1] == '-') p += 2;
        else return;
        for (; *p && *p != '=' && *p != ':'; ++p)
            if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    }
};

wstring wide_of(const char* utf8) {
    wstring out;
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 1) return out;
    std::vector<wchar_t> buffer(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer.data(), n);
    out.assign(buffer.data());
    return out;
}

wstring absolute_of(const char* utf8) {
    wstring out;
    make_absolute_path(out, wide_of(utf8).c_str());
    return out;
}

// Messages of the command-line steps; the log is not open yet.
[[noreturn]] void refuse(int code, const wchar_t* format, const wchar_t* text) {
    fwprintf(stderr, format, text);
    fflush(stderr);
    throw code;
}

// An unsigned number with its base from the prefix and nothing after it.
bool read_pid(const char* text) {
    char* end = nullptr;
    errno = 0;
    unsigned long pid = strtoul(text, &end, 0);
    if (end == text || *end != '\0') return false;
    return !(pid == 0 && errno != 0);
}

struct update_run {
    std::vector<wstring> archives;
    wstring engine;       // the engine's executable
    wstring system_file;  // the engine's system file
    apply_options apply;
    bool restart = false;
    bool args_given = false;
    bool plain_seen = false;
    wstring restart_command;
    updater settings;
    wstring noted;

    void scan(int argc, wchar_t** argv);
    void find_engine_command_line();
    void load_settings();
    void wait_for_engine();
    void run();
};

void update_run::scan(int argc, wchar_t** argv) {
    scanned_arguments args(argc, argv);
    argument_scanner scanner;
    scanner.count = static_cast<int32_t>(args.pointers.size());
    scanner.args = args.pointers.data();
    scanner.options = update_options;
    for (;;) {
        const char* value = nullptr;
        int32_t rc = parse_arguments(scanner, value);
        if (rc == arguments_end) return;
        if (rc < 0) {
            // The engine's own options follow "args": none of ours.
            if (args_given) {
                scanner.next = -rc + 1;
                scanner.cluster = nullptr;
                continue;
            }
            refuse(1, L"error: invalid argument '%ls'\n", argv[-rc]);
        }
        switch (rc) {
        case opt_archive: {
            wstring archive = absolute_of(value);
            if (!file_exists(archive.c_str())) refuse(1, L"error: no archive file '%ls'\n", archive.c_str());
            archives.push_back(archive);
            break;
        }
        case opt_pid:
            if (!read_pid(value)) refuse(1, L"error: invalid pid '%ls'\n", wide_of(value).c_str());
            break;
        case opt_expand: apply.expand = true; break;
        case opt_update: apply.update = true; break;
        case opt_delete: apply.remove = true; break;
        case opt_restart: restart = true; break;
        case opt_args:
            args_given = true;
            engine = absolute_of(value);
            break;
        case 0:
            if (!args_given || plain_seen) refuse(1, L"error: too argument '%ls'\n", wide_of(value).c_str());
            plain_seen = true;
            system_file = absolute_of(value);
            break;
        default: {
            wchar_t number[16];
            swprintf(number, 16, L"%d", static_cast<int>(rc));
            refuse(-1, L"error: internal error (%ls)\n", number);
        }
        }
    }
}

// The engine's command line is the raw text after "/args:", quotes and
// all, exactly as the engine received it.
void update_run::find_engine_command_line() {
    const wchar_t* raw = GetCommandLineW();
    const wchar_t* found = wcsstr(raw, L"/args:");
    if (!found || found == raw || !iswspace(found[-1]))
        refuse(-1, L"error: no VyEngine command line '%ls'\n", raw);
    restart_command = L"start \"VyEngine再起動\" ";
    restart_command += found + 6;
    restart_command += L" /U";
    if (!file_exists(engine.c_str())) refuse(1, L"error: no VyEngine file '%ls'\n", engine.c_str());
}

void update_run::load_settings() {
    if (system_file.empty()) make_absolute_path(system_file, L"system.ini");
    if (!file_exists(system_file.c_str()))
        refuse(1, L"error: no VyEngine system file '%ls'\n", system_file.c_str());
    if (!settings.read_config(system_file.c_str(), L""))
        refuse(1, L"error: cannot load VyEngine system file '%ls'\n", system_file.c_str());
    // A run that notes no newer archive keeps the recorded version.
    noted = settings.settings.patch_version;
}

// The engine's process holds its executable open until it has ended.
void update_run::wait_for_engine() {
    console_print(stdout, L" * VyEngineの終了を待機中です");
    bool released = false;
    for (int i = 0; i < engine_wait_tries && !released; ++i) {
        console_print(stderr, L".");
        HANDLE h = CreateFileW(engine.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            released = true;
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            Sleep(engine_wait_step_ms);
        } else {
            DWORD error = GetLastError();
            console_print(stdout, L"\n");
            report(1, L"error: unexpected error (%d)", static_cast<int>(error));
            throw 1;
        }
    }
    console_print(stdout, L"\n");
    if (!released) {
        report(1, L"error: timeout '%ls'", engine.c_str());
        throw 1;
    }
}

void update_run::run() {
    if (!apply.expand) apply.update = false;
    if (args_given) find_engine_command_line();
    load_settings();
    open_update_log(settings.settings.work.c_str());
    if (args_given) wait_for_engine();
    for (const wstring& archive : archives) apply_archive(settings, archive.c_str(), apply, noted);
    write_patch_version(settings.settings, noted);
    if (args_given && restart) {
        report(0, L" * VyEngineを再起動します.");
        fflush(nullptr);
        _wsystem(restart_command.c_str());
    }
    report(0, L"success.");
}

}  // namespace

int update_main(int argc, wchar_t** argv) {
    setlocale(LC_ALL, "");
    update_run run;
    try {
        run.scan(argc, argv);
        run.run();
        return 0;
    } catch (int code) {
        // The console window closes with the program: let the user read it.
        fflush(nullptr);
        _wsystem(L"pause");
        return code;
    }
}
