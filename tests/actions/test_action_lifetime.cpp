// Actions released, cleared or orphaned by the very handlers they call: the
// action goes when its own update ends, the update stops touching it, and
// nothing it still draws loses its font. Also the owner an action refers to
// while that owner is still being started.
#include <cstring>

#include "text_fixture.h"
#include "actions/text_action_ex.h"
#include "world/actor_manager.h"
#include "world/live_objects.h"

namespace {

class action_lifetime_test : public text_test {
protected:
    void SetUp() override {
        text_test::SetUp();
        // The handler runs once, on the first event the owner catches.
        make_class("owner_class", 0,
                   {{slot_catch, "function(me, ctx, ev) events[#events + 1] = ev "
                                 "if handler then local h = handler handler = nil h() end end"}});
        hero = create(objects->actors.find_class("owner_class"));
        set_global_pointer("hero", hero);
        run("F16 = {size = 16, face = 'IPAGothic'}");
    }

    actor_object* hero = nullptr;
};

// What the handler does to the action or its owner.
const char* const handlers[] = {
    "function() t:release() end",
    "function() actors.kill(hero) end",
    "function() t:release() actors.kill(hero) end",
};

struct lifetime_case {
    const char* kind;
    const char* setup;    // makes t and arms it
    const char* trigger;  // runs the action's update, which calls the handler
    int events_after_release;  // events the owner caught once t went
};

const lifetime_case cases[] = {
    // The text's finish event, thrown by its step at the owner.
    {"text finish", "t = new_text(hero, {16, 400, 'IPAGothic'}) t:request(0x50000106, {0, 0, 0, 0}) "
                    "t:request(0x50000107, 77) t:request(0x50000108, hero) t:request(0x50000102, 'A') "
                    "t:request(0x50000103)",
     "t:step()", 1},
    // A set report thrown while the phase is put from a method.
    {"text_ex state", "t = new_text_ex(hero, {font = F16}) s = t:add_set{format = 0x40000000} "
                      "t:add_text('AB') t:end_text()",
     "t:state(s, 2)", 1},
    // Every set put at once: the second set must not be reached.
    {"text_ex all sets", "t = new_text_ex(hero, {font = F16}) t:add_set{format = 0x40000000} "
                         "t:add_text('A') t:add_set{format = 0x40000000} t:add_text('B') t:end_text()",
     "t:state(2)", 1},
    // The set step's report, and the start event the step sends after it.
    {"text_ex set step", "t = new_text_ex(hero, {font = F16}) s = t:add_set{format = 0x40000000, wait = {1}} "
                         "t:add_text('AB') t:end_text() t:state(s, 2)",
     "t:step() t:step()", 1},
    // A notify effect inside the set step, with a second set after it.
    {"text_ex effect", "t = new_text_ex(hero, {font = F16}) "
                       "s = t:add_set{effect = {{type = 7, format = 4, actor = hero, event = 9}}} "
                       "t:add_text('A') t:add_set{format = 0x40000000} t:add_text('B') t:end_text() "
                       "t:state(s, 2)",
     "t:step()", 1},
    // A call action's function is its handler.
    {"call", "t = new_action(hero, function() events[#events + 1] = 1 local h = handler handler = nil h() end)",
     "t:call()", 1},
};

TEST_F(action_lifetime_test, HandlersReleasingTheirActionOrKillingTheOwnerAreSafe) {
    for (const lifetime_case& c : cases) {
        for (const char* handler : handlers) {
            SCOPED_TRACE(std::string(c.kind) + " / " + handler);
            hero = create(objects->actors.find_class("owner_class"));
            ASSERT_TRUE(hero);
            set_global_pointer("hero", hero);
            run("events = {} handler = nil");
            const size_t before = listed();
            run(c.setup);
            ASSERT_TRUE(truth("t ~= nil"));
            ASSERT_EQ(before + 1, listed());
            void* object = object_of<extend_action>("t");
            run((std::string("handler = ") + handler).c_str());
            run(c.trigger);
            EXPECT_TRUE(truth("handler == nil")) << "the handler never ran";
            const bool released = std::strstr(handler, "release") != nullptr;
            if (released) {
                EXPECT_EQ(c.events_after_release, number("#events"));
                EXPECT_TRUE(truth("t.object == nil"));
                EXPECT_FALSE(live_object_is(object, live_extend_action));
                EXPECT_EQ(before, listed());
                EXPECT_EQ(0, hero->extend_count);
            } else {
                EXPECT_TRUE(live_object_is(object, live_extend_action));
                EXPECT_TRUE(hero->flags & actor_dying);
            }
            // The dying owner takes its actions with it at the end of a frame.
            for (int i = 0; i < 3; ++i) EXPECT_EQ(0, frame());
            EXPECT_FALSE(live_object_is(object, live_extend_action));
            EXPECT_EQ(before, listed());
            // A released table answers nothing more.
            run("t:release()");
        }
    }
}

// A handler that clears the text throws its sets away: the step in
// progress stops, and the text goes on with no sets.
TEST_F(action_lifetime_test, ClearFromAReportStopsTheStepOfTheClearedSets) {
    const char* const arms[] = {
        "t:state(s, 3)",
        "t:state(2)",
        "t:step() t:step()",
    };
    for (const char* arm : arms) {
        SCOPED_TRACE(arm);
        run("events = {} handler = nil "
            "t = new_text_ex(hero, {font = F16}) s = t:add_set{format = 0x40000000, wait = {1}} "
            "t:add_text('A') t:add_set{format = 0x40000000} t:add_text('B') t:end_text()");
        text_action_ex* a = object_of<text_action_ex>("t");
        ASSERT_TRUE(a);
        if (std::strncmp(arm, "t:step", 6) == 0) run("t:state(s, 2)");
        run("handler = function() t:clear() end");
        run(arm);
        EXPECT_TRUE(truth("handler == nil"));
        EXPECT_EQ(1, number("#events"));
        EXPECT_TRUE(a->sets.empty());
        EXPECT_TRUE(a->glyphs.empty());
        run("t:add_text('C') t:end_text() t:step()");
        EXPECT_FALSE(a->glyphs.empty());
        run("t:release()");
    }
}

// Glyphs name their font without counting it: a font change without new
// text must leave the drawn glyphs' font alive, until the text goes.
TEST_F(action_lifetime_test, AFontChangeKeepsTheFontOfTheLaidOutGlyphs) {
    run("t = new_text_ex(hero, {font = F16, rect = {0, 0, 150, 100}}) "
        "t:param{font = {size = 20, face = 'IPAGothic'}} t:text('AB') "
        "t:param{font = {size = 24, face = 'IPAGothic'}}");
    text_action_ex* a = object_of<text_action_ex>("t");
    ASSERT_TRUE(a);
    graphic_font* drawn = nullptr;
    for (const glyph_record& r : a->glyphs)
        if (r.code == 'A') drawn = r.font.font();
    ASSERT_TRUE(drawn);
    EXPECT_TRUE(fonts->find_handle(drawn).is_valid());
    run("t:state(6) t:step()");
    EXPECT_GT(lit(draw(), RECT{0, 0, 150, 100}), 0);
    // Thrown away with the text: the size-20 font is not held any more.
    run("t:purge()");
    EXPECT_FALSE(fonts->find_handle(drawn).is_valid());
    run("t:release()");
}

// A start function that makes a text with a set and lets it go at once
// must not take its own actor down with it.
TEST_F(action_lifetime_test, ReferencesDroppedDuringStartLeaveTheOwnerAlive) {
    actor_object* a = coroutine_actor(
        "starter", "function(me) local t = new_text_ex(me, {font = F16}) t:add_set{} t:release() "
                   "note('made') coroutine.yield() note('second slice') "
                   "while true do coroutine.yield() end end");
    ASSERT_TRUE(a);
    EXPECT_EQ("made", notes());
    EXPECT_NE(uint32_t(actor_released), a->flags);
    EXPECT_EQ(1, a->ref_count) << "the manager's own reference";
    EXPECT_EQ(0, frame());
    EXPECT_TRUE(live_object_is(a, live_actor));
    EXPECT_EQ("second slice", notes());
    EXPECT_EQ(1, a->ref_count);
}

}  // namespace
