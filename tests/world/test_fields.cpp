// Fields and cell sets: definition tables, selection, the cells' bodies in
// the collision world, layer and cell states, releases.
#include "field_fixture.h"

namespace {
// Two layers of 256 x 128 over the tile set: layer 0 a 4 x 2 grid, layer 1
// a list of three placed cells.
const char* two_layer_field = R"(
fields.create{ name = "yard", cell = "tiles", size = {256, 128},
  entrance = { {40, 50, 0}, {60, 70, 1, way = 3, zorder = 5} },
  { format = {4, 2}, 1, 2, 0, 9,  3, 0, 9, 1 },
  { { 2, 100, 20 }, { 9, 140, 20, state = 2 }, { 3, 180, 60 } },
}
)";
}  // namespace

TEST_F(field_test, CellSetsNumberTheirCellsAndKeepTheirShapes) {
    run(cell_set_chunk());
    run(R"(ids = fields.cell_create{ name = "ids", image = dir .. "small.bmp",
        { id = 7, {0, 0, 32, 32} }, { {32, 0, 64, 32} },
        { default = true, mass = 5, type = 3, {0, 0, 8, 8} }, { {0, 0, 10, 6} } })");
    field_cell_set* tiles = fields->find_cell_set("tiles");
    ASSERT_NE(nullptr, tiles);
    ASSERT_EQ(4u, tiles->cells.size());
    // Ids count on from the previous cell; an explicit id stays.
    EXPECT_EQ(1u, tiles->cells[0].attr.id);
    EXPECT_EQ(2u, tiles->cells[1].attr.id);
    EXPECT_EQ(3u, tiles->cells[2].attr.id);
    EXPECT_EQ(9u, tiles->cells[3].attr.id);
    EXPECT_EQ(nullptr, tiles->cells[0].collision);
    ASSERT_NE(nullptr, tiles->cells[1].collision);
    EXPECT_FLOAT_EQ(-16.0f, tiles->cells[1].collision->bounds[0]);
    EXPECT_FLOAT_EQ(16.0f, tiles->cells[1].collision->bounds[3]);
    ASSERT_NE(nullptr, tiles->cells[2].effect_shape);
    const st_effect_record& e = tiles->cells[2].effect;
    EXPECT_EQ(0x10000000u, e.flags);
    EXPECT_EQ(1, e.layer_step);
    EXPECT_FLOAT_EQ(1.0f, e.k[0]);
    EXPECT_FLOAT_EQ(2.0f, e.k[3]);
    // Pivots default to the rectangle's integer halves.
    EXPECT_FLOAT_EQ(16.0f, tiles->cells[0].pivot[0]);
    EXPECT_EQ(1024, tiles->max_width);

    field_cell_set* ids = fields->find_cell_set("ids");
    ASSERT_NE(nullptr, ids);
    EXPECT_EQ(7u, ids->cells[0].attr.id);
    EXPECT_EQ(8u, ids->cells[1].attr.id);
    // The default cell's attributes carry on, its id, type and cond do not.
    EXPECT_EQ(3u, ids->cells[2].attr.type);
    EXPECT_EQ(0u, ids->cells[3].attr.type);
    EXPECT_FLOAT_EQ(5.0f, ids->cells[3].attr.mass);
    EXPECT_EQ(10u, ids->cells[3].attr.id);
    EXPECT_FLOAT_EQ(5.0f, ids->cells[3].pivot[0]);
    EXPECT_FLOAT_EQ(3.0f, ids->cells[3].pivot[1]);

    EXPECT_EQ("true", text("fields.cell_get('x', 'y', 'tiles') == cells"));
    EXPECT_EQ("nil", text("fields.cell_get('tiles', 'nothing')"));
    EXPECT_EQ((std::vector<std::string>{"create cell tiles", "tiles is created successfully", "create cell ids",
                                        "ids is created successfully"}),
              lines(6, "fields.cell_create"));
}

