// The action library's world on a real Direct3D device with a font
// manager, one render layer in the class layer table, and input keys the
// test sets by hand.
#ifndef VY_TESTS_ACTIONS_TEXT_FIXTURE_H
#define VY_TESTS_ACTIONS_TEXT_FIXTURE_H

#include <map>
#include <utility>

#include "../graphics/device_fixture.h"
#include "actions/text_action.h"
#include "actions_fixture.h"
#include "graphics/font_manager.h"
#include "world/sprite_manager.h"

class text_test : public actions_test {
protected:
    static constexpr int width = 160;
    static constexpr int height = 120;

    static void SetUpTestSuite() {
        // Made first, so it is the graphic every action and sprite finds.
        device_ = new test_device;
        opened_ = device_->open(width, height);
    }
    static void TearDownTestSuite() {
        device_->close();
        delete device_;
        device_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(opened_) << "no device";
        actions_test::SetUp();
        ASSERT_EQ(graphic::instance(), &g());
        fonts = std::make_unique<graphic_font_manager>(&g(), L"Z:\\nonexistent\\vy_fonts");
        layer = g().create_render_layer<graphic_alpha_sprite_render_layer>();
        g().set_layer_target(layer, nullptr);
        set_render_layer_table(&layer, 1);
        keys().clear();
        action_library_hooks hooks;
        hooks.input_code = [](int32_t input, int32_t code, int32_t& value) {
            if (input != 0) return false;
            auto found = keys().find(code);
            value = found == keys().end() ? 0 : found->second;
            return true;
        };
        set_action_library_hooks(hooks);
    }
    void TearDown() override {
        actions_test::TearDown();
        fonts.reset();
        set_render_layer_table(nullptr, 0);
        if (opened_) delete g().remove_render_layer(layer);
    }

    static std::map<int32_t, int32_t>& keys() {
        static std::map<int32_t, int32_t> k;
        return k;
    }
    graphic& g() { return *device_->g; }

    // An actor of a class with the given rectangle (all 0: none).
    actor_object* boxed_actor(const char* name, float l, float t, float r, float b) {
        std::string cls = std::string(name) + "_class";
        st_actor_class* c = make_class(cls.c_str(), 0, {});
        if (!c) return nullptr;
        c->rect[0] = l, c->rect[1] = t, c->rect[2] = r, c->rect[3] = b;
        actor_object* actor = create(c);
        if (actor) set_global_pointer(name, actor);
        return actor;
    }

    // One drawn frame on a black screen, read back.
    pixels draw() {
        g().back_buffer()->clear_color = 0xFF000000;
        EXPECT_TRUE(g().render());
        return read_target(g(), g().back_buffer());
    }
    // Pixels inside the rectangle with any colour in the mask.
    static int lit(const pixels& p, RECT r, uint32_t mask = 0xFFFFFF) {
        int n = 0;
        for (LONG y = r.top; y < r.bottom && y < LONG(p.height); ++y)
            for (LONG x = r.left; x < r.right && x < LONG(p.width); ++x) n += (p.at(x, y) & mask) != 0;
        return n;
    }

    std::unique_ptr<graphic_font_manager> fonts;
    int32_t layer = -1;

private:
    static inline test_device* device_ = nullptr;
    static inline bool opened_ = false;
};

#endif
