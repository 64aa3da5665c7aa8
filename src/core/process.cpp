#include "core/process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "core/ini_file.h"
#include "core/paths.h"

namespace {

enum class expand_fault { none, unclosed, bad_number };

struct expand_result {
    expand_fault fault = expand_fault::none;
    size_t open = 0;   // the failing "<"
    size_t close = 0;  // its ">"
};

// A whole number with its base prefix and nothing else; -1 when the text
// isn't one (negative numbers are no placeholders either).
long placeholder_number(const wchar_t* text, size_t length) {
    if (length == 0 || !(iswdigit(text[0]) || text[0] == L'+' || text[0] == L'-')) return -1;
    std::vector<wchar_t> digits(text, text + length);
    digits.push_back(L'\0');
    wchar_t* end = nullptr;
    errno = 0;
    long n = wcstol(digits.data(), &end, 0);
    if (errno == ERANGE || end == digits.data() || *end != L'\0') return -1;
    return n;
}

// <N> becomes values[N]; values must not be empty.
expand_result expand(wstring& out, const wchar_t* templ, const std::vector<const wchar_t*>& values) {
    expand_result r;
    out = L"";
    const wchar_t* pos = templ;
    for (;;) {
        const wchar_t* open = wcschr(pos, L'<');
        if (!open) {
            out.append_chars(pos);
            return r;
        }
        r.open = static_cast<size_t>(open - templ);
        const wchar_t* close = wcschr(open + 1, L'>');
        if (!close) {
            r.fault = expand_fault::unclosed;
            return r;
        }
        r.close = static_cast<size_t>(close - templ);
        long n = placeholder_number(open + 1, static_cast<size_t>(close - open - 1));
        if (n < 0 || static_cast<unsigned long>(n) >= values.size()) {
            r.fault = expand_fault::bad_number;
            return r;
        }
        if (open > pos) out.append_chars(pos, static_cast<size_t>(open - pos));
        out.append_chars(values[static_cast<size_t>(n)]);
        pos = close + 1;
    }
}

wstring slice(const wchar_t* text, size_t from, size_t to) {
    wstring s;
    if (to > from) s.assign(text + from, to - from);
    return s;
}

// CreateProcessW may write into the command line.
std::vector<wchar_t> writable(const wstring& command) {
    std::vector<wchar_t> buffer(command.c_str(), command.c_str() + command.length());
    buffer.push_back(L'\0');
    return buffer;
}

bool is_existing_file(const wchar_t* path) {
    uint32_t attributes = file_attributes(path);
    return attributes != path_missing && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

size_t count_quotes(const wchar_t* text) {
    size_t n = 0;
    for (; *text; ++text)
        if (*text == L'"') ++n;
    return n;
}

// The value as written on its line: the section read whole keeps the
// quotes that a read of the key drops.
bool raw_value(const ini_file& ini, const wchar_t* section, const wchar_t* key, std::vector<wchar_t>& out) {
    std::vector<wchar_t> lines(4096);
    DWORD n;
    while ((n = GetPrivateProfileSectionW(section, lines.data(), static_cast<DWORD>(lines.size()),
                                          ini.path().c_str())) >= lines.size() - 2 &&
           lines.size() < (1u << 20))
        lines.assign(lines.size() * 2, 0);
    const size_t key_length = wcslen(key);
    for (const wchar_t* line = lines.data(); *line; line += wcslen(line) + 1) {
        const wchar_t* equals = wcschr(line, L'=');
        if (!equals) continue;
        size_t name_length = static_cast<size_t>(equals - line);
        while (name_length > 0 && (line[name_length - 1] == L' ' || line[name_length - 1] == L'\t')) --name_length;
        if (name_length != key_length || _wcsnicmp(line, key, key_length) != 0) continue;
        const wchar_t* value = equals + 1;
        while (*value == L' ' || *value == L'\t') ++value;
        out.assign(value, value + wcslen(value) + 1);
        return true;
    }
    return false;
}

// The profile functions drop a double-quote pair around a whole value, so a
// template that starts and ends with a quoted word loses its outer quotes.
// Such a pair is put back when what is left can't be the template as meant:
// an odd number of quotes, or quotes in a text that doesn't start with one.
// A template written inside an extra pair keeps reading as it did.
wstring read_template(const ini_file& ini, const wchar_t* section) {
    wstring value = ini.get_string(section, L"ARGS", L"");
    const wchar_t* text = value.c_str();
    const size_t quotes = count_quotes(text);
    if (quotes == 0 || (quotes % 2 == 0 && text[0] == L'"')) return value;
    std::vector<wchar_t> raw;
    if (!raw_value(ini, section, L"ARGS", raw)) return value;
    const size_t length = wcslen(raw.data());
    if (length < 2 || raw[0] != L'"' || raw[length - 1] != L'"') return value;
    if (wcslen(text) != length - 2) return value;
    wstring restored;
    restored.assign(raw.data(), length);
    return restored;
}

}  // namespace

bool expand_command_template(wstring& out, const wstring& templ, const wstring& value0,
                             const std::vector<wstring>& values) {
    std::vector<const wchar_t*> list{value0.c_str()};
    if (!values.empty()) list.push_back(values[0].c_str());
    return expand(out, templ.c_str(), list).fault == expand_fault::none;
}

bool start_process(const wstring& command, PROCESS_INFORMATION& info) {
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    std::vector<wchar_t> line = writable(command);
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &info) != FALSE;
}

