// Drawing actions on a real Lua state and a real device: construction,
// the scene table, the tile animation, the methods and what is drawn.
#include <cmath>
#include <functional>

#include "draw_fixture.h"

namespace {
using DrawAction = draw_test;

TEST_F(DrawAction, ConstructorsTakeTheirImageOrLogWhy) {
    run("sprites.class_create{name = 'walk', image = {dir .. 'wide.bmp', nil, {32, 32}}, "
        "frame = {ways = 1, {0}, {1}}, scene = {{0, 2, 0, 1}}}");
    struct constructor_case {
        const char* call;
        bool made;
        const char* logged;  // the one draw_action.new line, or null
    };
    const constructor_case cases[] = {
        {"new_draw(hero, dir .. 'wide.bmp')", true, nullptr},
        {"new_draw(hero, dir .. 'small.bmp', false)", true, nullptr},
        {"new_draw(hero, {64, 32})", true, nullptr},
        {"new_draw(hero, {'16.9', '8'})", true, nullptr},
        {"new_draw(hero, 'walk', true)", true, nullptr},
        {"new_draw(hero, sprites.class('walk'))", true, nullptr},
        {"new_draw(nil, {8, 8})", false, "invalid actor object"},
        {"new_draw('nobody', {8, 8})", false, "invalid actor object"},
        {"new_draw(hero, 'walk')", false, "fail to create action object, image='walk'"},
        {"new_draw(hero, dir .. 'none.bmp')", false, nullptr},
        {"new_draw(hero, {0, 8})", false, "fail to create action object, image=''"},
        {"new_draw(hero, {'x', 8})", false, "fail to create action object, image=''"},
        {"new_draw(hero, true)", false, "fail to create action object, image=''"},
        {"new_draw(hero)", false, "fail to create action object, image=''"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        const size_t before = listed();
        run((std::string("d = ") + c.call).c_str());
        EXPECT_EQ(c.made, truth("type(d) == 'table' and d.object ~= nil"));
        EXPECT_EQ(before + (c.made ? 1 : 0), listed());
        const std::vector<std::string> lines = errors("draw_action.new");
        if (c.logged) EXPECT_EQ(std::vector<std::string>{c.logged}, lines);
        if (!c.logged && c.made) EXPECT_TRUE(lines.empty());
        if (!c.logged && !c.made) {
            ASSERT_EQ(1u, lines.size());
            EXPECT_EQ(0u, lines[0].find("fail to create action object, image='"));
        }
        if (c.made) run("d:release()");
    }
    EXPECT_TRUE(truth("sprites.class('walk') ~= nil"));
}

// The scene table: each case parses one table into a fresh scene 0 and
// checks the result, the scene's fields and the logged line.
TEST_F(DrawAction, SceneTablesParseKeyByKey) {
    run("d = new_draw(hero, dir .. 'wide.bmp')");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    struct parse_case {
        const char* table;
        const char* result;
        const char* message;  // the draw_action.set line, or null
        std::function<void(const draw_scene&)> check;
    };
    const parse_case cases[] = {
        {"{rect = {0, 0, 32, 32}}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(scene_defined | scene_active, s.flags);
             EXPECT_EQ(16.0f, s.center[0]);
             EXPECT_EQ(16.0f, s.center[1]);
             EXPECT_EQ(1.0f, s.size[0]);
             EXPECT_EQ(1.0f, s.size[1]);
             EXPECT_EQ(0xFFFFFFFFu, s.color);
         }},
        {"{rect = {32, 16, 64, 24}}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(16.0f, s.center[0]) << "the pivot is the rect's own middle";
             EXPECT_EQ(4.0f, s.center[1]);
         }},
        {"{}", "false", "no rect", [](const draw_scene& s) { EXPECT_EQ(scene_defined, s.flags); }},
        {"{rect = {0, 0, 32}}", "false", "no rect.bottom", nullptr},
        {"{rect = {0, 0, 32, 16}, size = {64, 32}}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(2.0f, s.size[0]);
             EXPECT_EQ(2.0f, s.size[1]);
         }},
        {"{rect = {0, 0, 32, 16}, tile = true}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(32.0f, s.size[0]);
             EXPECT_EQ(16.0f, s.size[1]);
         }},
        {"{rect = {0, 0, 32, 16}, tile = true, size = {64, 32}}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(64.0f, s.size[0]);
             EXPECT_EQ(32.0f, s.size[1]);
         }},
        {"{rect = {0, 0, 1, 1}, tile = true, size = {256, 256}}", "0", nullptr,
         [](const draw_scene& s) { EXPECT_EQ(65536u, s.tile_quads()); }},
        // Billions of quads a frame would stop the engine: refused, one rect's worth kept.
        {"{rect = {0, 0, 1, 2}, tile = true, size = {100000, 100000}}", "false", "too many tiles",
         [](const draw_scene& s) {
             EXPECT_EQ(1.0f, s.size[0]);
             EXPECT_EQ(2.0f, s.size[1]);
         }},
        {"{rect = {0, 0, 8, 8}, alpha = 0.5}", "0", nullptr, [](const draw_scene& s) { EXPECT_EQ(0x7FFFFFFFu, s.color); }},
        {"{rect = {0, 0, 8, 8}, color = 0x80102030, alpha = 2}", "0", nullptr,
         [](const draw_scene& s) { EXPECT_EQ(0xFF102030u, s.color); }},
        {"{rect = {0, 0, 8, 8}, alpha = -1}", "0", nullptr, [](const draw_scene& s) { EXPECT_EQ(0x00FFFFFFu, s.color); }},
        {"{rect = {0, 0, 8, 8}, offset = {3, '4'}, layer = 2, zorder = 5.7, center = {1, 2}, rotate = 90, "
         "pixelize = true}",
         "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(3.0f, s.offset[0]);
             EXPECT_EQ(4.0f, s.offset[1]);
             EXPECT_EQ(0.0f, s.offset[2]);
             EXPECT_EQ(2, s.layer);
             EXPECT_EQ(5, s.zorder);
             EXPECT_EQ(1.0f, s.center[0]);
             EXPECT_EQ(90.0f, s.rotate);
             EXPECT_TRUE(s.flags & scene_pixelize);
         }},
        {"{rect = {0, 0, 8, 8}, offset = 5}", "false", "invalid offset", nullptr},
        {"{rect = {0, 0, 8, 8}, offset = {1}}", "false", "no offset.y", nullptr},
        {"{rect = {0, 0, 8, 8}, offset = {1, 2, 'z'}}", "false", "invalid offset.z", nullptr},
        {"{rect = {0, 0, 8, 8}, layer = 'top'}", "false", "invalid layer", nullptr},
        {"{rect = {0, 0, 8, 8}, center = {1}}", "false", "no center.y", nullptr},
        {"{rect = {0, 0, 8, 8}, size = {'x'}}", "false", "invalid size.cx", nullptr},
        {"{rect = {0, 0, 8, 8}, color = 'red'}", "false", "invalid color", nullptr},
        {"{rect = {0, 0, 8, 8}, tile = 1}", "false", "invalid tile", nullptr},
        {"{rect = {0, 0, 8, 8}, visible = 1}", "false", "invalid visible", nullptr},
        {"{rect = {0, 0, 8, 8}, image = dir .. 'none.bmp'}", "false", "invalid image", nullptr},
        {"{rect = {0, 0, 8, 8}, scene = {}}", "false", "no scene.end", nullptr},
        {"{rect = {0, 0, 8, 8}, state = 0}", "false", "invalid state", nullptr},
        {"{rect = {0, 0, 16, 16}, scene = {4}, visible = false}", "0", nullptr,
         [](const draw_scene& s) {
             EXPECT_EQ(4u, s.tiles);
             EXPECT_EQ(8.0f, s.wait);
             EXPECT_FALSE(s.flags & scene_active);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run("d:set()");
        run((std::string("r = d:set(-1, ") + c.table + ")").c_str());
        EXPECT_EQ(c.result, text("r"));
        const std::vector<std::string> lines = errors("draw_action.set");
        if (c.message) EXPECT_EQ(std::vector<std::string>{c.message}, lines);
        if (!c.message) EXPECT_TRUE(lines.empty());
        ASSERT_EQ(1u, d->scenes.size());
        if (c.check) c.check(*d->scenes[0]);
        EXPECT_EQ(0, lua_gettop(L)) << "the parse leaves the stack as it found it";
    }
}

