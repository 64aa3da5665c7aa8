// Act levels and modes, renames, groups and stored values of the actors
// library, on real actors stepped frame by frame.
#include <thread>

#include "sprite_fixture.h"
#include "world/actor_manager.h"
#include "world/class_load.h"
#include "world/sprite_class.h"

namespace {
// Per-frame actions count their steps under a tag; catch slots record
// events per actor tag.
const char* const prelude =
    "sprites.class_create{name = 's', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
    "  frame = {ways = 1, {0}, {1}}, scene = {{0, 2, 0, 1}}, state = {{0, 0}}} "
    "steps, events = {}, {} "
    "function counter(tag) return function(a) steps[tag] = (steps[tag] or 0) + 1 end end "
    "function catcher(tag) return function(a, ctx, ev) "
    "  events[#events + 1] = tag .. ':' .. string.format('%x', ev) end end "
    "function frame() step_frame() end "
    "function same(t, u) if #t ~= #u then return false end "
    "  for i = 1, #t do if t[i] ~= u[i] then return false end end return true end";

// The cycle warning as the log holds it: CP932 bytes.
std::string cycle_line(const char* origin) {
    const wchar_t* text = L" \u306e\u5faa\u74b0\u53c2\u7167\u3092\u691c\u77e5\u3057\u307e\u3057\u305f\u3002";
    char bytes[64] = {};
    int n = WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    EXPECT_GT(n, 1);
    return std::string("2 ") + origin + ": Group g" + bytes;
}

int step_frame(lua_State*) {
    world_frame_step();
    world_end_frame();
    return 0;
}

// The render flags of an actor's sprite, top nibble.
int sprite_bits(lua_State* L) {
    actor_object* actor = to_actor(L, 1);
    lua_pushnumber(L, actor && actor->sprite ? (actor->sprite->flags & 0xF0000000u) : -1);
    return 1;
}

class groups_test : public sprite_test {
protected:
    void SetUp() override {
        sprite_test::SetUp();
        fresh();
    }
    void fresh() {
        run(prelude);
        lua_register(L, "step_frame", step_frame);
        lua_register(L, "sprite_bits", sprite_bits);
    }
    void restart() {
        TearDown();
        SetUp();
    }
    // Each case runs in a world of its own.
    void run_cases(const char* setup, std::initializer_list<const char*> cases) {
        bool first = true;
        for (const char* chunk : cases) {
            SCOPED_TRACE(chunk);
            if (!first) restart();
            first = false;
            if (setup) run(setup);
            run(chunk);
            EXPECT_EQ(0, script_error_status);
        }
    }
    size_t count(const std::string& text) const {
        size_t n = 0;
        for (const auto& line : log.lines) n += line.find(text) != std::string::npos;
        return n;
    }
};
using ActorGroups = groups_test;

TEST_F(ActorGroups, ActLevelsAndModesChooseWhichActorsStep) {
    const char* const setup =
        "actors.class_create{name = 'lo', sprite = 's', param = {1}, "
        "  action = {default = counter('lo0'), mode1 = counter('lo1')}} "
        "actors.class_create{name = 'hi', sprite = 's', param = {9}, "
        "  action = {default = counter('hi0'), mode1 = counter('hi1')}} "
        "lo = actors.create{'lo', 0, 0, 0} hi = actors.create{'hi', 0, 0, 0} "
        "function after(expect) steps = {} frame() "
        "  for _, tag in ipairs{'lo0', 'lo1', 'hi0', 'hi1'} do "
        "    assert((steps[tag] or 0) == (expect[tag] or 0), tag .. '=' .. tostring(steps[tag])) end end "
        "PAUSED = 0x40000000 "
        "function paused(a) return sprite_bits(a) % 0x80000000 >= PAUSED end";
    run_cases(setup, {
        "after{lo0 = 1, hi0 = 1} assert(not paused(lo) and not paused(hi))",
        // The global level stops actors above it and pauses their sprites.
        "actors.set_act_level(5) after{lo0 = 1} assert(not paused(lo) and paused(hi)) "
        "actors.set_act_level(0) after{} assert(paused(lo)) "
        "actors.set_act_level(9) after{lo0 = 1, hi0 = 1} assert(not paused(hi))",
        // The mode picks the slot.
        "assert(actors.act_mode() == 0) actors.set_act_mode(1.7) assert(actors.act_mode() == 1) "
        "after{lo1 = 1, hi1 = 1} actors.set_act_mode(3) after{} actors.set_act_mode(0) after{lo0 = 1, hi0 = 1}",
        // An actor's own level; out of range or none restores the class's.
        "actors.set_act_level(5) actors.set_act_level(hi, 3) after{lo0 = 1, hi0 = 1} assert(not paused(hi)) "
        "actors.set_act_level(hi, 300) after{lo0 = 1} assert(paused(hi)) "
        "actors.set_act_level(hi, 4) actors.set_act_level(hi, -1) after{lo0 = 1} "
        "actors.set_act_level('nobody', 0) actors.set_act_level(lo, 7) after{} "
        "actors.set_act_level(lo) after{lo0 = 1} actors.set_act_level(lo, nil) after{lo0 = 1}",
    });
}

TEST_F(ActorGroups, ActLevelChangesAreLogged) {
    run("actors.class_create{name = 'lo', param = {1}} lo = actors.create{'lo', 0, 0, 0}");
    log.lines.clear();
    run("actors.set_act_level(5) actors.set_act_level(5)");
    // The second call logs its line but changes nothing.
    EXPECT_EQ(1u, count("6 sprites.set_act_level: global act level: 255 -> 5"));
    EXPECT_EQ(1u, count("6 sprites.set_act_level: global act level: 5 -> 5"));
    EXPECT_EQ(1u, count("10 actors.set_act_level: 255 -> 5"));
    EXPECT_EQ(3u, log.lines.size());
    log.lines.clear();
    run("actors.set_act_level(lo, 300) actors.set_act_level(lo)");
    EXPECT_EQ((std::vector<std::string>{"6 sprites.set_act_level: object act level: 1 -> 300",
                                        "6 sprites.set_act_level: object act level: 1 -> default"}),
              log.lines);
}

TEST_F(ActorGroups, RenamedActorsAreFoundByTheirNewName) {
    const char* const setup =
        "actors.class_create{name = 'A', param = {0}} "
        "a = actors.create{'A', 0, 0, 0} b = actors.create{'A', 0, 0, 0, name = 'other'}";
    run_cases(setup, {
        "assert(actors.set_name(a, 'hero') == true) assert(actors.get('hero') == a and actors.name(a) == 'hero') "
        "assert(actors.set_name('hero', 'zero') == true) "
        "assert(actors.get('hero') == nil and actors.get('zero') == a and actors.name(a) == 'zero')",
        // A name held by a live actor is refused and nothing changes.
        "actors.set_name(a, 'hero') assert(actors.set_name(a, 'other') == false) "
        "assert(actors.get('other') == b and actors.get('hero') == a and actors.name(b) == 'other')",
        // Its own name again is no change.
        "actors.set_name(a, 'hero') assert(actors.set_name(a, 'hero') == true and actors.get('hero') == a)",
        // Without a string the name goes.
        "actors.set_name(a, 'hero') assert(actors.set_name(a) == true) "
        "assert(actors.name(a) == nil and actors.get('hero') == nil) "
        "assert(actors.set_name(b, 5) == true and actors.name(b) == nil and actors.get('other') == nil)",
        // The name of a dead actor may go to a new one; the old stored value
        // stays with the old name.
        "actors.set_store_data(b, 'kept') assert(actors.set_name(b, 'moved')) "
        "assert(actors.enum_stores().other == 'kept' and actors.store_data(b) == nil) "
        "c = actors.create{'A', 0, 0, 0, name = 'other'} assert(c ~= nil and actors.get('other') == c)",
        "actors.lock(a) actors.kill(a) frame() assert(actors.set_name(a, 'late') == false) "
        "assert(actors.get('late') == nil) actors.unlock(a) frame()",
        "assert(actors.set_name('nobody', 'x') == false and actors.set_name(nil, 'x') == false)",
        // A dying actor's name taken by a new actor: renaming the dying one
        // leaves the new one its name.
        "actors.set_name(a, 'dup') actors.kill(a) "
        "d = actors.create{'A', 0, 0, 0, name = 'dup'} assert(d ~= nil and actors.get('dup') == d) "
        "assert(actors.set_name(a, 'gone')) assert(actors.get('dup') == d and actors.get('gone') == a) frame()",
    });
}

TEST_F(ActorGroups, RenamesAreLogged) {
    run("actors.class_create{name = 'A', param = {0}} "
        "a = actors.create{'A', 0, 0, 0} b = actors.create{'A', 0, 0, 0, name = 'other'}");
    log.lines.clear();
    run("actors.set_name(a) actors.set_name(a, 'hero') actors.set_name(a, 'other') actors.set_name(a)");
    EXPECT_EQ((std::vector<std::string>{
                  "6 actors.set_name: A[*anonymous*] actor name is changed to *anonymous* successfully",
                  "6 actors.set_name: A[*anonymous*] actor name is changed to hero successfully",
                  "1 actors.create: specified named object other already exists",
                  "1 actors.set_name: fail to change A[hero] actor name to other",
                  "6 actors.set_name: A[hero] actor name is changed to *anonymous* successfully"}),
              log.lines);
}

TEST_F(ActorGroups, GroupsAreEnumeratedInOrder) {
    const char* const setup =
        "actors.class_create{name = 'A', param = {0}} "
        "assert(actors.group() == nil) actors.set_group('g') assert(actors.group() == 'g') "
        "a = actors.create{'A', 0, 0, 0} b = actors.create{'A', 0, 0, 0} c = actors.create{'A', 0, 0, 0} "
        "actors.set_group('sub', true) d = actors.create{'A', 0, 0, 0} "
        "actors.set_group() e = actors.create{'A', 0, 0, 0}";
    run_cases(setup, {
        "assert(actors.group() == nil and actors.group(e) == nil and actors.group(a) == 'g') "
        "assert(actors.group(d) == 'sub' and actors.group('nobody') == nil) "
        "assert(same(actors.list_group('g'), {a, b, c}) and same(actors.list_group('g', true), {a, b, c, d})) "
        "assert(same(actors.list_group('sub'), {d}) and #actors.list_group('none') == 0)",
        // A group key, a grouped parent, and a number as a name.
        "f = actors.create{'A', 0, 0, 0, group = 'sub'} g = actors.create{'A', 0, 0, 0, parent = a} "
        "h = actors.create{'A', 0, 0, 0, localname = 7} "
        "assert(same(actors.list_group('sub'), {d, f}) and same(actors.list_group('g'), {a, b, c, g})) "
        "assert(same(actors.list_group(7), {h}) and actors.group(h) == '7')",
        // The function runs while it answers true; the value comes along.
        "local seen = {} assert(actors.enum_group('g', function(x, v) seen[#seen + 1] = x; return v end, 1, true)) "
        "assert(same(seen, {a, b, c, d})) "
        "seen = {} assert(actors.enum_group('g', function(x) seen[#seen + 1] = x end) == false) "
        "assert(same(seen, {a})) "
        "seen = {} assert(actors.enum_group('g', function(x) seen[#seen + 1] = x; return x ~= b end, nil, true) == false) "
        "assert(same(seen, {a, b}))",
        // From an actor's coroutine too.
        "actors.class_create{name = 'W', param = {0x100000}, action = {start = function() actors.wait() "
        "  local seen = {} walked = actors.enum_group('g', function(x, v) seen[#seen + 1] = x; return v end, 1) "
        "  walked = walked and same(seen, {a, b, c}) and same(actors.list_group('g', 1), {a, b, c, d}) "
        "  actors.wait() end}} "
        "actors.create{'W', 0, 0, 0} frame() assert(walked == true)",
        // An error stops the walk and is logged.
        "local n = 0 assert(actors.enum_group('g', function() n = n + 1 error('boom') end) == false and n == 1)",
        // A killed member leaves at its final kill; the last takes its place.
        "actors.kill(a) assert(same(actors.list_group('g'), {a, b, c})) frame() "
        "assert(same(actors.list_group('g'), {c, b}) and actors.group(b) == 'g')",
        // A member created during the walk is not met by it.
        "local n = 0 actors.enum_group('g', function() n = n + 1 actors.create{'A', 0, 0, 0, group = 'g'} "
        "  return true end) assert(n == 3 and #actors.list_group('g') == 6)",
    });
}

TEST_F(ActorGroups, ErrorsAndCyclesInWalksAreLogged) {
    run("actors.class_create{name = 'A', param = {0}} actors.set_group('g') a = actors.create{'A', 0, 0, 0} "
        "actors.add_group('g', 'g') actors.add_group('g', 'g') actors.add_group('', 'g') "
        "assert(same(actors.list_group('g', true), {a}))");
    EXPECT_EQ(1u, count(cycle_line("actors.enum")));
    run("actors.enum_group('g', function() error('boom') end)");
    EXPECT_EQ(1u, count("1 actors.enum_group: "));
    EXPECT_TRUE(log.has("boom"));
    log.lines.clear();
    run("actors.store('g') actors.restore('g') actors.purge('g')");
    EXPECT_EQ((std::vector<std::string>{cycle_line("actors.store"), cycle_line("actors.restore"),
                                        cycle_line("actors.purge")}),
              log.lines);
    EXPECT_EQ(0, lua_gettop(L));
}

TEST_F(ActorGroups, PurgeKillsMembersAndTakesClassesOut) {
    const char* const setup =
        "actors.set_group('stage') "
        "actors.class_create{name = 'K', param = {0}, action = {default = counter('K')}} "
        "a = actors.create{'K', 0, 0, 0, name = 'ka'} "
        "actors.set_group('inner', true) "
        "actors.class_create{name = 'J', param = {0}, action = {default = counter('J')}} "
        "b = actors.create{'J', 0, 0, 0} "
        "actors.set_group() actors.class_create{name = 'out', param = {0}} o = actors.create{'out', 0, 0, 0}";
    run_cases(setup, {
        // Classes go at once, so their actors stop at once; the sub-group
        // goes with its group.
        "actors.purge('stage') assert(actors.class_get('K') == nil and actors.class_get('J') == nil) "
        "assert(actors.is_alive(a) == false and actors.is_alive(b) == false) "
        "steps = {} frame() assert(steps.K == nil and steps.J == nil) frame() "
        "assert(actors.get('ka') == nil and actors.x(b) == nil and actors.is_alive(o)) "
        "assert(#actors.list_group('stage', true) == 0 and actors.class_get('out') ~= nil)",
        // Keeping classes: actors die, classes stay.
        "actors.purge('stage', true) assert(actors.is_alive(a) == true) "
        "assert(actors.class_get('K') ~= nil and actors.class_get('J') ~= nil) frame() frame() "
        "assert(actors.x(a) == nil and actors.x(b) == nil) "
        "assert(actors.create{'K', 0, 0, 0} ~= nil)",
        // A class that left the map is not the group's any more: the new
        // class of that name outlives the purge.
        "actors.class_dispose('K') frame() actors.class_create{name = 'K', param = {0}} "
        "actors.purge('stage') assert(actors.class_get('K') ~= nil)",
        // Purging a group nobody made does nothing.
        "actors.purge('none') frame() assert(actors.is_alive(a) and actors.is_alive(b))",
    });
}

TEST_F(ActorGroups, PurgeLogsTheDeaths) {
    run("actors.set_group('stage') actors.class_create{name = 'K', param = {0}} "
        "a = actors.create{'K', 0, 0, 0, name = 'ka'} b = actors.create{'K', 0, 0, 0}");
    log.lines.clear();
    run("actors.purge('stage', true) frame()");
    EXPECT_EQ(1u, count("6 actors.kill: ka<K> is dead"));
    EXPECT_EQ(1u, count("6 actors.kill: *anonymous*<K> is dead"));
    EXPECT_EQ(2u, log.lines.size());
}

TEST_F(ActorGroups, ClassesLockedForAGroupAreUnlockedByItsPurge) {
    run("actors.class_create{name = 'D', sprite = 's', param = {0x400000}} "
        "actors.set_group('stage') actors.add_class('none', 'D', true)");
    st_actor_class* cls = objects->actors.find_class("D");
    ASSERT_NE(nullptr, cls);
    const int32_t base = cls->sprite_class->lock_count;
    EXPECT_EQ(0u, cls->flags & class_sprite_locked);  // no such group: nothing
    run("actors.add_group('stage', 'x') actors.add_class('stage', 'D', true) actors.add_class('stage', 'D', true)");
    EXPECT_EQ(base + 1, cls->sprite_class->lock_count);
    EXPECT_EQ(class_sprite_locked, cls->flags & class_sprite_locked);
    // A lock loading in the background is held already.
    run("actors.class_create{name = 'E', sprite = 's', param = {0x400000}} actors.class_exlock('E', true) "
        "actors.add_class('stage', 'E', true)");
    st_actor_class* e = objects->actors.find_class("E");
    EXPECT_EQ(base + 2, cls->sprite_class->lock_count);
    run("actors.purge('stage')");
    EXPECT_EQ(base, cls->sprite_class->lock_count);
    EXPECT_EQ(0u, cls->flags & (class_sprite_locked | class_sprite_loading));
    EXPECT_EQ(0u, e->flags & (class_sprite_locked | class_sprite_loading));
    EXPECT_EQ(cls, objects->actors.find_class("D"));  // locked on demand: kept
}

TEST_F(ActorGroups, StoredGroupsRestoreTheSameActors) {
    const char* const setup =
        "actors.class_create{name = 'S', sprite = 's', param = {0x900000}, action = {"
        "  start = function(a) while true do steps.S = (steps.S or 0) + 1 actors.wait() end end, "
        "  catch = catcher('S')}} "
        "actors.class_create{name = 'F', param = {0xA00000}, "
        "  action = {mode1 = counter('F'), default = counter('F'), catch = catcher('F')}} "
        "actors.set_group('g') "
        "s = actors.create{'S', 10, 20, 0, 0, 0, 1, 2, name = 'keep'} actors.set_extend(s, {k = 3}) "
        "f = actors.create{'F', 0, 0, 0} actors.set_group() "
        "actors.class_create{name = 'O', param = {0}, action = {default = counter('O')}} "
        "other = actors.create{'O', 0, 0, 0} frame() events = {} "
        "FROZEN = 0x30000000 "
        "function run_state(a) return actors.act_state(a) % 0x40000000 - actors.act_state(a) % 0x10000000 end";
    run_cases(setup, {
        // Outside the pass both store events come at once.
        "actors.store('g') "
        "assert(same(events, {'S:70000005', 'S:70000006', 'F:70000006'}), table.concat(events, ' ')) "
        "assert(run_state(s) == FROZEN and run_state(f) == FROZEN and run_state(other) == 0, 'r') "
        "assert(sprite_bits(s) >= 0xC0000000, sprite_bits(s)) "
        "steps = {} frame() frame() assert(steps.S == nil and steps.F == nil and steps.O == 2, 'frozen steps') "
        "events = {} actors.restore('g') "
        "assert(same(events, {'S:70000003', 'S:70000004', 'F:70000003', 'F:70000004'}), table.concat(events, ' ')) "
        "assert(run_state(s) == 0 and sprite_bits(s) == 0, sprite_bits(s)) "
        "steps = {} frame() assert(steps.S == 1 and steps.F == 1, tostring(steps.S) .. tostring(steps.F)) "
        "assert(actors.get('keep') == s and actors.extend(s).k == 3 and actors.x(s) == 10 and actors.y(s) == 20, 'v') "
        "assert(actors.vx(s) == 1 and actors.vy(s) == 2 and actors.is_alive(s) and actors.is_alive(f), 'vec') "
        "assert(same(actors.list_group('g'), {s, f}), 'list')",
        // From inside the pass an act-list actor is frozen, and woken, at
        // the end of the frame.
        "actors.class_create{name = 'M', param = {0x100000}, action = {start = function() "
        "  actors.wait() actors.store('g') actors.wait() actors.restore('g') actors.wait() end}} "
        "actors.create{'M', 0, 0, 0} events = {} frame() "
        "assert(same(events, {'S:70000005', 'F:70000006', 'S:70000006'}), table.concat(events, ' ')) "
        "assert(run_state(s) == FROZEN) events = {} frame() "
        "assert(same(events, {'S:70000003', 'F:70000003', 'F:70000004', 'S:70000004'}), table.concat(events, ' ')) "
        "assert(run_state(s) == 0 and run_state(f) == 0)",
        // Dead, dying and taken-out members are left alone.
        "actors.kill(f) events = {} actors.store('g') assert(same(events, {'S:70000005', 'S:70000006'})) "
        "frame() events = {} actors.restore('g') assert(same(events, {'S:70000003', 'S:70000004'}))",
    });
}

TEST_F(ActorGroups, StoredValuesAreListedAndReleased) {
    run_cases("actors.class_create{name = 'A', param = {0}} "
              "a = actors.create{'A', 0, 0, 0, name = 'live'} actors.set_store_data(a, {n = 1}) "
              "b = actors.create{'A', 0, 0, 0, name = 'gone'} actors.set_store_data(b, 'two') "
              "actors.kill(b) frame()",
              {
                  "local t = actors.enum_stores() assert(t.live.n == 1 and t.gone == 'two') "
                  "local n = 0 for _ in pairs(t) do n = n + 1 end assert(n == 2)",
                  // A live actor's value stays unless all is asked for.
                  "actors.remove_store('live') assert(actors.store_data(a).n == 1) "
                  "actors.remove_store('live', true) assert(actors.store_data(a) == nil) "
                  "assert(actors.enum_stores().gone == 'two')",
                  "actors.remove_store() local t = actors.enum_stores() assert(t.gone == nil and t.live.n == 1) "
                  "actors.remove_store(nil, true) assert(next(actors.enum_stores()) == nil)",
                  // The entry outlives its value.
                  "actors.remove_store('gone') assert(actors.enum_stores().gone == nil) "
                  "local c = actors.create{'A', 0, 0, 0, name = 'gone'} assert(actors.store_data(c) == nil) "
                  "actors.remove_store(12) actors.breakpoint(a) actors.breakpoint('nobody')",
              });
}

// The watcher of a class loading in the background reports each finished
// item, then the completion, and ends.
TEST_F(ActorGroups, ClassLoadNotifierReportsProgressAndEnds) {
    run("progress = {} callback = function(n, total) progress[#progress + 1] = n .. '/' .. total end");
    lua_getglobal(L, "callback");
    const int32_t callback = world_ref_take(L);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, done);
    auto* record = new class_load_record(3, callback, done);

