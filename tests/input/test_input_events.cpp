// Input events on a real world: registrations fire at actors when a code
// reaches its state, kill them, hold them while registered, and go at a
// clear. Also the wheel notches and the mouse's window rule.
#include <gtest/gtest.h>

#include "../world/world_fixture.h"
#include "input/input.h"
#include "input/input_manager.h"
#include "input/inputs_library.h"

namespace {
HWND make_window(int x, int y) {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
}  // namespace

class InputEvents : public world_test {
protected:
    void SetUp() override {
        world_test::SetUp();
        manager = std::make_unique<input_manager>();
        for (int n = 1; n <= 2; ++n) {
            input* in = new input;
            in->number = n;
            in->modes.resize(1);
            input_list().push_back(in);
        }
        inputs_library_register(L);
        cls = make_class("target", 0, {{slot_catch, "function(a, ctx, ev) events[#events + 1] = ev end"}});
        ASSERT_NE(nullptr, cls);
        target = create(cls, "target");
        ASSERT_NE(nullptr, target);
        set_global_pointer("target", target);
    }
    void TearDown() override {
        manager.reset();
        input::destroy_all();
        world_test::TearDown();
    }
    int32_t& word(size_t input, int code) { return input_at(input)->state.codes[code]; }

    std::unique_ptr<input_manager> manager;
    st_actor_class* cls = nullptr;
    actor_object* target = nullptr;
};

TEST_F(InputEvents, FiresOnceWhenTheStateMatchesAndHoldsItsActor) {
    const int32_t refs = target->ref_count;
    word(0, 5) = 1;
    run("inputs.add_event(0, 5, 1, target, 42) inputs.add_event(0, 5, -1, 'target', 43)"
        "inputs.add_event(1, 5, 1, target, 44)");
    EXPECT_EQ(refs + 3, target->ref_count);
    EXPECT_EQ(3, number("#inputs.events()"));
    manager->dispatch_events();  // the state it already has fires at once
    EXPECT_EQ(1, number("#events"));
    EXPECT_EQ(42, number("events[1]"));
    EXPECT_EQ(2, number("#inputs.events()"));
    EXPECT_EQ(refs + 2, target->ref_count);
    word(0, 5) = -1;
    manager->dispatch_events();
    EXPECT_EQ(43, number("events[2]"));
    manager->dispatch_events();
    EXPECT_EQ(2, number("#events"));
    // A held state cleared by a script reads 0, not the held count.
    word(1, 5) = input_held_cleared;
    run("inputs.add_event(1, 5, 0, target, 45)");
    manager->dispatch_events();
    EXPECT_EQ(45, number("events[3]"));
    EXPECT_EQ(1, number("#inputs.events()"));
    EXPECT_EQ("1,5,1,44", text("(function(e) return e[1] .. ',' .. e[2] .. ',' .. e[3] .. ',' .. e[5] end)"
                               "(inputs.events()[1])"));
    EXPECT_TRUE(text("inputs.events()[1][4] == target") == "true");
}

TEST_F(InputEvents, NegativeIdKillsAndBadRecordsNeverFire) {
    word(0, 3) = 2;
    run("inputs.add_event(5, 3, 2, target, 1) inputs.add_event(0, 200, 2, target, 1)"
        "inputs.add_event(-1, 3, 2, target, 1) inputs.add_event(0, 3, 2, target, -1)");
    manager->dispatch_events();
    EXPECT_EQ(0, number("#events"));
    EXPECT_TRUE(target->flags & actor_dying);
    EXPECT_EQ(3, number("#inputs.events()"));  // the three that name nothing stay
}

TEST_F(InputEvents, RemovalByExactRecordOrByAnyField) {
    run("inputs.add_event(0, 1, 1, target, 7) inputs.add_event(0, 1, 1, target, 8)"
        "inputs.add_event(0, 2, 1, target, 7) inputs.add_event(1, 2, 3, nil, 9)");
    run("inputs.remove_event(0, 1, 1, target, 7)");
    EXPECT_EQ(3, number("#inputs.events()"));
    EXPECT_EQ(1, number("#inputs.events(nil, nil, nil, nil, 8)"));
    // An object that names nothing selects nothing (not every record).
    run("inputs.remove_event(nil, nil, nil, 'nobody')");
    EXPECT_EQ(3, number("#inputs.events()"));
    EXPECT_EQ(0, number("#inputs.events(nil, nil, nil, 'nobody')"));
    run("inputs.remove_event(nil, nil, nil, target)");  // every record of the actor
    EXPECT_EQ(1, number("#inputs.events()"));
    EXPECT_EQ(9, number("inputs.events()[1][5]"));
    run("inputs.remove_event()");
    EXPECT_EQ(0, number("#inputs.events()"));
}

TEST_F(InputEvents, HandlersMayRegisterAndRemoveWhileDispatching) {
    actor_object* other = create(make_class("rearm", 0, {{slot_catch,
        "function(a, ctx, ev) events[#events + 1] = ev inputs.add_event(0, 4, 1, a, ev + 1) "
        "inputs.remove_event(nil, nil, nil, nil, 99) end"}}), "rearm");
    ASSERT_NE(nullptr, other);
    word(0, 4) = 1;
    run("inputs.add_event(0, 4, 1, 'rearm', 10) inputs.add_event(0, 4, 1, target, 99)");
    manager->dispatch_events();
    // The new registration waits for the next dispatch; the one removed
    // by the handler never fires.
    EXPECT_EQ(1, number("#events"));
    EXPECT_EQ(10, number("events[1]"));
    EXPECT_EQ(1, number("#inputs.events()"));
    manager->dispatch_events();
    EXPECT_EQ(11, number("events[2]"));
}

TEST_F(InputEvents, ClearReleasesEveryHold) {
    const int32_t refs = target->ref_count;
    run("for i = 1, 4 do inputs.add_event(0, i, 1, target, i) end");
    EXPECT_EQ(refs + 4, target->ref_count);
    manager->clear_events();
    EXPECT_EQ(refs, target->ref_count);
    EXPECT_EQ(0, number("#inputs.events()"));
}

TEST_F(InputEvents, WheelNotchesDropThePartialNotch) {
    HWND w = make_window(0, 0);
    input* in = input_at(0);
    in->window = w;
    in->modes[0] = {make_entry(device_mouse_vwheel, 129, 0), make_entry(device_mouse_hwheel, 7, 0)};
    const struct {
        int delta;
        float axis;
        int32_t digital;
    } cases[] = {{-250, 2.0f, 0}, {250, 2.0f, 0}, {-119, 0.0f, 0}, {0, 0.0f, 0}};
    for (const auto& c : cases) {
        if (c.delta) input::on_window_message(w, WM_MOUSEWHEEL, MAKEWPARAM(0, c.delta), 0);
        manager->update();
        // An analog wheel code takes the size of the count.
        EXPECT_FLOAT_EQ(c.axis, in->state.axes[0].value) << c.delta;
        EXPECT_EQ(0, input_shared().vwheel);
    }
    input::on_window_message(w, WM_MOUSEHWHEEL, MAKEWPARAM(0, 30), 0);
    manager->update();
    EXPECT_EQ(1, input::code_state(in, 7));  // less than a notch still presses
    manager->update();
    EXPECT_EQ(-1, input::code_state(in, 7));
    DestroyWindow(w);
}

TEST_F(InputEvents, MouseButtonsFollowTheLastMouseWindowButPointerAlways) {
    HWND w1 = make_window(100, 50), w2 = make_window(300, 200);
    const input::mode bindings = {make_entry(device_mouse, 17, 1), make_entry(device_mouse_pointer, 0, 0)};
    input_at(0)->window = w1;
    input_at(1)->window = w2;
    input_at(0)->modes[0] = bindings;
    input_at(1)->modes[0] = bindings;
    input::on_window_message(w1, WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    input::on_window_message(w1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    manager->update();
    EXPECT_EQ(1, input::code_state(input_at(0), 17));
    EXPECT_EQ(0, input::code_state(input_at(1), 17));
    EXPECT_EQ(10, input_at(0)->state.pointer[1]);
    EXPECT_EQ(20, input_at(0)->state.pointer[2]);
    EXPECT_EQ(10 + 100 - 300, input_at(1)->state.pointer[1]);
    EXPECT_EQ(20 + 50 - 200, input_at(1)->state.pointer[2]);
    EXPECT_EQ("10,20", text("(function(x, y) return x .. ',' .. y end)(inputs.pointer(0))"));
    input::on_window_message(w1, WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
    manager->update();
    EXPECT_EQ(-1, input::code_state(input_at(0), 17));
    // The engine's pointer reaches inputs bound to the pointer as it is.
    manager->set_pointer(-5, 70000);  // 16-bit: 70000 wraps to 4464
    EXPECT_EQ(-5, input_at(0)->state.pointer[1]);
    EXPECT_EQ(4464, input_at(0)->state.pointer[2]);
    input_at(1)->modes[0] = {make_entry(device_mouse, 17, 1)};
    manager->set_pointer(3, 4);
    EXPECT_EQ(0, input_at(1)->state.pointer[1]);
    DestroyWindow(w1);
    DestroyWindow(w2);
}

TEST_F(InputEvents, LibraryReadsAxesButtonsAndClears) {
    input* in = input_at(0);
    input_frame f = {};
    for (int i = 0; i < 3; ++i) {
        f.axes[0] = 1.0f;
        input::commit(in->state, f);
    }
    EXPECT_EQ("1,3", text("inputs.x(0) .. ',' .. inputs.dx(0)"));
    f.axes[0] = -1.0f;
    input::commit(in->state, f);
    EXPECT_EQ("-1,-1", text("inputs.x(0) .. ',' .. inputs.dx('0')"));
    f.axes[0] = 0.3f;
    input::commit(in->state, f);
    EXPECT_FLOAT_EQ(0.3f, static_cast<float>(number("inputs.x(0)")));
    EXPECT_EQ(0, number("inputs.dx(0)"));
    EXPECT_EQ("nil", text("inputs.x(9)"));

    const struct {
        int32_t five, six, expected;
    } cases[] = {{3, -1, -1}, {-1, 3, 3}, {2, 4, 4}, {0, 0, 0}, {input_held_cleared, 1, 1}};
    for (const auto& c : cases) {
        word(0, 5) = c.five;
        word(0, 6) = c.six;
        EXPECT_EQ(c.expected, number("inputs.button(0, 5, 6)")) << c.five << " " << c.six;
    }
    EXPECT_EQ(0, number("inputs.button(0)"));
    EXPECT_EQ("nil", text("inputs.button(2, 5)"));

    word(0, 5) = 4;
    word(0, 6) = -1;
    word(1, 5) = 2;
    run("inputs.clear(0)");
    EXPECT_EQ(input_held_cleared, word(0, 5));
    EXPECT_EQ(0, word(0, 6));
    EXPECT_EQ(0.0f, in->state.axes[0].value);
    EXPECT_EQ(2, word(1, 5));
    run("inputs.clear(0, true)");
    EXPECT_EQ(0, word(0, 5));
    word(0, 5) = 4;
    word(0, 6) = -1;
    run("inputs.clear(0, 5) inputs.clear(0, 6)");
    EXPECT_EQ(input_held_cleared, word(0, 5));
    EXPECT_EQ(0, word(0, 6));
    run("inputs.clear(0, 5, true) inputs.clear()");
    EXPECT_EQ(0, word(0, 5));
    EXPECT_EQ(input_held_cleared, word(1, 5));
    run("inputs.clear(true)");
    EXPECT_EQ(0, word(1, 5));
}

TEST_F(InputEvents, LibraryModesJoysticksAndConfig) {
    input_at(0)->modes.resize(2);
    run("inputs.mode(1)");
    EXPECT_EQ(1, number("inputs.mode()"));
    EXPECT_EQ(1, input_at(0)->current_mode);
    EXPECT_EQ(0, input_at(1)->current_mode);  // it has one mode only
    run("inputs.set_mode(7)");
    EXPECT_EQ(0, input_at(0)->current_mode);
    EXPECT_EQ("table", text("type(inputs.joysticks())"));
    EXPECT_EQ(0, number("inputs.joystick(0)"));
    EXPECT_EQ("nil", text("inputs.joystick(0, 1, 2)"));
    // With no file behind them, pairs name nothing: a bad set leaves the mode.
    input_at(0)->modes[0] = {make_entry(device_keyboard, 3, 65)};
    run("r = inputs.config(0, 0, {{key = 4, pair = 'Nothing'}})");
    EXPECT_EQ("nil", text("r"));
    EXPECT_EQ(1u, input_at(0)->modes[0].size());
    run("r = inputs.config(0, 0, {{key = 4}})");
    run("r = inputs.config(0, 0, {5})");
    const std::vector<std::string> expected = {"1 inputs.config: invalid set.pair", "1 inputs.config: no set.pair",
                                               "1 inputs.config: invalid set"};
    EXPECT_EQ(expected, log.lines);
    EXPECT_EQ(3, number("inputs.config(0, 0)[1].key"));
    run("r = inputs.config(0, 9)");
    EXPECT_TRUE(log.has("inputs.config: invalid mode 9"));
}