// A scene cut from a sprite class by state, scene, frame and way.
TEST_F(DrawAction, StatesCutScenesFromTheClassFrames) {
    run("sprites.class_create{name = 'walk', image = {dir .. 'wide.bmp', nil, {32, 32}, {4, 6}}, "
        "frame = {ways = 2, {0}, {1}, {2}, {3}}, scene = {{0, 2, 0, 1, 1}, {2, 4, 0, 1, -1}}, state = {{0, 0}}} "
        "d = new_draw(hero, 'walk', true)");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    st_sprite_class* cls = objects->sprites.find_class("walk");
    ASSERT_NE(nullptr, cls);
    struct state_case {
        const char* table;
        const char* result;
        const char* message;
        int frame, way;  // the class frame the scene must show
    };
    const state_case cases[] = {
        {"{state = 0}", "0", nullptr, 0, 0},
        {"{state = 0, frame = 1, way = 1}", "0", nullptr, 1, 1},
        {"{state = 0, frame = 3}", "0", nullptr, 3, 0},
        {"{state = 0, scene = 1}", "0", nullptr, 2, 0},
        {"{state = 0, scene = 2}", "false", "invalid scene", 0, 0},
        {"{state = 0, frame = 4}", "false", "invalid frame", 0, 0},
        {"{state = 0, way = 8}", "false", "invalid way", 0, 0},
        {"{state = 1}", "false", "invalid state", 0, 0},
        {"{state = 0, frame = 'x'}", "false", "invalid frame", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        log.lines.clear();
        run("d:set()");
        run((std::string("r = d:set(-1, ") + c.table + ")").c_str());
        EXPECT_EQ(c.result, text("r"));
        const std::vector<std::string> lines = errors("draw_action.set");
        if (c.message) {
            EXPECT_EQ(std::vector<std::string>{c.message}, lines);
            continue;
        }
        EXPECT_TRUE(lines.empty());
        const draw_scene& s = *d->scenes[0];
        const st_sprite_frame& f = cls->frames[size_t(c.frame)];
        EXPECT_EQ(f.x[c.way], s.rect[0]);
        EXPECT_EQ(f.y[c.way], s.rect[1]);
        EXPECT_EQ(f.x[c.way] + cls->cx, s.rect[2]);
        EXPECT_EQ(f.y[c.way] + cls->cy, s.rect[3]);
        EXPECT_EQ(cls->centers[c.way][0], s.center[0]);
        EXPECT_EQ(cls->centers[c.way][1], s.center[1]);
        EXPECT_EQ(f.color, s.color);
        // Cut from the class: not a first parse, so not made active.
        EXPECT_FALSE(s.flags & scene_active);
    }
}

// Tiles switch every `wait` frames: frame k shows the tile chosen before
// that frame's switch.
TEST_F(DrawAction, ScenesAnimateFrameByFrame) {
    run("d = new_draw(hero, dir .. 'wide.bmp') d:set(0, {rect = {0, 0, 16, 16}, scene = {4}})");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    const draw_scene& s = *d->scenes[0];
    std::vector<int32_t> shown;
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(0, frame());
        shown.push_back(s.current[0] / 16);
    }
    std::vector<int32_t> expected;
    for (int i = 0; i < 40; ++i) expected.push_back((i / 8) % 4);
    EXPECT_EQ(expected, shown);
    run("d:set(0, {scene = {4}})");
    ASSERT_EQ(0, frame());
    EXPECT_EQ(0, s.current[0]);

    // Seeking; paused scenes stand still; a hidden owner stops the steps.
    struct seek_case {
        const char* call;
        uint32_t tile;
        float next;
    };
    const seek_case seeks[] = {
        {"d:set(0, {scene = {4, 10}}) d:set_scene(0, 25)", 2, 30.0f},
        {"d:set_scene(0, 0)", 0, 10.0f},
        // Past the first turn the next switch still lies ahead.
        {"d:set_scene(0, 45)", 0, 50.0f},
    };
    for (const auto& c : seeks) {
        SCOPED_TRACE(c.call);
        run(c.call);
        EXPECT_EQ(c.tile, s.tile_index);
        EXPECT_EQ(c.next, s.next_switch);
    }
    for (int i = 0; i < 4; ++i) ASSERT_EQ(0, frame());
    EXPECT_EQ(0u, s.tile_index) << "no tile a frame after seeking past a turn";
    ASSERT_EQ(0, frame());
    EXPECT_EQ(1u, s.tile_index);
    run("d:set_scene(0, nil, false)");
    const uint32_t counter = s.counter;
    ASSERT_EQ(0, frame());
    EXPECT_EQ(counter, s.counter);
    run("d:set_scene(0, nil, true)");
    hero->flags |= actor_hidden_by_script;
    ASSERT_EQ(0, frame());
    EXPECT_EQ(counter, s.counter);
    hero->flags &= ~actor_hidden_by_script;
    ASSERT_EQ(0, frame());
    EXPECT_EQ(counter + 1, s.counter);
    EXPECT_EQ("false", text("d:set_scene(5, 1)"));
}

