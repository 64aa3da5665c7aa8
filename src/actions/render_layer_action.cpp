// Render-layer actions: a private layer, its target, its members.
#include "actions/render_layer_action.h"

#include <algorithm>
#include <cstring>

#include "actions/draw_action.h"
#include "core/strings.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

render_layer_action::~render_layer_action() {
    while (!members.empty()) remove(members.back().draw);
    graphic* g = graphic::instance();
    if (!g) return;
    if (layer_id >= 0) delete g->remove_render_layer(layer_id);
    layer_id = -1;
    if (target) g->delete_object(target);
    target = nullptr;
}

bool render_layer_action::create(int32_t width, int32_t height) {
    graphic* g = graphic::instance();
    if (!g) return false;
    layer_id = render_layer_append(*g);
    if (layer_id < 0) return false;
    target = graphic_render_target_create(g, width, height);
    if (!target) return false;
    target->clear_color = 0x0000FF00;
    return g->set_layer_target(layer_id, target);
}

bool render_layer_action::add(draw_action* draw) {
    graphic* g = graphic::instance();
    for (const member& m : members) {
        if (m.draw == draw) return true;
    }
    if (!draw->view || !g || layer_id < 0) return false;
    // A drawing action has one holder: another layer gives it up first.
    if (draw->holder && draw->holder != this) draw->holder->remove(draw);
    members.push_back(member{draw, draw->view->layer_id});
    g->move_render_object(draw->view, layer_id);
    draw->holder = this;
    return true;
}

bool render_layer_action::remove(draw_action* draw) {
    auto it = std::find_if(members.begin(), members.end(), [&](const member& m) { return m.draw == draw; });
    if (it == members.end()) return false;
    graphic* g = graphic::instance();
    if (g && draw->view) g->move_render_object(draw->view, it->previous_layer);
    draw->holder = nullptr;
    members.erase(it);
    return true;
}

void render_layer_action::forget(draw_action* draw) {
    members.erase(std::remove_if(members.begin(), members.end(), [&](const member& m) { return m.draw == draw; }),
                  members.end());
}

bool render_layer_action::resize(int32_t width, int32_t height) {
    if (!target) return false;
    const int32_t w = width >= 1 ? width : int32_t(target->width());
    const int32_t h = height >= 1 ? height : int32_t(target->height());
    // The new target is made before the old one goes: on failure the layer
    // keeps drawing into its old target, never into whatever is current.
    graphic* g = graphic::instance();
    if (!g) return false;
    graphic_render_target* next = graphic_render_target_create(g, w, h);
    if (!next) return false;
    next->clear_color = target->clear_color;
    if (!g->set_layer_target(layer_id, next)) {
        g->delete_object(next);
        return false;
    }
    g->delete_object(target);
    target = next;
    return true;
}

int32_t render_layer_file_format(const char* file_name) {
    const char* dot = file_name ? std::strrchr(file_name, '.') : nullptr;
    const char* ext = dot ? dot + 1 : "";
    if (std::strcmp(ext, "png") == 0) return image_format_png;
    if (std::strcmp(ext, "jpg") == 0 || std::strcmp(ext, "jpeg") == 0) return image_format_jpg;
    if (std::strcmp(ext, "bmp") == 0) return image_format_bmp;
    return image_format_dds;
}

bool render_layer_action::save(const char* file_name) {
    wstring path;
    if (!target || !file_name || !string_to_wstring(file_name, path)) return false;
    return target->save(path.c_str(), render_layer_file_format(file_name));
}
