// Buttons, static texts, edit fields and group boxes on script windows and
// on the main window: their notifications, states, styles and fonts.
#include <windows.h>
#include <commctrl.h>

#include "../core/scratch_dir.h"
#include "controls/standard_controls.h"
#include "controls_fixture.h"
#include "world/sprite_class.h"

namespace {
// Stands in for the engine's font tables: {size = n} is an Arial of that
// height; anything else names no font.
bool test_font(lua_State* L, int index, LOGFONTW& out) {
    lua_getfield(L, index, "size");
    const bool ok = lua_isnumber(L, -1) != 0;
    out = LOGFONTW{};
    out.lfHeight = static_cast<LONG>(lua_tonumber(L, -1));
    wcscpy(out.lfFaceName, L"Arial");
    lua_pop(L, 1);
    return ok;
}
}  // namespace

class StandardControls : public controls_test {
protected:
    void SetUp() override {
        controls_test::SetUp();
        control_hooks hooks = controls_hooks();
        hooks.font_from_table = test_font;
        set_control_hooks(hooks);
    }
};

TEST_F(StandardControls, ButtonInAWindowReportsToTheWindowOwner) {
    run("w = new_window_ctrl(me, {procs = 0x20, rect = {0, 0, 300, 200}}) "
        "b = new_button_ctrl(me, {parent = w, id = 'ok', text = 'OK', rect = {10, 10, 90, 40}})");
    EXPECT_EQ(window_of("w"), GetParent(window_of("b")));
    run("b:push()");
    EXPECT_EQ("5:ok", events());
    EXPECT_EQ(0, number("b:notify()"));
    // Inside a group box the button still reaches the window.
    run("g = new_group_ctrl(me, {parent = w, rect = {100, 10, 290, 190}}) "
        "c = new_button_ctrl(me, {parent = g, id = 'inner', rect = {10, 20, 90, 50}})");
    EXPECT_EQ(window_of("g"), GetParent(window_of("c")));
    run("c:push()");
    EXPECT_EQ("5:inner", events());
    // Statics and groups accept no notification.
    run("s = new_static_ctrl(me, {parent = w, id = 's', rect = {0, 100, 50, 120}})");
    SendMessageW(window_of("w"), WM_COMMAND, MAKEWPARAM(number("s:id()"), 0),
                 reinterpret_cast<LPARAM>(window_of("s")));
    EXPECT_EQ("", events());
}

