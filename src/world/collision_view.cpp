#include "world/collision_view.h"

#include "graphics/graphic.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/collision_body.h"
#include "world/collision_manager.h"
#include "world/collision_shape.h"

namespace {
collision_view_hooks hooks;
body_render* renderers[4] = {};
int32_t filter = 0x10000;

// Points of a circle's outline, a quarter turn in four steps.
const float circle_table[16][2] = {
    {0, -1},   {0.5f, -0.9f}, {0.7f, -0.7f}, {0.9f, -0.5f}, {1, 0},  {0.9f, 0.5f},
    {0.7f, 0.7f}, {0.5f, 0.9f}, {0, 1},    {-0.5f, 0.9f}, {-0.7f, 0.7f}, {-0.9f, 0.5f},
    {-1, 0},   {-0.9f, -0.5f}, {-0.7f, -0.7f}, {-0.5f, -0.9f}};

bool drawn_at_level(const st_body* b, int32_t level) {
    if (!(b->attr.attr & attr_owned)) return true;
    if (b->owner_kind != owner_actor || !b->owner) return true;
    return actor_is_active(static_cast<const actor_object*>(b->owner), level);
}

bool layer_accepted(const st_body* b, int32_t layer_filter, int32_t current) {
    if (b->attr.attr & 0x800000u) return true;
    if (layer_filter >= 0x10000) return true;
    return b->layer == (layer_filter < 0 ? current : layer_filter);
}
}  // namespace

collision_view_hooks& collision_view() { return hooks; }

body_render::body_render(graphic* owner, const std::vector<st_body*>* list, uint32_t owned_colour,
                         uint32_t free_colour)
    : graphic_render_object(owner),
      list_(list),
      line_(new graphic_line(owner)),
      owned_colour_(owned_colour),
      free_colour_(free_colour) {
    layer_filter = filter;
}

void body_render::draw_shape(const st_shape* s, const float view[3], uint32_t colour) {
    if (s->type == shape_joint) {
        for (const st_shape* sub = s->next; sub; sub = sub->next) draw_shape(sub, view, colour);
        return;
    }
    if (s->type == shape_circle) {
        graphic_line::vertex* v = line_->set_points(17, view[2], colour);
        for (int i = 0; i <= 16; ++i) {
            v[i].x = view[0] + s->circle[0] + s->circle[2] * circle_table[i % 16][0];
            v[i].y = view[1] + s->circle[1] + s->circle[2] * circle_table[i % 16][1];
        }
        line_->draw();
        return;
    }
    for (const st_edge& e : s->edges) {
        graphic_line::vertex* v = line_->set_points(2, view[2], colour);
        v[0].x = view[0] + e.sx;
        v[0].y = view[1] + e.sy;
        v[1].x = view[0] + e.sx + e.dx;
        v[1].y = view[1] + e.sy + e.dy;
        line_->draw();
    }
}

bool body_render::render() {
    actor_manager* actors = actor_manager::instance();
    int32_t level = actors ? actors->act_level : 255;
    int32_t current = hooks.current_layer ? hooks.current_layer() : 0;
    if (!line_->begin()) return true;
    for (const st_body* b : *list_) {
        if (!b || !b->shape || (b->attr.attr & 0x8u) || !(b->flags & body_flag_enabled)) continue;
        if (!drawn_at_level(b, level) || !layer_accepted(b, layer_filter, current)) continue;
        float view[3] = {b->position[0], b->position[1], 0.0f};
        if (hooks.to_view && !hooks.to_view(b->position[0], b->position[1], b->layer, view)) continue;
        draw_shape(b->shape, view, b->owner ? owned_colour_ : free_colour_);
    }
    line_->end();
    return true;
}

bool body_render_show(collision_manager* m, bool show, int32_t layer) {
    graphic* g = graphic::instance();
    if (!show) {
        for (body_render*& r : renderers) {
            if (!r) continue;
            if (graphic_render_layer* l = g ? g->get_layer(r->layer_id) : nullptr) {
                l->objects.remove(r);
                l->flags |= layer_flag_object_removed;
            }
            delete r;
            r = nullptr;
        }
        return true;
    }
    if (!m || !g) return false;
    const std::vector<st_body*>* lists[4] = {&m->bodies, &m->sensors, &m->effects, &m->reactors};
    const uint32_t colours[4][2] = {{0xAA0000AA, 0xAA00AAAA}, {0xAA00AA00, 0xAA00AA00},
                                    {0xAAAA0000, 0xAAAA0000}, {0xAAAA00AA, 0xAAAA00AA}};
    for (int i = 0; i < 4; ++i) {
        if (renderers[i]) continue;
        renderers[i] = new (std::nothrow) body_render(g, lists[i], colours[i][0], colours[i][1]);
        if (!renderers[i]) return false;
        if (!g->attach_render_object(renderers[i], layer)) {
            delete renderers[i];
            renderers[i] = nullptr;
            return false;
        }
    }
    return true;
}

void body_render_filter(int32_t f) {
    filter = f;
    for (body_render* r : renderers)
        if (r) r->layer_filter = f;
}

int body_render_count() {
    int n = 0;
    for (body_render* r : renderers) n += r != nullptr;
    return n;
}
