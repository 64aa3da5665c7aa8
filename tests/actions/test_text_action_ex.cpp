// Extended text actions on a real Lua state and device: style and set
// tables with their messages, the phase machine of sets with waits, links
// and reports, and glyphs drawn by phase.
#include "text_fixture.h"
#include "actions/text_action_ex.h"

namespace {

class text_action_ex_test : public text_test {
protected:
    void SetUp() override {
        text_test::SetUp();
        make_class("owner_class", 0,
                   {{slot_catch, "function(me, ctx, ev, v) events[#events + 1] = string.format('%x', ev) end"}});
        hero = create(objects->actors.find_class("owner_class"));
        set_global_pointer("hero", hero);
    }
    text_action_ex* make(const char* params) {
        run((std::string("t = new_text_ex(hero, ") + params + ")").c_str());
        return truth("t ~= nil") ? object_of<text_action_ex>("t") : nullptr;
    }
    text_set* set_of(const char* global) {
        lua_getglobal(L, global);
        void* p = lua_touserdata(L, -1);
        lua_pop(L, 1);
        return static_cast<text_set*>(p);
    }
    std::string events() { return text("table.concat(events, ',')"); }

    actor_object* hero = nullptr;
};

const char* const font16 = "font = {size = 16, face = 'IPAGothic'}";

TEST_F(text_action_ex_test, StyleTablesMakeATextOrLogTheirMessage) {
    struct style_case {
        std::string params;
        const char* line;
    } cases[] = {
        {std::string("{") + font16 + "}", ""},
        {std::string("{") + font16 + ", rect = {0, 0, 100, 50}, format = 0x8000, rotate = 90, scale = 2, "
             "alpha = 0.5, color = {0xFF00FF00}, space = {1, 2}, text = 'AB'}", ""},
        {"{}", "1 text_action_ex.parse: no font"},
        {"{font = true}", "1 text_action_ex.parse: no font"},
        {"{font = 5}", "1 text_action_ex.parse: invalid font"},
        {"{font = {}}", "1 text_action_ex.parse: no font.size"},
        {"{font = {size = 16, weight = 'x'}}", "1 text_action_ex.parse: invalid font.weight"},
        {"{font = {size = 16, face = 3}}", "1 text_action_ex.parse: invalid font.face"},
        {"{font = {size = 16, cache = {}}}", "1 text_action_ex.parse: invalid font.cache"},
        {"{font = {size = 16, flags = 'f'}}", "1 text_action_ex.parse: invalid font.flags"},
        {std::string("{") + font16 + ", rect = 5}", "1 text_action_ex.parse: invalid rect"},
        {std::string("{") + font16 + ", rect = {1, 2, 3}}", "1 text_action_ex.parse: no rect.bottom"},
        {std::string("{") + font16 + ", format = 'x'}", "1 text_action_ex.parse: invalid format"},
        {std::string("{") + font16 + ", rotate = {}}", "1 text_action_ex.parse: invalid rotate"},
        {std::string("{") + font16 + ", scale = 'big'}", "1 text_action_ex.parse: invalid scale"},
        {std::string("{") + font16 + ", alpha = {}}", "1 text_action_ex.parse: invalid alpha"},
        {std::string("{") + font16 + ", color = 1}", "1 text_action_ex.parse: invalid color"},
        {std::string("{") + font16 + ", color = {'x'}}", "1 text_action_ex.parse: invalid color.char"},
        {std::string("{") + font16 + ", color = {1, {}}}", "1 text_action_ex.parse: invalid color.edge"},
        {std::string("{") + font16 + ", space = 1}", "1 text_action_ex.parse: invalid space"},
        {std::string("{") + font16 + ", space = {'x'}}", "1 text_action_ex.parse: invalid space.chars"},
        {std::string("{") + font16 + ", space = {1, 'y'}}", "1 text_action_ex.parse: invalid space.lines"},
        {std::string("{") + font16 + ", text = {}}", "1 text_action_ex.parse: invalid text"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        const size_t before = listed();
        text_action_ex* a = make(c.params.c_str());
        if (*c.line) {
            EXPECT_FALSE(a) << c.params;
            EXPECT_EQ(std::vector<std::string>{c.line}, log.lines) << c.params;
            EXPECT_EQ(before, listed()) << c.params;
            continue;
        }
        ASSERT_TRUE(a) << c.params << " " << (log.lines.empty() ? "" : log.lines.back());
        EXPECT_TRUE(log.lines.empty()) << c.params;
        run("t:release()");
    }
    // The second table's values, and a boolean giving back the creation value.
    text_action_ex* a = make(cases[1].params.c_str());
    ASSERT_TRUE(a);
    EXPECT_EQ(0xFF00FF00u, a->style.face);
    EXPECT_FLOAT_EQ(90 * 0.017453292f, a->style.rotate);
    EXPECT_EQ(1, a->style.chars);
    EXPECT_EQ(2, a->style.lines);
    EXPECT_EQ(2u, a->glyphs.size() - 1);
    run("t:param{color = {0xFF0000FF}, scale = 3} t:param{scale = true}");
    EXPECT_EQ(0xFF0000FFu, a->style.face);
    EXPECT_FLOAT_EQ(2.0f, a->style.scale);
    run("t:param{color = true, rect = {5, 6, 7, 8}}");
    EXPECT_EQ(0xFF00FF00u, a->style.face);
    EXPECT_EQ(7, a->style.rect.right);
    run("t:clear()");
    EXPECT_EQ(100, a->style.rect.right);
    EXPECT_TRUE(a->glyphs.empty());
}

// A font object is taken only when the font manager knows it: another
// pointer is refused, not read as a font.
TEST_F(text_action_ex_test, FontObjectsMustBeFontsOfTheManager) {
    font_handle held = fonts->get_font_handle(L"IPAGothic", 16, 400, 0x3000000, 0);
    ASSERT_TRUE(held.is_valid());
    set_global_pointer("f", held.font());
    text_action_ex* a = make("{font = f}");
    ASSERT_TRUE(a);
    EXPECT_EQ(held.font(), a->style.font.font());
    run("t:release()");
    log.lines.clear();
    EXPECT_FALSE(make("{font = hero}"));
    EXPECT_EQ(std::vector<std::string>{"1 text_action_ex.parse: invalid font"}, log.lines);
}

TEST_F(text_action_ex_test, SetTablesGiveASetOrTheirMessage) {
    ASSERT_TRUE(make((std::string("{") + font16 + "}").c_str()));
    run("first = t:add_set{}");
    ASSERT_TRUE(set_of("first"));
    struct set_case {
        const char* table;
        std::vector<std::string> lines;
        uint32_t format;
    } cases[] = {
        {"{format = 0x400001F}", {}, 0x4000000},
        {"{set = first, format = 0x40 + 0x1000 + 0x100000 + 0x7}", {}, 0x101040},
        {"{effect = {{type = 1, feed = 2, fadein = 0}}}", {}, 0x80000000},
        {"{effect = {{type = 1, fadein = 2, fadeout = 2}, {type = 7, format = 4, actor = hero, event = 9}}}", {}, 0x8000000D},
        {"{state = 'x'}", {"1 text_action_ex.add_set: invalid state"}, 0},
        {"{set = 5}", {"1 text_action_ex.add_set: invalid other set"}, 0},
        {"{set = hero}", {"1 text_action_ex.add_set: invalid other set"}, 0},
        {"{format = 'x'}", {"1 text_action_ex.add_set: invalid format"}, 0},
        {"{wait = 5}", {"1 text_action_ex.add_set: invalid wait"}, 0},
        {"{wait = {1, 'x'}}", {"1 text_action_ex.add_set: invalid wait"}, 0},
        {"{effect = {{}}}", {"1 text_action_ex.add_set: no effect type"}, 0},
        {"{effect = {{type = 6}}}", {"1 text_action_ex.add_set: invalid effect parameter"}, 0},
        {"{effect = {{type = 9}}}", {"1 text_action_ex.add_set: invalid effect parameter"}, 0},
        {"{effect = {{type = 1, feed = 'x'}}}",
         {"1 text_effect_fade.parse: invalid feed", "1 text_action_ex.add_set: invalid effect parameter"}, 0},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        run((std::string("s = t:add_set(") + c.table + ")").c_str());
        text_set* s = set_of("s");
        EXPECT_EQ(c.lines, log.lines) << c.table;
        if (!c.lines.empty()) {
            EXPECT_FALSE(s) << c.table;
            continue;
        }
        ASSERT_TRUE(s) << c.table;
        EXPECT_EQ(c.format, s->format) << std::hex << c.table;
        EXPECT_EQ(hero, s->notify);
    }
}

TEST_F(text_action_ex_test, SetsMoveThroughTheirPhases) {
    ASSERT_TRUE(make((std::string("{") + font16 + ", rect = {0, 0, 150, 100}}").c_str()));
    text_action_ex* a = object_of<text_action_ex>("t");
    run("a = t:add_set{format = 0x40000000} t:add_text('AB') t:end_set() "
        "b = t:add_set{wait = {30}} t:add_text('CD') "
        "c = t:add_set{set = a, format = 0x40} t:end_text()");
    text_set *sa = set_of("a"), *sb = set_of("b"), *sc = set_of("c");
    ASSERT_TRUE(sa && sb && sc);
    // Through phase 3 into 6 in one call, with the last report only.
    run("t:state(a, 2)");
    EXPECT_EQ(6, sa->phase);
    EXPECT_EQ("50000102", events());
    for (int i = 0; i < 5; ++i) run("t:step()");
    EXPECT_EQ(6, sa->phase) << "no effect ends phase 6";
    EXPECT_EQ(4u, a->glyphs[1].state);
    // A wait of 30 frames at the start.
    run("t:state(b, 2)");
    for (int i = 0; i < 30; ++i) run("t:step()");
    EXPECT_EQ(2, sb->phase);
    run("t:step()");
    EXPECT_EQ(6, sb->phase);
    // The linked set leaves phase 1 once the other set shows phase 6.
    run("t:state(a, 1) t:state(c, 1) t:step()");
    EXPECT_EQ(1, sc->phase);
    EXPECT_EQ(1u, a->glyphs[1].state);
    run("t:state(a, 6) t:step()");
    EXPECT_EQ(6, sc->phase);
    // Next phases: 7, 10 and 11 are skipped without waits or fade-out,
    // and the next after 8 does not stall on 9; 13 stays.
    run("events = {} t:state(a)");
    EXPECT_EQ(8, sa->phase);
    run("t:state(a)");
    EXPECT_EQ(12, sa->phase);
    run("t:state(a)");
    EXPECT_EQ(13, sa->phase);
    EXPECT_EQ("50000103,50000105", events());
    // Asked for directly, the effects' phases change nothing.
    run("t:state(a, 9) t:state(a, 4)");
    EXPECT_EQ(13, sa->phase);
    run("t:state(a)");
    EXPECT_EQ(13, sa->phase);
    EXPECT_EQ(12u, a->glyphs[1].state);
    // The overall state: 7 becomes 8 in every set.
    run("t:state(7)");
    EXPECT_EQ(8, sa->phase);
    EXPECT_EQ(8, sb->phase);
    EXPECT_EQ(8, sc->phase);
}

// A fade drives its set through fade-in and fade-out on its own; a notify
// effect reports the phase it watches once.
TEST_F(text_action_ex_test, EffectsRunTheirSetFrameByFrame) {
    ASSERT_TRUE(make((std::string("{") + font16 + ", rect = {0, 0, 150, 100}}").c_str()));
    text_action_ex* a = object_of<text_action_ex>("t");
    run("s = t:add_set{format = 0x40000000, effect = {{type = 1, feed = 1, fadein = 2, fadeout = 2}, "
        "{type = 7, format = 4, actor = hero, event = 100}}} t:add_text('AB') t:end_text()");
    text_set* set = set_of("s");
    ASSERT_TRUE(set);
    ASSERT_EQ(0xC000000Du, set->format);
    run("t:state(s, 2)");
    ASSERT_EQ(3, set->phase);
    EXPECT_EQ("50000101", events());
    // Glyphs start at counters +1 and +2 and are whole two frames later.
    std::vector<int> phases;
    std::vector<float> alpha;
    for (int i = 0; i < 7; ++i) {
        run("t:step()");
        phases.push_back(set->phase);
        alpha.push_back(a->glyphs[2].alpha);
    }
    // The notify effect's bit 0x4 lets phase 6 pass at once; the fade holds
    // phase 8 until the script moves it on.
    EXPECT_EQ((std::vector<int>{3, 3, 3, 3, 6, 8, 8}), phases);
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0.5f, 1, 1, 1}), alpha);
    EXPECT_EQ("50000101,50000102,64,50000103", events()) << "the notify effect's 100 once";
    // The fade-out runs out frame by frame; phase 11 drives no effect bit,
    // so the script ends it.
    run("t:state(s)");
    ASSERT_EQ(11, set->phase);
    alpha.clear();
    for (int i = 0; i < 5; ++i) {
        run("t:step()");
        alpha.push_back(a->glyphs[1].alpha);
    }
    EXPECT_EQ((std::vector<float>{1, 0.5f, 0, 0, 0}), alpha);
    EXPECT_EQ(11, set->phase);
    run("t:state(s)");
    EXPECT_EQ(12, set->phase);
}

TEST_F(text_action_ex_test, GlyphsShowByPhaseAtTheOwner) {
    hero->set_position(20, 30, 0);
    ASSERT_TRUE(make((std::string("{") + font16 + ", rect = {0, 0, 120, 40}, color = {0xFF00FF00}}").c_str()));
    run("s = t:add_set{} t:add_text('AB') t:end_text() t:step()");
    const RECT at_text{20, 30, 60, 50};
    EXPECT_GT(lit(draw(), at_text, 0x00FF00), 20);
    run("t:state(s, 1)");
    EXPECT_EQ(0, lit(draw(), at_text));
    run("t:state(s, 6)");
    EXPECT_GT(lit(draw(), at_text, 0x00FF00), 20);
    run("t:show(false)");
    EXPECT_EQ(0, lit(draw(), at_text));
    run("t:show()");
    EXPECT_GT(lit(draw(), at_text), 20);
    run("t:purge()");
    EXPECT_EQ(0, lit(draw(), at_text));
    run("t:add_text('C') t:end_text()");
    EXPECT_GT(lit(draw(), at_text), 5);
    run("t:release()");
    EXPECT_EQ(0, lit(draw(), at_text));
}

}  // namespace
