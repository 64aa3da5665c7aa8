// Screen transitions on a real device: what each type does to its sprite and
// layers frame by frame, what its parameters mean, and the blended pixels.
#include <cmath>
#include <memory>

#include "device_fixture.h"
#include "graphics/transition.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

namespace {
class transition_test : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        L = luaL_newstate();
        first = g().create_render_layer<graphic_sprite_staterender_layer>();
        second = g().create_render_layer<graphic_sprite_staterender_layer>();
        g().set_layer_target(first, nullptr);
        g().set_layer_target(second, nullptr);
        std::vector<uint8_t> red = solid_bmp(width, height, 0xFFFF0000);
        std::vector<uint8_t> blue = solid_bmp(width, height, 0xFF0000FF);
        new_scene = image_texture(red);
        old_scene = image_texture(blue);
        set_transition_background(0xFF000000);
    }
    void TearDown() override {
        t.reset();
        lua_close(L);
        device_test::TearDown();
    }
    // Makes a transition of the type from the Lua expression (empty: no
    // parameters) and starts it.
    transition* make(int type, const char* params, uint32_t duration) {
        lua_settop(L, 0);
        int index = 0;
        if (*params) {
            std::string chunk = std::string("return ") + params;
            EXPECT_EQ(0, luaL_dostring(L, chunk.c_str())) << lua_tostring(L, -1);
            index = lua_gettop(L);
        }
        t.reset(transition_create(type, &g()));
        EXPECT_TRUE(t && t->create(L, index, duration));
        EXPECT_TRUE(t->start(new_scene, old_scene, first, second));
        return t.get();
    }
    uint32_t alpha() const { return t->color >> 24; }
    graphic_render_layer* layer(int32_t id) { return g().get_layer(id); }

    lua_State* L = nullptr;
    int32_t first = -1, second = -1;
    graphic_texture* new_scene = nullptr;
    graphic_texture* old_scene = nullptr;
    std::unique_ptr<transition> t;
};

struct alpha_case {
    int type;
    const char* params;
    uint32_t duration;
    std::vector<uint32_t> alphas;  // after steps 1, 2, ...
    int ends_at;                   // the step that reports the end (0: none)
};
}  // namespace

TEST_F(transition_test, AlphaOfEachStepAndTheEnd) {
    const alpha_case cases[] = {
        {4, "", 10, {0, 25, 51, 76, 102, 127, 153, 178, 204, 229, 255, 255}, 10},
        {4, "{fade = true}", 4, {255, 191, 127, 63, 0}, 4},
        {1, "0", 4, {255, 191, 127, 63}, 4},
        {1, "{1}", 4, {0, 63, 127, 191}, 4},
        {2, "", 4, {255, 191, 127, 63}, 4},
        {3, "", 4, {0, 63, 127, 191}, 4},
        {5, "{fade = true, scale = 3}", 2, {255, 127}, 2},
        {6, "true", 4, {255, 191, 127, 63}, 4},
        {6, "{fade = false}", 2, {0, 127}, 2},
        // Without a duration the fades show their end at once and never end
        // alone.
        {4, "", 0, {255, 255, 255}, 0},
        {4, "{fade = true}", 0, {0, 0}, 0},
        {0, "", 3, {255, 255, 255, 255, 255}, 0},
    };
    for (const alpha_case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.params);
        make(c.type, c.params, c.duration);
        for (size_t step = 1; step <= c.alphas.size(); ++step) {
            bool running = t->step();
            EXPECT_EQ(c.alphas[step - 1], alpha()) << "step " << step;
            bool should_run = c.ends_at == 0 || int(step) < c.ends_at;
            if (int(step) <= c.ends_at || c.ends_at == 0) EXPECT_EQ(should_run, running) << "step " << step;
        }
        t.reset();
    }
}

TEST_F(transition_test, StartShowsTheNewSceneOnTheFirstLayer) {
    layer(first)->flags = 0x1234;
    make(3, "", 4);
    EXPECT_EQ(0x1204u, layer(first)->flags & 0xFFFFu) << "state byte 4";
    EXPECT_TRUE(layer(first)->flags & layer_flag_object_added);
    ASSERT_EQ(2u, layer(first)->objects.size());
    // The old scene goes in first, under the transition.
    auto* old_sprite = static_cast<graphic_sprite_object*>(layer(first)->objects.front());
    EXPECT_EQ(old_scene, old_sprite->texture());
    EXPECT_EQ(t.get(), layer(first)->objects.back());
    EXPECT_EQ(new_scene, t->texture());
    EXPECT_EQ(texture_borrowed, t->texture_kind());
    EXPECT_EQ(first, t->layer_id);
    EXPECT_FLOAT_EQ(width / 2.0f, t->position.x);
    EXPECT_FLOAT_EQ(1.0f, t->position.z);
    // Deleting it leaves no object of its own behind in the layer.
    t->release(false);
    t.reset();
    EXPECT_TRUE(layer(first)->objects.empty());
    EXPECT_TRUE(layer(first)->flags & layer_flag_object_removed);
}