TEST_F(field_test, BadDefinitionsLogTheirFirstFaultAndMakeNothing) {
    run(cell_set_chunk());
    struct bad_case {
        const char* chunk;
        const char* origin;
        const char* message;
    };
    const bad_case cases[] = {
        {"fields.cell_create{ image = 'x' }", "fields.cell_create", "no cell name"},
        {"fields.cell_create{ name = 'tiles', image = dir .. 'wide.bmp' }", "fields.cell_create",
         "specified cell name is already existed"},
        {"fields.cell_create{ name = 'a' }", "fields.cell_create", "no cell image path"},
        {"fields.cell_create{ name = 'b', image = dir .. 'none.bmp' }", "fields.cell_create",
         "specified cell name is already existed"},
        {"fields.cell_create{ name = 'c', image = dir .. 'wide.bmp', 5 }", "fields.cell_create",
         "invalid cell info"},
        {"fields.cell_create{ name = 'd', image = dir .. 'wide.bmp', { {0, 0, 32} } }", "fields.cell_create",
         "no cell rect.bottom"},
        {"fields.cell_create{ name = 'e', image = dir .. 'wide.bmp', { default = 1 } }", "fields.cell_create",
         "invalidcell default"},
        {"fields.cell_create{ name = 'f', image = dir .. 'wide.bmp', { {0, 0, 8, 8}, {1} } }",
         "fields.cell_create", "no cell center.y"},
        {"fields.cell_create{ name = 'g', image = dir .. 'wide.bmp', { nil, nil, {9} } }", "fields.cell_create",
         "invalid cell collision"},
        {"fields.cell_create{ name = 'h', image = dir .. 'wide.bmp', { nil, nil, nil, { {0}, {1, 1}, {0, 0} } } }",
         "fields.cell_create", "no cell effect layer"},
        {"fields.create{ cell = 'tiles' }", "fields.create", "no field name"},
        {"fields.create{ name = 'f1', cell = 'nothing' }", "fields.create", "invalid cell name"},
        {"fields.create{ name = 'f2', size = {10} }", "fields.create", "invalid field size.cy"},
        {"fields.create{ name = 'f3', size = {10, 10}, {} }", "fields.create",
         "cannot omit layer cell name when you omitted field cell name"},
        {"fields.create{ name = 'f4', cell = 'tiles', {} }", "fields.create",
         "cannot specify layer size when you omitted field size"},
        {"fields.create{ name = 'f5', cell = 'tiles', size = {64, 64}, { {5, 0, 0} } }", "fields.create",
         "invalid cell id/index"},
        {"fields.create{ name = 'f6', cell = 'tiles', size = {64, 64}, { format = {2, 1}, 1 } }",
         "fields.create", "no cell index"},
        {"fields.create{ name = 'f7', cell = 'tiles', size = {64, 64}, { format = {0, 1} } }",
         "fields.create", "invalid layer format"},
        {"fields.create{ name = 'f8', cell = 'tiles', size = {64, 64}, height = {0, 2}, { height = {3} } }",
         "fields.create", "invalid layer height"},
        {"fields.create{ name = 'f9', cell = 'tiles', size = {64, 64}, entrance = { {1, 2} } }",
         "fields.create", "invalid entrance.layer"},
        {"fields.create{ name = 'f10', cell = 'tiles', size = {64, 64}, zorder = { x = 'a' } }",
         "fields.create", "invalid x-coefficient"},
        {"fields.create{ name = 'f11', cell = 'tiles', size = {64, 64}, 3 }", "fields.create",
         "invalid layer list"},
    };
    for (const bad_case& c : cases) {
        log.lines.clear();
        EXPECT_EQ("nil", text(c.chunk)) << c.chunk;
        EXPECT_EQ(std::vector<std::string>{c.message}, lines(1, c.origin)) << c.chunk;
        EXPECT_TRUE(lines(6, c.origin).size() <= 1u) << c.chunk;
    }
    EXPECT_EQ(1u, size_t(fields->find_cell_set("tiles") != nullptr));
    EXPECT_EQ(nullptr, fields->find_field("f5"));
    EXPECT_EQ(nullptr, fields->find_cell_set("c"));
}

TEST_F(field_test, LayersPlaceTheirCellsByGridOrList) {
    run(cell_set_chunk());
    run(two_layer_field);
    const field* f = fields->find_field("yard");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(2u, f->layers.size());
    // Grid places: 64 x 64 slots, cells at their centres; 0 leaves a gap.
    std::vector<std::string> grid;
    for (const field_placed_cell& pc : f->layers[0].placed)
        grid.push_back(std::to_string(pc.cell->attr.id) + "@" + std::to_string(pc.x) + "," + std::to_string(pc.y));
    EXPECT_EQ((std::vector<std::string>{"1@32,32", "2@96,32", "9@224,32", "3@32,96", "9@160,96", "1@224,96"}), grid);
    EXPECT_EQ(3u, f->layers[1].placed.size());
    EXPECT_EQ(2u, f->layers[1].placed[1].state);
    EXPECT_EQ(1024, f->margin_width);
    ASSERT_EQ(2u, f->entrances.size());
    EXPECT_EQ(-1, f->entrances[0].way);
    EXPECT_EQ(0, f->entrances[0].zorder);
    EXPECT_EQ(3, f->entrances[1].way);
    EXPECT_EQ(5, f->entrances[1].zorder);
    EXPECT_EQ((std::vector<std::string>{"create field: yard", "yard is created successfully"}), lines(6, "fields.create"));
    // Size of the field, of a layer by number only, or two nils.
    EXPECT_EQ("256 128", text("table.concat({fields.size('yard')}, ' ')"));
    EXPECT_EQ("256 128", text("table.concat({fields.size('yard', '0')}, ' ')"));
    EXPECT_EQ("true", text("select('#', fields.size('nothing')) == 2 and fields.size('nothing') == nil"));
}

