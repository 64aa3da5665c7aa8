// List boxes and combo boxes: items added, found, read and selected from
// script through one set of methods over their own messages.
#ifndef VY_CONTROLS_LIST_CONTROLS_H
#define VY_CONTROLS_LIST_CONTROLS_H

#include "controls/control_action.h"

// The messages one kind of list answers to.
struct list_messages {
    UINT add, insert, remove, count, find_exact, text_length, text, set_selection, get_selection;
};
extern const list_messages listbox_messages;
extern const list_messages combobox_messages;

class list_control_action : public control_action {
public:
    virtual const list_messages& messages() const = 0;
};

class listbox_ctrl_action : public list_control_action {
public:
    bool accept_code(uint32_t code) override { return code >= 1 && code <= 3; }
    const list_messages& messages() const override { return listbox_messages; }
    bool multiple = false;
};

class combobox_ctrl_action : public list_control_action {
public:
    bool accept_code(uint32_t code) override {
        return code == 1 || code == 2 || code == 5 || code == 6 || code == 9;
    }
    const list_messages& messages() const override { return combobox_messages; }
};

DWORD listbox_style(uint32_t type);
DWORD combobox_style(uint32_t type);

void list_controls_register(lua_State* L);

#endif
