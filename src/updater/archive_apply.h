// Applying one downloaded patch archive: its expansion folder beside it,
// expansion by the archive tool of the updater ini, the copy over the
// installation (the current directory) and the clean-up.
#ifndef VY_UPDATER_ARCHIVE_APPLY_H
#define VY_UPDATER_ARCHIVE_APPLY_H

#include "core/strings.h"

class updater;

struct apply_options {
    bool expand = false;
    bool update = false;  // only together with expand
    bool remove = false;  // delete the archive and its folder afterwards
};

// The archive's folder joined with its file name without the extension.
wstring expansion_folder_of(const wchar_t* archive);

// The tool of the section named by the archive's extension expands it into
// the folder; the tool's settings come from the ini file given.
bool expand_archive_file(const wchar_t* archive, const wchar_t* folder, const wchar_t* tool_ini);

// Copies everything in the folder over the current directory. A VyUpdate.exe
// among it is renamed VyUpdate.new first: the running one can't be replaced.
bool apply_update_files(const wchar_t* folder);

// Every step for one archive; a failing step throws the exit code 1 after
// its message. The archive's version, when it has one, becomes noted.
void apply_archive(const updater& u, const wchar_t* archive, const apply_options& options,
                   wstring& noted);

#endif
