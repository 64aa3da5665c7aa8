#include "engine/log_upload.h"

#include "core/ini_file.h"
#include "core/paths.h"
#include "core/process.h"
#include "core/string_ops.h"
#include "core/trace.h"
#include "engine/startup_settings.h"

namespace {
wstring environment(const wchar_t* name) {
    wchar_t value[256] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 256);
    return n > 0 && n < 256 ? wstring(value) : wstring();
}

void trace_path(const char* label, const wstring& path) {
    string narrow;
    wstring_to_multibyte(path, narrow);
    TRACE_ERROR(label, narrow.c_str(), 0);
}
}  // namespace

bool upload_logs(const startup_settings& s) {
    if (!s.debug || s.upload_section.empty()) return false;
    wstring upload_ini;
    make_absolute_path(upload_ini, L"Upload.ini");
    if (file_attributes(upload_ini.c_str()) == path_missing) {
        TRACE_ERROR("system_abort", "no Upload.ini", -1);
        return false;
    }
    ini_file upload(upload_ini.c_str());
    wstring folder = upload.get_string(s.upload_section.c_str(), L"PATH", L"");
    if (folder.empty()) {
        TRACE_ERROR("system_abort", "no upload path", -1);
        return false;
    }
    wstring folder_path;
    make_absolute_path(folder_path, folder.c_str());
    trace_path("upload path", folder_path);
    wstring source;
    make_absolute_path(source, L"log");
    wstring name;
    format_wstring(name, L"log_%ls_%ls", environment(L"USERNAME").c_str(), environment(L"COMPUTERNAME").c_str());
    name += s.archive_extension;
    wstring archive = folder_path;
    if (archive.length() > 0 && archive.c_str()[archive.length() - 1] != L'\\') archive += L"\\";
    archive += name;
    trace_path("archive path", archive);
    // The tool reads the log files whole: nothing may still be writing them.
    trace::close_all();
    ini_file settings(s.ini_path.c_str());
    return run_archive_tool_pair(settings, L"TRACE", source, archive);
}
