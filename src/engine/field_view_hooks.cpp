#include "engine/field_view_hooks.h"

#include "world/field.h"
#include "world/field_manager.h"

namespace {
bool view_of_field(float position[3], int32_t& width, int32_t& height) {
    const field_manager* m = field_manager::instance();
    if (!m) return false;
    for (int i = 0; i < 3; ++i) position[i] = m->view.point[i];
    width = m->view.width;
    height = m->view.height;
    return true;
}

// Only the view x and y are written: the depth is no distance.
void field_to_view(const float position[3], float out[3]) {
    float v[3];
    field::position_to_view(0, position, v);
    out[0] = v[0];
    out[1] = v[1];
}

const sound_view_hooks hooks = {view_of_field, field_to_view};
}  // namespace

const sound_view_hooks* field_sound_view_hooks() { return &hooks; }
