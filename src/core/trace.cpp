// Trace logs: line stamping, dated names, back-ups and the registry of every
// trace opened in the run.
#include "core/trace.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core/lock.h"

namespace {

// The loader threads log as well as the main thread. One lock for every
// trace guards the shared location prefix, the call sites' short-name
// caches and the file's buffer, so a line is stamped and written whole.
// Never destroyed: traces with static storage log until process exit.
critical_section& line_lock() {
    static auto* lock = new critical_section();
    return *lock;
}

// Lives to process exit on purpose: traces with static storage (the
// default trace among them) still reach it from their destructors.
std::vector<trace_registry_entry>& registry_list() {
    static auto* list = new std::vector<trace_registry_entry>();
    return *list;
}

bool backups_on = false;
int32_t generations = -1;
bool backup_all_running = false;

// Splits at the last dot of the last path component; "log" stands in for a
// missing (or empty) extension.
void split_name(const wchar_t* name, wstring& stem, wstring& ext) {
    const wchar_t* last = name;
    for (const wchar_t* p = name; *p; ++p)
        if (*p == L'\\' || *p == L'/') last = p + 1;
    const wchar_t* dot = wcsrchr(last, L'.');
    size_t stem_len = dot ? static_cast<size_t>(dot - name) : wcslen(name);
    stem.assign(nullptr);
    if (stem_len) stem.assign(name, stem_len);
    ext.assign(dot && dot[1] ? dot + 1 : L"log");
}

// The text after the last path separator. Both separators count: the
// compiler records source paths with forward slashes.
const char* last_component(const char* path) {
    const char* out = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') out = p + 1;
    return out;
}

void debug_output(const wchar_t* format, DWORD code) {
    wstring text;
    format_wstring(text, format, static_cast<int>(code));
    OutputDebugStringW(text.c_str());
}

}  // namespace

trace::~trace() {
    close();
    // A dead trace must not be reached again through the registry.
    for (trace_registry_entry& e : registry_list())
        if (e.owner == this) e.owner = nullptr;
}

bool trace::open(const wchar_t* name, uint32_t flags) {
    if (!name) name = L"";
    if (backups_on && !backup_all_running && !(flags & trace_no_backup))
        backup(nullptr, name, (flags & trace_dated) != 0, !(flags & trace_overwrite));

    wstring given(name);
    flags_ = flags;
    wstring opened;
    uint32_t mode;
    if (flags & trace_dated) {
        wstring stem, ext;
        split_name(given.c_str(), stem, ext);
        SYSTEMTIME t;
        GetLocalTime(&t);
        wstring stamp;
        format_wstring(stamp, L".%04d%02d%02d.%02d%02d%02d.%ls", t.wYear, t.wMonth, t.wDay,
                       t.wHour, t.wMinute, t.wSecond, ext.c_str());
        opened = stem;
        opened.append_string(stamp);
        mode = file_mode_append_log;
    } else {
        opened = given;
        mode = (flags & trace_overwrite) ? file_mode_new_log : file_mode_append_log;
    }

    registry_list().push_back({this, opened, (flags & trace_dated) != 0});

    if (is_open()) close();
    set_name(opened.c_str());
    return textfile::open(mode);
}

bool trace::close() {
    bool was_open = is_open();
    bool ok = textfile::close();
    // Closing only forgets the first entry of this trace; backup_all closes
    // and reopens traces and must leave the registry as it is.
    if (was_open && !backup_all_running) {
        for (trace_registry_entry& e : registry_list()) {
            if (e.owner == this) {
                e.owner = nullptr;
                break;
            }
        }
    }
    return ok;
}

void trace::write_location(const char* source_path, char* cache, size_t cache_size, uint32_t line) {
    critical_lock guard(line_lock());
    if (!is_open() || (flags_ & trace_no_location)) return;
    if (!source_path) source_path = "";
    const char* short_name;
    if (cache && cache_size > 0) {
        if (cache[0] == 0) {
            const char* s = last_component(source_path);
            size_t n = std::min(strlen(s), cache_size - 1);
            memcpy(cache, s, n);
            cache[n] = 0;
        }
        short_name = cache;
    } else {
        short_name = last_component(source_path);
    }
    string_printf(location_, "%s(%u): ", short_name, line);
}

void trace::write_origin(uint32_t line, const char* name) {
    critical_lock guard(line_lock());
    if (!is_open()) return;
    if (!name) {
        location_.assign(nullptr);
        return;
    }
    const char* short_name = last_component(name);
    if (line)
        string_printf(location_, "%s(%u): ", short_name, line);
    else
        string_printf(location_, "%s: ", short_name);
}

