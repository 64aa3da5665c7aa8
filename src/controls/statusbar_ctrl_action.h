// Status bars along the bottom of their parent, in parts of given widths.
#ifndef VY_CONTROLS_STATUSBAR_CTRL_ACTION_H
#define VY_CONTROLS_STATUSBAR_CTRL_ACTION_H

#include <vector>

#include "controls/control_action.h"

class statusbar_ctrl_action : public control_action {
public:
    bool create_window(const wchar_t* class_name, const wchar_t* text, DWORD style, DWORD ex_style, int x, int y,
                       int width, int height, HWND parent) override;
    // Widths become right edges (running sums); at most 255 parts.
    void set_parts(const std::vector<int>& widths);
    // One part's width, or a new part at the end.
    void set_part(int index, int width);
    void set_text(int index, const char* text, bool border);
};

void statusbar_register(lua_State* L);

#endif
