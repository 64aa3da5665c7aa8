#include "engine/startup_settings.h"

#include <cmath>
#include <cwchar>

#include "core/paths.h"
#include "core/trace.h"
#include "engine/entry_exceptions.h"
#include "engine/ini_values.h"

namespace {
startup_settings* the_settings = nullptr;

wstring absolute(const wstring& path) {
    wstring out;
    make_absolute_path(out, path.c_str());
    return out;
}

string to_multibyte(const wstring& text) {
    string out;
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        out.chars().resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.chars().data(), n, nullptr, nullptr);
    }
    return out;
}
}  // namespace

startup_settings* current_settings() { return the_settings; }
void set_current_settings(startup_settings* settings) { the_settings = settings; }

bool version_text(const wstring& compact, wstring& out) {
    const wchar_t* t = compact.c_str();
    size_t n = compact.length();
    if (n == 0) return false;
    auto digits = [&](size_t from, size_t count) {
        int v = 0;
        for (size_t i = from; i < from + count && i < n; ++i)
            if (t[i] >= L'0' && t[i] <= L'9') v = v * 10 + (t[i] - L'0');
            else break;
        return v;
    };
    int major = digits(0, 2);
    int minor = n > 2 ? digits(2, 2) : 0;
    int patch = n > 4 ? static_cast<int>(wcstol(t + 4, nullptr, 10)) : 0;
    if (patch != 0) format_wstring(out, L"%d.%d.%d", major, minor, patch);
    else format_wstring(out, L"%d.%d", major, minor);
    return true;
}

int32_t main_window_mode_of(const wstring& text) {
    struct { const wchar_t* name; int32_t mode; } names[] = {
        {L"", 0}, {L"SHOW", 0}, {L"NO", -1}, {L"HIDE", 1}, {L"MIN", 2}, {L"MAX", 3}};
    for (auto& n : names)
        if (wstring_compare(text, n.name) == 0) return n.mode;
    long v = wcstol(text.c_str(), nullptr, 0);
    return v < -1 ? -1 : v > 3 ? 3 : static_cast<int32_t>(v);
}

void read_window_settings(startup_settings& s) {
    const wchar_t* ini = s.ini_path.c_str();
    s.product_name = ini_text(ini, L"PRODUCT", L"PRODUCTNAME", L"");
    s.version = ini_text(ini, L"PRODUCT", L"VERSION", L"");
    s.copyright = ini_text(ini, L"PRODUCT", L"COPYRIGHT", L"");
    s.patch_version = ini_text(ini, L"PRODUCT", L"PATCHVER", L"");
    s.title = ini_text(ini, L"Vy", L"TITLE", L"Vy Engine");
    s.width = ini_int(ini, L"Vy", L"WIDTH", 640);
    if (s.width < 1) {
        THROW_STARTUP("invalid WIDTH");
    }
    s.height = ini_int(ini, L"Vy", L"HEIGHT", 480);
    if (s.height < 1) {
        THROW_STARTUP("invalid HEIGHT");
    }
    s.resizable = ini_bool(ini, L"Vy", L"RESIZE", false);
    s.max_width = ini_int(ini, L"Vy", L"MAXWIDTH", 1024);
    if (s.max_width < 1) {
        THROW_STARTUP("invalid MAXWIDTH");
    }
    s.max_height = ini_int(ini, L"Vy", L"MAXHEIGHT", 1024);
    if (s.max_height < 1) {
        THROW_STARTUP("invalid MAXHEIGHT");
    }
    s.main_window_mode = main_window_mode_of(ini_text(ini, L"Vy", L"MAINWINDOW", L""));
    s.language = to_multibyte(ini_text(ini, L"Vy", L"LANG", L"japanese"));
    s.font_face = ini_text(ini, L"Vy", L"FONT", L"");
    s.format_mask = static_cast<uint32_t>(ini_int(ini, L"Vy", L"FORMAT", 0));
    // 0 marks a rate that can't pace frames; the entry replaces it.
    const int32_t fps = ini_int(ini, L"Vy", L"FPS", 60);
    s.fps = fps > 0 ? static_cast<uint32_t>(fps) : 0;
    s.statistics_period = static_cast<uint32_t>(ini_int(ini, L"Vy", L"STATISTICS", 0));
    s.config_path = absolute(ini_text(ini, L"Vy", L"CONFIG", L"config.ini"));
    s.save_path = absolute(ini_text(ini, L"Vy", L"SAVE", L"save.ini"));
    s.frame_skip = ini_int(ini, L"Vy", L"FRAMESKIP", 1) != 0;
    s.draw_fps = ini_int(ini, L"Vy", L"DRAWFPS", 0) != 0;
    s.keep_running_inactive = ini_int(ini, L"Vy", L"INACTIVE", 0) != 0;
}

