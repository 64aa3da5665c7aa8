// The `fields` library's own rules: argument reading, defaults, entrances
// and never a Lua error.
#include "field_fixture.h"
#include "world/actor_object.h"

namespace {
const char* entrance_field = R"(
fields.create{ name = "hall", cell = "tiles", size = {256, 128},
  entrance = { {40, 50, 0}, {60, 70, 1, way = 3, zorder = 5}, {200, 50, 0, 6, 2, way = 1} },
  {}, {} }
)";
}  // namespace

TEST_F(field_test, NoFunctionRaisesAnErrorWhateverItIsGiven) {
    run(cell_set_chunk());
    run(entrance_field);
    run(R"(
names = {}
for name in pairs(fields) do names[#names + 1] = name end
table.sort(names)
failures = {}
for _, name in ipairs(names) do
  for _, args in ipairs({ {}, {nil, nil}, {"x", {}, true}, {-1, -1, -1, -1, -1}, {1e30, "7", false} }) do
    local ok, err = pcall(fields[name], unpack(args))
    if not ok then failures[#failures + 1] = name .. ": " .. tostring(err) end
  end
end
)");
    EXPECT_EQ(25, int(number("#names")));
    EXPECT_EQ("", text("table.concat(failures, '; ')"));
}

TEST_F(field_test, SettingsGiveNewFieldsTheirDepthDefaults) {
    run(cell_set_chunk());
    run("fields.settings{ z = 5.7, x = 0.5, y = 'a' }");
    run("fields.create{ name = 'plain', cell = 'tiles', size = {64, 64}, {} }");
    run("fields.create{ name = 'own', cell = 'tiles', size = {64, 64}, zorder = { y = 2 },"
        " {}, { zorder = { z = 9 } } }");
    const field* plain = fields->find_field("plain");
    const field* own = fields->find_field("own");
    ASSERT_TRUE(plain && own);
    EXPECT_EQ(5, plain->max_zorder);
    EXPECT_FLOAT_EQ(0.5f, plain->x_coefficient);
    EXPECT_FLOAT_EQ(1.0f, plain->y_coefficient);
    EXPECT_EQ(5, own->max_zorder);
    EXPECT_FLOAT_EQ(2.0f, own->y_coefficient);
    EXPECT_EQ(5, own->layers[0].max_zorder);
    EXPECT_EQ(9, own->layers[1].max_zorder);
    EXPECT_FLOAT_EQ(2.0f, own->layers[1].y_coefficient);
    run("fields.set('own')");
    EXPECT_EQ(5, fields->view.max_zorder);
    EXPECT_EQ("own", text("fields.get()"));
    EXPECT_EQ("true", text("fields.get('plain') == fields.get('plain') and type(fields.get('plain')) == 'userdata'"));
    EXPECT_EQ("nil", text("fields.get('none')"));
}

TEST_F(field_test, EntrancesAreFoundByIndexOrNearestToAnObject) {
    run(cell_set_chunk());
    run(entrance_field);
    EXPECT_EQ("5", text("select('#', fields.entrance(0))"));
    EXPECT_EQ("nil", text("fields.entrance(0)"));  // no field yet
    run("fields.set('hall')");
    struct entrance_case {
        const char* call;
        const char* values;
    };
    const entrance_case cases[] = {
        {"fields.entrance(0)", "40 50 0 -1 0"},
        {"fields.entrance(1.9)", "60 70 1 3 5"},
        // The named key wins over the index.
        {"fields.entrance(2)", "200 50 0 1 2"},
        {"fields.entrance(3)", "nil nil nil nil nil"},
        {"fields.entrance(-1)", "nil nil nil nil nil"},
        {"fields.entrance(40, 50, 0)", "nil nil nil nil nil"},
        {"fields.entrance('walker')", "nil nil nil nil nil"},
    };
    for (const entrance_case& c : cases) {
        const std::string chunk = std::string("local t = {") + c.call +
                                  "} for i = 1, 5 do t[i] = tostring(t[i]) end return table.concat(t, ' ')";
        ASSERT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
        EXPECT_STREQ(c.values, lua_tostring(L, -1)) << c.call;
        lua_pop(L, 1);
    }
    // An object finds the nearest entrance of its own layer.
    st_actor_class* cls = make_class("walker", 0, {});
    actor_object* a = create(cls, "walker");
    ASSERT_NE(nullptr, a);
    set_global_pointer("a", a);
    a->set_position(150, 40, 0);
    EXPECT_EQ("200", text("fields.entrance(a)"));
    a->set_position(100, 40, 0);
    EXPECT_EQ("40", text("fields.entrance(a)"));
    a->set_position(100, 40, 1);
    EXPECT_EQ("60", text("fields.entrance('walker')"));
    a->set_position(100, 40, 0.5f);
    EXPECT_EQ("nil", text("fields.entrance(a)"));

    // Entering points the clamped view at the entrance and puts the actor
    // there with its way and zorder.
    run("fields.enter(1, a)");
    EXPECT_EQ("80 68 1", text("table.concat({fields.view()}, ' ')"));
    EXPECT_FLOAT_EQ(60.0f, a->position[0]);
    EXPECT_FLOAT_EQ(70.0f, a->position[1]);
    EXPECT_FLOAT_EQ(1.0f, a->position[2]);
    EXPECT_EQ(3, a->way);
    EXPECT_EQ(5, a->zorder);
    run("fields.enter(7, a) fields.enter(0)");
    EXPECT_EQ("80 60 0", text("table.concat({fields.view()}, ' ')"));
    EXPECT_FLOAT_EQ(60.0f, a->position[0]);
}
