// Text actions on a real Lua state and a real device: parameter tables,
// request codes, the reveal driven by keys and timers, the finish event,
// the native actions that keep a text in an actor, and the drawn glyphs.
#include <algorithm>
#include <functional>

#include "text_fixture.h"
#include "world/actor_manager.h"

namespace {

class text_action_test : public text_test {
protected:
    // new_text(hero, params) into global t; the action or none.
    text_action* make_text(const char* params) {
        run((std::string("t = new_text(hero, ") + params + ")").c_str());
        return truth("t ~= nil") ? object_of<text_action>("t") : nullptr;
    }
    // Applies a request whose value is a Lua expression.
    bool request(text_action* a, int32_t code, const char* value) {
        std::string chunk = std::string("return ") + value;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        const int top = lua_gettop(L);
        const bool handled = text_action_request_at(a, code, L, top);
        EXPECT_EQ(top, lua_gettop(L)) << "request left the stack changed";
        lua_settop(L, top - 1);
        return handled;
    }
    std::string last_line() { return log.lines.empty() ? "" : log.lines.back(); }
};

TEST_F(text_action_test, ParameterTablesGiveTheBoxOrTheirMessage) {
    actor_object* hero = boxed_actor("hero", 10, 20, 150, 100);
    actor_object* bare = boxed_actor("bare", 0, 0, 0, 0);
    ASSERT_TRUE(hero && bare);
    struct parse_case {
        const char* actor;
        const char* params;
        const char* line;  // empty: created
        RECT box;
    } cases[] = {
        {"hero", "{16}", "", {10, 20, 150, 100}},
        {"hero", "{'16', 700, 'IPAGothic', {1, 2, 3, 4}}", "", {11, 22, 147, 96}},
        {"hero", "{16, rect = {5, 6, 70, 80}, margin = {1, 1, 1, 1}}", "", {5, 6, 70, 80}},
        {"hero", "{16, margin = {1, 2, 3, 4}, [4] = {9, 9, 9, 9}}", "", {11, 22, 147, 96}},
        {"bare", "{16, margin = {1, 2, 3, 4}}", "", {1, 2, width - 3, height - 4}},
        {"bare", "{16, nil, nil, {1, 2, 3, 4}}", "", {1, 2, 3, 4}},
        {"hero", "{16.9, 400.7, cache = 64, ascii = false}", "", {10, 20, 150, 100}},
        {"hero", "{16, rect = {1, 2, 3}}", "1 text_action.parse: no text_action.rect.bottom", {}},
        {"hero", "{16, rect = 5}", "1 text_action.parse: invalid text_action.rect", {}},
        {"hero", "{16, margin = true}", "1 text_action.parse: invalid text_action.margin", {}},
        {"hero", "{16, nil, nil, 'x'}", "1 text_action.parse: invalid text_action.rect", {}},
        {"hero", "{16, nil, nil, {1}}", "1 text_action.parse: no text_action.rect.top", {}},
        {"hero", "{'big'}", "1 text_action.parse: invalid text_action.size", {}},
        {"hero", "{16, 'bold'}", "1 text_action.parse: invalid text_action.weight", {}},
        {"hero", "{16, 400, 12}", "1 text_action.parse: invalid text_action.face", {}},
        {"hero", "{16, cache = 'x'}", "1 text_action.parse: invalid text_action.cache", {}},
        {"hero", "{16, ascii = 1}", "1 text_action.parse: invalid text_action.ascii", {}},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        actor_object* owner = std::string(c.actor) == "hero" ? hero : bare;
        const int32_t count = owner ? owner->extend_count : -1;
        const size_t before = listed();
        run((std::string("t = new_text(") + c.actor + ", " + c.params + ")").c_str());
        if (*c.line) {
            EXPECT_TRUE(truth("t == nil")) << c.params;
            EXPECT_EQ(std::vector<std::string>{c.line}, log.lines) << c.params;
            EXPECT_EQ(before, listed()) << c.params;
            if (owner) EXPECT_EQ(count, owner->extend_count) << c.params;
            continue;
        }
        text_action* a = truth("t ~= nil") ? object_of<text_action>("t") : nullptr;
        ASSERT_TRUE(a) << c.params << " " << last_line();
        EXPECT_TRUE(log.lines.empty()) << c.params << " " << last_line();
        EXPECT_EQ(c.box.left, a->box[0]) << c.params;
        EXPECT_EQ(c.box.top, a->box[1]) << c.params;
        EXPECT_EQ(c.box.right, a->box[2]) << c.params;
        EXPECT_EQ(c.box.bottom, a->box[3]) << c.params;
        EXPECT_EQ(c.box.right, a->renderer->rect.right) << c.params;
        EXPECT_EQ(1, a->z_offset);
        EXPECT_EQ(0x8000u, a->renderer->text_flags);
        EXPECT_EQ(text_state_finished, a->state());
        EXPECT_TRUE(truth((std::string("t:owner() == ") + c.actor + " and t:is_finished()").c_str())) << c.params;
        run("t:release()");
    }
    // No owner, or no table: nil and nothing made.
    const size_t before = listed();
    run("a = new_text(nil, {16}) b = new_text('nobody', {16}) c = new_text(hero)");
    EXPECT_TRUE(truth("a == nil and b == nil and c == nil"));
    EXPECT_EQ(before, listed());
}

TEST_F(text_action_test, NoFontMeansNoText) {
    actor_object* hero = boxed_actor("hero", 0, 0, 100, 100);
    fonts.reset();
    EXPECT_FALSE(make_text("{16}"));
    EXPECT_EQ(0, hero->extend_count);
    EXPECT_EQ(0u, listed());
}

TEST_F(text_action_test, RequestsSetTheRendererOrLogTheirMessage) {
    boxed_actor("hero", 0, 0, 150, 100);
    actor_object* buddy = boxed_actor("friend", 0, 0, 0, 0);
    text_action* a = make_text("{16, 400, 'IPAGothic'}");
    ASSERT_TRUE(a);
    auto& r = *a->renderer;
    auto timing = [&] { return std::vector<float>{r.delay, r.fade_in, r.hold, r.fade_out}; };
    auto colors = [&] {
        return std::vector<uint32_t>{r.shown_face, r.shown_edge, r.hidden_face, r.hidden_edge};
    };
    struct request_case {
        int32_t code;
        const char* value;
        bool handled;
        const char* line;  // the log line, or empty for none
        std::function<bool()> check;
    } cases[] = {
        {text_request_timing, "4", true, "", [&] { return timing() == std::vector<float>{4, 4, 20, 0}; }},
        {text_request_timing, "{2}", true, "", [&] { return timing() == std::vector<float>{2, 2, 10, 0} && r.animated; }},
        {text_request_timing, "{2, 3, 4, 5}", true, "", [&] { return timing() == std::vector<float>{2, 3, 4, 5}; }},
        {text_request_timing, "{0, 0, 0, 0}", true, "", [&] { return !r.animated; }},
        {text_request_timing, "{}", false, "1 text_action.request: no char-feed frame", nullptr},
        {text_request_timing, "{1, 'x'}", false, "1 text_action.request: invalid fade-in frame", nullptr},
        {text_request_timing, "{1, 1, {}}", false, "1 text_action.request: invalid text-show frame", nullptr},
        {text_request_timing, "{1, 1, 1, true}", false, "1 text_action.request: invalid fade-out frame", nullptr},
        {text_request_timing, "true", false, "", nullptr},
        {text_request_color, "0xFF00FF00", true, "", [&] { return colors() == std::vector<uint32_t>{0xFF00FF00, 0xFF000000, 0x0000FF00, 0}; }},
        {text_request_color, "{0x80112233, 0x40445566}", true, "", [&] { return colors() == std::vector<uint32_t>{0x80112233, 0x40445566, 0x00112233, 0x00445566}; }},
        {text_request_color, "{0xFFFFFFFF}", true, "", [&] { return colors() == std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0x00FFFFFF, 0}; }},
        {text_request_color, "{}", false, "1 text_action.request: no font color", nullptr},
        {text_request_color, "{1, 'x'}", false, "1 text_action.request: invalid edge color", nullptr},
        {text_request_alpha, "{1, 0.5}", true, "", [&] { return colors() == std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0x7FFFFFFF, 0x7F000000}; }},
        {text_request_alpha, "0.5", true, "", [&] { return colors() == std::vector<uint32_t>{0x7FFFFFFF, 0x7F000000, 0x00FFFFFF, 0}; }},
        // Above 1 stays at full alpha instead of spilling into the colour.
        {text_request_alpha, "{2, -1}", true, "", [&] { return colors() == std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0x00FFFFFF, 0}; }},
        {text_request_alpha, "{}", false, "1 text_action.request: no max alpha color", nullptr},
        {text_request_alpha, "{1, 'x'}", false, "1 text_action.request: invalid min alpha color", nullptr},
        {text_request_event, "'12'", true, "", [&] { return a->finish_event == 12; }},
        {text_request_event, "'x'", false, "", [&] { return a->finish_event == 12; }},
        {text_request_notify, "friend", true, "", [&] { return a->notify == buddy; }},
        {text_request_notify, "nil", true, "", [&] { return a->notify == nullptr; }},
        {text_request_input, "2.7", true, "", [&] { return a->input_index == 2; }},
        {text_request_key_a, "-1", true, "", [&] { return a->key_a == -1; }},
        {text_request_key_b, "30", true, "", [&] { return a->key_b == 30; }},
        {text_request_flags, "0x200000", true, "", [&] { return r.text_flags == 0xA00000u && !r.hidden(); }},
        {text_request_flags, "0x80008000", true, "", [&] { return r.text_flags == 0x8000u && r.hidden(); }},
        {text_request_visible, "1", true, "", [&] { return a->visible && !r.hidden(); }},
        {text_request_visible, "false", true, "", [&] { return !a->visible && r.hidden(); }},
        {text_request_visible, "true", true, "", [&] { return !r.hidden(); }},
        {text_request_state, "8", true, "", [&] { return r.state == 8 && r.counter == 0x4FFFFE; }},
        {text_request_state, "5", true, "", [&] { return r.state == 5 && r.counter == -1; }},
        {text_request_state, "7", true, "", [&] { return r.state == 7 && r.counter == -1; }},
        {text_request_state, "20", true, "", [&] { return r.state == 20; }},
        {text_request_finish, "nil", true, "", [&] { return r.state == 13 && r.counter == 0x7FFFFFFF; }},
        {text_request_rect, "{1, 2, 3, 4}", true, "", [&] { return a->box[0] == 1 && a->box[2] == 147 && r.rect.bottom == 96; }},
        {text_request_rect, "{1, 2, 3}", false, "1 text_action.request: no rect.bottom", nullptr},
        {text_request_rect, "5", false, "", nullptr},
        {text_request_z, "3", true, "", [&] { return a->z_offset == 3; }},
        {0x50000111, "1", false, "", nullptr},
        {0x50000100, "1", false, "", nullptr},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        EXPECT_EQ(c.handled, request(a, c.code, c.value)) << std::hex << c.code << " " << c.value;
        EXPECT_EQ(std::string(c.line), last_line()) << std::hex << c.code << " " << c.value;
        if (c.check) EXPECT_TRUE(c.check()) << std::hex << c.code << " " << c.value;
    }
}

