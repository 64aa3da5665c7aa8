// The update settings that the engine and the updater program share: the
// UPDATE section of the engine's system file, the recorded patch version of
// "version.ini", and the rule that reads a patch version out of an archive's
// file name.
#ifndef VY_UPDATER_UPDATE_SETTINGS_H
#define VY_UPDATER_UPDATE_SETTINGS_H

#include "core/strings.h"

struct update_settings {
    wstring url;      // base URL; ends in "/" when not empty
    wstring list;     // patch list below url
    string name;      // archive name prefix (taken literally)
    string ext;       // "." and the archive extension
    wstring work;     // work folder, absolute
    wstring system;   // the updater's own ini, absolute
    wstring version;  // "version.ini", absolute
    wstring patch_version;  // newest applied patch; empty: none
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

    update_settings settings;
};

// VERSION PATCHVER of the settings' "version.ini", flushed to disk.
bool write_patch_version(const update_settings& settings, const wstring& noted);

#endif