    st_actor_class* cls = make_class("watcher", 0, {{slot_mode, "'class_load_notifier'"}});
    ASSERT_NE(nullptr, cls);
    ASSERT_EQ(class_load_notifier, cls->actions[slot_mode].entry);
    cls->actions[slot_mode].param = script_value::object(record);
    actor_object* watcher = create(cls, "watcher");
    ASSERT_NE(nullptr, watcher);

    std::thread loader([record, done] {
        for (int i = 0; i < 3; ++i) {
            Sleep(20);
            record->item_finished();
        }
        Sleep(20);
        SetEvent(done);
    });
    const DWORD deadline = GetTickCount() + 10000;
    while (objects->actors.find_named_object("watcher") && objects->actors.find_named_object("watcher")->actor &&
           GetTickCount() < deadline) {
        ASSERT_EQ(0, frame());
        Sleep(1);
    }
    loader.join();
    EXPECT_EQ(nullptr, objects->actors.find_named_object("watcher")->actor);
    EXPECT_EQ("1/3 2/3 3/3 3/3", text("table.concat(progress, ' ')"));
    EXPECT_TRUE(log.has("6 actors.kill: watcher<watcher> is dead"));

    // A parameter of another kind does nothing.
    st_actor_class* plain = make_class("plain", 0, {{slot_mode, "'class_load_notifier'"}});
    actor_object* idle = create(plain, "idle");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, frame());
    EXPECT_EQ(idle, objects->actors.find_named_object("idle")->actor);
}
}  // namespace