// A text with timing {2, 2, 10, fade_out}: its state after each step.
TEST_F(text_action_test, RevealRunsFrameByFrameAndThrowsTheFinishEventOnce) {
    boxed_actor("hero", 0, 0, 150, 100);
    make_class("listener_class", 0,
               {{slot_catch, "function(me, ctx, ev) events[#events + 1] = ev end"}});
    set_global_pointer("listener", create(objects->actors.find_class("listener_class")));
    text_action* a = make_text("{16, 400, 'IPAGothic'}");
    ASSERT_TRUE(a);
    run("t:request(0x50000106, {2, 2, 10, 0}) t:request(0x50000107, 77) "
        "t:request(0x50000108, listener) t:request(0x50000102, 'ABC')");
    ASSERT_EQ(text_state_waiting, a->state());
    // Glyph i appears at frame 2i and is whole at 2i + 2.
    std::vector<int> states;
    std::vector<int> shown;
    for (int frame = 0; frame < 30 && a->state() != text_state_finished; ++frame) {
        run("t:step()");
        states.push_back(a->state());
        int n = 0;
        for (const animated_glyph& gl : a->renderer->glyphs)
            n += !gl.line && (gl.face_color >> 24) == 0xFF;
        shown.push_back(n);
    }
    const std::vector<int> expect_shown_first = {0, 1, 1, 2, 2, 3};
    ASSERT_GE(shown.size(), 6u);
    // Step n leaves the counter at n: glyph i is whole from step 2i + 2.
    EXPECT_EQ(expect_shown_first, std::vector<int>(shown.begin(), shown.begin() + 6));
    EXPECT_EQ(text_state_finished, a->state());
    // The states pass waiting, revealing, revealed and on to the end.
    EXPECT_NE(std::find(states.begin(), states.end(), text_state_revealing), states.end());
    EXPECT_EQ(0, number("#events"));
    run("t:step() t:step() t:step()");
    EXPECT_EQ(1, number("#events"));
    EXPECT_EQ(77, number("events[1]"));
    // A new text asks for the event again, once.
    run("t:request(0x50000102) t:request(0x50000103) t:step() t:step()");
    EXPECT_EQ(2, number("#events"));
}

