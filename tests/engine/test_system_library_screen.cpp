// The screen, window, cursor, message and tone functions of the `system`
// library in a running engine: script cases checked by their log lines,
// and the window's size, frame, activation and screen mode seen from here.
#include <gtest/gtest.h>

#include <algorithm>

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

TEST(SystemLibraryScreen, ScriptResizesEnablesActivatesAndSwitchesTheWindow) {
    // Each command the test sends runs one step of the script.
    game_folder game("[Vy]\r\nFPS=60\r\n", std::string(show_prelude) +
                                                "local steps = {\n"
                                                "  [10001] = function() return system.resize(400, 300, true) end,\n"
                                                "  [10002] = function() return system.resize(0, 0, false), system.size() end,\n"
                                                "  [10003] = function() return system.enable(false) end,\n"
                                                "  [10004] = function() return system.enable(true) end,\n"
                                                "  [10005] = function() return system.active(false) end,\n"
                                                "  [10006] = function() return system.active(true) end,\n"
                                                "  [10007] = function() return system.active() end,\n"
                                                "  [10008] = function() system.fullscreen(true) return system.fullscreen() end,\n"
                                                "  [10009] = function() system.fullscreen(false) return system.fullscreen(), system.size() end,\n"
                                                "  [10010] = function() return system.cursor_pos(50, 60), inputs.pointer(0) end,\n"
                                                "  [10011] = function() return system.cursor_pos() end,\n"
                                                "  [10012] = function() system.clip_cursor(10, 20, 110, 220) return 'clip' end,\n"
                                                "  [10013] = function() system.clip_cursor(false) return 'free' end,\n"
                                                "}\n"
                                                "system.callback(3, function(id)\n"
                                                "  if steps[id] then show('step ' .. id, steps[id]()) end\n"
                                                "  return 1\n"
                                                "end)\n");
    // One input whose pointer follows the mouse.
    game.write(L"input.ini", "[INPUT]\r\nNUM=1\r\nAIM=130\r\n[MOUSE]\r\nPTR=16385\r\n[INPUT1-MODE0]\r\nAIM=PTR\r\n");
    engine_process engine(game.dir(), L"");
    HWND window = engine.wait_main_window(box_wait);
    ASSERT_NE(nullptr, window);

    send_command(window, 10001);
    EXPECT_EQ(400, client_size(window).cx);
    EXPECT_EQ(300, client_size(window).cy);
    EXPECT_EQ(static_cast<DWORD>(WS_THICKFRAME | WS_MAXIMIZEBOX), style_of(window) & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    send_command(window, 10002);
    EXPECT_EQ(400, client_size(window).cx) << "no size keeps the size";
    EXPECT_EQ(0u, style_of(window) & (WS_THICKFRAME | WS_MAXIMIZEBOX));

    send_command(window, 10003);
    EXPECT_FALSE(IsWindowEnabled(window));
    send_command(window, 10004);
    EXPECT_TRUE(IsWindowEnabled(window));

    send_command(window, 10005);
    EXPECT_TRUE(IsIconic(window));
    send_command(window, 10006);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(window, GetForegroundWindow());
    send_command(window, 10007);

    send_command(window, 10008);
    EXPECT_EQ(nullptr, GetMenu(window)) << "full screen has no menu bar";
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP), style_of(window) & (WS_POPUP | WS_CAPTION));
    send_command(window, 10009);
    EXPECT_NE(nullptr, GetMenu(window));
    EXPECT_EQ(static_cast<DWORD>(WS_CAPTION), style_of(window) & WS_CAPTION);
    EXPECT_EQ(400, client_size(window).cx) << "the script's size comes back";
    EXPECT_EQ(300, client_size(window).cy);

    SetForegroundWindow(window);
    send_command(window, 10010);
    send_command(window, 10011);
    send_command(window, 10012);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT clip = {};
    GetClipCursor(&clip);
    EXPECT_EQ(origin.x + 10, clip.left);
    EXPECT_EQ(origin.y + 20, clip.top);
    EXPECT_EQ(origin.x + 110, clip.right);
    EXPECT_EQ(origin.y + 220, clip.bottom);
    send_command(window, 10013);
    GetClipCursor(&clip);
    EXPECT_GT(clip.right - clip.left, 220) << "the clip is released";

    post_command(window, 3);
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> steps;
    for (UINT id = 10001; id <= 10013; ++id) {
        std::vector<std::string> v = shown(game, "step " + std::to_string(id));
        steps.push_back(v.empty() ? "<none>" : v[0]);
    }
    EXPECT_EQ((std::vector<std::string>{"true", "true,400,300", "true", "true", "true", "true", "true", "true",
                                        "false,400,300", "true,50,60", "50,60", "clip", "free"}),
              steps);
}

TEST(SystemLibraryScreen, MessageBoxesShowTheAskedButtonsAndAnswerTheirCodes) {
    struct box_case {
        uint32_t flags;
        std::vector<int> buttons;  // all of them, the default one first
        int press;
        uint32_t code;
    };
    const box_case cases[] = {
        {0x34, {IDYES, IDNO}, IDNO, 0x20},
        {0x1034, {IDNO, IDYES}, IDYES, 0x10},
        {0, {IDOK}, IDOK, 0},
        {0x40, {IDOK, IDCANCEL}, IDCANCEL, 0x40},
        {0x70, {IDYES, IDNO, IDCANCEL}, IDCANCEL, 0x40},
        {0x2381, {IDIGNORE, IDABORT, IDRETRY}, IDABORT, 0x80},
        {0x540, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, IDCONTINUE, 0x400},
        {0x140, {IDRETRY, IDCANCEL}, IDRETRY, 0x100},
    };
    const int all_buttons[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE};
    std::string script = show_prelude;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        script += "show('box', system.msgbox('box " + std::to_string(i) + " \\130\\160', " +
                  std::to_string(cases[i].flags) + "))\n";
    script += "system.exit(0)\n";
    game_folder game("[Vy]\r\nTITLE=Blue Game\r\nLANG=japanese\r\n", script);
    engine_process engine(game.dir(), L"");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const box_case& c = cases[i];
        SCOPED_TRACE(c.flags);
        HWND box = engine.wait_box(L"Blue Game", box_wait);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(L"box " + std::to_wstring(i) + L" \u3042", dialog_text(box, 0xFFFF));
        for (int id : all_buttons) {
            bool wanted = std::find(c.buttons.begin(), c.buttons.end(), id) != c.buttons.end();
            EXPECT_EQ(wanted, GetDlgItem(box, id) != nullptr) << "button " << id;
        }
        HWND first = GetDlgItem(box, c.buttons[0]);
        EXPECT_TRUE(first && (GetWindowLongW(first, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON) << "default button";
        press_button(box, c.press);
        ASSERT_TRUE(wait_window_gone(box, box_wait));
    }
    engine_outcome out = engine.wait(30000);
    ASSERT_FALSE(out.timed_out);
    EXPECT_EQ(0, out.exit_code);
    std::vector<std::string> codes;
    for (const box_case& c : cases) codes.push_back(std::to_string(c.code));
    EXPECT_EQ(codes, shown(game, "box"));
}
