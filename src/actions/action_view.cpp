#include "actions/action_view.h"

#include "world/actor_object.h"
#include "world/field.h"
#include "world/sprite_object.h"

int32_t owner_zorder(const actor_object* owner) {
    if (!owner) return 0;
    return owner->sprite ? owner->sprite->zorder : owner->zorder;
}

void action_to_view(const float world[3], int32_t zorder, float out[3]) {
    field::position_to_view(zorder, world, out);
}

void owner_to_view(const actor_object* owner, int32_t zorder_above, float out[3]) {
    if (!owner) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    action_to_view(owner->position, owner_zorder(owner) + zorder_above, out);
}
