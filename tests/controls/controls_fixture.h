// A world on a real Lua state with the control globals registered, a real
// top-level window standing in for the engine's main window, and an actor
// whose catch slot records every control event.
#ifndef VY_TESTS_CONTROLS_FIXTURE_H
#define VY_TESTS_CONTROLS_FIXTURE_H

#include <windows.h>

#include <chrono>
#include <functional>

#include "../world/world_fixture.h"
#include "controls/control_action.h"
#include "controls/control_hooks.h"
#include "controls/control_library.h"
#include "controls/scrollbar_ctrl_action.h"

struct dialog_mode_record {
    bool on = false;
    int switched_on = 0, switched_off = 0;
};
inline dialog_mode_record dialog_mode;
inline HWND stand_in_main = nullptr;
inline int main_wheel_messages = 0;
inline std::vector<std::wstring> placements;  // "restore key" / "store key"

// Routes control commands as the engine's main window does.
inline LRESULT CALLBACK stand_in_main_proc(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MOUSEWHEEL) ++main_wheel_messages;
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        scrollbar_route_scroll(w, message, wparam, lparam);
        return 0;
    }
    if (message == WM_COMMAND && lparam != 0 && LOWORD(wparam) >= 10000) {
        control_route_command(LOWORD(wparam), HIWORD(wparam));
        return 0;
    }
    return DefWindowProcW(w, message, wparam, lparam);
}

class controls_test : public world_test {
protected:
    void SetUp() override {
        world_test::SetUp();
        dialog_mode = dialog_mode_record{};
        main_wheel_messages = 0;
        placements.clear();
        WNDCLASSEXW wc = {sizeof wc};
        wc.lpfnWndProc = stand_in_main_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"vy_test_main";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassExW(&wc);
        stand_in_main = CreateWindowExW(0, L"vy_test_main", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                                        400, 300, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, stand_in_main);
        control_hooks hooks;
        hooks.main_window = [] { return stand_in_main; };
        hooks.dialog_mode = [] { return dialog_mode.on; };
        hooks.enable_control = [](bool on) {
            dialog_mode.on = on;
            (on ? dialog_mode.switched_on : dialog_mode.switched_off)++;
            return true;
        };
        hooks.restore_window_pos = [](HWND, const wchar_t* key) {
            placements.push_back(std::wstring(L"restore ") + key);
            return true;
        };
        hooks.store_window_pos = [](HWND, const wchar_t* key) {
            placements.push_back(std::wstring(L"store ") + key);
            return true;
        };
        set_control_hooks(hooks);
        control_action_register(L);
        // A test may set `handler` to act inside the event, as a game does.
        run("events = {} "
            "function catch(actor, ctx, ev, v) events[#events + 1] = {code = ev - 0x50010000, v = v} "
            "if handler then handler(ev - 0x50010000, v) end end");
        st_actor_class* cls = make_class("owner_class", 0, {{slot_catch, "catch"}});
        owner = create(cls);
        ASSERT_NE(nullptr, owner);
        set_global_pointer("me", owner);
    }
    void TearDown() override {
        world_test::TearDown();  // releases every control with its owner
        DestroyWindow(stand_in_main);
        stand_in_main = nullptr;
        set_control_hooks(control_hooks{});
        set_active_script_window(nullptr);
    }

    // Dispatches messages until the condition holds or the time is up.
    bool pump_until(const std::function<bool()>& condition, int milliseconds = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            if (condition()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            Sleep(10);
        }
    }
    // The events recorded so far as "code:value" joined by "|", then cleared.
    std::string events() {
        std::string all = text(
            "(function() local t = {} for _, e in ipairs(events) do "
            "local v = e.v if type(v) == 'table' then local parts = {} "
            "for _, k in ipairs({'key', 'button', 'event', 'x', 'y'}) do "
            "if v[k] ~= nil then parts[#parts + 1] = k .. '=' .. tostring(v[k]) end end "
            "v = table.concat(parts, ',') end "
            "t[#t + 1] = e.code .. ':' .. tostring(v) end events = {} return table.concat(t, '|') end)()");
        return all;
    }
    // The window of a control held in a global.
    HWND window_of(const char* global) {
        lua_getglobal(L, global);
        void* p = nullptr;
        if (lua_istable(L, -1)) {
            lua_getfield(L, -1, "object");
            p = lua_touserdata(L, -1);
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        control_action* c = p ? dynamic_cast<control_action*>(static_cast<extend_action*>(p)) : nullptr;
        return c ? c->window : nullptr;
    }
    control_action* control_of(const char* global) {
        lua_getglobal(L, global);
        void* p = nullptr;
        if (lua_istable(L, -1)) {
            lua_getfield(L, -1, "object");
            p = lua_touserdata(L, -1);
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
        return p ? dynamic_cast<control_action*>(static_cast<extend_action*>(p)) : nullptr;
    }

    actor_object* owner = nullptr;
};

#endif
