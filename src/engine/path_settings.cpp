#include "engine/path_settings.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "core/folders.h"
#include "core/paths.h"
#include "core/search_path.h"
#include "core/trace.h"
#include "engine/entry_exceptions.h"
#include "engine/ini_values.h"
#include "engine/system_manager.h"

const wchar_t* const named_path_sections[named_path_count] = {L"SCRIPT", L"GRAPHIC", L"SOUND",
                                                              L"SAVE",   L"MOVIE",   L"PATCH"};
const path_defaults named_path_defaults[named_path_count] = {
    {L"script", "lua", "script"}, {L"graphic", "bmp", "graphic"}, {L"sound", "wav", "sound"},
    {L"save", "vsf", ""},         {L"movie", "avi", "movie"},     {L"", "arc", "patch*"},
};

namespace {
const char* const lower_names[named_path_count] = {"script", "graphic", "sound", "save", "movie", "patch"};

string narrow(const wchar_t* text) {
    string out;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        out.chars().resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, text, -1, out.chars().data(), n, nullptr, nullptr);
    }
    return out;
}

wstring wide(const char* text) {
    wstring out;
    string_to_wstring(text, out);
    return out;
}

wstring trimmed(const wchar_t* begin, const wchar_t* end) {
    while (begin < end && iswspace(*begin)) ++begin;
    while (end > begin && iswspace(end[-1])) --end;
    wstring out;
    if (end > begin) out.assign(begin, static_cast<size_t>(end - begin));
    return out;
}

wstring key_name(const wchar_t* key, int n) {
    wstring out;
    if (n >= 1) format_wstring(out, L"%ls%d", key, n);
    else out = key;
    return out;
}

// A whole number 0, 1 or 2 with nothing after it.
bool exist_value(const wstring& text, int32_t& out) {
    wchar_t* end = nullptr;
    long v = wcstol(text.c_str(), &end, 0);
    if (end == text.c_str() || *end != 0 || v < 0 || v > 2) return false;
    out = static_cast<int32_t>(v);
    return true;
}

string describe(const search_path& r) {
    string out;
    string_printf(out, "\"%s\".\"%s\"(\"%s\")", narrow(r.path.c_str()).c_str(), r.second.c_str(),
                  r.third.c_str());
    return out;
}
}  // namespace

bool parse_path(const wchar_t* ini, const wchar_t* section, int n, const path_defaults* defaults,
                named_path_entry& entry, bool& must_exist) {
    wstring path = defaults ? defaults->path : L"";
    wstring extensions = defaults ? wide(defaults->extensions) : wstring();
    wstring patch = defaults ? wide(defaults->patch) : wstring();
    int32_t exist = 0;
    wstring value = ini_text(ini, section, key_name(L"PATH", n).c_str(), path.c_str());
    std::vector<wstring> fields;
    const wchar_t* p = value.c_str();
    for (;;) {
        const wchar_t* comma = wcschr(p, L',');
        const wchar_t* end = comma ? comma : p + wcslen(p);
        fields.push_back(trimmed(p, end));
        if (!comma) break;
        p = comma + 1;
    }
    if (fields.size() > 4) {
        TRACE_ERROR("parse_path", "invalid PATH format", n);
        return false;
    }
    path = fields[0];
    if (fields.size() > 1) extensions = fields[1];
    if (fields.size() > 2) patch = fields[2];
    if (fields.size() > 3 && !fields[3].empty() && !exist_value(fields[3], exist)) {
        TRACE_ERROR("parse_path", "invalid exist", n);
        return false;
    }
    extensions = ini_text(ini, section, key_name(L"EXT", n).c_str(), extensions.c_str());
    patch = ini_text(ini, section, key_name(L"PATCH", n).c_str(), patch.c_str());
    exist = ini_int(ini, section, key_name(L"EXIST", n).c_str(), exist);
    if (exist < 0 || exist > 2) {
        TRACE_ERROR("parse_path", "invalid exist", n);
        return false;
    }
    make_absolute_path(entry.path, path.c_str());
    entry.extensions = narrow(extensions.c_str());
    entry.patch = narrow(patch.c_str());
    entry.exists = path_exists(entry.path.c_str());
    must_exist = exist != 1;
    if (exist == 0 && !entry.exists) {
        TRACE_ERROR("parse_path", "path is not found", n);
        return false;
    }
    if (exist == 2 && !entry.exists) {
        if (!create_path(entry.path.c_str(), FILE_ATTRIBUTE_DIRECTORY)) {
            TRACE_ERROR("parse_path", "fail to create directory", n);
            return false;
        }
        entry.exists = true;
    }
    return true;
}