TEST_F(field_test, SelectingAFieldGivesItsCellsBodies) {
    run(cell_set_chunk());
    run(two_layer_field);
    EXPECT_EQ("nil", text("fields.get()"));
    EXPECT_EQ("false", text("fields.set('nothing')"));
    EXPECT_EQ("true", text("fields.set('yard')"));
    EXPECT_EQ("yard", text("fields.get()"));
    // Solid cells of both layers; the cell with state 2 has none.
    EXPECT_EQ((std::vector<std::string>{"96,32@0", "224,32@0", "160,96@0", "100,20@1"}), places(world().bodies));
    EXPECT_EQ((std::vector<std::string>{"32,96@0", "180,60@1"}), places(world().effects));
    ASSERT_FALSE(world().effects.empty());
    EXPECT_EQ(world().effects.back()->effect, &fields->find_cell_set("tiles")->cells[2].effect);
    EXPECT_EQ(fields.get(), world().field);
    int32_t w = 0, h = 0;
    EXPECT_TRUE(world().field->layer_size(1, w, h));
    EXPECT_EQ(256, w);

    // Selecting it again keeps its bodies as they are.
    const std::vector<st_body*> before = world().bodies;
    EXPECT_EQ("true", text("fields.set('yard')"));
    EXPECT_EQ(before, world().bodies);

    // No field: every body goes at the next disposal.
    EXPECT_EQ("true", text("fields.set('')"));
    EXPECT_TRUE(places(world().bodies).empty());
    world().dispose();
    EXPECT_TRUE(world().bodies.empty());
    EXPECT_TRUE(world().effects.empty());
}

TEST_F(field_test, StatesHideCellsAndTakeOrGiveBodies) {
    run(cell_set_chunk());
    run(two_layer_field);
    run("fields.set('yard')");
    EXPECT_EQ("0", text("fields.layer_state(0)"));
    EXPECT_EQ("2", text("fields.cell_state(1, 1)"));
    EXPECT_EQ("nil", text("fields.cell_state(1, 3)"));
    EXPECT_EQ("nil", text("fields.layer_state(2)"));
    EXPECT_EQ("false", text("fields.set_layer_state(5, 1)"));

    // Layer 0 without bodies and effects.
    EXPECT_EQ("true", text("fields.set_layer_state(0, 6)"));
    EXPECT_EQ((std::vector<std::string>{"100,20@1"}), places(world().bodies));
    EXPECT_EQ((std::vector<std::string>{"180,60@1"}), places(world().effects));
    // A cell's own state alone decides when it is set, the layer's not.
    EXPECT_EQ("true", text("fields.set_cell_state(0, 1, 0)"));  // unchanged
    EXPECT_EQ((std::vector<std::string>{"100,20@1"}), places(world().bodies));
    EXPECT_EQ("true", text("fields.set_cell_state(0, 1, 4)"));
    EXPECT_EQ((std::vector<std::string>{"100,20@1", "96,32@0"}), places(world().bodies));
    // The same layer state again changes nothing, even so.
    EXPECT_EQ("true", text("fields.set_layer_state(0, 6)"));
    EXPECT_EQ((std::vector<std::string>{"100,20@1", "96,32@0"}), places(world().bodies));
    // Back to 0: every cell of the layer gets its bodies again.
    EXPECT_EQ("true", text("fields.set_layer_state(0, 0)"));
    EXPECT_EQ((std::vector<std::string>{"100,20@1", "96,32@0", "224,32@0", "160,96@0"}), places(world().bodies));
    // The cell defined without a body gets one when its state clears.
    EXPECT_EQ("true", text("fields.set_cell_state(1, 1, 0)"));
    EXPECT_EQ(5u, places(world().bodies).size());
    EXPECT_EQ("4294967295", text("(fields.set_cell_state(1, 1, 4294967295) and fields.cell_state(1, 1))"));
    EXPECT_EQ(4u, places(world().bodies).size());
}

