// system.msgbox and system.beep: messages and tones for the player.
#include <windows.h>

#include "engine/beep_melody.h"
#include "engine/message_box.h"
#include "engine/startup_settings.h"
#include "engine/system_library_functions.h"
#include "engine/system_manager.h"

#include "lua.h"

namespace {
UINT box_icon(uint32_t flags) {
    switch (flags & 15) {
    case 1: return MB_ICONWARNING;
    case 2: return MB_ICONERROR;
    case 4: return MB_ICONQUESTION;
    default: return MB_ICONINFORMATION;
    }
}

UINT box_buttons(uint32_t flags) {
    if ((flags & 0x70) == 0x70) return MB_YESNOCANCEL;
    if ((flags & 0x30) == 0x30) return MB_YESNO;
    if ((flags & 0x380) == 0x380) return MB_ABORTRETRYIGNORE;
    if ((flags & 0x540) == 0x540) return MB_CANCELTRYCONTINUE;
    if ((flags & 0x140) == 0x140) return MB_RETRYCANCEL;
    if (flags & 0x40) return MB_OKCANCEL;
    return MB_OK;
}

// The pressed button in the script's own codes.
uint32_t pressed_code(int id) {
    switch (id) {
    case IDCANCEL: return 0x40;
    case IDABORT: return 0x80;
    case IDRETRY: return 0x100;
    case IDIGNORE: return 0x200;
    case IDYES: return 0x10;
    case IDNO: return 0x20;
    case IDTRYAGAIN: return 0x100;
    case IDCONTINUE: return 0x400;
    default: return 0;
    }
}
}  // namespace

// system.msgbox(text [, flags]): the pressed button's code.
int system_msgbox(lua_State* L) {
    uint32_t flags = lua_isnumber(L, 2) ? static_cast<uint32_t>(system_arg_int(L, 2)) : 0;
    wstring text;
    if (const char* t = lua_tostring(L, 1)) string_to_wstring(t, text);
    startup_settings* s = current_settings();
    const wchar_t* title = s && !s->title.empty() ? s->title.c_str() : nullptr;
    UINT type = box_icon(flags) | box_buttons(flags) | ((flags & 0xF000) >> 4) | MB_TASKMODAL;
    lua_pushnumber(L, pressed_code(message_box(title, text.c_str(), type)));
    return 1;
}

// system.beep(frequency [, ms]) or system.beep(melody [, tempo]).
int system_beep(lua_State* L) {
    if (lua_isnumber(L, 1)) {
        int32_t ms = lua_isnumber(L, 2) ? system_arg_int(L, 2) : 100;
        Beep(beep_frequency(system_arg_int(L, 1)), static_cast<DWORD>(ms > 0 ? ms : 0));
        return 0;
    }
    if (lua_type(L, 1) != LUA_TSTRING) return 0;
    std::vector<beep_tone> tones;
    string message;
    bool ok = read_melody(lua_tostring(L, 1), lua_isnumber(L, 2) ? system_arg_int(L, 2) : 60, tones, message);
    for (const beep_tone& t : tones) Beep(t.frequency, t.duration_ms);
    if (!ok) system_manager::trace(1, "system.beep", "%s", message.c_str());
    return 0;
}
