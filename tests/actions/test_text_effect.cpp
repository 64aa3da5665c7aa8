// Text effects on a real Lua state: effect tables with their messages and
// masks, and the fade, shake, alpha and notify effects frame by frame on a
// glyph list.
#include <memory>
#include <string>

#include "actions/text_effect.h"
#include "actions_fixture.h"

namespace {

class text_effect_test : public actions_test {
protected:
    // The effect of the type from a Lua table expression.
    std::unique_ptr<text_effect> make(int32_t type, const char* table, uint32_t& set_format) {
        std::string chunk = std::string("return ") + table;
        EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        const int top = lua_gettop(L);
        std::unique_ptr<text_effect> e(text_effect_create(set_format, L, -1, type));
        EXPECT_EQ(top, lua_gettop(L)) << table;
        lua_pop(L, 1);
        return e;
    }
    template <class E>
    E* make_as(int32_t type, const char* table, std::unique_ptr<text_effect>& keep) {
        uint32_t f = 0;
        keep = make(type, table, f);
        return dynamic_cast<E*>(keep.get());
    }
    // Shown glyphs at x = 10 * i, y = 20, alpha 1; the third is not shown.
    static glyph_record_list glyphs(int count, uint32_t state = 4) {
        glyph_record_list list;
        for (int i = 0; i < count; ++i) {
            glyph_record g{};
            g.code = 'A' + i;
            g.state = i == 2 ? 0 : state;
            g.x = 10.0f * i;
            g.y = 20.0f;
            g.alpha = 1.0f;
            list.push_back(g);
        }
        return list;
    }
};

TEST_F(text_effect_test, EffectTablesGiveAnEffectOrTheirMessage) {
    plain_actor("a");
    struct effect_case {
        int32_t type;
        const char* table;
        const char* line;  // empty: created (or, with mask -1, nothing and no line)
        int32_t mask;
    } cases[] = {
        {1, "{feed = 2, fadein = 0}", "", 0x0},        // neither fade-in nor fade-out
        {1, "{feed = 2, fadein = 4}", "", 0x1},
        {1, "{feed = 2, fadein = 4, fadeout = '3'}", "", 0x9},
        {1, "{format = 1, fadein = 4, fadeout = 3}", "", 0x8},
        {1, "{format = {}}", "1 text_effect_fade.parse: invalid format", 0},
        {1, "{feed = 'x'}", "1 text_effect_fade.parse: invalid feed", 0},
        {1, "{fadein = true}", "1 text_effect_fade.parse: invalid fadein", 0},
        {1, "{fadeout = {}}", "1 text_effect_fade.parse: invalid fadeout", 0},
        {1, "{wait = 'w'}", "1 text_effect_fade.parse: invalid wait", 0},
        {1, "{alpha = false}", "1 text_effect_fade.parse: invalid alpha", 0},
        {2, "{speed = {1, 1}, bound = {-2, -2, 2, 2}}", "", 3},
        {2, "{bound = {-2, -2, 2, 2}}", "1 text_effect_fade.parse: no speed", 0},
        {2, "{speed = {1}, bound = {-2, -2, 2, 2}}", "1 text_effect_fade.parse: invalid speed.y", 0},
        {2, "{speed = {'x', 1}, bound = {-2, -2, 2, 2}}", "1 text_effect_fade.parse: invalid speed.x", 0},
        {2, "{speed = {1, 1}}", "1 text_effect_fade.parse: no bound", 0},
        {2, "{speed = {1, 1}, bound = {0, 0, 0}}", "1 text_effect_fade.parse: invalid bound.bottom", 0},
        {2, "{speed = {1, 1}, bound = {0, 'x', 0, 0}}", "1 text_effect_fade.parse: invalid bound.top", 0},
        {3, "{speed = 0.1, range = {0.2, 1}}", "", 3},
        {4, "{speed = 0.1, range = {0.2, 1}}", "", 3},
        {5, "{speed = 0.1, range = {0.2, 1}}", "", 3},
        {3, "{range = {0.2, 1}}", "1 text_effect_alpha.parse: no speed", 0},
        {3, "{speed = 1}", "1 text_effect_alpha.parse: no range", 0},
        {3, "{speed = 1, range = {1}}", "1 text_effect_alpha.parse: invalid range.y", 0},
        {3, "{speed = 1, range = 4}", "1 text_effect_alpha.parse: no range", 0},
        {7, "{format = 0x14, actor = a, event = 100}", "", 0x4},
        {7, "{format = 0x1F, actor = a, event = 100}", "", 0xF},
        {7, "{actor = a, event = 1}", "1 text_effect_notify.parse: no format", 0},
        {7, "{format = 4, event = 1}", "1 text_effect_notify.parse: no actor", 0},
        {7, "{format = 4, actor = 'nobody', event = 1}", "1 text_effect_notify.parse: no actor", 0},
        {7, "{format = 4, actor = a}", "1 text_effect_notify.parse: no event", 0},
        {6, "{speed = 0.1, range = {0.2, 1}}", "", -1},
        {9, "{}", "", -1},
        {0, "{}", "", -1},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        uint32_t set_format = 0x40000000;
        auto e = make(c.type, c.table, set_format);
        const std::string what = std::to_string(c.type) + " " + c.table;
        if (*c.line || c.mask < 0) {
            EXPECT_FALSE(e) << what;
            EXPECT_EQ(0x40000000u, set_format) << what;
            if (*c.line) {
                EXPECT_EQ(std::vector<std::string>{c.line}, log.lines) << what;
            } else {
                EXPECT_TRUE(log.lines.empty()) << what;
            }
            continue;
        }
        ASSERT_TRUE(e) << what << " " << (log.lines.empty() ? "" : log.lines.back());
        EXPECT_EQ(uint32_t(c.mask), e->mask()) << what;
        EXPECT_EQ(c.type == 1 ? 0xC0000000u : 0x40000000u, set_format) << what;
    }
}

TEST_F(text_effect_test, FadeRevealsAndHidesCharactersOneAfterAnother) {
    std::unique_ptr<text_effect> keep;
    auto* fade = make_as<text_effect_fade>(1, "{feed = 2, fadein = 4, fadeout = 2, alpha = 0}", keep);
    ASSERT_TRUE(fade);
    glyph_record_list list = glyphs(4, 8);
    list[3].alpha = 0.5f;  // the target is each glyph's own alpha
    fade->schedule(list, 0, list.size());
    ASSERT_EQ(3u, fade->plan.size()) << "the glyph that is not shown has no record";
    struct frame_case {
        int32_t phase, counter;
        bool busy;
        uint32_t state[4];
        float alpha[4];
    } frames[] = {
        {3, 0x100000, true, {1, 1, 0, 1}, {0, 0, 1, 0}},
        {3, 0x100004, true, {3, 3, 0, 1}, {0.5f, 0, 1, 0}},
        {3, 0x100008, true, {4, 4, 0, 3}, {1, 1, 1, 0.25f}},
        {4, 0x100010, false, {4, 4, 0, 4}, {1, 1, 1, 0.5f}},
        {8, 0x900000, true, {8, 8, 0, 8}, {1, 1, 1, 0.5f}},
        {11, 0xD00001, true, {11, 8, 0, 8}, {0.5f, 1, 1, 0.5f}},
        {11, 0xD00003, true, {11, 11, 0, 8}, {0, 0.5f, 1, 0.5f}},
        {11, 0xD00010, false, {11, 11, 0, 11}, {0, 0, 1, 0}},
        {12, 0xFFFFFF, false, {12, 12, 0, 12}, {0, 0, 1, 0}},
    };
    for (const auto& f : frames) {
        EXPECT_EQ(f.busy, fade->step(list, f.phase, f.counter)) << std::hex << f.counter;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(f.state[i], list[i].state) << std::hex << f.counter << " glyph " << i;
            EXPECT_FLOAT_EQ(f.alpha[i], list[i].alpha) << std::hex << f.counter << " glyph " << i;
        }
    }
}