bool system_add_path(const named_path_entry& entry, bool must_exist) {
    search_path_set& set = engine_system_manager_object().paths();
    set.added.emplace_back();
    search_path& r = set.added.back();
    int32_t index = static_cast<int32_t>(set.added.size()) - 1;
    bool valid = r.set(entry.path.c_str(), entry.extensions.c_str(), entry.patch.c_str());
    if (valid) {
        system_manager::trace(6, "system.add_path", "add path[%d] %s", index, describe(r).c_str());
        return true;
    }
    system_manager::trace(must_exist ? 0 : 2, "system.add_path", "invalid path[%d] %s", index,
                          describe(r).c_str());
    return !must_exist;
}

bool system_set_path(int index, const named_path_entry& entry, bool must_exist) {
    if (index < 0) index = -1 - index;
    if (index < 0 || index >= named_path_count) {
        system_manager::trace(0, "system.set_path(-)", "invalid path-id %d", index);
        return false;
    }
    system_manager& sm = engine_system_manager_object();
    string origin;
    string_printf(origin, "system.set_path(%s)", lower_names[index]);
    search_path& r = sm.paths().builtin[index];
    if (!r.set(entry.path.c_str(), entry.extensions.c_str(), entry.patch.c_str())) {
        system_manager::trace(0, origin.c_str(), "invalid path %s", describe(r).c_str());
        if (must_exist) return false;
    }
    sm.save_path(index);
    if (index == named_path_count - 1 && !sm.add_patch()) {
        system_manager::trace(0, origin.c_str(), "invalid patch path %s", describe(r).c_str());
        return false;
    }
    system_manager::trace(6, origin.c_str(), "set path %s", describe(r).c_str());
    return true;
}

void read_search_paths(startup_settings& s) {
    const wchar_t* ini = s.ini_path.c_str();
    s.base_path = ini_int(ini, L"PATH", L"BASE", 0);
    system_manager& sm = engine_system_manager_object();
    sm.paths().base = s.base_path > 0 ? 1 : 0;
    int32_t count = ini_int(ini, L"PATH", L"NUM", 0);
    for (int32_t i = 1; i <= count; ++i) {
        named_path_entry entry;
        bool must_exist = true;
        if (!parse_path(ini, L"PATH", i, nullptr, entry, must_exist)) continue;
        if (!system_add_path(entry, must_exist)) {
            TRACE_ERROR("WinMain", "invalid System Path List", i);
            log_printf(default_trace(), "\t[PATH] PATH%d = %s", i, narrow(entry.path.c_str()).c_str());
            log_printf(default_trace(), "\t[PATH] EXT%d = %s", i, entry.extensions.c_str());
            log_printf(default_trace(), "\t[PATH] PATCH%d = %s", i, entry.patch.c_str());
            log_printf(default_trace(), "\t[PATH] EXIST%d = %s", i, entry.exists ? "true" : "false");
            THROW_STARTUP(nullptr);
        }
    }
    for (int k = 0; k < named_path_count; ++k) {
        const wchar_t* section = named_path_sections[k];
        string name = narrow(section);
        int32_t index = ini_int(ini, section, L"INDEX", -1);
        if (index >= 0) {
            if (!sm.set_path(-1 - k, index)) {
                TRACE_ERROR("WinMain", "invalid System Path", k);
                log_printf(default_trace(), "\t[%s] INDEX = %d", name.c_str(), index);
                THROW_STARTUP(nullptr);
            }
            continue;
        }
        named_path_entry& entry = s.named_paths[k];
        bool must_exist = true;
        if (!parse_path(ini, section, 0, &named_path_defaults[k], entry, must_exist)) continue;
        if (!system_set_path(k, entry, must_exist)) {
            TRACE_ERROR("WinMain", "invalid System Path", k);
            log_printf(default_trace(), "\t[%s] PATH = %s", name.c_str(), narrow(entry.path.c_str()).c_str());
            log_printf(default_trace(), "\t[%s] EXT = %s", name.c_str(), entry.extensions.c_str());
            log_printf(default_trace(), "\t[%s] PATCH = %s", name.c_str(), entry.patch.c_str());
            THROW_STARTUP(nullptr);
        }
    }
}
