#include "updater/update_settings.h"

#include <windows.h>

#include <cstring>

#include "core/file.h"
#include "core/folders.h"
#include "core/ini_file.h"
#include "core/paths.h"
#include "core/string_ops.h"

namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_text(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

string narrow(const wstring& text) {
    string out;
    wstring_to_multibyte(text, out);
    return out;
}

wstring absolute(const wstring& path) {
    wstring out;
    make_absolute_path(out, path.c_str());
    return out;
}

// An existing folder, or one made now with its missing parents; a file of
// that name doesn't count.
bool ensure_folder(const wstring& path) {
    if (is_directory(path.c_str())) return true;
    if (path_exists(path.c_str())) return false;
    return create_path(path.c_str(), FILE_ATTRIBUTE_DIRECTORY) && is_directory(path.c_str());
}

}  // namespace

bool updater::read_config(const wchar_t* system_file, const wchar_t* initial_patch_version) {
    ini_file ini(system_file);
    update_settings& s = settings;
    s.url = ini.get_string(L"UPDATE", L"URL", L"");
    if (!s.url.empty() && s.url.c_str()[s.url.length() - 1] != L'/') s.url += L"/";
    s.list = ini.get_string(L"UPDATE", L"LIST", L"patch.txt");
    s.name = narrow(ini.get_string(L"UPDATE", L"NAME", L"patch*"));
    s.ext = ".";
    s.ext += narrow(ini.get_string(L"UPDATE", L"EXT", L"zip"));
    s.work = absolute(ini.get_string(L"UPDATE", L"WORK", L"update"));
    s.system = absolute(ini.get_string(L"UPDATE", L"SYSTEM", L"VyUpdate.ini"));
    s.version = absolute(ini.get_string(L"UPDATE", L"VERSION", L"version.ini"));

    s.patch_version = initial_patch_version;
    wstring recorded = get_profile_string(L"VERSION", L"PATCHVER", L"", s.version.c_str());
    if (!recorded.empty()) s.patch_version = recorded;

    return file_exists(s.system.c_str()) && ensure_folder(s.work);
}

bool updater::patch_version_from_name(const char* file_name, wstring& version) const {
    const size_t length = strlen(file_name);
    const size_t prefix = settings.name.length();
    const size_t suffix = settings.ext.length();
    if (length < prefix + suffix) return false;
    if (!same_text(file_name, settings.name.c_str(), prefix)) return false;
    if (!same_text(file_name + length - suffix, settings.ext.c_str(), suffix)) return false;

    string text;
    const size_t version_length = length - prefix - suffix;
    if (version_length > 0) text.assign(file_name + prefix, version_length);
    wstring found;
    if (!text.empty() && !string_to_wstring(text, found)) return false;
    if (!settings.patch_version.empty() && wstring_compare(found, settings.patch_version) <= 0)
        return false;
    version = found;
    return true;
}

void updater::note_applied_archive(const wchar_t* archive_path, wstring& noted) const {
    const wchar_t* name = archive_path + (rfind_char(archive_path, L'\\') + 1);
    string narrow_name;
    if (!wstring_to_multibyte(name, narrow_name)) return;
    wstring version;
    if (patch_version_from_name(narrow_name.c_str(), version)) noted = version;
}

bool write_patch_version(const update_settings& settings, const wstring& noted) {
    ini_file ini(settings.version.c_str());
    bool ok = ini.write_string(L"VERSION", L"PATCHVER", noted.c_str());
    ini.close();
    return ok;
}