TEST_F(field_test, ReleasingCellSetsTakesTheirFieldsAlong) {
    run(cell_set_chunk());
    run(two_layer_field);
    run(R"(other = fields.cell_create{ name = "other", image = dir .. "small.bmp", { {0, 0, 32, 32} } }
           fields.create{ name = "plain", cell = "other", size = {64, 64}, { {1, 10, 10} } }
           fields.create{ name = "mixed", cell = "other", size = {64, 64}, { cell = "tiles", {2, 10, 10} } })");
    run("fields.set('yard')");
    ASSERT_EQ(4u, places(world().bodies).size());
    // The current field goes with its set: nothing current, no bodies.
    run("fields.cell_release('tiles')");
    EXPECT_EQ(nullptr, fields->find_cell_set("tiles"));
    EXPECT_EQ(nullptr, fields->find_field("yard"));
    EXPECT_EQ(nullptr, fields->find_field("mixed"));
    ASSERT_NE(nullptr, fields->find_field("plain"));
    EXPECT_EQ("nil", text("fields.get()"));
    EXPECT_TRUE(places(world().bodies).empty());
    world().dispose();
    EXPECT_TRUE(world().bodies.empty());
    // With its cells a field frees the sets no other field uses.
    run("fields.create{ name = 'second', cell = 'other', size = {64, 64} }");
    run("fields.release('plain', true)");
    EXPECT_NE(nullptr, fields->find_cell_set("other"));
    run("fields.release('second', true)");
    EXPECT_EQ(nullptr, fields->find_cell_set("other"));
    EXPECT_EQ(nullptr, fields->find_field("second"));
}

TEST_F(field_test, FieldObjectOwnsTheBodiesOfItsCells) {
    run("field_object_class = 'walls'");
    ASSERT_NE(nullptr, objects->actors.register_named_object("walls", nullptr));
    run(R"(fields.cell_create{ name = "own", image = dir .. "small.bmp",
             { {0, 0, 32, 32}, nil, { 0, object = true } }, { {0, 0, 32, 32}, nil, {0} } }
           fields.create{ name = "f", cell = "own", size = {64, 64}, { {1, 16, 16}, {2, 48, 16} } }
           fields.set("f"))");
    named_object_entry* owner = objects->actors.find_named_object("walls");
    ASSERT_NE(nullptr, fields->get_field_object());
    EXPECT_EQ(owner, fields->get_field_object());
    EXPECT_EQ(owner, world().field_object);
    ASSERT_EQ(2u, world().bodies.size());
    EXPECT_EQ(owner, world().bodies[0]->owner);
    EXPECT_EQ(nullptr, world().bodies[1]->owner);
}

TEST_F(field_test, ScriptsMeetTheFieldObjectsActorNotItsNameEntry) {
    run("field_object_class = 'walls' actors.class_create{name = 'W', param = {0}} "
        "walls = actors.create{'W', 0, 0, 0, name = 'walls'}");
    run(R"(fields.cell_create{ name = "own", image = dir .. "small.bmp",
             { {0, 0, 32, 32}, nil, { 0, object = true } }, { {0, 0, 32, 32}, nil, {0} } }
           fields.create{ name = "f", cell = "own", size = {64, 64}, { {1, 16, 16}, {2, 48, 16} } }
           fields.set("f"))");
    ASSERT_EQ(2u, world().bodies.size());
    lua_getglobal(L, "walls");
    void* walls = lua_touserdata(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(nullptr, walls);
    EXPECT_EQ(walls, body_script_owner(&world(), world().bodies[0]));
    EXPECT_EQ(nullptr, body_script_owner(&world(), world().bodies[1]));
    lua_pushlightuserdata(L, body_script_owner(&world(), world().bodies[0]));
    lua_setglobal(L, "other");
    EXPECT_EQ("walls", text("actors.name(other)"));
    // Once the actor is gone the cells have no owner to hand out.
    run("actors.kill(walls)");
    world_end_frame();
    EXPECT_EQ(nullptr, body_script_owner(&world(), world().bodies[0]));
}

TEST_F(field_test, TexturesAreUsedWhileTheFieldIsCurrent) {
    run(cell_set_chunk());
    run(two_layer_field);
    field_cell_set* tiles = fields->find_cell_set("tiles");
    EXPECT_EQ("nil", text("fields.is_locked()"));
    EXPECT_EQ(0, tiles->texture.use_count());
    run("fields.set('yard')");
    EXPECT_EQ(1, tiles->texture.use_count());
    EXPECT_EQ("true", text("fields.is_locked()"));
    run("fields.set('yard')");
    EXPECT_EQ(1, tiles->texture.use_count());
    run("fields.set('')");
    EXPECT_EQ(0, tiles->texture.use_count());
}
