// The screen, window, cursor, message and tone functions of the `system`
// library in a running engine: script cases checked by their log lines,
// and the window's size, frame, activation and screen mode seen from here.
#include <gtest/gtest.h>

#include "engine/beep_melody.h"

#include "engine_run.h"
#include "image_files.h"
#include "script_cases.h"

namespace {
const DWORD box_wait = 10000;

// A main-window command handled before this returns: the script's
// callback runs the step the test asks for.
void send_command(HWND window, UINT id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 10000, &result);
}

DWORD style_of(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

SIZE client_size(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// The trace lines the script wrote under a label, values only.
std::vector<std::string> shown(const game_folder& game, const std::string& label) {
    std::vector<std::string> out;
    const std::string key = "information: " + label + ": ";
    for (const std::string& line : game.script_log()) {
        size_t at = line.find(key);
        if (at != std::string::npos) out.push_back(line.substr(at + key.size(), line.rfind(" [") - at - key.size()));
    }
    return out;
}
}  // namespace

TEST(SystemLibraryScreen, ScriptCasesOfLayersColoursImagesFontsSizesAndRates) {
    game_folder game("[Vy]\r\nFPS=30\r\nWIDTH=320\r\nHEIGHT=240\r\n", "");
    CreateDirectoryW(game.path(L"graphic").c_str(), nullptr);
    game.write(L"graphic\\wide.bmp", solid_bmp(24, 10, 0xFF0000));
    game.write(L"graphic\\broken.bmp", "this is no image");
    expect_cases(game, {
        // Layers: 0..6 only, and the id is raised, not logged.
        {"show('layer', system.set_layer_state(6, false), system.set_layer_state(0, true))", {"information: layer: nil"}},
        {"show('layer', pcall(system.set_layer_state, 7, true))",
         {"information: layer: false,system.set_layer_state: invalid layer id: 7"}},
        {"show('layer', pcall(system.set_layer_state, -1))",
         {"information: layer: false,system.set_layer_state: invalid layer id: -1"}},
        // Background colour: unsigned, settable from a numeric string.
        {"show('bg', system.bgcolor())", {"information: bg: 4278190080"}},
        {"system.bgcolor('4279246896') show('bg', system.bgcolor())", {"information: bg: 4279246896"}},
        {"system.bgcolor({}) show('bg', system.bgcolor())", {"information: bg: 4279246896"}},
        // Image sizes from the file's header.
        {"show('image', system.image_size('wide'))", {"information: image: 24,10"}},
        {"show('image', system.image_size('missing'))",
         {"error: system.image_size: fail to load image missing", "information: image: "}},
        {"show('image', system.image_size('broken'))",
         {"error: system.image_size: fail to get image size", "information: image: "}},
        {"show('image', system.image_size(5))", {"error: system.image_size: invalid arguments", "information: image: "}},
        // Fonts: a light userdata holding one use; every bad key named.
        {"f = system.font{size = 16, weight = 700, face = 'Arial', cache = 64, flags = 0x10000000}\n"
         "show('font', type(f), system.font(f))",
         {"information: font: userdata"}},
        {"show('font', system.font{})", {"error: system.font: no font.size", "information: font: nil"}},
        {"show('font', system.font{size = 'big'})", {"error: system.font: no font.size", "information: font: nil"}},
        {"show('font', system.font{size = 12, weight = 'bold'})",
         {"error: system.font: invalid font.weight", "information: font: nil"}},
        {"show('font', system.font{size = 12, face = 3})",
         {"error: system.font: invalid font.face", "information: font: nil"}},
        {"show('font', system.font{size = 12, cache = {}})",
         {"error: system.font: invalid font.cache", "information: font: nil"}},
        {"show('font', system.font{size = 12, flags = 'x'})",
         {"error: system.font: invalid font.flags", "information: font: nil"}},
        {"show('font', system.font(5), system.font('x'))",
         {"error: system.font: invalid data type number", "error: system.font: invalid data type string",
          "information: font: nil"}},
        // A font given back twice: the second time it is no longer held.
        {"local g = system.font{size = 9} system.font(g) system.font(g)\n"
         "show('font', type(system.font{size = 9}))",
         {"information: font: userdata"}},
        // Sizes: the logical screen, or the configured window.
        {"show('size', system.size())", {"information: size: 320,240"}},
        {"show('size', system.window(true))", {"information: size: 320,240"}},
        {"show('size', system.resize(400, 300), system.size())", {"information: size: true,400,300"}},
        {"local ok = system.resize(-1, 200) local w, h = system.window() show('size', ok, w, h, system.size(true))",
         {"information: size: true,400,200,320,240"}},
        // Rates: the configured one, the current pair, and a draw rate
        // above the frame rate dropped.
        {"show('fps', system.fps())", {"information: fps: 30"}},
        {"show('fps', system.fps(false))", {"information: fps: 30,nil"}},
        {"system.fps(60, 90) show('fps', system.fps('x'))", {"information: fps: 60,nil"}},
        {"system.fps(60, 20) show('fps', system.fps('x'))", {"information: fps: 60,20"}},
        {"system.fps(0) show('fps', system.fps('x'))", {"information: fps: 30,nil"}},
        // Screen mode: asking for the mode it is in does nothing.
        {"system.fullscreen(false) show('full', system.fullscreen())", {"information: full: false"}},
        // Menus: the no-op.
        {"show('menu', system.menu(1, 2))", {"information: menu: "}},
        // Enabling wants a boolean.
        {"show('enable', system.enable('main'), system.enable(true))",
         {"error: system.enable: invalid window name", "information: enable: false,true"}},
        // Melodies stop at the first bad character.
        {"system.beep('c, e, x g')", {"error: system.beep: invalid tone: x g"}},
        {"system.beep('c&8 d & y')", {"error: system.beep: invalid note: y"}},
        {"system.beep(10) system.beep('440', 1) system.beep({})", {}},
    });
}