TEST_F(text_action_test, KeysAdvanceTheReveal) {
    boxed_actor("hero", 0, 0, 150, 100);
    text_action* a = make_text("{16, 400, 'IPAGothic'}");
    ASSERT_TRUE(a);
    struct key_case {
        int32_t input, key_a, key_b, value_a, value_b, from, to;
    } cases[] = {
        {0, 30, -1, -1, 0, 5, 6},                         // a fresh release of key A
        {0, 30, -1, int32_t(0x80000000), 0, 5, 5},        // a release taken back
        {0, 30, -1, 3, 0, 5, 5},                          // still held
        {0, -1, 31, 0, 20, 5, 6},                         // key B held 20 frames
        {0, -1, 31, 0, 15, 5, 5},
        {0, 30, 31, 0, 10, 6, 9},                         // A idle, B on a multiple of 10
        {0, 30, -1, -1, 0, 9, 13},                        // closing ends at once (no fade-out time)
        {-1, 30, 31, -1, 20, 5, 5},                       // no input: no keys
        {-1, -1, -1, 0, 0, 8, 9},                         // no input: a revealed text goes on
        {0, -1, -1, 0, 0, 8, 9},                          // an input without keys likewise
        {0, 30, -1, 0, 0, 8, 8},                          // a key that is not pressed waits
        {5, 30, -1, -1, 0, 8, 8},                         // beyond the inputs: no signal
    };
    for (const auto& c : cases) {
        run("t:request(0x50000106, {2, 2, 1000, 8}) t:request(0x50000102, 'AB')");
        a->input_index = c.input;
        a->key_a = c.key_a;
        a->key_b = c.key_b;
        keys()[30] = c.value_a;
        keys()[31] = c.value_b;
        run(("t:request(0x5000010D, " + std::to_string(c.from) + ")").c_str());
        // Closing from state 9 needs every glyph gone: a zero fade-out.
        if (c.from == 9) run("t:request(0x50000106, {2, 2, 1000, 0})");
        run("t:step()");
        EXPECT_EQ(c.to, a->state()) << "input " << c.input << " a " << c.key_a << "=" << c.value_a
                                    << " b " << c.key_b << "=" << c.value_b << " from " << c.from;
    }
}

