// Standard Win32 controls placed by scripts on a script window or on the
// main window: group boxes, static texts, buttons and edit fields.
#ifndef VY_CONTROLS_STANDARD_CONTROLS_H
#define VY_CONTROLS_STANDARD_CONTROLS_H

#include "controls/control_action.h"

class group_ctrl_action : public control_action {
public:
    bool accept_code(uint32_t) override { return false; }
    // Lets controls inside the box report to the window holding it.
    bool subclass();
    WNDPROC previous = nullptr;
};

class static_ctrl_action : public control_action {
public:
    bool accept_code(uint32_t) override { return false; }
};

class button_ctrl_action : public control_action {
public:
    ~button_ctrl_action() override;
    bool accept_code(uint32_t code) override { return code == 0 || code == 2 || code == 3 || code == 5; }
    // Loads the picture of a bitmap button from an image file found through
    // the search paths; a failure is logged and leaves no picture.
    void set_image(const char* name);

    HBITMAP bitmap = nullptr;  // owned
};

class edit_ctrl_action : public control_action {
public:
    bool accept_code(uint32_t code) override { return code == EN_CHANGE || code == EN_UPDATE; }
    // An edit field goes exactly where it is told.
    void set_client_rect(float left, float top, float right, float bottom) override;
    // Column and line of the caret; false when the field hasn't the focus
    // or the caret can't be read.
    bool caret(int32_t& column, int32_t& line) const;
    void set_caret(int32_t column, int32_t line);
};

// Window styles chosen by the `type` keys.
DWORD static_style(uint32_t type);
DWORD button_style(uint32_t type);
DWORD edit_style(uint32_t type);

// Script button states 0 unchecked, 1 indeterminate, 2 checked.
WPARAM button_check_of_state(int32_t state);
int32_t button_state_of_check(LRESULT check);

void standard_controls_register(lua_State* L);

#endif