void trace::write_line(const char* format, va_list args) {
    critical_lock guard(line_lock());
    if (!is_open()) return;
    if (!(flags_ & trace_no_time)) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        printf("%04d/%02d/%02d %02d:%02d:%02d.%03d ", t.wYear, t.wMonth, t.wDay, t.wHour,
               t.wMinute, t.wSecond, t.wMilliseconds);
    }
    if (!(flags_ & trace_no_location)) write_string(location_);
    vprintf(format, args);
    write("\n", 1);
    if (!(flags_ & trace_no_flush)) flush();
}

bool trace::backup(const _SYSTEMTIME* time, const wchar_t* name, bool dated, bool copy_only) {
    if (!name) return true;
    if (!dated) remove_old_backups(name);
    SYSTEMTIME now;
    if (!time) {
        GetLocalTime(&now);
        time = &now;
    }
    if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) return true;

    wstring stem, ext, target;
    split_name(name, stem, ext);
    if (dated)
        format_wstring(target, L"%ls.backup.%ls", stem.c_str(), ext.c_str());
    else
        format_wstring(target, L"%ls.%04d%02d%02d.%02d%02d%02d.backup.%ls", stem.c_str(),
                       time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute,
                       time->wSecond, ext.c_str());

    if (!copy_only) {
        if (MoveFileW(name, target.c_str())) return true;
        debug_output(L"trace::backup::rename = %d", GetLastError());
    }
    if (!CopyFileW(name, target.c_str(), FALSE)) {
        debug_output(L"trace::backup::copy = %d", GetLastError());
        return false;
    }
    return true;
}

bool trace::remove_old_backups(const wchar_t* name) {
    if (!name) return true;
    wstring stem, ext, pattern;
    split_name(name, stem, ext);
    format_wstring(pattern, L"%ls.*.*.backup.%ls", stem.c_str(), ext.c_str());

    // Found names carry no folder; deletions need the stem's folder back.
    wstring folder(stem);
    const wchar_t* text = folder.c_str();
    const wchar_t* sep = nullptr;
    for (const wchar_t* p = text; *p; ++p)
        if (*p == L'\\' || *p == L'/') sep = p;
    folder.assign(sep ? text : nullptr, sep ? static_cast<size_t>(sep - text + 1) : 0);

    std::vector<wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern.c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.emplace_back(data.cFileName);
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    // The time stamp in the names is fixed-width: name order is age order.
    std::sort(found.begin(), found.end(), [](const wstring& a, const wstring& b) {
        return wcscmp(a.c_str(), b.c_str()) < 0;
    });
    if (generations > 0 && found.size() > static_cast<size_t>(generations)) {
        size_t excess = found.size() - static_cast<size_t>(generations);
        for (size_t i = 0; i < excess; ++i) {
            wstring path(folder);
            path.append_string(found[i]);
            DeleteFileW(path.c_str());
        }
    }
    return true;
}

bool trace::backup_all() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    backup_all_running = true;
    bool ok = true;
    std::vector<trace_registry_entry>& list = registry_list();
    for (size_t i = 0; i < list.size(); ++i) {
        trace* t = list[i].owner;
        if (t) t->close();
        wstring name(list[i].name);
        if (!backup(&now, name.c_str(), list[i].dated, true)) ok = false;
        if (t) t->open((t->mode() & ~(file_create | file_truncate)) | file_append);
    }
    backup_all_running = false;
    return ok;
}

void trace::close_all() {
    std::vector<trace_registry_entry>& list = registry_list();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].owner) list[i].owner->close();
}

void trace::set_backups(bool enabled, int32_t count) {
    backups_on = enabled;
    generations = count;
}

bool trace::backups_enabled() { return backups_on; }

int32_t trace::backup_generations() { return generations; }

const std::vector<trace_registry_entry>& trace::registry() { return registry_list(); }

void log_printf(trace& t, const char* format, ...) {
    va_list args;
    va_start(args, format);
    t.write_line(format, args);
    va_end(args);
}

trace& default_trace() {
    static trace t;
    static const bool opened = t.open(default_trace_name, trace_overwrite | trace_no_backup);
    (void)opened;
    return t;
}

bool reopen_engine_trace() { return default_trace().open(engine_trace_name, trace_overwrite); }

void trace_error(trace& t, const char* source_path, char* cache, size_t cache_size,
                 uint32_t line, const char* label, const char* message, int32_t code) {
    // Prefix and line as one step: another thread's prefix never lands on
    // this line.
    critical_lock guard(line_lock());
    t.write_location(source_path, cache, cache_size, line);
    log_printf(t, "%s: %s, code=%d(0x%08X)", label ? label : "", message ? message : "",
               static_cast<int>(code), static_cast<unsigned>(code));
}

void debug_print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    string text;
    string_vprintf(text, format, args);
    va_end(args);
    text.append_n("\n");
    OutputDebugStringA(text.c_str());
}
