// The engine's side of patching: the patch list, the downloads through
// WinINet and the start of VyUpdate. Runs on the main thread during
// start-up, before the main window exists.
#include "updater/update_settings.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/file.h"
#include "core/folders.h"
#include "core/random.h"
#include "core/string_ops.h"
#include "core/trace.h"

namespace {

constexpr uint32_t read_chunk = 8192;
constexpr DWORD open_url_flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE;

string narrow(const wstring& text) {
    string out;
    wstring_to_multibyte(text, out);
    return out;
}

// The part after the last "/" (all of it without one).
const char* after_last_slash(const char* text) {
    const char* slash = strrchr(text, '/');
    return slash ? slash + 1 : text;
}

const wchar_t* after_last_slash(const wchar_t* text) {
    const wchar_t* slash = wcsrchr(text, L'/');
    return slash ? slash + 1 : text;
}

// A scheme of one to five characters before "://".
bool is_absolute_url(const char* line) {
    const char* mark = strstr(line, "://");
    if (!mark) return false;
    const ptrdiff_t at = mark - line;
    return at >= 1 && at <= 5;
}

// A name from the server becomes a file in the work folder and a word of
// the command that starts VyUpdate through the command interpreter: only
// the characters of an archive's own name are taken, so no folder part,
// drive, stream, variable ("%") or command separator ("&") gets through.
bool safe_file_name(const char* name) {
    bool only_dots = true;
    for (const char* at = name; *at; ++at) {
        const char c = *at;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-' || c == '.';
        if (!plain) return false;
        if (c != '.') only_dots = false;
    }
    return !only_dots;
}

// Mirror lines of one version are picked at random, seeded from the clock.
void reseed_from_clock() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint32_t mixed = now.dwLowDateTime ^ now.dwHighDateTime;
    uint32_t seed = (mixed << 16) | (mixed >> 16);
    if (seed == 0) seed = static_cast<uint32_t>(time(nullptr));
    global_random().seed(seed);
}

bool version_less(const patch_entry& a, const patch_entry& b) { return wstring_compare(a.version, b.version) < 0; }

// WinINet handles closed in reverse order of opening, whatever the road out.
struct internet_handles {
    HINTERNET session = nullptr;
    HINTERNET url = nullptr;
    ~internet_handles() {
        if (url) InternetCloseHandle(url);
        if (session) InternetCloseHandle(session);
    }
};

bool fail(const char* step, int32_t code) {
    TRACE_ERROR("updater::get_file", step, code);
    return false;
}

bool query_number(HINTERNET url, DWORD what, DWORD& value) {
    DWORD size = sizeof value;
    return HttpQueryInfoW(url, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != FALSE;
}

}  // namespace

bool updater::check() {
    update_settings& s = settings;
    wstring list_url = s.url;
    list_url += s.list;
    wstring local = s.work;
    path_join(local, after_last_slash(s.list.c_str()));
    if (!get_file(list_url.c_str(), local.c_str())) {
        TRACE_ERROR("updater::check", "updater::get_file", -1);
        return false;
    }
    return read_patch_list(local.c_str());
}

bool updater::read_patch_list(const wchar_t* local) {
    update_settings& s = settings;
    textfile list(local);
    if (!list.open(file_read | file_share_read)) {
        TRACE_ERROR("updater::check", "file::open", -1);
        return false;
    }
    reseed_from_clock();

    s.patches.clear();
    string line;
    while (list.read_line(line)) {
        const char* text = line.c_str();
        if (!*text || *text == '#') continue;
        const char* name = after_last_slash(text);
        wstring version;
        if (!patch_version_from_name(name, version)) continue;
        if (!safe_file_name(name)) {
            std::string message = "unsafe archive name '";
            message += name;
            message += "'";
            TRACE_ERROR("updater::check", message.c_str(), -1);
            continue;
        }
        patch_entry entry;
        entry.version = version;
        if (is_absolute_url(text)) {
            string_to_wstring(text, entry.url);
        } else {
            wstring relative;
            string_to_wstring(text, relative);
            entry.url = s.url;
            entry.url += relative;
        }
        auto same = std::find_if(s.patches.begin(), s.patches.end(),
                                 [&](const patch_entry& p) { return wstring_compare(p.version, version) == 0; });
        if (same == s.patches.end())
            s.patches.push_back(entry);
        else if (global_random_next() % 100 >= 50)
            *same = entry;
    }
    list.close();

    if (s.patches.empty()) {
        TRACE_ERROR("updater::check", "no update", 0);
        return false;
    }
    std::stable_sort(s.patches.begin(), s.patches.end(), version_less);
    s.patch_version = s.patches.back().version;
    return true;
}

