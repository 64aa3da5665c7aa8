#include "world/actor_rect.h"

#include "graphics/graphic.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/collision_shape.h"
#include "world/sprite_class.h"
#include "world/sprite_object.h"

namespace {
actor_bounds_hooks hooks;

bool screen_size(float size[2]) {
    graphic* g = graphic::instance();
    if (!g) return false;
    size[0] = float(g->client_width());
    size[1] = float(g->client_height());
    return true;
}
}  // namespace

actor_bounds_hooks& actor_bounds() { return hooks; }

bool actor_rect(const actor_object* actor, uint32_t flags, float out[4]) {
    const st_actor_class* cls = actor->cls;
    if (flags & actor_rect_shape) {
        const st_shape* shape = cls ? cls->body_shape : nullptr;
        if (!shape) return false;
        for (int i = 0; i < 4; ++i) out[i] = shape->bounds[i];
        return true;
    }
    if (flags & actor_rect_sprite) {
        const st_sprite_class* sc = actor->sprite ? actor->sprite->cls : nullptr;
        float w = sc ? float(sc->cx) : 0.0f, h = sc ? float(sc->cy) : 0.0f;
        int32_t way = actor->sprite ? actor->sprite->way : 0;
        float cx = sc && way >= 0 && way < 8 ? sc->centers[way][0] : 0.0f;
        float cy = sc && way >= 0 && way < 8 ? sc->centers[way][1] : 0.0f;
        out[0] = -cx;
        out[1] = -cy;
        out[2] = w - cx;
        out[3] = h - cy;
        return true;
    }
    for (int i = 0; i < 4; ++i) out[i] = cls ? cls->rect[i] : 0.0f;
    return true;
}

bool actor_out_of_bounds(const actor_object* actor, uint32_t flags, float dx, float dy) {
    float r[4] = {};
    actor_rect(actor, flags, r);
    float x = actor->position[0], y = actor->position[1];
    float size[2] = {};
    if (flags & actor_rect_view) {
        float view[2] = {x, y};
        if (hooks.view_position) hooks.view_position(actor->position, view);
        x = view[0];
        y = view[1];
        if (!(hooks.view_size ? hooks.view_size(size) : screen_size(size))) return true;
    } else {
        int32_t layer = actor->body ? actor->body->layer : 0;
        bool known = hooks.layer_size ? hooks.layer_size(layer, size) : screen_size(size);
        if (!known) return true;
    }
    x += dx;
    y += dy;
    return x + r[0] < 0.0f || y + r[1] < 0.0f || x + r[2] > size[0] || y + r[3] > size[1];
}
