#include "engine/startup_steps.h"

#include <windows.h>

#include "core/paths.h"
#include "core/cipher.h"
#include "core/cpu_features.h"
#include "core/statistics.h"
#include "core/trace.h"
#include "engine/engine_dialogs.h"
#include "engine/frame_services.h"
#include "engine/ini_values.h"
#include "engine/startup_settings.h"

namespace {
// The scrambled form of the debug password.
const uint8_t debug_key_bytes[14] = {0xc9, 0x9d, 0x66, 0xdf, 0xd4, 0x9e, 0x4c,
                                     0xc1, 0x56, 0x48, 0x17, 0xa9, 0x1e, 0x5f};

bool set_readonly(const wchar_t* path) {
    uint32_t attributes = file_attributes(path);
    if (attributes == path_missing) {
        TRACE_ERROR("set_readonly", "GetFileAttributes", static_cast<int32_t>(path_missing));
        return false;
    }
    if (!SetFileAttributesW(path, attributes | FILE_ATTRIBUTE_READONLY)) {
        TRACE_ERROR("set_readonly", "SetFileAttributes", -1);
        return false;
    }
    return true;
}

bool remove_readonly(const wchar_t* path, bool must_exist) {
    uint32_t attributes = file_attributes(path);
    if (attributes == path_missing) {
        TRACE_ERROR("remove_readonly", "GetFileAttributes", static_cast<int32_t>(path_missing));
        return !must_exist;
    }
    if (!SetFileAttributesW(path, attributes & ~static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY))) {
        TRACE_ERROR("remove_readonly", "SetFileAttributes", -1);
        return false;
    }
    return true;
}
}  // namespace

bool single_instance_guard::acquire(const wchar_t* name) {
    if (!mutex_.create(name)) return false;
    return mutex_.acquire(0);
}

bool debug_access_granted(const wstring& text) {
    if (text.empty()) return false;
    return cipher_compare(text.c_str(), cipher_default_key, debug_key_bytes, sizeof debug_key_bytes);
}

bool exec_cmd(const wstring& command) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(command.c_str(), command.c_str() + command.length() + 1);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        TRACE_ERROR("exec_cmd", "CreateProcess", GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void start_debugger(const wstring& command) {
    if (command.empty()) return;
    if (!exec_cmd(command)) TRACE_ERROR("WinMain", "fail to exec debugger", -1);
}

void read_network_use(startup_settings& s) {
    s.network_use = static_cast<uint32_t>(ini_int(s.ini_path.c_str(), L"NETWORK", L"USE", 0));
    s.update_ready = s.update.read_config(s.ini_path.c_str(), s.patch_version.c_str());
    // The applied patch names the version the user sees.
    wstring version;
    if (version_text(s.update.settings.patch_version, version)) s.version = version;
}

// Whether the update client has a patch list to ask for.
bool update_url_known(const startup_settings& s) { return !s.update.settings.url.empty(); }

bool run_install(startup_settings& s) {
    const wchar_t* save = s.save_path.c_str();
    if (ini_int(save, L"SETTINGS", L"INSTALL", 0) == 0) {
        if (!set_readonly(s.ini_path.c_str()) || !remove_readonly(s.config_path.c_str(), true) ||
            !remove_readonly(save, false))
            return false;
        ini_write_text(save, L"SETTINGS", L"INSTALL", L"1");
    }
    // The first run of a game that uses the network asks the user once.
    if (ini_int(save, L"NETWORK", L"INSTALL", 0) == 0) {
        if (s.network_use > 0 || update_url_known(s)) show_network_dialog(nullptr);
        ini_write_text(save, L"NETWORK", L"INSTALL", L"1");
    }
    return true;
}

void probe_processor() { cpu_info_check(); }

void open_statistics(startup_settings& s, statistics& stats) {
    if (s.statistics_period != 0) {
        wstring path;
        make_absolute_path(path, statistics::log_name);
        stats.open_log(path.c_str(), trace_overwrite | trace_no_location | trace_no_flush);
    }
    set_frame_statistics(&stats, s.statistics_period);
}