void read_trace_settings(startup_settings& s) {
    const wchar_t* ini = s.ini_path.c_str();
    s.main_script = ini_text(ini, L"Vy", L"MAIN", L"main");
    s.overwrite = ini_bool(ini, L"TRACE", L"OVERWRITE", true);
    s.trace_path = ini_text(ini, L"TRACE", L"PATH", L"");
    if (!s.trace_path.empty()) s.trace_path = absolute(s.trace_path);
}

void read_user_settings(startup_settings& s) {
    const wchar_t* save = s.save_path.c_str();
    s.alt_enter = ini_int(save, L"SETTINGS", L"ALTENTER", 0) != 0;
    s.scaling = ini_int(save, L"SETTINGS", L"SCALING", 1) != 0;
    int32_t volume = ini_int(save, L"SETTINGS", L"VOLUME", 100);
    s.volume = volume < 0 ? 0 : static_cast<uint32_t>(volume);
    s.play_inactive = ini_int(save, L"SETTINGS", L"INACTIVE", 0) != 0;
    s.display_width = static_cast<uint32_t>(ini_int(save, L"SETTINGS", L"DISPLAY_WIDTH", 0));
    s.display_height = static_cast<uint32_t>(ini_int(save, L"SETTINGS", L"DISPLAY_HEIGHT", 0));
    s.last_exit_code = ini_int(save, L"STATUS", L"EXITCODE", 0);
    s.allow = static_cast<uint32_t>(ini_int(save, L"NETWORK", L"ALLOW", 0));
    s.proxy = ini_int(save, L"NETWORK", L"PROXY", 0) != 0;
    s.address = ini_text(save, L"NETWORK", L"ADDRESS", L"");
    s.port = static_cast<uint16_t>(ini_int(save, L"NETWORK", L"PORT", 0));
    s.local = ini_int(save, L"NETWORK", L"LOCAL", 0) != 0;
    s.update_flags = static_cast<uint32_t>(ini_int(save, L"NETWORK", L"UPDATE", 0));
    s.network_read = true;
}

uint32_t stored_volume(double volume_percent) {
    if (!(volume_percent > 0.0)) return 0;
    uint32_t whole = static_cast<uint32_t>(volume_percent);
    return (whole + 9) / 10 * 10;
}

void write_user_settings(const startup_settings& s, double volume_percent, bool scaling) {
    const wchar_t* save = s.save_path.c_str();
    ini_write_int(save, L"SETTINGS", L"ALTENTER", s.alt_enter ? 1 : 0);
    ini_write_int(save, L"SETTINGS", L"SCALING", scaling ? 1 : 0);
    ini_write_int(save, L"SETTINGS", L"VOLUME", static_cast<int32_t>(stored_volume(volume_percent)));
    ini_write_int(save, L"SETTINGS", L"INACTIVE", s.play_inactive ? 1 : 0);
    ini_write_uint(save, L"SETTINGS", L"DISPLAY_WIDTH", s.display_width);
    ini_write_uint(save, L"SETTINGS", L"DISPLAY_HEIGHT", s.display_height);
}

void write_network_settings(const startup_settings& s) {
    if (!s.network_read) return;
    const wchar_t* save = s.save_path.c_str();
    ini_write_uint(save, L"NETWORK", L"ALLOW", s.allow);
    ini_write_uint(save, L"NETWORK", L"PROXY", s.proxy ? 1 : 0);
    ini_write_text(save, L"NETWORK", L"ADDRESS", s.address.c_str());
    ini_write_uint(save, L"NETWORK", L"PORT", s.port);
    ini_write_uint(save, L"NETWORK", L"LOCAL", s.local ? 1 : 0);
    ini_write_uint(save, L"NETWORK", L"UPDATE", s.update_flags);
}

void write_exit_code(const startup_settings& s, int32_t code) {
    if (s.save_path.empty()) return;
    ini_write_int(s.save_path.c_str(), L"STATUS", L"EXITCODE", code);
}
