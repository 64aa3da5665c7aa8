// Text draw actions on a real Lua state and device: style tables and their
// messages, the box, characters placed and wrapped, runs fading in and out,
// and the glyphs drawn at the owner.
#include "text_fixture.h"
#include "actions/text_draw_action.h"

namespace {

class text_draw_test : public text_test {
protected:
    void SetUp() override {
        text_test::SetUp();
        hero = boxed_actor("hero", 0, 0, 100, 50);
        run("F16 = {size = 16, face = 'IPAGothic'}");
    }
    text_draw_action* make(const char* params) {
        run((std::string("t = new_textdraw(hero, ") + params + ")").c_str());
        return truth("t ~= nil") ? object_of<text_draw_action>("t") : nullptr;
    }
    actor_object* hero = nullptr;
};

TEST_F(text_draw_test, StyleTablesMakeATextOrLogTheirMessage) {
    struct style_case {
        const char* params;
        const char* line;  // empty: made
    } cases[] = {
        {"{font = F16}", ""},
        {"{font = F16, rect = {1, 2, 3, 4, true}, space = {1, 2}, position = {5, 6}, rotate = 90, "
         "scale = 2, alpha = 0.5, color = {1, 2, 3}, fade = {1, 2, 3, 0.25, 0.75}}", ""},
        {"{font = F16, color = 0xFF00FF00, fade = {fadein = 4, done = 9}}", ""},
        {"{font = 5}", "1 text_action_ex.parse: invalid font"},
        {"{font = {}}", "1 text_action_ex.parse: no font.size"},
        {"{font = {size = 16, face = 3}}", "1 text_action_ex.parse: invalid font.face"},
        {"{rect = 1}", "1 text_action_ex.parse: invalid rect"},
        {"{rect = {1, 2, 3}}", "1 text_action_ex.parse: no rect.bottom"},
        {"{rect = {'a'}}", "1 text_action_ex.parse: no rect.left"},
        {"{rect = {1, 2, 3, 4, 5}}", "1 text_action_ex.parse: invalid rect.attribute"},
        {"{space = 1}", "1 text_action_ex.parse: invalid space"},
        {"{space = {'x'}}", "1 text_action_ex.parse: invalid space.chars"},
        {"{space = {1, {}}}", "1 text_action_ex.parse: invalid space.lines"},
        {"{position = 1}", "1 text_action_ex.parse: invalid position"},
        {"{position = {}}", "1 text_action_ex.parse: invalid position.x"},
        {"{position = {1}}", "1 text_action_ex.parse: invalid position.y"},
        {"{rotate = {}}", "1 text_action_ex.parse: invalid rotate"},
        {"{scale = 'big'}", "1 text_action_ex.parse: invalid scale"},
        {"{alpha = {}}", "1 text_action_ex.parse: invalid alpha"},
        {"{color = 'red'}", "1 text_action_ex.parse: invalid color"},
        {"{color = {'x'}}", "1 text_action_ex.parse: invalid color.char"},
        {"{color = {1, {}}}", "1 text_action_ex.parse: invalid color.edge"},
        {"{color = {1, 2, 'z'}}", "1 text_action_ex.parse: invalid color.shadow"},
        {"{fade = 3}", "1 text_action_ex.parse: invalid fade"},
        {"{fade = {'a'}}", "1 text_action_ex.parse: invalid fade.fadein"},
        {"{fade = {1, 'b'}}", "1 text_action_ex.parse: invalid fade.fadeout"},
        {"{fade = {1, 2, 'c'}}", "1 text_action_ex.parse: invalid fade.done"},
        {"{fade = {1, 2, 3, 'd'}}", "1 text_action_ex.parse: invalid fade.min_alpha"},
        {"{fade = {1, 2, 3, 0, 'e'}}", "1 text_action_ex.parse: invalid fade.max_alpha"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        const size_t before = listed();
        text_draw_action* a = make(c.params);
        if (*c.line) {
            EXPECT_FALSE(a) << c.params;
            EXPECT_EQ(std::vector<std::string>{c.line}, log.lines) << c.params;
            EXPECT_EQ(before, listed()) << c.params;
            // The same table to set logs the same line and leaves the style.
            ASSERT_TRUE(make("{font = F16}"));
            log.lines.clear();
            run((std::string("r = t:set(") + c.params + ")").c_str());
            EXPECT_EQ(std::vector<std::string>{c.line}, log.lines) << c.params;
            EXPECT_TRUE(truth("r == nil"));
            run("t:release()");
            continue;
        }
        ASSERT_TRUE(a) << c.params << " " << (log.lines.empty() ? "" : log.lines.back());
        EXPECT_TRUE(log.lines.empty()) << c.params;
        run("t:release()");
    }
    text_draw_action* a = make(cases[1].params);
    ASSERT_TRUE(a);
    EXPECT_EQ(2.0f, a->style.scale_x);
    EXPECT_EQ(3u, a->style.shadow);
    EXPECT_EQ(0.75f, a->style.max_alpha);
    EXPECT_EQ(3, a->style.done);
    EXPECT_EQ(1.0f, a->cursor[0]) << "a new text starts at the box origin";
}

TEST_F(text_draw_test, TheBoxIsInsetFromTheClassBoxUnlessTakenAsIs) {
    text_draw_action* a = make("{font = F16, rect = {10, 10, 10, 10}}");
    ASSERT_TRUE(a);
    EXPECT_EQ((std::vector<int32_t>{10, 10, 90, 40}), std::vector<int32_t>(a->box, a->box + 4));
    run("t:rect{10, 10, 10, 10, true}");
    EXPECT_EQ((std::vector<int32_t>{10, 10, 10, 10}), std::vector<int32_t>(a->box, a->box + 4));
    run("t:rect{left = 0, top = 0, right = 5, bottom = 5}");
    EXPECT_EQ((std::vector<int32_t>{0, 0, 95, 45}), std::vector<int32_t>(a->box, a->box + 4));
    // No rect at all: the class box itself.
    a = make("{font = F16}");
    ASSERT_TRUE(a);
    EXPECT_EQ((std::vector<int32_t>{0, 0, 100, 50}), std::vector<int32_t>(a->box, a->box + 4));
}

TEST_F(text_draw_test, CharactersArePlacedLineByLineAndWrapAtTheBox) {
    text_draw_action* a = make("{font = F16, rect = {4, 2, 4, 2}}");
    ASSERT_TRUE(a);
    run("t:set('A\\nB')");
    ASSERT_EQ(2u, a->glyphs.size());
    const glyph_record& A = a->glyphs[0];
    const glyph_record& B = a->glyphs[1];
    EXPECT_EQ(4.0f, A.x);
    EXPECT_EQ(2.0f, A.y);
    EXPECT_EQ(4.0f, B.x) << "a new line starts at the box's left edge";
    EXPECT_GT(B.y, A.y + 8.0f);
    // One character's advance, and the code back when a style was given.
    run("t:clear() w = t:set(0x41) c = t:set(0x42, {color = 0xFF0000FF})");
    EXPECT_GT(number("w"), 4);
    EXPECT_EQ(0x42, number("c"));
    ASSERT_EQ(2u, a->glyphs.size());
    EXPECT_EQ(0xFF0000FFu, a->glyphs[1].face_color);
    EXPECT_EQ(0xFFFFFFFFu, a->style.face) << "a call's own style is not kept";
    EXPECT_EQ(float(4 + number("w")), a->glyphs[1].x);
    // A line of W's fills the 92-pixel box and goes on below, each line
    // starting at the left edge and none passing the right one.
    run("t:clear() t:set('WWWWWWWWWWWWWWWW')");
    ASSERT_EQ(16u, a->glyphs.size());
    int lines = 1;
    for (size_t i = 1; i < a->glyphs.size(); ++i) {
        if (a->glyphs[i].y > a->glyphs[i - 1].y) {
            ++lines;
            EXPECT_EQ(4.0f, a->glyphs[i].x);
        }
    }
    EXPECT_GE(lines, 2);
    graphic_glyph w{};
    ASSERT_TRUE(a->glyphs[0].font.font()->get_char('W', w));
    for (const glyph_record& r : a->glyphs) EXPECT_LE(r.x + float(w.advance), 96.0f);
    // A position in the call's style moves the cursor there first.
    run("t:clear() t:set('C', {position = {30, 20}})");
    ASSERT_EQ(1u, a->glyphs.size());
    EXPECT_EQ(30.0f, a->glyphs[0].x);
    EXPECT_EQ(20.0f, a->glyphs[0].y);
}

TEST_F(text_draw_test, RunsFadeInHoldAndFadeOutFrameByFrame) {
    text_draw_action* a = make("{font = F16, fade = {fadein = 4, fadeout = 2, done = 3, min_alpha = 0, max_alpha = 1}}");
    ASSERT_TRUE(a);
    EXPECT_EQ(14, number("t:state()"));
    run("t:set('AB') t:set('C', {fade = {fadein = 0, fadeout = 0, done = 0}})");
    ASSERT_EQ(2u, a->runs.size());
    EXPECT_EQ(5, number("t:state(1)"));
    EXPECT_EQ(8, number("t:state(2)")) << "no fade-in shows at once";
    EXPECT_EQ(5, number("t:state()"));
    std::vector<float> alphas;
    std::vector<int> states;
    for (int i = 0; i < 10; ++i) {
        states.push_back(int(number("t:step()")));
        alphas.push_back(a->glyphs[0].alpha);
    }
    // In by quarters, shown for 3 steps, out by halves, then gone.
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 0.75f, 1, 1, 1, 1, 0.5f, 0, 0}), alphas);
    EXPECT_EQ(a->glyphs[0].alpha, a->glyphs[1].alpha) << "a run fades as one";
    EXPECT_EQ(12, number("t:state(1)"));
    EXPECT_EQ(8, number("t:state(2)")) << "a run without done stays";
    EXPECT_EQ(8, number("t:state()")) << "the lowest of the runs";
    // Put back by hand: one run, then all.
    run("t:set_state(1, 8)");
    EXPECT_EQ(8, number("t:state(1)"));
    EXPECT_EQ(1.0f, a->glyphs[0].alpha);
    run("t:set_state(9)");
    EXPECT_EQ(9, number("t:state(1)"));
    EXPECT_EQ(12, number("t:state(2)")) << "no fade-out ends at once";
    run("t:set_state(77)");
    EXPECT_EQ(12, number("t:state()"));
    run("t:clear()");
    EXPECT_EQ(14, number("t:state()"));
}

TEST_F(text_draw_test, GlyphsAreDrawnAtTheOwnerWhileShown) {
    hero->set_position(40, 30, 0);
    text_draw_action* a = make("{font = {size = 24, face = 'IPAGothic'}, rect = {0, 0, 0, 0}}");
    ASSERT_TRUE(a);
    run("t:set('WW') t:step()");
    const pixels shown = draw();
    EXPECT_GT(lit(shown, RECT{40, 30, 100, 70}), 20);
    EXPECT_EQ(0, lit(shown, RECT{0, 0, 38, 120}));
    EXPECT_EQ(0, lit(shown, RECT{110, 0, 160, 120}));
    run("t:visible(false)");
    EXPECT_EQ(0, lit(draw(), RECT{0, 0, 160, 120}));
    run("t:visible(true) t:set_state(12)");
    EXPECT_EQ(0, lit(draw(), RECT{0, 0, 160, 120})) << "a gone run is drawn at its minimum alpha";
    run("t:release()");
    EXPECT_EQ(0, lit(draw(), RECT{0, 0, 160, 120}));
}

}  // namespace
