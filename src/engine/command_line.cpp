#include "engine/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "core/command_line.h"
#include "core/directories.h"
#include "core/paths.h"
#include "core/trace.h"
#include "engine/entry_exceptions.h"
#include "engine/file_dialogs.h"
#include "engine/startup_settings.h"

namespace {
const char* const bad_command_line = "コマンドラインが不正です。";

const option_entry engine_options[] = {
    {"D", option_optional_value},
    {"I", option_no_value},
    {"M", option_no_value},
    {"U", option_no_value},
    {nullptr, 0},
};
enum { opt_debug = 1, opt_folder, opt_m, opt_update };

// The arguments as narrow text in the current code page.
struct narrow_arguments {
    std::vector<std::vector<char>> texts;
    std::vector<const char*> pointers;
    narrow_arguments() {
        int count = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
        for (int i = 0; wide && i < count; ++i) {
            int n = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::vector<char> text(static_cast<size_t>(n > 0 ? n : 1), '\0');
            if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
            texts.push_back(std::move(text));
        }
        if (wide) LocalFree(wide);
        for (auto& t : texts) pointers.push_back(t.data());
    }
};

// A long option name ("/u", "--u=x") matches the table whatever its case;
// a short one ("-u") must match exactly. The table's names are upper case.
void upper_case_long_names(narrow_arguments& args) {
    for (size_t i = 1; i < args.texts.size(); ++i) {
        char* p = args.texts[i].data();
        if (p[0] == '/') ++p;
        else if (p[0] == '-' && p[1] == '-') p += 2;
        else continue;
        for (; *p && *p != '=' && *p != ':'; ++p)
            if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
}
}  // namespace

int32_t parse_command_line(startup_settings& s, command_options& options) {
    narrow_arguments args;
    upper_case_long_names(args);
    argument_scanner scanner;
    scanner.count = static_cast<int32_t>(args.pointers.size());
    scanner.args = args.pointers.data();
    scanner.options = engine_options;
    int32_t positional = 0;
    for (;;) {
        const char* value = nullptr;
        int32_t rc = parse_arguments(scanner, value);
        if (rc == arguments_end) break;
        if (rc < 0) {
            string line;
            string_printf(line, "parse Arguments: invalid argument '%s'", args.pointers[static_cast<size_t>(-rc)]);
            TRACE_ERROR("WinMain", line.c_str(), -1);
            throw fatal_exception(__LINE__, bad_command_line);
        }
        switch (rc) {
        case 0: {
            ++positional;
            string line;
            string_printf(line, "parse Arguments: get %d option '%s'", positional, value);
            TRACE_ERROR("WinMain", line.c_str(), 0);
            if (positional == 1) {
                wstring wide;
                string_to_wstring(value, wide);
                make_absolute_path(s.ini_path, wide.c_str());
            } else {
                string_printf(line, "parse Arguments: too argument '%s', omitted", value);
                TRACE_ERROR("WinMain", line.c_str(), 0);
            }
            break;
        }
        case opt_debug: return command_line_quit;
        case opt_folder: options.choose_folder = true; break;
        case opt_m: break;
        case opt_update: options.skip_update = true; break;
        default: {
            string line;
            string_printf(line, "parse Arguments: get invalid option index %d, aborted", rc);
            TRACE_ERROR("WinMain", line.c_str(), -1);
            throw fatal_exception(__LINE__, bad_command_line);
        }
        }
    }
    return command_line_go_on;
}

void choose_working_folder(startup_settings& s) {
    const wchar_t* ini = s.ini_path.c_str();
    const wchar_t* slash = wcsrchr(ini, L'\\');
    wstring folder;
    if (slash) folder.assign(ini, static_cast<size_t>(slash - ini) + 1);
    wstring chosen;
    if (choose_folder(folder.c_str(), chosen) && !chosen.empty()) folder = chosen.c_str();
    set_current_directory(folder.c_str());
    recache_base_directory();
}