TEST_F(DrawAction, MethodsAnswerAndLogAsTheyShould) {
    run("d = new_draw(hero, dir .. 'wide.bmp') d:set(0, {rect = {0, 0, 32, 16}, size = {64, 32}})");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    struct method_case {
        const char* call;
        const char* result;
        const char* label;    // where its one line goes, or null
        const char* message;
    };
    const method_case cases[] = {
        {"d:set(0, 1, 2)", "false", "draw_action.set", "invalid argument num"},
        {"d:set_param(0, nil, nil, nil, nil, 3)", "true", nullptr, nullptr},
        {"d:set_param(1, 10)", "false", nullptr, nullptr},
        {"d:set(3, true)", "true", nullptr, nullptr},
        {"d:set(9)", "true", nullptr, nullptr},
        {"d:set(-1)", "true", nullptr, nullptr},
        {"d:get_dc() ~= nil", "true", nullptr, nullptr},
        {"d.set({}, 0)", "false", "draw_action.set", "invalid action object"},
        {"d.set_all({}, {})", "false", "draw_action.set_all", "invalid action object"},
        {"d.set_param({}, 0)", "false", "draw_action.set_param", "invalid action object"},
        {"d.set_scene({}, 0)", "false", "draw_action.set_scene", "invalid action object"},
        {"d.get_dc({})", "nil", nullptr, nullptr},
        // An index no list can grow to fails the call and leaves the list.
        {"d:set(0x7FFFFFFF, {rect = {0, 0, 8, 8}})", "false", "draw_action.set", "invalid scene index"},
        {"d:set(0x7FFFFFFF, true)", "false", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        EXPECT_EQ(c.result, text(c.call));
        if (c.label) EXPECT_EQ(std::vector<std::string>{c.message}, errors(c.label));
        if (!c.label) {
            for (const char* l : {"draw_action.set", "draw_action.set_param", "draw_action.set_scene"})
                EXPECT_TRUE(errors(l).empty()) << l;
        }
    }
    run("d:release_dc()");
    ASSERT_EQ(4u, d->scenes.size()) << "scene 3 made the list grow";
    EXPECT_EQ(0u, d->scenes[3]->flags) << "set(-1) reset the last scene";
    // Every scene takes the table; the blank ones want a rect first.
    log.lines.clear();
    EXPECT_EQ("false", text("d:set_all({zorder = 4})"));
    EXPECT_EQ(std::vector<std::string>(3, "no rect"), errors("draw_action.set"));
    EXPECT_EQ("true", text("d:set_all({zorder = 4})")) << "the failed parse left them defined";
    EXPECT_EQ(-1.0f, d->scenes[0]->size[0]);
    EXPECT_EQ(-1.0f, d->scenes[0]->size[1]);
    EXPECT_EQ(4, d->scenes[0]->zorder);
    EXPECT_EQ(4, d->scenes[3]->zorder);
    run("d:set_alpha(0, 0.5)");
    EXPECT_EQ(0x7Fu, d->scenes[0]->color >> 24);
    EXPECT_EQ(0xFFu, d->scenes[1]->color >> 24);
    run("d:set_alpha(0)");
    for (auto& s : d->scenes) EXPECT_EQ(0u, s->color >> 24);
    run("d:set_blend_state(261.9)");
    EXPECT_EQ(5u, d->view->blend & 0xFF);
    run("d:visible(false)");
    EXPECT_TRUE(d->view->hidden());
    run("d:visible(true) d:visible(0, false)");
    EXPECT_FALSE(d->view->hidden());
    EXPECT_FALSE(d->scenes[0]->flags & scene_active);
    run("d:visible(99, true)");
    for (auto& s : d->scenes) EXPECT_TRUE(s->flags & scene_active);
    run("d:set()");
    EXPECT_TRUE(d->scenes.empty());
}

// What the drawer puts on the screen: the scene's cut at the owner's place
// plus its offset, scaled, tiled, hidden with the owner and with suspension.
TEST_F(DrawAction, ScenesDrawAtTheOwnersPlace) {
    hero->set_position(50, 40, 0);
    run("d = new_draw(hero, dir .. 'wide.bmp') d:set(0, {rect = {32, 0, 64, 32}})");
    draw_action* d = object_of<draw_action>("d");
    ASSERT_NE(nullptr, d);
    pixels p = draw();
    ASSERT_EQ(size_t(width) * height, p.data.size());
    EXPECT_EQ(cell(1, 0), p.at(34, 24) | 0xFF000000) << "top-left of a cut centred on the owner";
    EXPECT_EQ(cell(1, 0), p.at(65, 55) | 0xFF000000);
    EXPECT_EQ(background, p.at(33, 24) | 0xFF000000);
    EXPECT_EQ(background, p.at(66, 55) | 0xFF000000);

    // Tiles: a 16-pixel cut straddling two cells, repeated over 40 x 16.
    run("d:set(0, {rect = {24, 0, 40, 16}, tile = true, size = {40, 16}, center = {0, 0}})");
    p = draw();
    struct pixel_check {
        int x, y;
        uint32_t colour;
    };
    const pixel_check tiles[] = {
        {50, 40, cell(0, 0)}, {57, 40, cell(0, 0)}, {58, 40, cell(1, 0)}, {65, 40, cell(1, 0)},
        {66, 40, cell(0, 0)}, {81, 55, cell(1, 0)}, {82, 40, cell(0, 0)}, {89, 40, cell(0, 0)},
        {90, 40, background}, {60, 56, background},
    };
    for (const auto& c : tiles) EXPECT_EQ(c.colour, p.at(c.x, c.y) | 0xFF000000) << c.x << "," << c.y;

    run("d:set(0, {tile = false, size = {32, 32}, offset = {-20, 10}})");
    p = draw();
    EXPECT_EQ(cell(0, 0), p.at(30, 50) | 0xFF000000);
    EXPECT_EQ(cell(1, 0), p.at(30 + 8 + 16, 50) | 0xFF000000) << "scaled twice as wide";

    hero->flags |= actor_hidden_by_script;
    p = draw();
    EXPECT_EQ(background, p.at(30, 50) | 0xFF000000);
    hero->flags &= ~actor_hidden_by_script;
    ASSERT_TRUE(extend_actions_suspend(hero));
    p = draw();
    EXPECT_EQ(background, p.at(30, 50) | 0xFF000000);
    ASSERT_TRUE(extend_actions_resume(hero));
    p = draw();
    EXPECT_EQ(cell(0, 0), p.at(30, 50) | 0xFF000000);

    // Released: the drawer leaves the layer.
    graphic_render_layer* l = screen->get_layer(layer);
    ASSERT_NE(nullptr, l);
    EXPECT_EQ(1u, l->objects.size());
    run("d:release()");
    EXPECT_TRUE(l->objects.empty());
    EXPECT_TRUE(l->flags & layer_flag_object_removed);
    p = draw();
    EXPECT_EQ(background, p.at(30, 50) | 0xFF000000);
}
}  // namespace
