// Layer ids, drawing positions, the operations that address layers, and
// the render objects' own state.
#include "device_fixture.h"

namespace {

// Records the order in which a base layer calls its objects.
struct order_probe : graphic_render_object {
    order_probe(graphic* g, int key, char name, std::string& log)
        : graphic_render_object(g), name_(name), log_(log) {
        order = key;
    }
    bool render() override {
        log_ += name_;
        return true;
    }
    char name_;
    std::string& log_;
};

class layer_test : public ::testing::Test {
protected:
    // The seven layers the engine creates at start-up, in drawing order.
    void SetUp() override {
        ids_[0] = g_.create_render_layer<graphic_opaque_sprite_render_layer>();
        ids_[1] = g_.create_render_layer<graphic_sprite_blendstate_layer>();
        ids_[2] = g_.create_render_layer<graphic_addalpha_sprite_render_layer>();
        ids_[3] = g_.create_render_layer<graphic_sprite_staterender_layer>();
        ids_[4] = g_.create_render_layer<graphic_sprite_staterender_layer>();
        ids_[5] = g_.create_render_layer<graphic_alpha_sprite_render_layer>();
        ids_[6] = g_.create_render_layer<graphic_alpha_sprite_render_layer>();
    }
    std::vector<int32_t> drawing_order() {
        std::vector<int32_t> out;
        for (graphic_render_layer* l : g_.layers()) out.push_back(l->id);
        return out;
    }
    int32_t resolved(int32_t index) {
        g_.resolve_layer_index(index);
        return index;
    }
    graphic g_;
    int32_t ids_[7] = {};
};

TEST_F(layer_test, IdsAndDrawingPositionsResolve) {
    EXPECT_EQ(drawing_order(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6}));
    struct resolve_case {
        int32_t index, id;
    } cases[] = {{-1, 0}, {-2, 1}, {-7, 6}, {-9, 6}, {0, 0}, {4, 4}, {7, 6}, {100, 6}};
    for (auto& c : cases) EXPECT_EQ(resolved(c.index), c.id) << c.index;

