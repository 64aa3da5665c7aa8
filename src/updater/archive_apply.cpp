#include "updater/archive_apply.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/file.h"
#include "core/folders.h"
#include "core/ini_file.h"
#include "core/paths.h"
#include "core/process.h"
#include "updater/update_report.h"
#include "updater/update_settings.h"

namespace {

// The command interpreter writes to our streams: what we printed so far
// must come first.
int run_shell(const wstring& command) {
    fflush(nullptr);
    return _wsystem(command.c_str());
}

// The extension names the tool's section; without one the format is unknown.
bool archive_section(const wchar_t* archive, wstring& section) {
    if (extension_of(archive, section) && !section.empty()) return true;
    fwprintf(stderr, L"error: cannot recognize archive file format '%ls'\n", archive);
    fflush(stderr);
    return false;
}

}  // namespace

wstring expansion_folder_of(const wchar_t* archive) {
    wstring folder = directory_of(archive);
    wstring stem;
    file_stem_of(archive, stem);
    folder += stem;
    return folder;
}

bool expand_archive_file(const wchar_t* archive, const wchar_t* folder, const wchar_t* tool_ini) {
    wstring section;
    if (!archive_section(archive, section)) return false;
    ini_file ini(tool_ini);
    bool ok = run_archive_tool_pair(ini, section.c_str(), archive, folder);
    fflush(stderr);
    return ok;
}

bool apply_update_files(const wchar_t* folder) {
    wstring self(folder), parked(folder);
    path_join(self, L"VyUpdate.exe");
    path_join(parked, L"VyUpdate.new");
    if (file_exists(self.c_str()) &&
        !MoveFileExW(self.c_str(), parked.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        report(1, L"error: internal error (%d)", static_cast<int>(GetLastError()));
        return false;
    }

    wstring command;
    format_wstring(command, L"xcopy /s /e /h /r /y /k \"%ls\"\\* .", folder);
    int result = run_shell(command);
    if (result < 0) {
        report(1, L"error: cannot update '%ls'", command.c_str());
        return false;
    }
    if (result > 0) {
        report(1, L"error: updating error (%d)", result);
        return false;
    }
    return true;
}

void apply_archive(const updater& u, const wchar_t* archive, const apply_options& options,
                   wstring& noted) {
    report(0, L" * アーカイブ '%ls' を適用しています...", archive);

    // Without an extension the expansion folder would be the archive's own
    // name; the unknown format is the fault to report.
    wstring section;
    if (options.expand && !archive_section(archive, section)) throw 1;

    // An empty stem would make the work folder itself the expansion folder,
    // to be copied over the installation and then removed.
    wstring stem;
    if (!file_stem_of(archive, stem) || stem.empty()) {
        report(1, L"error: no archive name '%ls'", archive);
        throw 1;
    }

    wstring folder = expansion_folder_of(archive);
    if (!is_directory(folder.c_str()) &&
        (path_exists(folder.c_str()) || !create_path(folder.c_str(), FILE_ATTRIBUTE_DIRECTORY))) {
        report(1, L"error: cannot create work directory '%ls'", folder.c_str());
        throw 1;
    }

    if (options.expand) {
        report(0, L" ** アーカイブ解凍...");
        if (!expand_archive_file(archive, folder.c_str(), u.settings.system.c_str())) throw 1;
        if (options.update) {
            report(0, L" ** アップデートファイル適用...");
            if (!apply_update_files(folder.c_str())) throw 1;
        }
    }

    if (options.remove) {
        report(0, L" ** アーカイブ削除...");
        wstring command;
        format_wstring(command, L"del /f \"%ls\"", archive);
        run_shell(command);
        format_wstring(command, L"rmdir /s /q \"%ls\"", folder.c_str());
        run_shell(command);
    }

    u.note_applied_archive(archive, noted);
}