TEST_F(text_effect_test, FadeWithoutFadeOutKeepsItsCharacters) {
    std::unique_ptr<text_effect> keep;
    auto* fade = make_as<text_effect_fade>(1, "{fadein = 2}", keep);
    ASSERT_TRUE(fade);
    glyph_record_list list = glyphs(2, 8);
    fade->schedule(list, 0, list.size());
    // Counters from the fade-in through the end of the set.
    for (int32_t counter : {0x100002, 0x400000, 0x900000, 0xD00000, 0xFFFFFF}) {
        fade->step(list, counter >= 0xD00000 ? 11 : 8, counter);
        EXPECT_FLOAT_EQ(1.0f, list[0].alpha) << std::hex << counter;
        EXPECT_EQ(8u, list[0].state) << std::hex << counter;
    }
}

TEST_F(text_effect_test, ShakeMovesBetweenItsBoundsAndComesHome) {
    std::unique_ptr<text_effect> keep;
    auto* shake = make_as<text_effect_shake>(2, "{speed = {1, 2}, bound = {-2, -4, 2, 4}}", keep);
    ASSERT_TRUE(shake);
    glyph_record_list list = glyphs(2);
    shake->schedule(list, 0, 2);
    struct frame_case {
        int32_t phase;
        bool busy;
        float x, y;  // of glyph 1 (home 10, 20)
    } frames[] = {
        {4, true, 9, 18},  {4, true, 8, 16}, {4, true, 9, 18},   {3, false, 10, 20},
        {6, true, 11, 22}, {6, true, 12, 24}, {8, false, 11, 22}, {8, false, 10, 20},
        {9, false, 10, 20},
    };
    for (const auto& f : frames) {
        EXPECT_EQ(f.busy, shake->step(list, f.phase, 0)) << f.phase;
        EXPECT_FLOAT_EQ(f.x, list[1].x) << f.phase;
        EXPECT_FLOAT_EQ(f.y, list[1].y) << f.phase;
    }
    // A glyph past state 7 stays at home while the others shake.
    list[0].state = 11;
    shake->step(list, 4, 0);
    EXPECT_FLOAT_EQ(0.0f, list[0].x);
    EXPECT_FLOAT_EQ(20.0f, list[0].y);
    // Random targets stay inside the bounds.
    std::unique_ptr<text_effect> keep2;
    auto* wild = make_as<text_effect_shake>(2, "{format = 0x40004, speed = {0.5, 0.5}, bound = {-2, -4, 2, 4}}", keep2);
    ASSERT_TRUE(wild);
    list = glyphs(2);
    wild->schedule(list, 0, 2);
    for (int i = 0; i < 200; ++i) {
        wild->step(list, 4, 0);
        ASSERT_GE(list[1].x, 8.0f);
        ASSERT_LE(list[1].x, 12.0f);
        ASSERT_GE(list[1].y, 16.0f);
        ASSERT_LE(list[1].y, 24.0f);
    }
}