TEST_F(transition_test, ParametersOfTheFadeFamily) {
    set_transition_background(0xFF101010);
    make(4, "", 4);
    EXPECT_EQ(0xFF101010u, g().back_buffer()->clear_color) << "the background colour by default";
    make(1, "{0, 0xFF112233}", 4);
    EXPECT_EQ(0xFF112233u, g().back_buffer()->clear_color);
    make(4, "{color = 0xFF445566}", 4);
    EXPECT_EQ(0xFF445566u, g().back_buffer()->clear_color);
    make(4, "{color = true}", 4);
    EXPECT_EQ(0xFF101010u, g().back_buffer()->clear_color);
    // The scale fades grow the new scene from the given scale.
    make(2, "{0, 3}", 4);
    t->step();
    EXPECT_FLOAT_EQ(1.0f, t->scale_x);
    t->step();
    EXPECT_FLOAT_EQ(1.5f, t->scale_x);
    // Fading in, it shrinks from the given scale.
    make(5, "2.5", 4);
    EXPECT_FLOAT_EQ(2.5f, t->scale_x);
    t->step();
    t->step();
    EXPECT_FLOAT_EQ(2.125f, t->scale_x);
    EXPECT_FLOAT_EQ(2.125f, t->scale_y);
}

TEST_F(transition_test, EffectRunsUntilEndedAndTakesUpdates) {
    layer(first)->flags = 0xABCD;
    make(8, "{scale = 2, rotate = 90, color = 0x80FFFFFF, posx = 3, position = {10, -5}}", 5);
    EXPECT_FLOAT_EQ(2.0f, t->scale_x);
    EXPECT_NEAR(1.5707963f, t->angle, 1e-5);
    EXPECT_EQ(0x80FFFFFFu, t->color);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(t->step());
    EXPECT_FLOAT_EQ(width / 2.0f + 10, t->position.x);
    EXPECT_FLOAT_EQ(height / 2.0f - 5, t->position.y);

    struct update_case {
        int id;
        const char* value;
        bool result;
    };
    const update_case updates[] = {{1, "3", true},  {2, "180", true},        {3, "0xFF00FF00", true},
                                   {4, "1", true},  {5, "2", true},          {6, "{7, 8}", true},
                                   {6, "9", true},  {7, "0x1FF", true},      {8, "0x15", true},
                                   {9, "0x2", true}, {10, "1", false},       {0, "1", false}};
    for (const update_case& u : updates) {
        lua_settop(L, 0);
        luaL_dostring(L, (std::string("return ") + u.value).c_str());
        EXPECT_EQ(u.result, t->update(L, u.id)) << u.id;
    }
    EXPECT_FLOAT_EQ(3.0f, t->scale_x);
    EXPECT_NEAR(3.1415926f, t->angle, 1e-5);
    EXPECT_EQ(0xFF00FF00u, t->color);
    t->step();
    EXPECT_FLOAT_EQ(width / 2.0f + 7, t->position.x) << "the position table wins, a number changes nothing";
    EXPECT_FLOAT_EQ(height / 2.0f + 8, t->position.y);
    EXPECT_EQ(0x52FFu, layer(first)->flags & 0xFFFFu) << "state 0xFF, bits 12-15 = 5, bits 8-11 = 2";
    // The bits saved at start already hold the state byte the start set.
    t->finish();
    EXPECT_EQ(0xAB04u, layer(first)->flags & 0xFFFFu);

    // No other type takes updates.
    make(4, "", 5);
    lua_pushnumber(L, 1);
    EXPECT_FALSE(t->update(L, 1));
}

