// Animated text: times laid out per character, the reveal states and the
// colours on the way, and drawing with the font's edges.
#include "font_fixture.h"
#include "graphics/font_object2.h"
#include "graphics/text.h"

namespace {

class font_object2_test : public font_test {
protected:
    void SetUp() override {
        font_test::SetUp();
        manager_ = std::make_unique<graphic_font_manager>(&g(), L"Z:\\nonexistent\\vy_fonts");
    }
    void TearDown() override {
        manager_.reset();
        font_test::TearDown();
    }

    std::unique_ptr<graphic_font_object2> make(const char* text, uint32_t flags, float delay,
                                               float fade_in, float hold, float fade_out,
                                               uint32_t font_flags = gray8_sjis) {
        auto o = std::make_unique<graphic_font_object2>(&g());
        o->font = manager_->get_font_handle(L"IPAGothic", 16, 400, font_flags, 0);
        o->rect = RECT{0, 0, 150, 100};
        o->text_flags = flags;
        o->set_timing(delay, fade_in, hold, fade_out);
        EXPECT_TRUE(graphic_text_formalizer::layout(*o, text));
        return o;
    }
    static std::vector<const animated_glyph*> glyphs(const graphic_font_object2& o) {
        std::vector<const animated_glyph*> out;
        for (const animated_glyph& g : o.glyphs)
            if (!g.line) out.push_back(&g);
        return out;
    }
    static void run(graphic_font_object2& o, int frames) {
        for (int i = 0; i < frames; ++i) o.update();
    }
    pixels draw(graphic_render_object* o) {
        int32_t id = g().create_render_layer<graphic_alpha_sprite_render_layer>();
        g().set_layer_target(id, nullptr);
        g().attach_render_object(o, id);
        EXPECT_TRUE(g().render());
        delete g().remove_render_layer(id);
        return read_target(g(), g().back_buffer());
    }
    static int lit(const pixels& p, uint32_t mask) {
        int n = 0;
        for (uint32_t c : p.data) n += (c & mask) != 0;
        return n;
    }