wstring updater::patch_name(size_t index) const {
    const std::vector<patch_entry>& patches = settings.patches;
    if (patches.empty()) return wstring();
    if (index >= patches.size()) index = patches.size() - 1;
    return wstring(after_last_slash(patches[index].url.c_str()));
}

bool updater::get() {
    for (patch_entry& entry : settings.patches) {
        wstring local = settings.work;
        path_join(local, after_last_slash(entry.url.c_str()));
        if (!get_file(entry.url.c_str(), local.c_str())) {
            TRACE_ERROR("updater::get", narrow(entry.url).c_str(), -1);
            return false;
        }
        entry.local_path = local;
    }
    return true;
}

bool updater::get_file(const wchar_t* url, const wchar_t* local_path) {
    // Give the server a moment between requests.
    Sleep(1000);
    const DWORD attempt = InternetAttemptConnect(0);
    if (attempt != ERROR_SUCCESS) return fail("InternetAttemptConnect", static_cast<int32_t>(attempt));

    internet_handles net;
    const update_settings& s = settings;
    if (s.proxy.empty())
        net.session = InternetOpenW(L"VyEngine", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    else
        net.session = InternetOpenW(L"VyEngine", INTERNET_OPEN_TYPE_PROXY, s.proxy.c_str(),
                                    s.proxy_bypass_local ? L"<local>" : nullptr, 0);
    if (!net.session) return fail("InternetOpen", static_cast<int32_t>(GetLastError()));

    net.url = InternetOpenUrlW(net.session, url, L"Accept:*/*\r\n\r\n", static_cast<DWORD>(-1), open_url_flags, 0);
    if (!net.url) return fail("InternetOpenUrl", static_cast<int32_t>(GetLastError()));

    // WinINet hands over an error page as if it were the file.
    DWORD status = 0;
    if (!query_number(net.url, HTTP_QUERY_STATUS_CODE, status))
        return fail("HttpQueryInfo", static_cast<int32_t>(GetLastError()));
    if (status != HTTP_STATUS_OK) return fail("HTTP status", static_cast<int32_t>(status));

    wchar_t length_text[32] = {};
    DWORD length_size = sizeof length_text;
    if (!HttpQueryInfoW(net.url, HTTP_QUERY_CONTENT_LENGTH, length_text, &length_size, nullptr))
        return fail("HttpQueryInfo", static_cast<int32_t>(GetLastError()));
    const unsigned long length = wcstoul(length_text, nullptr, 10);
    TRACE_ERROR("updater::get_file", "File Size", static_cast<int32_t>(length));

    file out(local_path);
    if (!out.open(file_mode_new_log)) return fail("file::open", -1);

    std::vector<char> buffer(read_chunk);
    unsigned long received = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(net.url, buffer.data(), read_chunk, &got))
            return fail("InternetReadFile", static_cast<int32_t>(GetLastError()));
        if (got == 0) break;
        if (!out.write(buffer.data(), got)) return fail("file::write", -1);
        received += got;
    }
    // A connection that drops early also ends the reads without an error.
    if (received != length) return fail("incomplete download", static_cast<int32_t>(received));
    return true;
}

bool updater::apply(const wchar_t* title) {
    wchar_t module[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const wstring folder = directory_of(module);
    wstring program = folder;
    program += L"VyUpdate.exe";
    wstring replacement = folder;
    replacement += L"VyUpdate.new";

    // A patch can't overwrite the running updater, so it leaves the new one
    // beside it; it takes its place before the updater is started again.
    if (file_exists(replacement.c_str()) &&
        !MoveFileExW(replacement.c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        TRACE_ERROR("updater::apply", "Updating VyUpdate failed", GetLastError());
        return false;
    }
    if (!file_exists(program.c_str())) {
        TRACE_ERROR("updater::apply", "No VyUpdate", -1);
        return false;
    }

    wstring window_title = title && *title ? title : L"アップデート実行";
    window_title.replace_char(L'"', L'\'');
    wstring command;
    format_wstring(command, L"start \"%ls\" \"%ls\" /expand /update", window_title.c_str(), program.c_str());
    for (const patch_entry& entry : settings.patches) {
        wstring part;
        format_wstring(part, L" /archive:\"%ls\"", entry.local_path.c_str());
        command += part;
    }
    wstring tail;
    format_wstring(tail, L" /pid:%u /restart /args:%ls", static_cast<unsigned>(GetCurrentProcessId()),
                   GetCommandLineW());
    command += tail;

    const int result = _wsystem(command.c_str());
    if (result < 0) {
        TRACE_ERROR("updater::apply", "system", errno);
        return false;
    }
    if (result > 0) {
        TRACE_ERROR("updater::apply", "VyUpdate", result);
        return false;
    }
    return true;
}
