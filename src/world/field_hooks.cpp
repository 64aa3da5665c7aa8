// The field view as the collision debug view and the actors' bounds tests
// see it: plugged in while the field manager lives.
#include "world/actor_rect.h"
#include "world/collision_view.h"
#include "world/field.h"
#include "world/field_manager.h"

namespace {
bool body_to_view(float x, float y, int32_t layer, float view[3]) {
    const float p[3] = {x, y, float(layer)};
    field::position_to_view(0, p, view);
    return true;
}

int32_t current_layer() {
    const field_manager* m = field_manager::instance();
    return m ? int32_t(m->view.point[2]) : 0;
}

bool view_position(const float world[3], float view[2]) {
    float v[3];
    field::position_to_view(0, world, v);
    view[0] = v[0];
    view[1] = v[1];
    return true;
}

bool view_size(float size[2]) {
    const field_manager* m = field_manager::instance();
    if (!m) return false;
    size[0] = float(m->view.width);
    size[1] = float(m->view.height);
    return true;
}

bool layer_size(int32_t layer, float size[2]) {
    const field_manager* m = field_manager::instance();
    // No field: the screen, as without a field manager.
    if (m && !m->current_field()) return view_size(size);
    int32_t w = 0, h = 0;
    if (!m || !m->layer_size(layer, w, h)) return false;
    size[0] = float(w);
    size[1] = float(h);
    return true;
}
}  // namespace

void field_hooks_install(bool on) {
    collision_view_hooks& v = collision_view();
    v.to_view = on ? body_to_view : nullptr;
    v.current_layer = on ? current_layer : nullptr;
    actor_bounds_hooks& b = actor_bounds();
    b.view_position = on ? view_position : nullptr;
    b.view_size = on ? view_size : nullptr;
    b.layer_size = on ? layer_size : nullptr;
}
