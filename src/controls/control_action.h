// The common base of script windows, standard controls and common dialogs:
// an extend action owning one window, a control id from the process-wide
// control table, an optional script-chosen id value and a font. Window
// notifications become events 0x50010000 + code at the owning actor.
#ifndef VY_CONTROLS_CONTROL_ACTION_H
#define VY_CONTROLS_CONTROL_ACTION_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/script_value.h"
#include "world/extend_action.h"

struct lua_State;
struct luaL_Reg;

constexpr int32_t control_event_base = 0x50010000;
constexpr uint32_t control_first_id = 10001;
constexpr uint32_t control_last_id = 39999;
// `type` bits of top-level windows: keep x, keep y as screen coordinates.
constexpr uint32_t control_absolute_x = 0x10000000;
constexpr uint32_t control_absolute_y = 0x20000000;

class control_action : public extend_action {
public:
    // Takes a control id at once.
    control_action();
    ~control_action() override;

    bool update() override { return true; }
    void suspend() override {}
    bool restore() override { return true; }

    virtual void set_client_rect(float left, float top, float right, float bottom);
    virtual void raise_event(int32_t code);
    virtual bool accept_code(uint32_t code);
    virtual bool create_window(const wchar_t* class_name, const wchar_t* text, DWORD style,
                               DWORD ex_style, int x, int y, int width, int height, HWND parent);

    // Reads the common creation keys of the table at stack index 2 and
    // creates the window; parse errors are logged under "ctrl.new".
    bool create_control(lua_State* L, const wchar_t* class_name, DWORD style, DWORD ex_style,
                        bool child);
    // The id value, or the control id as a number.
    void push_id(lua_State* L) const;
    // The window text as the script sees it ("\r\n" turned into "\n").
    std::string window_text() const;
    void set_font(HFONT font);

    HWND window = nullptr;
    uint32_t control_id = 0;
    script_value id_value;
    uint32_t last_code = 0;
    HFONT font = nullptr;
    std::wstring placement_key;
    // The `type` key as every control reads it.
    uint32_t type_bits = 0;
    control_action* parent = nullptr;
};

// The Lua state the controls raise their events on.
lua_State* controls_lua();

// Raises event code at the owner with the value on top of the stack; drops
// the event when the owner is not active. Pops the value.
void control_throw(control_action* control, int32_t code);

// The control ids: the first free table entry (the table grows by one when
// full). The first live control switches the main window into dialog mode.
bool allocate_id(control_action* control);
void release_control_id(control_action* control);
// The control of table entry index, or none.
control_action* control_table_at(uint32_t index);
int32_t live_control_count();
// The main window's routing of WM_COMMAND from a control: ids 10001 to
// 39999 raise the notification code at that control's owner.
void control_route_command(uint32_t id, uint32_t code);

// The control stored in a window's user data, or none.
control_action* control_of_window(HWND window);
HWND get_wnd_info(HWND window, int index);
bool set_wnd_info(HWND window, control_action* control);
void control_destroy_window(control_action* control);

// Fonts shared between controls, counted.
HFONT control_font_create(lua_State* L, int index);
bool control_font_apply(control_action* control, lua_State* L, int index);
void control_font_add_ref(HFONT font);
void control_font_release(HFONT font);
int32_t control_font_count(HFONT font);

// The shared script methods (id, is, rect, ...), without a terminator
// beyond their own.
extern const luaL_Reg control_base_methods[];

// Wide and multibyte text as the controls convert them.
std::wstring control_widen(const char* text);
std::string control_narrow(const wchar_t* text);

#endif