bool run_archive_command(const archive_tool_settings& settings, const wchar_t* section,
                         const std::vector<wstring>& values) {
    wstring tool;
    make_absolute_path(tool, settings.tool.c_str());
    if (settings.tool.empty() || !is_existing_file(tool.c_str())) {
        fwprintf(stderr, L"error: no archive expand tool '%ls'\n", tool.c_str());
        return false;
    }
    if (settings.args.empty()) {
        fwprintf(stderr, L"error: unsupported archive format '%ls'\n", section ? section : L"");
        return false;
    }

    std::vector<const wchar_t*> list{tool.c_str()};
    for (const wstring& v : values) list.push_back(v.c_str());
    wstring command;
    const wchar_t* templ = settings.args.c_str();
    expand_result r = expand(command, templ, list);
    if (r.fault == expand_fault::unclosed) {
        fwprintf(stderr, L"error: internal error '%ls' '%ls'\n", templ, templ + r.open);
        return false;
    }
    if (r.fault == expand_fault::bad_number) {
        wstring number = slice(templ, r.open + 1, r.close);
        fwprintf(stderr, L"error: internal error '%ls' '%ls' '%ls'\n", templ, templ + r.open,
                 number.c_str());
        return false;
    }

    if (settings.shell != 0) {
        fflush(nullptr);  // the interpreter shares our output streams
        int result = _wsystem(command.c_str());
        if (result < 0) {
            fwprintf(stderr, L"error: cannot execute command '%ls'\n", command.c_str());
            return false;
        }
        if (result != 0) {
            fwprintf(stderr, L"error: command error (%d)\n", result);
            return false;
        }
        return true;
    }

    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    PROCESS_INFORMATION info;
    std::vector<wchar_t> line = writable(command);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        fwprintf(stderr, L"error: cannot execute command '%ls'\n", command.c_str());
        return false;
    }
    CloseHandle(info.hThread);
    DWORD code = 0;
    bool waited = WaitForSingleObject(info.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                  GetExitCodeProcess(info.hProcess, &code);
    DWORD error = waited ? 0 : GetLastError();
    CloseHandle(info.hProcess);
    if (!waited) {
        fwprintf(stderr, L"error: internal error (%d)\n", static_cast<int>(error));
        return false;
    }
    if (code != 0) {
        fwprintf(stderr, L"error: command error (%d)\n", static_cast<int>(code));
        return false;
    }
    return true;
}

archive_tool_settings read_archive_tool_settings(const ini_file& ini, const wchar_t* section) {
    archive_tool_settings settings;
    settings.tool = ini.get_string(section, L"TOOL", L"");
    settings.shell = ini.get_int(section, L"SHELL", 0);
    settings.args = read_template(ini, section);
    return settings;
}

bool run_archive_tool(const ini_file& ini, const wchar_t* section, const std::vector<wstring>& values) {
    return run_archive_command(read_archive_tool_settings(ini, section), section, values);
}

bool run_archive_tool_pair(const ini_file& ini, const wchar_t* section, const wstring& source,
                           const wstring& destination) {
    return run_archive_tool(ini, section, {source, destination});
}
