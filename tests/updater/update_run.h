// Runs VyUpdate.exe in an installation folder made by the test, with its
// standard streams in files, and reports how it ended. Every wait here has
// a time limit; a process still running past it is killed.
#ifndef VY_TESTS_UPDATER_UPDATE_RUN_H
#define VY_TESTS_UPDATER_UPDATE_RUN_H

#include <windows.h>

#include <string>
#include <vector>

#include "../core/scratch_dir.h"

struct updater_outcome {
    int32_t exit_code = 0;
    bool timed_out = false;
    std::string out;  // standard output, line ends as "\n"
    std::string err;  // standard error, likewise
};

std::wstring program_path(const char* unix_path);
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// An installation of the engine in the temp directory: the stand-in engine
// as "VyEngine.exe", "system.ini" whose UPDATE section names archives
// patchV.zip, "VyUpdate.ini" whose zip section runs the stand-in archive
// tool, "version.ini" recording 0101 and an empty work folder "update".
class installation : public scratch_dir {
public:
    installation();
    void write(const std::wstring& name, const std::string& bytes);
    std::string read(const std::wstring& name) const { return read_whole(path(name)); }
    bool has(const std::wstring& name) const { return exists(path(name)); }
    // An archive in the work folder; answers its full path.
    std::wstring archive(const std::wstring& name, const std::string& entries);
    std::wstring engine() const { return path(L"VyEngine.exe"); }
    // VERSION PATCHVER of version.ini; "<none>" when there is no such key.
    std::string patch_version() const;
    // The lines of events.txt, written by the stand-in engine and tool.
    std::vector<std::string> events() const;
    // "/args:" with the quoted engine path.
    std::wstring engine_args() const { return L"/args:\"" + engine() + L"\""; }
};

// Runs VyUpdate with the arguments in the folder (standard input empty).
updater_outcome run_updater(const std::wstring& folder, const std::wstring& arguments,
                            DWORD timeout_ms = 60000);

// The stand-in engine running in the folder for a while; killed when the
// object goes and it still runs.
class running_engine {
public:
    running_engine(const installation& where, DWORD hold_ms);
    ~running_engine();
    running_engine(const running_engine&) = delete;
    running_engine& operator=(const running_engine&) = delete;
    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // False when it still runs after the time limit.
    bool wait(DWORD timeout_ms);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

inline bool is_folder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The text with every "{dir}" replaced by the folder.
std::string in_folder(const std::string& text, const std::wstring& folder);
std::wstring in_folder(const std::wstring& text, const std::wstring& folder);

// Waits until the file holds the text (false after the time limit).
bool wait_for_text(const std::wstring& path, const std::string& text, DWORD timeout_ms);

#endif