TEST_F(StandardControls, MultiLineNumericEditRaisesItsChangesInTheWindow) {
    run("w = new_window_ctrl(me, {procs = 0x20, rect = {0, 0, 300, 200}}) "
        "e = new_edit_ctrl(me, {parent = w, id = 'field', type = 5, rect = {10, 10, 200, 100}})");
    const LONG style = GetWindowLongW(window_of("e"), GWL_STYLE);
    EXPECT_EQ(0x201044 | ES_NUMBER | ES_RIGHT, style & (0x201044 | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL));
    run("e:text('12\\n34')");
    EXPECT_EQ("12\n34", text("e:text()"));
    // Typing changes the field as a user does.
    SendMessageW(window_of("e"), WM_CHAR, '5', 0);
    const std::string seen = events();
    EXPECT_NE(std::string::npos, seen.find("5:field")) << seen;
    EXPECT_EQ(2, SendMessageW(window_of("e"), EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(EN_CHANGE, number("e:notify()"));
}

TEST_F(StandardControls, ButtonStatesAndKeys) {
    struct state_case {
        const char* set;
        int state;
        bool checked;
    };
    const state_case cases[] = {{"b:state(1)", 1, true}, {"b:state(2)", 2, true}, {"b:state(7)", 0, false},
                                {"b:check(true)", 2, true}, {"b:check(false)", 0, false}};
    run("b = new_button_ctrl(me, {type = 4, rect = {0, 0, 100, 30}})");
    for (const state_case& c : cases) {
        SCOPED_TRACE(c.set);
        run(c.set);
        EXPECT_EQ(c.state, number("b:state()"));
        EXPECT_EQ(c.checked ? "true" : "false", text("b:check()"));
    }
    run("k = new_button_ctrl(me, {type = 3, check = true}) t = new_button_ctrl(me, {type = 4, state = 1})");
    EXPECT_EQ(2, number("k:state()"));
    EXPECT_EQ(1, number("t:state()"));
    struct key_case {
        const char* call;
        const char* line;
    };
    const key_case bad[] = {
        {"new_button_ctrl(me, {state = 'x'})", "1 button_ctrl.new: invalid new_button_ctrl.state"},
        {"new_button_ctrl(me, {check = 1})", "1 button_ctrl.new: invalid new_button_ctrl.check"},
        {"new_button_ctrl(me, {type = {}})", "1 button_ctrl.new: invalid new_button_ctrl.type"},
        {"new_static_ctrl(me, {type = 'a'})", "1 static_ctrl.new: invalid new_static_ctrl.type"},
        {"new_edit_ctrl(me, {type = true})", "1 edit_ctrl.new: invalid new_edit_ctrl.type"},
        {"new_group_ctrl(nil, {})", "1 group_ctrl.new: invalid actor object"},
    };
    for (const key_case& c : bad) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        run((std::string("x = ") + c.call).c_str());
        EXPECT_EQ(std::vector<std::string>{c.line}, log.lines);
        EXPECT_EQ("nil", text("x"));
    }
}

TEST_F(StandardControls, StylesFollowTheTypeBits) {
    struct style_case {
        DWORD (*style)(uint32_t);
        uint32_t type;
        DWORD expected;
    };
    const style_case cases[] = {
        {button_style, 0, 0xF00 | WS_TABSTOP},      {button_style, 1, 0xF01 | WS_TABSTOP},
        {button_style, 2, 0xD09 | WS_TABSTOP},      {button_style, 9, WS_TABSTOP},
        {button_style, 0x1080, 0x1F80 | WS_TABSTOP}, {button_style, 0x302, 0x309 | WS_TABSTOP},
        {edit_style, 0, ES_AUTOHSCROLL | WS_TABSTOP}, {edit_style, 0xE, 0x80 | 0x20 | 0x2002 | 0x800 | WS_TABSTOP},
        {static_style, 1, SS_CENTER},               {static_style, 2, SS_RIGHT},
        {static_style, 3, SS_LEFT},
    };
    for (const style_case& c : cases) EXPECT_EQ(c.expected, c.style(c.type)) << std::hex << c.type;
}

TEST_F(StandardControls, ChildrenShareTheParentFontUntilTheLastLetsGo) {
    run("w = new_window_ctrl(me, {font = {size = 20}, rect = {0, 0, 300, 200}}) "
        "b = new_button_ctrl(me, {parent = w, rect = {0, 0, 80, 30}}) "
        "s = new_static_ctrl(me, {parent = w, font = {size = 12}, rect = {0, 40, 80, 60}})");
    HFONT shared = control_of("w")->font;
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(shared, control_of("b")->font);
    EXPECT_EQ(shared, reinterpret_cast<HFONT>(SendMessageW(window_of("b"), WM_GETFONT, 0, 0)));
    EXPECT_NE(shared, control_of("s")->font);
    EXPECT_EQ(control_of("s")->font, reinterpret_cast<HFONT>(SendMessageW(window_of("s"), WM_GETFONT, 0, 0)));
    EXPECT_EQ(2, control_font_count(shared));
    run("w:font()");
    EXPECT_EQ(1, control_font_count(shared));
    EXPECT_EQ(OBJ_FONT, GetObjectType(shared));
    run("b:release()");
    EXPECT_EQ(0, control_font_count(shared));
    log.lines.clear();
    run("s:font({})");
    EXPECT_EQ(std::vector<std::string>{"1 cntl.set_font: invalid font param"}, log.lines);
}

namespace {
// Stands in for the engine's search paths: "packed.bmp" is found inside an
// archive, "missing.bmp" nowhere, anything else is a file path.
bool test_images(const char* name, wstring& path, string& entry) {
    if (std::string(name) == "missing.bmp") return false;
    path = control_widen(name).c_str();
    entry = std::string(name) == "packed.bmp" ? "packed.bmp" : "";
    return true;
}

std::string bmp_file(int width, int height) {
    const int row = (width * 3 + 3) & ~3;
    std::string bytes(54 + size_t(row) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    bytes[26] = 1;
    bytes[28] = 24;
    return bytes;
}
}  // namespace

TEST_F(StandardControls, BitmapButtonsTakeTheirPictureFromAPlainFile) {
    scratch_dir dir;
    ASSERT_TRUE(write_whole(dir.path(L"pic.bmp"), bmp_file(8, 6)));
    set_sprite_image_resolver(test_images);
    lua_pushstring(L, control_narrow(dir.path(L"pic.bmp").c_str()).c_str());
    lua_setglobal(L, "pic");
    struct image_case {
        const char* keys;
        bool picture;
        std::vector<std::string> log;
    };
    const image_case cases[] = {
        {"type = 0x80, image = pic", true, {}},
        {"type = 0x80, image = 'missing.bmp'", false, {"1 button_ctrl.new: invalid image path"}},
        {"type = 0x80, image = 'packed.bmp'", false, {"1 button_ctrl.new: archive path is invalid as image path"}},
        {"type = 0x80, image = 'not-a-file.bmp'", false, {}},
        {"type = 0, image = pic", false, {}},  // a plain button reads no image
    };
    for (const image_case& c : cases) {
        SCOPED_TRACE(c.keys);
        log.lines.clear();
        run((std::string("b = new_button_ctrl(me, {rect = {0, 0, 40, 30}, ") + c.keys + "})").c_str());
        EXPECT_EQ("true", text("b ~= nil and b:is()"));
        EXPECT_EQ(c.log, log.lines);
        HWND w = window_of("b");
        const LRESULT picture = SendMessageW(w, BM_GETIMAGE, IMAGE_BITMAP, 0);
        EXPECT_EQ(c.picture, picture != 0);
        if (picture) {
            BITMAP info = {};
            ASSERT_TRUE(GetObjectW(reinterpret_cast<HBITMAP>(picture), sizeof info, &info));
            EXPECT_EQ(8, info.bmWidth);
            EXPECT_EQ(6, info.bmHeight);
        }
        run("b:release()");
    }
    set_sprite_image_resolver(nullptr);
}

TEST_F(StandardControls, EditCaretFollowsColumnAndLine) {
    run("w = new_window_ctrl(me, {rect = {0, 0, 300, 200}}) "
        "e = new_edit_ctrl(me, {parent = w, type = 1, rect = {10, 10, 250, 150}}) "
        "e:text('hello\\nworld wide')");
    // Without the keyboard focus there is no caret to read.
    log.lines.clear();
    EXPECT_EQ("nil nil", text("(function() local c, l = e:caret() return tostring(c) .. ' ' .. tostring(l) end)()"));
    EXPECT_TRUE(log.has("6 edit_ctrl:caret: not caret owner"));
    SetForegroundWindow(window_of("w"));
    SetFocus(window_of("e"));
    ASSERT_EQ(window_of("e"), GetFocus());
    struct caret_case {
        int column, line;
        DWORD selection;  // where EM_SETSEL put the empty selection
    };
    const caret_case cases[] = {{3, 1, 10}, {0, 0, 0}, {4, 0, 4}, {10, 1, 17}};
    for (const caret_case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << "," << c.line);
        run((std::string("ok = e:caret(") + std::to_string(c.column) + ", " + std::to_string(c.line) + ")").c_str());
        EXPECT_EQ("true", text("ok"));
        DWORD start = 0, end = 0;
        SendMessageW(window_of("e"), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(c.selection, start);
        EXPECT_EQ(c.selection, end);
        EXPECT_EQ(std::to_string(c.column) + " " + std::to_string(c.line),
                  text("(function() local c, l = e:caret() return c .. ' ' .. l end)()"));
    }
}