    // A removed layer's id stays dead; the next layer gets a new id.
    graphic_render_layer* removed = g_.remove_render_layer(3);
    ASSERT_TRUE(removed);
    delete removed;
    EXPECT_EQ(g_.remove_render_layer(3), nullptr);
    graphic::layer_position pos;
    EXPECT_FALSE(g_.find_layer(3, pos));
    EXPECT_EQ(pos, g_.layers().end());
    EXPECT_EQ(g_.get_layer(3), nullptr);
    int32_t next = g_.create_render_layer<graphic_alpha_sprite_render_layer>();
    EXPECT_EQ(next, 7);
    EXPECT_EQ(drawing_order(), (std::vector<int32_t>{0, 1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(resolved(-4), 4);

    // Appending puts an alpha layer last.
    int32_t appended = render_layer_append(g_);
    EXPECT_EQ(drawing_order().back(), appended);
    EXPECT_TRUE(dynamic_cast<graphic_alpha_sprite_render_layer*>(g_.get_layer(appended)));
    delete g_.remove_render_layer(appended);

    // Inserting before a layer's position.
    ASSERT_TRUE(g_.find_layer(1, pos));
    int32_t inserted = g_.create_render_layer<graphic_render_layer>(pos);
    EXPECT_EQ(drawing_order(), (std::vector<int32_t>{0, inserted, 1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(resolved(-2), inserted);
}

TEST_F(layer_test, OperationsOnDeadIdsDoNothing) {
    delete g_.remove_render_layer(3);
    order_probe o(&g_, 0, 'o', *new std::string);
    graphic_render_layer* a = g_.get_layer(0);
    ASSERT_TRUE(g_.attach_render_object(&o, 0));
    uint32_t flags_before = a->flags;
    // Id 3 is dead; an empty table resolves every index to 0.
    EXPECT_FALSE(g_.attach_render_object(&o, 3));
    EXPECT_FALSE(g_.move_render_object(&o, 3));
    EXPECT_FALSE(g_.set_layer_target(3, nullptr));
    EXPECT_FALSE(g_.update_layer_state(3, 0xFF, 2));
    EXPECT_EQ(o.layer_id, 0);
    EXPECT_EQ(a->objects.size(), 1u);
    EXPECT_EQ(a->flags, flags_before);

    graphic empty;
    EXPECT_EQ(resolved(-1), 0);
    int32_t index = -1;
    empty.resolve_layer_index(index);
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(empty.attach_render_object(&o, -1));
    EXPECT_FALSE(empty.update_layer_state(0, 0xFF, 1));
}

TEST_F(layer_test, AttachMoveAndLayerFlags) {
    std::string log;
    order_probe o(&g_, 0, 'o', log);
    graphic_render_layer* from = g_.get_layer(ids_[5]);
    graphic_render_layer* to = g_.get_layer(ids_[6]);
    // The same object twice is drawn twice; a move takes out both.
    ASSERT_TRUE(g_.attach_render_object(&o, -6));
    ASSERT_TRUE(g_.attach_render_object(&o, ids_[5]));
    EXPECT_EQ(from->objects.size(), 2u);
    EXPECT_TRUE(from->flags & layer_flag_object_added);
    ASSERT_TRUE(g_.move_render_object(&o, -7));
    EXPECT_TRUE(from->objects.empty());
    EXPECT_TRUE(from->flags & layer_flag_object_removed);
    EXPECT_EQ(to->objects.size(), 1u);
    EXPECT_EQ(o.layer_id, ids_[6]);

    // Masked state updates.
    ASSERT_TRUE(g_.update_layer_state(ids_[3], 0xFFFFFFFF, 0x00001102));
    ASSERT_TRUE(g_.update_layer_state(ids_[3], 0xFF, 0x305));
    EXPECT_EQ(g_.get_layer(ids_[3])->flags, 0x00001105u);
    ASSERT_TRUE(g_.update_layer_state(-4, 0xF000, 0xFFFF));
    EXPECT_EQ(g_.get_layer(ids_[3])->flags, 0x0000F105u);
}

TEST_F(layer_test, BaseLayerDrawsLargerKeysFirstAndKeepsEqualKeysInOrder) {
    std::string log;
    int32_t id = g_.create_render_layer<graphic_render_layer>();
    order_probe a(&g_, 1, 'a', log), b(&g_, 5, 'b', log), c(&g_, 1, 'c', log),
        d(&g_, 3, 'd', log);
    for (order_probe* o : {&a, &b, &c, &d}) g_.attach_render_object(o, id);
    EXPECT_TRUE(g_.get_layer(id)->render());
    EXPECT_EQ(log, "bdac");
    // The layer keeps the order and a hidden layer calls nobody.
    EXPECT_EQ(g_.get_layer(id)->objects.front(), &b);
    g_.update_layer_state(id, layer_flag_hidden, layer_flag_hidden);
    EXPECT_TRUE(g_.get_layer(id)->render());
    EXPECT_EQ(log, "bdac");
}

class render_object_test : public device_test {};

TEST_F(render_object_test, ClipRectanglesClampToTheScreenAndOnlyEverHide) {
    struct clip_case {
        RECT in, stored;
        bool hidden;
    } cases[] = {
        {{-10, -10, 5000, 5000}, {0, 0, width, height}, false},
        {{10, 20, 30, 40}, {10, 20, 30, 40}, false},
        {{width + 40, 0, width + 140, 100}, {width + 40, 0, width, 100}, true},
        {{0, 0, 0, 10}, {0, 0, 0, 10}, true},
        {{0, height, 10, height + 10}, {0, height, 10, height}, true},
        {{0, -20, 10, 0}, {0, 0, 10, 0}, true},
    };
    for (auto& c : cases) {
        graphic_render_object o(&g());
        o.set_clip_rect(c.in);
        EXPECT_EQ(o.clip.left, c.stored.left);
        EXPECT_EQ(o.clip.top, c.stored.top);
        EXPECT_EQ(o.clip.right, c.stored.right);
        EXPECT_EQ(o.clip.bottom, c.stored.bottom);
        EXPECT_EQ(o.hidden(), c.hidden);
        // A visible rectangle afterwards does not show it again.
        o.set_clip_rect(RECT{0, 0, 10, 10});
        EXPECT_EQ(o.hidden(), c.hidden);
    }
}

}  // namespace
