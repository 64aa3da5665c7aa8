// The update settings that the engine and the updater program share: the
// UPDATE section of the engine's system file, the recorded patch version of
// "version.ini", and the rule that reads a patch version out of an archive's
// file name.
#ifndef VY_UPDATER_UPDATE_SETTINGS_H
#define VY_UPDATER_UPDATE_SETTINGS_H

#include <vector>

#include "core/strings.h"

// One archive chosen from the patch list.
struct patch_entry {
    wstring version;     // taken from the archive's file name
    wstring url;         // absolute
    wstring local_path;  // where updater::get stored it
};

struct update_settings {
    wstring url;      // base URL; ends in "/" when not empty
    wstring list;     // patch list below url
    string name;      // archive name prefix (taken literally)
    string ext;       // "." and the archive extension
    wstring work;     // work folder, absolute
    wstring system;   // the updater's own ini, absolute
    wstring version;  // "version.ini", absolute
    wstring patch_version;  // newest applied patch; empty: none
    // Proxy handed to WinINet; empty: the system's configured access.
    wstring proxy;
    bool proxy_bypass_local = false;
    std::vector<patch_entry> patches;  // chosen by updater::check
};

class updater {
public:
    // Reads the UPDATE keys of the system file; a non-empty VERSION PATCHVER
    // of "version.ini" replaces the initial patch version. True when the
    // updater ini exists and the work folder exists or could be made.
    bool read_config(const wchar_t* system_file, const wchar_t* initial_patch_version);

    // True when the file name is name + V + ext (prefix and suffix without
    // regard to case) and V is newer than the recorded patch version; V is
    // then stored in version.
    bool patch_version_from_name(const char* file_name, wstring& version) const;

    // The archive's file name through the rule above; a match becomes the
    // noted version, anything else leaves it as it was.
    void note_applied_archive(const wchar_t* archive_path, wstring& noted) const;

    // The engine's side (update_client.cpp). Fetches the patch list and
    // keeps the archives newer than the recorded version, oldest first;
    // true when there is at least one.
    bool check();
    // The choosing part of check on a patch list already on disk.
    bool read_patch_list(const wchar_t* local_path);
    // The file name part of a chosen patch's URL; past the end: the last.
    wstring patch_name(size_t index) const;
    // Downloads every chosen patch into the work folder.
    bool get();
    // One HTTP download; false unless the server answered 200 and the whole
    // announced length arrived.
    bool get_file(const wchar_t* url, const wchar_t* local_path);
    // Starts VyUpdate with the downloaded archives; true when it started
    // (the engine then has to end so it can replace files).
    bool apply(const wchar_t* title);

    update_settings settings;
};

// VERSION PATCHVER of the settings' "version.ini", flushed to disk.
bool write_patch_version(const update_settings& settings, const wstring& noted);

#endif
