#include "engine/startup_devices.h"

#include <windows.h>

#include <cmath>

#include "core/trace.h"
#include "engine/entry_exceptions.h"
#include "engine/main_window.h"
#include "engine/startup_settings.h"
#include "engine/window_sound.h"
#include "graphics/graphic.h"
#include "input/input.h"
#include "sound/sound.h"

namespace {
// Display and back-buffer formats, tried in order.
const D3DFORMAT display_formats[12][2] = {
    {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}, {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8},
    {D3DFMT_R5G6B5, D3DFMT_A8R8G8B8},   {D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8},
    {D3DFMT_X4R4G4B4, D3DFMT_A8R8G8B8}, {D3DFMT_X4R4G4B4, D3DFMT_A4R4G4B4},
    {D3DFMT_X1R5G5B5, D3DFMT_A4R4G4B4}, {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4},
    {D3DFMT_R8G8B8, D3DFMT_A4R4G4B4},   {D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4},
    {D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}, {D3DFMT_X4R4G4B4, D3DFMT_A1R5G5B5},
};
}  // namespace

void open_graphic_device(startup_settings& s, wstring& abort_message) {
    graphic& g = *graphic::instance();
    if (!g.create()) {
        TRACE_ERROR("WinMain", "graphic::create", -1);
        THROW_STARTUP(nullptr);
    }
    const D3DCAPS9& caps = g.caps();
    if (static_cast<int64_t>(caps.MaxTextureWidth) <= s.max_width ||
        static_cast<int64_t>(caps.MaxTextureHeight) <= s.max_height) {
        TRACE_ERROR("WinMain", "MaxTextureWidth/MaxTextureHeight is too small", -1);
        format_wstring(abort_message,
                       L"グラフィックボードの最大テクスチャサイズが最小条件（%u×%u）を満たさなかったため、システムを起動できませんでした。",
                       static_cast<unsigned>(s.max_width), static_cast<unsigned>(s.max_height));
        THROW_STARTUP(nullptr);
    }
    bool chosen = false;
    for (int i = 0; i < 12 && !chosen; ++i) {
        if (s.format_mask != 0 && !(s.format_mask & (1u << i))) continue;
        if (!g.check_format(display_formats[i][0], display_formats[i][1])) {
            TRACE_ERROR("WinMain", "format not available", i);
            continue;
        }
        TRACE_ERROR("WinMain", "graphic format", i);
        if (!g.initialize(main_window().window)) {
            TRACE_ERROR("WinMain", "graphic::initialize", -1);
            THROW_STARTUP(nullptr);
        }
        chosen = true;
    }
    if (!chosen) {
        TRACE_ERROR("WinMain", "no match graphic mode", -1);
        THROW_STARTUP(nullptr);
    }
    main_window_record& r = main_window();
    r.full_width = static_cast<int32_t>(g.fullscreen_width());
    r.full_height = static_cast<int32_t>(g.fullscreen_height());
    string line;
    string_printf(line, "WinMain: windowstyle size=(%d, %d)  fullscreen size=(%d, %d)", r.width, r.height,
                  r.full_width, r.full_height);
    TRACE_LOCATION(default_trace());
    log_printf(default_trace(), "%s", line.c_str());
    if (s.display_width == 0 || s.display_height == 0) {
        s.display_width = static_cast<uint32_t>(r.full_width);
        s.display_height = static_cast<uint32_t>(r.full_height);
    }
    g.set_scaling(s.scaling);
}

void open_sound_device(startup_settings& s) {
    // Without an audio device the engine runs silent; the volume the user
    // chose is still kept and written back.
    sound* device = sound::instance();
    if (!device->create(main_window().window)) TRACE_ERROR("WinMain", "sound::create", -1);
    window_sound_set_volume(s.volume / 100.0);
}

// A missing "input.ini" gives no inputs; the engine runs without them.
void open_inputs(startup_settings&) {
    if (!input::create_all(main_window().window)) TRACE_ERROR("WinMain", "input::create_all", -1);
}

void release_startup_devices() {
    input::destroy_all();
    if (sound* device = sound::instance()) device->release();
}

double startup_master_volume_percent() {
    double v = window_sound_master_volume();
    // The device keeps a float: 1 % reads back as 0.99999998 %, which must
    // not truncate to 0.
    return std::round(v * 100.0 * 10000.0) / 10000.0;
}

bool startup_scaling() { return graphic::instance()->scaling(); }