TEST_F(text_effect_test, AlphaPulsesAndReturns) {
    std::unique_ptr<text_effect> keep;
    auto* pulse = make_as<text_effect_alpha>(3, "{speed = 0.25, range = {0.5, 1}}", keep);
    ASSERT_TRUE(pulse);
    glyph_record_list list = glyphs(1);
    pulse->schedule(list, 0, 1);
    const float expected[] = {0.75f, 0.5f, 0.75f, 1.0f, 0.75f};
    for (float a : expected) {
        EXPECT_TRUE(pulse->step(list, 4, 0));
        EXPECT_FLOAT_EQ(a, list[0].alpha);
    }
    EXPECT_FALSE(pulse->step(list, 8, 0));
    EXPECT_FLOAT_EQ(1.0f, list[0].alpha);
    // Bit 0x2 starts toward the top of the range.
    std::unique_ptr<text_effect> keep2;
    auto* up = make_as<text_effect_alpha>(4, "{format = 2, speed = 0.25, range = {0, 0.5}}", keep2);
    list = glyphs(1);
    list[0].alpha = 0.0f;
    up->schedule(list, 0, 1);
    up->step(list, 4, 0);
    up->step(list, 4, 0);
    up->step(list, 4, 0);
    EXPECT_FLOAT_EQ(0.25f, list[0].alpha);
}

TEST_F(text_effect_test, NotifyThrowsOncePerPhaseItWatches) {
    make_class("watcher_class", 0,
               {{slot_catch, "function(me, ctx, ev) events[#events + 1] = ev end"}});
    set_global_pointer("w", create(objects->actors.find_class("watcher_class")));
    struct notify_case {
        const char* table;
        std::vector<int32_t> phases;
        int events;
    } cases[] = {
        {"{format = 0x4, actor = w, event = 100}", {3, 4, 6, 6, 6, 8}, 1},
        {"{format = 0x9, actor = w, event = 100}", {2, 3, 3, 4, 6, 8, 8, 9}, 2},
        {"{format = 0x10, actor = w, event = 100}", {8, 9, 10, 9}, 2},
        {"{format = 0x1F, actor = w, event = 100}", {0, 1, 2, 5, 7, 10, 11, 12, 13}, 0},
    };
    for (const auto& c : cases) {
        run("events = {}");
        std::unique_ptr<text_effect> keep;
        auto* notify = make_as<text_effect_notify>(7, c.table, keep);
        ASSERT_TRUE(notify) << c.table;
        glyph_record_list list;
        for (int32_t p : c.phases) EXPECT_FALSE(notify->step(list, p, 0));
        EXPECT_EQ(c.events, number("#events")) << c.table;
        if (c.events) EXPECT_EQ(100, number("events[1]"));
    }
}

}  // namespace
