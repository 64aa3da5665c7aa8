// Where an action draws: its owner's world position through the field view,
// ordered against the owner's sprite the way sprites are.
#ifndef VY_ACTIONS_ACTION_VIEW_H
#define VY_ACTIONS_ACTION_VIEW_H

#include <cstdint>

class actor_object;

// The z-order of the owner's sprite (the actor's own without one).
int32_t owner_zorder(const actor_object* owner);

// out: view x, view y, depth of the world position (x, y, layer) drawn at
// the z-order.
void action_to_view(const float world[3], int32_t zorder, float out[3]);

// The owner's position in the view, drawn zorder_above its sprite.
void owner_to_view(const actor_object* owner, int32_t zorder_above, float out[3]);

#endif
