// Fonts of controls, counted: a child that inherits its parent's font
// shares the object, which is deleted when its last user lets go.
#include <map>

#include "controls/control_action.h"
#include "controls/control_hooks.h"
#include "core/system_log.h"

namespace {
std::map<HFONT, int32_t> counts;
}

void control_font_add_ref(HFONT font) {
    if (!font) return;
    ++counts[font];
}

void control_font_release(HFONT font) {
    if (!font) return;
    auto it = counts.find(font);
    if (it == counts.end()) return;
    if (--it->second < 1) {
        DeleteObject(font);
        counts.erase(it);
    }
}

int32_t control_font_count(HFONT font) {
    auto it = counts.find(font);
    return it == counts.end() ? 0 : it->second;
}

HFONT control_font_create(lua_State* L, int index) {
    const control_hooks& h = controls_hooks();
    if (!h.font_from_table) return nullptr;
    LOGFONTW lf;
    if (!h.font_from_table(L, index, lf)) return nullptr;
    return CreateFontIndirectW(&lf);
}

void control_action::set_font(HFONT new_font) {
    control_font_add_ref(new_font);
    control_font_release(font);
    font = new_font;
    if (window) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(new_font), TRUE);
}

bool control_font_apply(control_action* control, lua_State* L, int index) {
    HFONT f = control_font_create(L, index);
    if (!f) return false;
    control->set_font(f);
    return true;
}
