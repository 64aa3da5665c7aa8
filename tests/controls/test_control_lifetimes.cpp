// Objects a script hands to the controls are taken only through the
// registry of live objects, and a window's handlers may release it or kill
// its owner without the window procedure touching it afterwards.
#include "controls/window_ctrl_action.h"
#include "controls_fixture.h"

using ControlLifetimes = controls_test;

TEST_F(ControlLifetimes, ParentMustBeALiveControlWithAWindow) {
    // An extend action of another kind, held like any script object.
    auto* foreign = new extend_action;
    extend_action_bind(foreign, owner, L, extend_action_base_methods);
    lua_setglobal(L, "foreign");
    run("gone = new_window_ctrl(me, {}) gone_table = {object = gone.object} gone:release() "
        "closed = new_window_ctrl(me, {}) closed:close()");
    const char* const parents[] = {"foreign", "gone_table", "closed", "{object = me}", "{object = 5}", "3"};
    for (const char* p : parents) {
        SCOPED_TRACE(p);
        log.lines.clear();
        run((std::string("b = new_button_ctrl(me, {rect = {0, 0, 20, 20}, parent = ") + p + "})").c_str());
        EXPECT_EQ("nil", text("b"));
        EXPECT_TRUE(log.has("1 ctrl.new: invalid ctrl.parent"));
        EXPECT_TRUE(log.has("1 button_ctrl.new: fail to create control"));
    }
    run("w = new_window_ctrl(me, {rect = {0, 0, 100, 100}}) b = new_button_ctrl(me, {parent = w, rect = {0, 0, 20, 20}})");
    EXPECT_EQ(window_of("w"), GetParent(window_of("b")));
}

TEST_F(ControlLifetimes, CloseHandlerMayReleaseItsOwnWindow) {
    // The handler makes a new window at once: it may take the freed
    // object's memory, which the close must then leave alone.
    run("handler = function(code) if code == 1 and w then w:release() w = nil "
        "again = new_window_ctrl(me, {procs = 0x2, text = 'again'}) end end "
        "w = new_window_ctrl(me, {procs = 0x2})");
    HWND first = window_of("w");
    SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, script_error_status);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ("true", text("again:is()"));
    EXPECT_TRUE(IsWindow(window_of("again")));
    // And from the script's own close.
    run("handler = function(code) if code == 1 then again:release() end end again:close()");
    EXPECT_EQ(0, script_error_status);
    EXPECT_EQ(0, live_control_count());
}

TEST_F(ControlLifetimes, OwnerIsKilledEvenWhenTheCloseHandlerReleasedTheWindow) {
    run("handler = function(code) if code == 1 then w:release() end end "
        "w = new_window_ctrl(me, {procs = 0x80000002})");
    HWND w = window_of("w");
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, script_error_status);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(0, live_control_count());
    EXPECT_TRUE(owner->flags & actor_dying);
}