TEST_F(transition_test, CrossFadeBlendsTheScenesOnScreen) {
    make(6, "", 4);
    t->step();  // t = 0: the old scene alone
    ASSERT_TRUE(g().render());
    pixels p = read_target(g(), g().back_buffer());
    ASSERT_FALSE(p.data.empty());
    EXPECT_TRUE(pixels::close_to(0xFF0000FF, p.at(80, 60), 4)) << std::hex << p.at(80, 60);
    t->step();
    t->step();  // t = 2: half way
    ASSERT_TRUE(g().render());
    p = read_target(g(), g().back_buffer());
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(80, 60), 6)) << std::hex << p.at(80, 60);
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(0, 0), 6)) << std::hex << p.at(0, 0);
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(width - 1, height - 1), 6));
}

TEST_F(transition_test, CreatorsCoverTheTypeTable) {
    for (int type : {0, 1, 2, 3, 4, 5, 6, 8}) {
        std::unique_ptr<transition> made(transition_create(type, &g()));
        EXPECT_NE(nullptr, made) << type;
    }
    EXPECT_EQ(nullptr, transition_create(-1, &g()));
    EXPECT_EQ(nullptr, transition_create(transition_type_count, &g()));
}

namespace {
// A mask file: black (level 0) on the left half, white (255) on the right.
std::wstring write_mask() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"vy_mask_" + std::to_wstring(GetCurrentProcessId()) + L".bmp";
    std::vector<uint8_t> bmp = make_bmp(160, 120, [](int x, int) { return x < 80 ? 0xFF000000u : 0xFFFFFFFFu; });
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bmp.data(), DWORD(bmp.size()), &written, nullptr);
    CloseHandle(h);
    return path;
}

std::string lua_string(const std::wstring& path) {
    std::string out;
    for (wchar_t c : path) {
        if (c == L'\\') out += "\\\\";
        else out += char(c);
    }
    return out;
}
}  // namespace

TEST_F(transition_test, UniversalWipesTheOldSceneOverTheNew) {
    layer(second)->flags = 0x3;
    // Without a mask the old scene fades out evenly over the duration.
    make(7, "{}", 4);
    EXPECT_EQ(0u, layer(second)->flags & 0xFFu) << "the old scene's layer state is cleared";
    ASSERT_EQ(1u, layer(second)->objects.size());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(t->step());  // t = 2: level 128
    ASSERT_TRUE(g().render());
    pixels p = read_target(g(), g().back_buffer());
    ASSERT_FALSE(p.data.empty());
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(80, 60), 6)) << std::hex << p.at(80, 60);
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(0, 0), 6)) << std::hex << p.at(0, 0);
    EXPECT_FALSE(t->step()) << "the fourth step ends it";
    t->finish();
    EXPECT_EQ(0x3u, layer(second)->flags & 0xFFu);
    t->release(false);
    t.reset();
    EXPECT_TRUE(layer(second)->objects.empty());

    // With a mask, level 0 goes first, each level over "dim" frames.
    std::wstring mask = write_mask();
    for (bool reverse : {false, true}) {
        SCOPED_TRACE(reverse);
        std::string params = "{image = '" + lua_string(mask) + "', dim = 1" + (reverse ? ", reverse = true}" : "}");
        make(7, params.c_str(), 4);
        t->step();
        t->step();  // t = 1: level 0 gone, level 255 not yet begun
        ASSERT_TRUE(g().render());
        p = read_target(g(), g().back_buffer());
        uint32_t gone = 0xFFFF0000, kept = 0xFF0000FF;
        EXPECT_TRUE(pixels::close_to(reverse ? kept : gone, p.at(20, 60), 4)) << std::hex << p.at(20, 60);
        EXPECT_TRUE(pixels::close_to(reverse ? gone : kept, p.at(140, 60), 4)) << std::hex << p.at(140, 60);
        t->release(false);
        t.reset();
    }
    // A "dim" past the duration is clamped to it: the even fade again.
    std::string params = "{image = '" + lua_string(mask) + "', dim = 50}";
    make(7, params.c_str(), 4);
    for (int i = 0; i < 3; ++i) t->step();
    ASSERT_TRUE(g().render());
    p = read_target(g(), g().back_buffer());
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(20, 60), 6)) << std::hex << p.at(20, 60);
    EXPECT_TRUE(pixels::close_to(0xFF7F0080, p.at(140, 60), 6)) << std::hex << p.at(140, 60);
    t.reset();

    // A mask that can't be loaded fails the creation.
    lua_settop(L, 0);
    luaL_dostring(L, "return {image = 'Z:\\\\nowhere\\\\missing.bmp'}");
    std::unique_ptr<transition> bad(transition_create(7, &g()));
    EXPECT_FALSE(bad->create(L, 1, 4));
    DeleteFileW(mask.c_str());
}