    std::unique_ptr<graphic_font_manager> manager_;
};

TEST_F(font_object2_test, TimesFollowTheDelayAndPunctuation) {
    struct time_case {
        const char* text;
        uint32_t flags;
        std::vector<float> appear, hide;
    } cases[] = {
        {"ABC", 0, {0, 2, 4}, {5242880, 5242882, 5242884}},
        {"A\x81\x41" "B", 0, {0, 2, 8}, {5242880, 5242882, 5242884}},  // 3 delays after a comma
        {"A\x81\x42" "B", 0, {0, 2, 12}, {5242880, 5242882, 5242884}}, // 5 after a full stop
        {"A\x81\x40" "B", 0, {0, 4}, {5242880, 5242884}},              // a full-width space waits too
        {"A B", 0, {0, 2}, {5242880, 5242882}},                        // a space does not
        {"ABC", reveal_all_at_once | reveal_hide_at_once, {0, 0, 0}, {5242880, 5242880, 5242880}},
        {"AB", 1u << reveal_mode_shift, {0, 2}, {11, 13}},             // mode 1: hold after shown
    };
    for (auto& c : cases) {
        auto o = make(c.text, c.flags, 2, 1, 10, 3);
        auto gs = glyphs(*o);
        ASSERT_EQ(gs.size(), c.appear.size()) << c.text;
        for (size_t i = 0; i < gs.size(); ++i) {
            EXPECT_EQ(gs[i]->appear, c.appear[i]) << c.text << " #" << i;
            EXPECT_EQ(gs[i]->shown, c.appear[i] + 1) << c.text << " #" << i;
            EXPECT_EQ(gs[i]->hide, c.hide[i]) << c.text << " #" << i;
            EXPECT_EQ(gs[i]->gone, c.hide[i] + 3) << c.text << " #" << i;
        }
        EXPECT_EQ(o->state, reveal_revealing);
        EXPECT_EQ(o->counter, 0);
    }
    auto o = make("AB\x81\x40" "C", reveal_hold_per_glyph, 2, 1, 10, 3);
    EXPECT_EQ(o->total_time, 4194304.0f + 4 * 10);
    o = make("ABC", 0, 2, 1, 10, 3);
    EXPECT_EQ(o->total_time, 4194304.0f + 10);
}

TEST_F(font_object2_test, RevealHoldAndHideGoThroughTheirStates) {
    auto o = make("ABC", 0, 2, 2, 10, 2);
    o->set_alpha(1.0f, 0.0f);
    auto gs = glyphs(*o);
    EXPECT_EQ(gs[0]->face_color, 0x00FFFFFFu);  // animated texts start hidden
    run(*o, 1);                                  // counter 1: A half way in
    EXPECT_EQ(gs[0]->face_color >> 24, 128u);
    EXPECT_EQ(gs[1]->face_color >> 24, 0u);
    run(*o, 1);
    EXPECT_EQ(gs[0]->face_color, 0xFFFFFFFFu);
    EXPECT_EQ(gs[0]->edge_color, 0xFF000000u);
    run(*o, 3);                                  // counter 5: C half way
    EXPECT_EQ(o->state, reveal_revealing);
    EXPECT_EQ(gs[2]->face_color >> 24, 128u);
    run(*o, 1);                                  // every glyph shown
    EXPECT_EQ(o->state, reveal_shown);
    EXPECT_EQ(o->counter, 4194304);
    run(*o, 9);
    EXPECT_EQ(o->state, reveal_shown);
    run(*o, 1);                                  // the hold is over
    EXPECT_EQ(o->state, reveal_holding);
    run(*o, 50);                                 // holding waits for the caller
    EXPECT_EQ(o->state, reveal_holding);
    o->set_state(4);
    EXPECT_EQ(o->state, reveal_hiding);
    run(*o, 2);                                  // 5242881: A half way out
    EXPECT_EQ(gs[0]->face_color >> 24, 128u);
    EXPECT_EQ(gs[2]->face_color >> 24, 255u);
    run(*o, 4);
    EXPECT_EQ(o->state, reveal_hiding);
    run(*o, 1);                                  // 5242886: C gone too
    EXPECT_EQ(o->state, reveal_idle);
    EXPECT_EQ(o->counter, 0x7FFFFFFF);
    for (auto* g : gs) EXPECT_EQ(g->face_color, 0x00FFFFFFu);
}

TEST_F(font_object2_test, ModesDecideWhatFollowsTheReveal) {
    // Mode 3 hides by itself once the hold is over.
    auto o = make("AB", 3u << reveal_mode_shift, 1, 1, 5, 1);
    run(*o, 3);
    EXPECT_EQ(o->state, reveal_shown);
    run(*o, 4);
    EXPECT_EQ(o->state, reveal_hiding);
    EXPECT_EQ(o->counter, 0x500000);
    run(*o, 4);
    EXPECT_EQ(o->state, reveal_idle);
    // Mode 1: each glyph goes a hold after it came, and the reveal stays.
    o = make("AB", 1u << reveal_mode_shift, 1, 1, 5, 1);
    auto gs = glyphs(*o);
    run(*o, 3);
    EXPECT_EQ(o->state, reveal_revealing);
    EXPECT_EQ(gs[0]->face_color >> 24, 255u);
    run(*o, 5);  // counter 8: A gone (hide 6, gone 7), B on its way out
    EXPECT_EQ(gs[0]->face_color >> 24, 0u);
    EXPECT_EQ(o->state, reveal_revealing);
    // Glyphs that never fade out stay when the text is told to end.
    o = make("AB", reveal_no_fade_out, 1, 1, 5, 1);
    o->set_state(1);
    o->set_state(7);
    run(*o, 1);
    EXPECT_EQ(o->state, reveal_idle);
    for (auto* g : glyphs(*o)) EXPECT_EQ(g->face_color >> 24, 255u);
}

TEST_F(font_object2_test, SetStateJumpsAndRestarts) {
    auto o = make("ABCD", 0, 10, 10, 10, 10);
    auto gs = glyphs(*o);
    o->set_state(1);  // end of the reveal: everything shows at once
    EXPECT_EQ(o->state, reveal_shown);
    for (auto* g : gs) EXPECT_EQ(g->face_color >> 24, 255u);
    // A restart hides the later glyphs again, however far they had come.
    o->set_state(0);
    EXPECT_EQ(o->counter, -1);
    run(*o, 1);
    EXPECT_EQ(o->state, reveal_revealing);
    EXPECT_EQ(gs[0]->face_color >> 24, 0u);
    EXPECT_EQ(gs[3]->face_color >> 24, 0u);
    o->set_state(3);
    EXPECT_EQ(o->state, reveal_holding);
    for (auto* g : gs) EXPECT_EQ(g->face_color >> 24, 255u);
    for (int code : {2, 5, 6}) {
        o->set_state(code);
        EXPECT_EQ(o->state, reveal_holding) << code;
    }
    o->set_state(7);
    run(*o, 1);
    EXPECT_EQ(o->state, reveal_idle);
    for (auto* g : gs) EXPECT_EQ(g->face_color >> 24, 0u);
    o->set_state(8);
    EXPECT_EQ(o->counter, 0x7FFFFFFF);
    // Without timings the text is simply shown.
    o = make("AB", 0, 0, 0, 0, 0);
    EXPECT_FALSE(o->animated);
    EXPECT_EQ(o->state, reveal_shown);
    EXPECT_EQ(o->counter, 4194304);
    run(*o, 3);
    EXPECT_EQ(o->counter, 4194304);
    EXPECT_EQ(glyphs(*o)[0]->face_color, 0xFFFFFFFFu);
    o->set_state(4);
    EXPECT_EQ(o->state, reveal_idle);
}

TEST_F(font_object2_test, AlphaSetsBothEndsFromTheShownColours) {
    graphic_font_object2 o(&g());
    o.shown_face = 0xFF123456;
    o.shown_edge = 0xFF654321;
    o.set_alpha(0.5f, 0.25f);
    EXPECT_EQ(o.shown_face, 0x80123456u);
    EXPECT_EQ(o.shown_edge, 0x80654321u);
    EXPECT_EQ(o.hidden_face, 0x40123456u);
    EXPECT_EQ(o.hidden_edge, 0x40654321u);
}

TEST_F(font_object2_test, EdgesNeedAnEdgeFontAndTheEdgeFlag) {
    struct edge_case {
        uint32_t font_flags, text_flags;
        bool edges;
    } cases[] = {
        {gray8_sjis | font_flag_edge, 0x4000, true},
        {gray8_sjis, 0x4000, false},
        {gray8_sjis | font_flag_edge, 0, false},
    };
    for (auto& c : cases) {
        auto o = make("I", c.text_flags, 0, 0, 0, 0, c.font_flags);
        o->shown_face = 0xFF0000FF;
        o->shown_edge = 0xFFFF0000;
        graphic_text_formalizer::layout(*o, "I");
        o->x = 30;
        o->y = 30;
        pixels p = draw(o.get());
        EXPECT_GT(lit(p, 0xFF), 10);
        EXPECT_EQ(lit(p, 0xFF0000) > 10, c.edges) << std::hex << c.font_flags << " " << c.text_flags;
    }
}

TEST_F(font_object2_test, OnlyRevealedGlyphsDraw) {
    auto o = make("AB", 0, 100, 1, 10, 1);
    o->set_alpha(1.0f, 0.0f);
    EXPECT_EQ(lit(draw(o.get()), 0xFFFFFF), 0);
    run(*o, 1);  // A shown, B far off
    pixels p = draw(o.get());
    int left = 0, right = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            if (p.at(x, y) & 0xFFFFFF) (x < 8 ? left : right)++;
    EXPECT_GT(left, 10);
    EXPECT_EQ(right, 0);
    o->text();
    EXPECT_TRUE(o->glyphs.empty());
    EXPECT_EQ(lit(draw(o.get()), 0xFFFFFF), 0);
}

}  // namespace