TEST_F(text_action_test, GlyphsAreDrawnInTheBoxAtTheOwner) {
    actor_object* hero = boxed_actor("hero", 0, 0, 150, 100);
    hero->set_position(20, 30, 0);
    text_action* a = make_text("{16, 400, 'IPAGothic'}");
    ASSERT_TRUE(a);
    run("t:request(0x50000104, 0xFF00FF00) t:request(0x50000102, 'AB') t:step()");
    const RECT at_text{20, 30, 60, 50};
    const RECT elsewhere{70, 60, 160, 120};
    pixels p = draw();
    EXPECT_GT(lit(p, at_text, 0x00FF00), 20);
    EXPECT_EQ(0, lit(p, at_text, 0xFF00FF)) << "only the green of the colour";
    EXPECT_EQ(0, lit(p, elsewhere));
    // Hidden by the script, by visible(false) and by suspension: nothing.
    hero->flags |= actor_hidden_by_script;
    EXPECT_EQ(0, lit(draw(), at_text));
    hero->flags &= ~actor_hidden_by_script;
    run("t:visible(false)");
    EXPECT_EQ(0, lit(draw(), at_text));
    run("t:visible(true)");
    EXPECT_GT(lit(draw(), at_text), 20);
    extend_actions_suspend(hero);
    EXPECT_EQ(0, lit(draw(), at_text));
    extend_actions_resume(hero);
    EXPECT_GT(lit(draw(), at_text), 20);
    // Clear erases the glyphs; set_alpha lays the text out again.
    run("t:request(0x50000101)");
    EXPECT_EQ(0, lit(draw(), at_text));
    run("t:set_alpha(1)");
    EXPECT_GT(lit(draw(), at_text), 20);
    // The layer lets go of the renderer with the action.
    run("t:release()");
    EXPECT_EQ(0, lit(draw(), at_text));
}

