// The per-actor functions of the actors library, by handle and by name;
// each case asserts in Lua on a fresh world.
#include "sprite_fixture.h"

#include "world/actor_manager.h"

namespace {
using ActorFunctions = sprite_test;

const char* const prelude =
    "sprites.class_create{name = 's', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
    "  frame = {ways = 1, {0}, {1}}, scene = {{0, 2, 0, 1}}, state = {{0, 0}, {0, 0}}} "
    "events = {} "
    "actors.class_create{name = 'A', sprite = {'s', {1, 2}}, param = {0x800100}, "
    "  action = {catch = function(a, ctx, ev) events[#events + 1] = ev end}} "
    "actors.class_create{name = 'P', param = {0}} "
    "function frame() step_frame() end";

int step_frame(lua_State*) {
    world_frame_step();
    world_end_frame();
    return 0;
}

int sprite_flags(lua_State* L) {
    lua_pushnumber(L, static_cast<sprite_object*>(lua_touserdata(L, 1))->flags & 0xF0000000u);
    return 1;
}

int sprite_field(lua_State* L) {
    sprite_object* s = static_cast<sprite_object*>(lua_touserdata(L, 1));
    const std::string key = lua_tostring(L, 2);
    if (key == "release") lua_pushboolean(L, s->release_when_ended);
    if (key == "owner") lua_pushlightuserdata(L, s->owner);
    if (key == "zorder") lua_pushnumber(L, s->zorder);
    if (key == "blend") lua_pushnumber(L, s->blend);
    if (key == "x") lua_pushnumber(L, s->x);
    if (key == "y") lua_pushnumber(L, s->y);
    return 1;
}

TEST_F(ActorFunctions, EachFunctionReadsOrSteersOneActor) {
    const char* const cases[] = {
        // Anything that names no actor gives nils and changes nothing.
        "for _, v in ipairs{'nobody', 12, {}, true, actors} do "
        "  assert(actors.x(v) == nil and actors.get(v) == nil and actors.name(v) == nil) "
        "  assert(select('#', actors.position(v)) == 3 and select('#', actors.vector(v)) == 3) "
        "  actors.set_position(v, 1, 2, 3) actors.kill(v) actors.set_visible(v, false) "
        "end",
        // Positions and vectors; numbers may be numeric strings, anything
        // else is 0; the sprite follows at its offset.
        "local a = actors.create{'A', 10, 20, 0} "
        "actors.set_position(a, 4, '5', 'x') "
        "local x, y, z = actors.position(a) assert(x == 4 and y == 5 and z == 0) "
        "local s = actors.sprite(a) assert(sprite_field(s, 'x') == 5 and sprite_field(s, 'y') == 7) "
        "assert(sprites.x(s) == 5) "
        "actors.set_vector(a, 1, 2, 3) assert(actors.vx(a) == 1 and actors.vy(a) == 2 and actors.vz(a) == 3) "
        "actors.set_angular(a, 9) assert(actors.angular(a) == 9)",
        // Offsets relative to the class's.
        "local a = actors.create{'A', 10, 20, 0} "
        "local ox, oy = actors.offset(a) assert(ox == 0 and oy == 0) "
        "actors.offset(a, 2, 3) ox, oy = actors.offset(a) assert(ox == 2 and oy == 3) "
        "assert(sprite_field(actors.sprite(a), 'x') == 13)",
        // Class words and names.
        "local a = actors.create{'A', 0, 0, 0, name = 'hero'} local p = actors.create{'P', 0, 0, 0} "
        "assert(actors.class_type(a, 0x800000) == true and actors.class_type(p, 0x800000) == false) "
        "assert(actors.class_type(a) == 0x90800100 and actors.class_name(a) == 'A') "
        "assert(actors.name(a) == 'hero' and actors.name(p) == nil) "
        "assert(actors.get('hero') == a and actors.get(a) == a and actors.get(12) == nil) "
        "assert(actors.x('hero') == 0 and actors.class_get('A') == actors.class_get(actors.class_get('A')))",
        // Z-order, blend state and the way reach the sprite.
        "local a = actors.create{'A', 0, 0, 0, 0, 3, zorder = 5} local s = actors.sprite(a) "
        "assert(actors.zorder(a) == 5 and sprite_field(s, 'zorder') == 5 and actors.way(a) == 3) "
        "actors.set_zorder(a, 7) assert(sprite_field(s, 'zorder') == 7) "
        "actors.set_blend_state(a, 0x1203) assert(actors.blend_state(a) == 3 and sprite_field(s, 'blend') == 3)",
        // Hidden by script stays hidden through a new activation.
        "local a = actors.create{'A', 0, 0, 0} local s = actors.sprite(a) "
        "actors.set_visible(a, false) assert(actors.visible(a) == false and sprite_flags(s) >= 0x80000000) "
        "actors.act_state(a, 0x20000000, true) frame() "
        "assert(sprite_flags(s) >= 0x80000000) "
        "actors.set_visible(a, true) assert(sprite_flags(s) < 0x80000000)",
        // Sleep sends its event each time; act_state clears the bit quietly.
        "local a = actors.create{'A', 0, 0, 0} events = {} "
        "actors.sleep(a, true) actors.sleep(a, true) assert(actors.is_sleep(a)) "
        "actors.act_state(a, 0x8000000, false) assert(not actors.is_sleep(a)) "
        "assert(#events == 2 and events[1] == 0x70000007 and events[2] == 0x70000007)",
        // The act rate is at least 1.
        "actors.set_frame_rate(0.5) assert(actors.frame_rate() == 1) "
        "actors.set_frame_rate(2.5) assert(actors.frame_rate() == 2.5) "
        "actors.set_frame_rate() assert(actors.frame_rate() == 1)",
        // A negative event kills; throw returns nothing.
        "local a = actors.create{'A', 0, 0, 0} "
        "assert(select('#', actors.throw(a, nil, -1)) == 0) assert(actors.is_alive(a)) frame() "
        "assert(actors.is_alive(a) == false) frame() assert(actors.is_alive(a) == nil)",
        "local a = actors.create{'A', 0, 0, 0} events = {} actors.throw(a, 'nobody', 42, 'v') "
        "assert(events[1] == 42) actors.throw('nobody', a, 1) actors.throw(a, nil, 'x')",
        // Sprites: the own one again does nothing, an adopted bare sprite
        // loses its release flag and can no longer be released by script.
        "local a = actors.create{'A', 0, 0, 0} local own = actors.sprite(a) "
        "actors.set_sprite(a, own) assert(actors.sprite(a) == own and sprites.x(own) ~= nil) "
        "local bare = sprites.create{'s', 0, 0, 0, 0, 0} assert(sprite_field(bare, 'release')) "
        "actors.set_sprite(a, bare) assert(actors.sprite(a) == bare and sprites.x(own) == nil) "
        "assert(sprite_field(bare, 'release') == false and sprite_field(bare, 'owner') == a) "
        "sprites.release(bare) assert(sprites.x(bare) ~= nil)",
        "local a = actors.create{'A', 0, 0, 0} local b = actors.create{'A', 0, 0, 0} "
        "local sa, sb = actors.sprite(a), actors.sprite(b) "
        "actors.transfer_sprite(a, a) assert(actors.sprite(a) == sa) "
        "actors.set_sprite(b, sa) assert(actors.sprite(b) == sb) "
        "actors.transfer_sprite(b, a) assert(actors.sprite(b) == sa and actors.sprite(a) == nil) "
        "assert(sprites.x(sb) == nil and sprite_field(sa, 'owner') == b) "
        "actors.set_sprite(b, 5) assert(actors.sprite(b) == nil and sprites.x(sa) == nil)",
        // Extend values and stored values.
        "local a = actors.create{'A', 0, 0, 0, name = 'keeper'} "
        "actors.set_extend(a, {k = 1}) assert(actors.extend(a).k == 1) "
        "actors.set_extend(a, nil) assert(actors.extend(a) == nil) "
        "actors.set_store_data(a, 'kept') assert(actors.store_data(a) == 'kept') "
        "local p = actors.create{'P', 0, 0, 0} actors.set_store_data(p, 'x') assert(actors.store_data(p) == nil)",
        // Pending sprite states show through actors.state.
        "local a = actors.create{'A', 0, 0, 0} assert(actors.state(a) == 0) "
        "sprites.set_state(actors.sprite(a), 1) assert(actors.state(a) == 1) "
        "assert(actors.state(actors.create{'P', 0, 0, 0}) == 0)",
        // A state out of range is refused and the sprite keeps its own.
        "local a = actors.create{'A', 0, 0, 0} actors.set_state(a, 1) frame() "
        "actors.set_state(a, 99) actors.set_state(a, -1) frame() frame() "
        "assert(actors.is_alive(a) and actors.state(a) == 1)",
        // Death set by hand is carried out in the same frame's disposal.
        "local a = actors.create{'A', 0, 0, 0} frame() actors.act_state(a, 0x80000000) frame() "
        "assert(actors.class_name(a) == '') frame() assert(actors.x(a) == nil)",
        // A class taken out of use stops its actors at once.
        "local a = actors.create{'A', 0, 0, 0} actors.class_dispose('A') "
        "assert(actors.is_alive(a) == false and actors.class_get('A') == nil) frame() frame() "
        "assert(actors.x(a) == nil)",
    };
    run(prelude);
    lua_register(L, "step_frame", step_frame);
    lua_register(L, "sprite_flags", sprite_flags);
    lua_register(L, "sprite_field", sprite_field);
    int n = 0;
    for (const char* chunk : cases) {
        SCOPED_TRACE(chunk);
        // Each case in a world of its own.
        if (n++ > 0) {
            TearDown();
            SetUp();
            run(prelude);
            lua_register(L, "step_frame", step_frame);
            lua_register(L, "sprite_flags", sprite_flags);
            lua_register(L, "sprite_field", sprite_field);
        }
        run(chunk);
        EXPECT_EQ(0, script_error_status);
    }
}

TEST_F(ActorFunctions, CoroutinesCreateAndThrowWithValues) {
    // Values cross from the coroutine's stack to the main state's.
    run(prelude);
    run("got = {} "
        "actors.class_create{name = 'child', param = {0}, action = {init = function(a, v) got.init = v end, "
        "  catch = function(a, ctx, ev, v) got[#got + 1] = ev .. '=' .. tostring(v) got.ctx = ctx end}} "
        "actors.class_create{name = 'maker', param = {0x100000}, action = {start = function(me) "
        "  actors.wait() "
        "  local c = actors.create{'child', 0, 0, 0, init = {n = 7}} "
        "  actors.throw(c, me, 9, 'payload') actors.throw(c, me, 10) "
        "  got.child = c actors.wait() end}} "
        "maker = actors.create{'maker', 0, 0, 0}");
    EXPECT_EQ(0, frame());
    EXPECT_EQ(7, number("got.init.n"));
    EXPECT_EQ("9=payload 10=nil", text("table.concat(got, ' ')"));
    EXPECT_EQ("true", text("got.ctx == maker"));
    run("actors.throw(got.child, nil, 11, 'main')");
    EXPECT_EQ("9=payload 10=nil 11=main", text("table.concat(got, ' ')"));
    EXPECT_EQ(0, lua_gettop(L));
}

TEST_F(ActorFunctions, TheGlobalActLevelPausesTheSpritesOfActorsAboveIt) {
    run(prelude);
    run("actors.class_create{name = 'high', sprite = 's', param = {9}} "
        "low = actors.create{'A', 0, 0, 0} high = actors.create{'high', 0, 0, 0}");
    sprite_object* low = objects->actors.act_list.at(0)->sprite;
    sprite_object* high = objects->actors.act_list.at(1)->sprite;
    log.lines.clear();
    objects->actors.set_act_level(255);
    EXPECT_TRUE(log.lines.empty());
    objects->actors.set_act_level(5);
    EXPECT_TRUE(log.has("10 actors.set_act_level: 255 -> 5"));
    EXPECT_EQ(0u, low->flags & sprite_paused);
    EXPECT_EQ(sprite_paused, high->flags & sprite_paused);
    objects->actors.set_act_level(9);
    EXPECT_EQ(0u, high->flags & sprite_paused);
}

TEST_F(ActorFunctions, CreationAndDeathAreLoggedWithHandleIds) {
    run(prelude);
    log.lines.clear();
    run("a = actors.create{'A', 0, 0, 0, name = 'hero'} b = actors.create{'P', 0, 0, 0}");
    actor_object* a = objects->actors.find_named_object("hero")->actor;
    ASSERT_NE(nullptr, a);
    EXPECT_TRUE(log.has("6 actors.create: hero<A> is created successfully (" + std::to_string(a->id) + ")"));
    run("actors.kill('hero') actors.kill(b)");
    EXPECT_EQ("userdata", text("type(actors.get('hero'))"));
    EXPECT_EQ(0, frame());
    EXPECT_TRUE(log.has("6 actors.kill: hero<A> is dead"));
    EXPECT_TRUE(log.has("6 actors.kill: *anonymous*<P> is dead"));
    EXPECT_EQ("nil", text("actors.get('hero')"));
    // The name is free again.
    run("c = actors.create{'A', 0, 0, 0, name = 'hero'}");
    EXPECT_EQ("true", text("actors.get('hero') == c"));
}

TEST_F(ActorFunctions, ALockedRecordOutlivesItsDeathUntilUnlocked) {
    run(prelude);
    run("a = actors.create{'P', 0, 0, 0} actors.lock(a) actors.unlock(a) actors.unlock(a) actors.lock(a)");
    // The manager's own reference can't be dropped by script.
    EXPECT_EQ("true", text("actors.is_alive(a)"));
    run("actors.kill(a)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ(1u, objects->actors.release_list.size());
    EXPECT_EQ("false", text("actors.is_alive(a)"));
    run("actors.unlock(a)");
    EXPECT_EQ(0, frame());
    EXPECT_EQ(0u, objects->actors.release_list.size());
    EXPECT_EQ("nil", text("actors.x(a)"));
}

TEST_F(ActorFunctions, SpriteAnimationEventsReachTheActor) {
    run("sprites.class_create{name = 'ev', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "  frame = {ways = 1, {0, event = {11, 12}}, {1}}, scene = {{0, 2, 1, 1, -1, event = {21, 22}}}, "
        "  state = {{0, -1}}} "
        "events = {} "
        "actors.class_create{name = 'E', sprite = 'ev', param = {0}, action = {catch = function(a, c, ev) "
        "  events[#events + 1] = ev end, dead = function() events[#events + 1] = 'dead' end}}"
        "e = actors.create{'E', 0, 0, 0}");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0, frame());
    // Shown at creation: frame 0 and scene 0 start; then frame 1 after
    // frame 0's end; then the end of the scene ends the state and the actor.
    // The state's end kills before the scene's last event is thrown.
    EXPECT_EQ("11,21,12,dead", text("table.concat(events, ',')"));
    EXPECT_EQ("nil", text("actors.x(e)"));
}
}  // namespace
