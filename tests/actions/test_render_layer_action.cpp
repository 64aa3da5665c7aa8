// Render-layer actions on a real device: a layer of their own drawing into
// a target, members moved in and out, and the target saved as image files.
#include <fstream>
#include <iterator>

#include "actions/render_layer_action.h"
#include "draw_fixture.h"

namespace {
using RenderLayerAction = draw_test;

std::string head_of(const std::string& path, size_t n) {
    std::ifstream f(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return bytes.substr(0, n);
}

TEST_F(RenderLayerAction, ConstructorsMakeALayerAtTheEnd) {
    struct constructor_case {
        const char* call;
        bool made;
        const char* logged;
    };
    const constructor_case cases[] = {
        {"new_render_layer(hero, {64, 48})", true, nullptr},
        {"new_render_layer(hero, {'32.5', 16})", true, nullptr},
        {"new_render_layer(nil, {64, 48})", false, "invalid actor object"},
        {"new_render_layer(hero)", false, "fail to create action object"},
        {"new_render_layer(hero, 64)", false, "fail to create action object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        const size_t layers = screen->layers().size();
        run((std::string("r = ") + c.call).c_str());
        EXPECT_EQ(c.made, truth("type(r) == 'table' and r.object ~= nil"));
        if (c.logged) EXPECT_EQ(std::vector<std::string>{c.logged}, errors("render_layer_action.new"));
        if (!c.made) {
            EXPECT_EQ(layers, screen->layers().size()) << "nothing left behind";
            continue;
        }
        render_layer_action* r = object_of<render_layer_action>("r");
        ASSERT_NE(nullptr, r);
        EXPECT_EQ(layers + 1, screen->layers().size());
        EXPECT_EQ(screen->get_layer(r->layer_id), screen->layers().back());
        ASSERT_NE(nullptr, r->target);
        EXPECT_EQ(0x0000FF00u, r->target->clear_color);
        const size_t objects = screen->objects().size();
        run("r:release()");
        EXPECT_EQ(layers, screen->layers().size());
        EXPECT_EQ(objects - 1, screen->objects().size()) << "the target went with it";
    }
    run("r = new_render_layer(hero, {64, 48})");
    render_layer_action* r = object_of<render_layer_action>("r");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(64u, r->target->width());
    EXPECT_EQ(48u, r->target->height());
}

TEST_F(RenderLayerAction, MembersDrawIntoTheTargetAndGoBack) {
    hero->set_position(20, 20, 0);
    run("d = new_draw(hero, dir .. 'wide.bmp') d:set(0, {rect = {0, 0, 32, 32}}) "
        "e = new_draw(hero, dir .. 'wide.bmp') "
        "r = new_render_layer(hero, {64, 64})");
    draw_action* d = object_of<draw_action>("d");
    draw_action* e = object_of<draw_action>("e");
    render_layer_action* r = object_of<render_layer_action>("r");
    ASSERT_TRUE(d && e && r);
    struct method_case {
        const char* call;
        const char* result;
        const char* label;
        const char* message;
    };
    const method_case cases[] = {
        {"r:add(d)", "true", nullptr, nullptr},
        {"r:add(d)", "true", nullptr, nullptr},
        {"r:remove(e)", "false", nullptr, nullptr},
        {"r:add({})", "false", "render_layer_action.add", "invalid draw_action object"},
        {"r:add(r)", "false", "render_layer_action.add", "invalid draw_action object"},
        {"r.add({}, d)", "false", "render_layer_action.add", "invalid action object"},
        {"r.resize({}, 1, 1)", "false", "render_layer_action.resize", "invalid action object"},
        {"r.save({}, 'x.png')", "false", "render_layer_action.save", "invalid action object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        log.lines.clear();
        EXPECT_EQ(c.result, text(c.call));
        if (c.label) EXPECT_EQ(std::vector<std::string>{c.message}, errors(c.label));
    }
    ASSERT_EQ(1u, r->members.size());
    EXPECT_EQ(layer, r->members[0].previous_layer);
    EXPECT_EQ(r->layer_id, d->view->layer_id);
    EXPECT_EQ(layer, e->view->layer_id);

    // The member draws into the target, not onto the screen.
    const pixels screen_pixels = draw();
    EXPECT_EQ(background, screen_pixels.at(20, 20) | 0xFF000000);
    const pixels target = read_target(*screen, r->target);
    ASSERT_EQ(64u, target.width);
    EXPECT_EQ(cell(0, 0), target.at(20, 20) | 0xFF000000);
    EXPECT_EQ(cell(0, 0), target.at(4, 4) | 0xFF000000);
    EXPECT_EQ(0x0000FF00u, target.at(40, 40)) << "the clear colour, transparent";

    // Saved: the extension picks the format; the PNG keeps the pixels.
    files = {"layer.png", "layer.jpeg", "layer.bmp", "layer.tga"};
    struct save_case {
        const char* name;
        const char* magic;
    };
    const save_case saves[] = {
        {"layer.png", "\x89PNG"}, {"layer.jpeg", "\xFF\xD8"}, {"layer.bmp", "BM"}, {"layer.tga", "DDS "},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(s.name);
        log.lines.clear();
        EXPECT_EQ("true", text((std::string("r:save(dir .. '") + s.name + "')").c_str()));
        EXPECT_EQ(s.magic, head_of(dir + s.name, std::strlen(s.magic)));
    }
    IDirect3DSurface9* loaded = nullptr;
    ASSERT_TRUE(SUCCEEDED(screen->device()->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                                       &loaded, nullptr)));
    const std::wstring png = std::wstring(dir.begin(), dir.end()) + L"layer.png";
    ASSERT_TRUE(SUCCEEDED(D3DXLoadSurfaceFromFileW(loaded, nullptr, nullptr, png.c_str(), nullptr, D3DX_FILTER_NONE,
                                                   0, nullptr)));
    D3DLOCKED_RECT lr;
    ASSERT_TRUE(SUCCEEDED(loaded->LockRect(&lr, nullptr, D3DLOCK_READONLY)));
    auto at = [&](int x, int y) { return reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x]; };
    EXPECT_EQ(cell(0, 0), at(20, 20));
    EXPECT_EQ(0x0000FF00u, at(40, 40));
    loaded->UnlockRect();
    loaded->Release();
    log.lines.clear();
    EXPECT_EQ("false", text("r:save(dir .. 'no_folder\\\\x.png')"));
    EXPECT_EQ(std::vector<std::string>{"fail to save"}, errors("render_layer_action.save"));

    // Resizing keeps a side given as 0.
    EXPECT_EQ("true", text("r:resize(0, 40)"));
    EXPECT_EQ(64u, r->target->width());
    EXPECT_EQ(40u, r->target->height());
    EXPECT_EQ("true", text("r:resize(32)"));
    EXPECT_EQ(32u, r->target->width());
    EXPECT_EQ(40u, r->target->height());
    // A size the device refuses keeps the old target, whole.
    log.lines.clear();
    graphic_render_target* kept = r->target;
    EXPECT_EQ("false", text("r:resize(200000, 200000)"));
    EXPECT_EQ(std::vector<std::string>{"fail to resize"}, errors("render_layer_action.resize"));
    EXPECT_EQ(kept, r->target);
    EXPECT_NE(nullptr, r->target->render_surface());
    EXPECT_EQ(32u, r->target->width());
    EXPECT_EQ(40u, r->target->height());

    // A member that goes away leaves the list; the rest go back on release.
    run("r:add(e) e:release()");
    EXPECT_EQ(1u, r->members.size());
    run("r:remove(d)");
    EXPECT_EQ(layer, d->view->layer_id);
    EXPECT_EQ(nullptr, d->holder);
    const pixels back = draw();
    EXPECT_EQ(cell(0, 0), back.at(20, 20) | 0xFF000000);
    run("r:add(d) r:release()");
    EXPECT_EQ(layer, d->view->layer_id);
    EXPECT_EQ(nullptr, d->holder);
    EXPECT_EQ(cell(0, 0), draw().at(20, 20) | 0xFF000000);
}
}  // namespace

namespace {
// A drawing action has one holder: a second layer takes it from the first,
// so that neither keeps a member that may be deleted behind its back.
TEST_F(RenderLayerAction, ASecondLayerTakesTheMemberFromTheFirst) {
    run("d = new_draw(hero, dir .. 'wide.bmp') d:set(0, {rect = {0, 0, 32, 32}}) "
        "r1 = new_render_layer(hero, {32, 32}) r2 = new_render_layer(hero, {32, 32})");
    draw_action* d = object_of<draw_action>("d");
    render_layer_action* r1 = object_of<render_layer_action>("r1");
    render_layer_action* r2 = object_of<render_layer_action>("r2");
    ASSERT_TRUE(d && r1 && r2);
    EXPECT_EQ("true", text("r1:add(d) and r2:add(d)"));
    EXPECT_TRUE(r1->members.empty());
    ASSERT_EQ(1u, r2->members.size());
    EXPECT_EQ(layer, r2->members[0].previous_layer) << "the layer it had before any render layer";
    EXPECT_EQ(r2, d->holder);
    EXPECT_EQ("false", text("r1:remove(d)"));
    run("d:release()");
    EXPECT_TRUE(r2->members.empty());
    run("r1:release() r2:release()");
    EXPECT_EQ(1u, screen->layers().size());
}
}  // namespace