TEST_F(text_action_test, NativeActionsKeepTheTextInTheActor) {
    make_class("sign_class", 0,
               {{slot_init, "{'text_init_action', {16, 400, 'IPAGothic', rect = {0, 0, 150, 100}}}"},
                {slot_dead, "'text_dead_action'"},
                {slot_collide, "'text_collide_action'"},
                {slot_catch, "'text_catch_action'"},
                {slot_mode, "'text_action'"}});
    actor_object* sign = create(objects->actors.find_class("sign_class"));
    ASSERT_TRUE(sign);
    ASSERT_EQ(uint32_t(script_value_object), sign->extend.kind);
    auto* a = dynamic_cast<text_action*>(reinterpret_cast<script_value_object_base*>(sign->extend.data));
    ASSERT_TRUE(a);
    EXPECT_EQ(0u, listed()) << "not an extend action of the list";
    lua_pushstring(L, "HI");
    EXPECT_EQ(0, actor_throw_event(sign, text_request_text, nullptr, script_value::stack(lua_gettop(L))));
    lua_pop(L, 1);
    EXPECT_EQ(1, actor_throw_event(sign, 0x50000120, nullptr, script_value{0, 0}));
    int characters = 0;
    for (const animated_glyph& gl : a->renderer->glyphs) characters += !gl.line;
    EXPECT_EQ(2, characters);
    sign->set_position(10, 10, 0);
    EXPECT_EQ(0, frame());
    EXPECT_EQ(10.0f, a->renderer->x);
    EXPECT_GT(lit(draw(), RECT{10, 10, 50, 30}), 10);
    // Death releases the value and with it the drawn text.
    actor_kill(sign);
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0, lit(draw(), RECT{10, 10, 50, 30}));

    // A bad parameter fails the class's slot; a second registration fails.
    log.lines.clear();
    run("bad = {'text_init_action', {16, rect = {1}}}");
    lua_getglobal(L, "bad");
    action_definition d{};
    EXPECT_FALSE(actions_parse(L, &d));
    EXPECT_TRUE(log.has("1 text_action.parse: no text_action.rect.top"));
    EXPECT_FALSE(native_action_register("text_action", actions.get(), nullptr, nullptr));
    EXPECT_TRUE(actions->find_named("text_action")->entry != 0);
}

}  // namespace
